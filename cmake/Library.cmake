# libnorvexapi: every source of the library folders goes into one static core (used by the unit
# tests, which reach internal classes) and the shared library is that core with only the API exported.
set(NORVEX_LIBRARY_DIRS api transport transport/usb reader mifare desfire)
set(NORVEX_CORE_SOURCES)
foreach(dir IN LISTS NORVEX_LIBRARY_DIRS)
  file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND NORVEX_CORE_SOURCES ${dir_sources})
endforeach()

add_library(norvex_core STATIC ${CMAKE_SOURCE_DIR}/cmake/empty.cpp ${NORVEX_CORE_SOURCES})
target_include_directories(norvex_core PUBLIC
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}>
  $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}/include>)
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
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(norvexapi PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON
  PUBLIC_HEADER ${CMAKE_SOURCE_DIR}/include/norvexapi.h)
