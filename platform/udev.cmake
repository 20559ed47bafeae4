# SPDX-License-Identifier: GPL-3.0-or-later
# Arrival and removal of the console's hidraw device, through libudev (Linux only).
if(NOT WIN32 AND NOT APPLE)
  pkg_check_modules(LIBUDEV REQUIRED IMPORTED_TARGET libudev)
  add_library(nimbrel_platform_udev STATIC ${CMAKE_CURRENT_LIST_DIR}/udev_monitor.cpp)
  target_link_libraries(nimbrel_platform_udev PUBLIC nimbrel_station PRIVATE PkgConfig::LIBUDEV)
  nimbrel_warnings(nimbrel_platform_udev)
endif()
