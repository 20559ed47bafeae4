# SPDX-License-Identifier: GPL-3.0-or-later
# The MQTT broker connection over libmosquitto (Linux), and the one-owner lock of the console.
if(NOT WIN32)
  pkg_check_modules(LIBMOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
  add_library(nimbrel_platform_mqtt STATIC ${CMAKE_CURRENT_LIST_DIR}/mqtt_mosquitto.cpp)
  target_link_libraries(nimbrel_platform_mqtt PUBLIC nimbrel_service PRIVATE PkgConfig::LIBMOSQUITTO)
  nimbrel_warnings(nimbrel_platform_mqtt)
endif()

if(WIN32)
  add_library(nimbrel_platform_lock STATIC ${CMAKE_CURRENT_LIST_DIR}/console_lock_win32.cpp)
else()
  add_library(nimbrel_platform_lock STATIC ${CMAKE_CURRENT_LIST_DIR}/console_lock.cpp)
endif()
target_include_directories(nimbrel_platform_lock PUBLIC ${PROJECT_SOURCE_DIR})
nimbrel_warnings(nimbrel_platform_lock)
