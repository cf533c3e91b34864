# Installs the header, the versioned shared library, a pkg-config file and a CMake package config.
include(CMakePackageConfigHelpers)

install(TARGETS norvexapi EXPORT norvexapiTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT norvexapiTargets
  NAMESPACE norvexapi::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/norvexapi)

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/norvexapiConfig.cmake.in
  ${CMAKE_BINARY_DIR}/norvexapiConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/norvexapi)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/norvexapiConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/norvexapiConfig.cmake ${CMAKE_BINARY_DIR}/norvexapiConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/norvexapi)

# The pkg-config file locates the prefix relative to itself, so the installed tree can be moved.
file(RELATIVE_PATH NORVEX_PC_PREFIX "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
configure_file(${CMAKE_SOURCE_DIR}/cmake/norvexapi.pc.in ${CMAKE_BINARY_DIR}/norvexapi.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/norvexapi.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
