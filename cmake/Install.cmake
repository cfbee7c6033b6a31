include(CMakePackageConfigHelpers)

install(TARGETS quemba EXPORT QuembaTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quemba DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT QuembaTargets NAMESPACE Quemba:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quemba)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuembaConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuembaConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quemba)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuembaConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuembaConfig.cmake ${PROJECT_BINARY_DIR}/QuembaConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quemba)

# Relocatable: the prefix is found from the .pc file's own place.
file(RELATIVE_PATH QUEMBA_PC_TO_PREFIX /p/${CMAKE_INSTALL_LIBDIR}/pkgconfig /p)
configure_file(${PROJECT_SOURCE_DIR}/cmake/quemba.pc.in ${PROJECT_BINARY_DIR}/quemba.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quemba.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
