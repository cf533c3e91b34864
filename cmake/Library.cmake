# SPDX-License-Identifier: MIT
# libnorvexapi: every source of the library's layers under lib/ goes into one static core (used by
# the unit tests, which reach internal classes) and the shared library is that core with only the
# API exported. Lowest layer first; lib/ is the include root of the library's own headers.
set(NORVEX_LIBRARY_DIRS status ndef transport transport/usb reader session mifare desfire api)
set(NORVEX_CORE_SOURCES)
foreach(dir IN LISTS NORVEX_LIBRARY_DIRS)
  file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/lib/${dir}/*.cpp)
  list(APPEND NORVEX_CORE_SOURCES ${dir_sources})
endforeach()

# The version header is generated from the project version, beside the hand-written public headers.
set(NORVEX_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/include)
configure_file(${CMAKE_SOURCE_DIR}/cmake/norvexapi_version.h.in
  ${NORVEX_GENERATED_INCLUDE_DIR}/norvexapi_version.h @ONLY)
set(NORVEX_PUBLIC_HEADERS
  ${CMAKE_SOURCE_DIR}/include/norvexapi.h
  ${CMAKE_SOURCE_DIR}/include/norvexapi_status.h
  ${NORVEX_GENERATED_INCLUDE_DIR}/norvexapi_version.h)

add_library(norvex_core STATIC ${CMAKE_SOURCE_DIR}/cmake/empty.cpp ${NORVEX_CORE_SOURCES})
target_include_directories(norvex_core PUBLIC
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/lib>
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}>
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>
  $<BUILD_INTERFACE:${NORVEX_GENERATED_INCLUDE_DIR}>)
target_compile_definitions(norvex_core PUBLIC NORVEX_BUILDING_LIBRARY)
set_target_properties(norvex_core PROPERTIES
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(norvex_core
  PUBLIC OpenSSL::Crypto PkgConfig::LIBUSB
  PRIVATE norvex_warnings)

add_library(norvexapi SHARED ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
add_library(norvexapi::norvexapi ALIAS norvexapi)
target_link_libraries(norvexapi PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,norvex_core>)
target_include_directories(norvexapi PUBLIC
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>
  $<BUILD_INTERFACE:${NORVEX_GENERATED_INCLUDE_DIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(norvexapi PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  PUBLIC_HEADER "${NORVEX_PUBLIC_HEADERS}")

# The version script exports the API under one symbol version and keeps everything else local: the
# C functions (names that start with a letter) and the few C++-linkage functions of the global
# namespace (_Z<length><name>...). Template instantiations of the C++ runtime (_ZN..., _ZT...)
# stay inside.
set(NORVEX_VERSION_SCRIPT ${CMAKE_SOURCE_DIR}/cmake/norvexapi.map)
target_link_options(norvexapi PRIVATE -Wl,--version-script=${NORVEX_VERSION_SCRIPT})
set_property(TARGET norvexapi APPEND PROPERTY LINK_DEPENDS ${NORVEX_VERSION_SCRIPT})
