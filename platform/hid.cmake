# SPDX-License-Identifier: GPL-3.0-or-later
# The console over hidapi, and the bounded writer it uses.
find_package(PkgConfig REQUIRED)
if(WIN32 OR APPLE)
  pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi)
else()
  pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
endif()

add_library(nimbrel_platform_hid STATIC
  ${CMAKE_CURRENT_LIST_DIR}/timed_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hidapi_backend.cpp)
target_link_libraries(nimbrel_platform_hid PUBLIC nimbrel_station PRIVATE PkgConfig::HIDAPI)
nimbrel_warnings(nimbrel_platform_hid)

# The console to talk to: the USB console or the built-in simulated one.
add_library(nimbrel_platform_console STATIC ${CMAKE_CURRENT_LIST_DIR}/console_source.cpp)
target_link_libraries(nimbrel_platform_console PUBLIC nimbrel_simulator nimbrel_platform_hid)
nimbrel_warnings(nimbrel_platform_console)
