include(CMakePackageConfigHelpers)

# Components, one Debian package each (cmake/Packaging.cmake): runtime is the
# shared library alone; dev the rest of what building against it needs.
install(TARGETS quemba EXPORT QuembaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quemba DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT dev)
install(EXPORT QuembaTargets NAMESPACE Quemba:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quemba
  COMPONENT dev)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuembaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuembaConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quemba)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuembaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuembaConfig.cmake ${PROJECT_BINARY_DIR}/QuembaConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quemba COMPONENT dev)

# Relocatable: the prefix is found from the .pc file's own place.
file(RELATIVE_PATH QUEMBA_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
configure_file(${PROJECT_SOURCE_DIR}/cmake/quemba.pc.in ${PROJECT_BINARY_DIR}/quemba.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quemba.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT dev)

# Section-3 pages, gzipped as Debian ships them. The tool's page goes with
# the tool's own rules.
file(GLOB QUEMBA_MAN3_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/man/man3/*.3)
set(QUEMBA_MAN3_GZ "")
foreach(page IN LISTS QUEMBA_MAN3_PAGES)
  get_filename_component(name ${page} NAME)
  set(out ${PROJECT_BINARY_DIR}/man/man3/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND sh -c "mkdir -p \"$(dirname \"$2\")\" && gzip -9 -n -c \"$1\" >\"$2\"" sh ${page} ${out}
    DEPENDS ${page}
    VERBATIM)
  list(APPEND QUEMBA_MAN3_GZ ${out})
endforeach()

# One more page per exported name, a .so link to its family's page, so that
# `man KXUXByteToUnicode` finds it.
set(QUEMBA_FAMILY_PAGES
  converter.h quemba-converter standard.h quemba-standard table_handle.h quemba-table-handle
  utf8.h quemba-utf8 locale_services.h quemba-locale unistr.h quemba-unistr)
while(QUEMBA_FAMILY_PAGES)
  list(POP_FRONT QUEMBA_FAMILY_PAGES header family)
  set(header ${PROJECT_SOURCE_DIR}/include/quemba/${header})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
  file(STRINGS ${header} declarations REGEX "^QUEMBA_API ")
  foreach(declaration IN LISTS declarations)
    if(NOT declaration MATCHES "([A-Za-z_][A-Za-z0-9_]*) *[[(;]")
      message(FATAL_ERROR "no name found in '${declaration}'")
    endif()
    set(source ${PROJECT_BINARY_DIR}/man/links/${CMAKE_MATCH_1}.3)
    set(link ${PROJECT_BINARY_DIR}/man/man3/${CMAKE_MATCH_1}.3.gz)
    file(CONFIGURE OUTPUT ${source} CONTENT ".so man3/${family}.3\n")
    add_custom_command(OUTPUT ${link}
      COMMAND sh -c "mkdir -p \"$(dirname \"$2\")\" && gzip -9 -n -c \"$1\" >\"$2\"" sh ${source} ${link}
      DEPENDS ${source}
      VERBATIM)
    list(APPEND QUEMBA_MAN3_GZ ${link})
  endforeach()
endwhile()
add_custom_target(quemba_man3 ALL DEPENDS ${QUEMBA_MAN3_GZ})
install(FILES ${QUEMBA_MAN3_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man3 COMPONENT dev)
