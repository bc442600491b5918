# Installation of the library, its headers, a CMake package and a pkg-config file, and a
# Debian package of all that is installed. The generated schema headers are private and are
# not installed.
include(CMakePackageConfigHelpers)

set(VEXA_CMAKE_DIR "${CMAKE_INSTALL_LIBDIR}/cmake/vexa_package")

install(TARGETS vexa_package
    EXPORT vexa_packageTargets
    ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT development
    LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}" COMPONENT runtime
            NAMELINK_COMPONENT development
    RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT runtime)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/include/vexa_package"
    DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}" COMPONENT development)
install(FILES "${PROJECT_BINARY_DIR}/include/vexa_package/version.hpp"
    DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/vexa_package" COMPONENT development)

install(EXPORT vexa_packageTargets
    NAMESPACE vexa_package::
    DESTINATION "${VEXA_CMAKE_DIR}" COMPONENT development)
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/vexa_packageConfig.cmake.in"
    "${PROJECT_BINARY_DIR}/vexa_packageConfig.cmake"
    INSTALL_DESTINATION "${VEXA_CMAKE_DIR}")
# Before 1.0 a minor version may break the interface, so only the same minor version matches.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/vexa_packageConfigVersion.cmake"
    COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/vexa_packageConfig.cmake"
              "${PROJECT_BINARY_DIR}/vexa_packageConfigVersion.cmake"
    DESTINATION "${VEXA_CMAKE_DIR}" COMPONENT development)

# The pkg-config file finds its prefix relative to where it is installed, so an installed
# tree can be moved (or unpacked under another root) and still be used.
file(RELATIVE_PATH VEXA_PC_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig"
     "${CMAKE_INSTALL_PREFIX}")
string(REGEX REPLACE "/$" "" VEXA_PC_PREFIX "${VEXA_PC_PREFIX}")
configure_file("${PROJECT_SOURCE_DIR}/cmake/vexa_package.pc.in"
               "${PROJECT_BINARY_DIR}/vexa_package.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/vexa_package.pc"
    DESTINATION "${CMAKE_INSTALL_LIBDIR}/pkgconfig" COMPONENT development)

set(CPACK_PACKAGE_NAME "vexa-package")
set(CPACK_PACKAGE_VENDOR "vexa_package developers")
set(CPACK_PACKAGE_CONTACT "vexa_package developers <vexa-package@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_GENERATOR "DEB")
set(CPACK_DEB_COMPONENT_INSTALL OFF)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "libdevel")
# Runtime libraries are found by dpkg-shlibdeps; the headers include Cap'n Proto's.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcapnp-dev (>= 0.9)")
include(CPack)
