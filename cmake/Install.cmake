# SPDX-License-Identifier: MIT
# Installs the header, the versioned shared library, a pkg-config file, a CMake package config,
# norvex, norvex-sim and Orlith with their manual pages, norvex's bash, zsh and fish completion,
# and the udev rule for the readers.
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

# The udev rule that lets the user at the seat open the readers. The default directory, relative
# to the prefix, is the one udev reads when the prefix is /usr; packagers may point it elsewhere.
set(NORVEX_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING
  "Where the udev rule is installed (relative paths are under the install prefix)")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/udev/70-norvex.rules DESTINATION ${NORVEX_UDEV_RULES_DIR})

# The programs' manual pages, and for the explorer (which links the shared library) a run path
# that finds the library in the same prefix, wherever that prefix is moved.
if(TARGET norvex-sim)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/norvex-sim.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
if(TARGET norvex)
  install(TARGETS norvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/norvex.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/completion/norvex.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME norvex)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/completion/norvex.zsh
          DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions RENAME _norvex)
  install(FILES ${CMAKE_SOURCE_DIR}/cli/completion/norvex.fish
          DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
  file(RELATIVE_PATH NORVEX_CLI_BIN_TO_LIB "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBDIR}")
  set_target_properties(norvex PROPERTIES INSTALL_RPATH "$ORIGIN/${NORVEX_CLI_BIN_TO_LIB}")
endif()
if(TARGET Orlith)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/man/Orlith.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  file(RELATIVE_PATH NORVEX_BIN_TO_LIB "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBDIR}")
  set_target_properties(Orlith PROPERTIES INSTALL_RPATH "$ORIGIN/${NORVEX_BIN_TO_LIB}")
endif()

# The PC/SC driver as a pcsc-lite bundle in the directory pcscd scans for USB readers (relative to
# the prefix: lib/pcsc/drivers is pcscd's own when the prefix is /usr; packagers may point it
# elsewhere), with a run path to the library from inside the bundle, and the reader.conf.d example
# for the simulator among the documentation.
if(TARGET ifd-norvex)
  set(NORVEX_PCSC_DROPDIR lib/pcsc/drivers CACHE STRING
    "pcscd's driver directory, where the bundle goes (relative paths are under the install prefix)")
  set(NORVEX_PCSC_BUNDLE ${NORVEX_PCSC_DROPDIR}/ifd-norvex.bundle/Contents)
  configure_file(${CMAKE_SOURCE_DIR}/pcsc/Info.plist.in ${CMAKE_BINARY_DIR}/pcsc/Info.plist @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pcsc/Info.plist DESTINATION ${NORVEX_PCSC_BUNDLE})
  install(TARGETS ifd-norvex LIBRARY DESTINATION ${NORVEX_PCSC_BUNDLE}/Linux)
  if(IS_ABSOLUTE ${NORVEX_PCSC_BUNDLE})
    set(NORVEX_PCSC_DRIVER_PATH ${NORVEX_PCSC_BUNDLE}/Linux/libifd-norvex.so)
    file(RELATIVE_PATH NORVEX_PCSC_TO_LIB ${NORVEX_PCSC_BUNDLE}/Linux
         ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
  else()
    set(NORVEX_PCSC_DRIVER_PATH ${CMAKE_INSTALL_PREFIX}/${NORVEX_PCSC_BUNDLE}/Linux/libifd-norvex.so)
    file(RELATIVE_PATH NORVEX_PCSC_TO_LIB "/${NORVEX_PCSC_BUNDLE}/Linux" "/${CMAKE_INSTALL_LIBDIR}")
  endif()
  set_target_properties(ifd-norvex PROPERTIES INSTALL_RPATH "$ORIGIN/${NORVEX_PCSC_TO_LIB}")
  configure_file(${CMAKE_SOURCE_DIR}/pcsc/reader.conf.d/norvex-simulator.in
                 ${CMAKE_BINARY_DIR}/pcsc/norvex-simulator @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/pcsc/norvex-simulator
          DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples/reader.conf.d)
endif()
