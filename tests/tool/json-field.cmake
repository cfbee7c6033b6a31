# cmake -DFILE=F -DFIELD=NAME -P json-field.cmake: prints one member of the
# JSON object in F; a malformed object fails.
file(READ ${FILE} json)
string(JSON value GET "${json}" ${FIELD})
execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append "${value}")
