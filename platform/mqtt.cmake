# SPDX-License-Identifier: GPL-3.0-or-later
# The MQTT broker connection over libmosquitto.
if(NIMBREL_WITH_MQTT)
  pkg_check_modules(LIBMOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
  add_library(nimbrel_platform_mqtt STATIC ${CMAKE_CURRENT_LIST_DIR}/mqtt_mosquitto.cpp)
  target_link_libraries(nimbrel_platform_mqtt PUBLIC nimbrel_service PRIVATE PkgConfig::LIBMOSQUITTO)
  nimbrel_warnings(nimbrel_platform_mqtt)
endif()
