# Debian packages through CPack, one per install component:
#   runtime -> libquemba1, dev -> libquemba-dev, tool -> quemba.
# `cmake --build <dir> --target package` or scripts/build-packages.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME quemba)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "quemba maintainers <maintainers@quemba.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)

# The target's architecture, not the host's: the i386 build runs on amd64.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE i386)
else()
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
endif()
# dpkg-shlibdeps cannot resolve the i386 libc on an amd64 host without the
# i386 dpkg architecture; the library needs libc alone, so say so directly.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(QUEMBA_LIBC_DEPENDS "libc6 (>= 2.36)")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libquemba1)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${QUEMBA_LIBC_DEPENDS}")
# A shlibs file for the runtime package (the only one with a shared object).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "locale-aware text conversion library
libquemba.so.1 converts between the current locale's multibyte encoding
and UTF-16 through converter handles with a policy for unmappable
characters, converts UTF-8, and offers UTF-16 string functions, locale
and country information and multibyte-aware byte-string helpers. Every
character decision is made by libc in the current locale.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libquemba-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libquemba1 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION "locale-aware text conversion library - development files
Headers, the libquemba.so link, the pkg-config file, the CMake package
(find_package(Quemba), target Quemba::quemba) and the section-3 manual
pages for libquemba.")

# Packaged once the tool's install rules (COMPONENT tool) exist.
set(CPACK_DEBIAN_TOOL_PACKAGE_NAME quemba)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "libquemba1 (>= ${PROJECT_VERSION}), ${QUEMBA_LIBC_DEPENDS}")
set(CPACK_COMPONENT_TOOL_DESCRIPTION "locale-aware text conversion tool
quemba converts text between the locale's encoding, UTF-8 and UTF-16
with a choice of what happens to unmappable characters, and shows the
locale's country information, through libquemba.")

# CPack takes the component list when it is included; defer that to the end
# of the top-level CMakeLists.txt so components added later are packaged.
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL include CPack)
