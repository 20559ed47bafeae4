# SPDX-License-Identifier: GPL-3.0-or-later
# The console's HID interface: through SetupAPI and overlapped file I/O on Windows (with the
# window's device notifications), through hidapi elsewhere; and the bounded writer hidapi uses.
add_library(nimbrel_platform_hid STATIC ${CMAKE_CURRENT_LIST_DIR}/timed_writer.cpp)
if(WIN32)
  target_sources(nimbrel_platform_hid PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/overlapped_transport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hid_win32.cpp
    ${CMAKE_CURRENT_LIST_DIR}/device_notification_win32.cpp)
  target_link_libraries(nimbrel_platform_hid PRIVATE nimbrel_platform_win32 setupapi hid user32)
else()
  find_package(PkgConfig REQUIRED)
  if(APPLE)
    pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi)
  else()
    pkg_check_modules(HIDAPI REQUIRED IMPORTED_TARGET hidapi-hidraw)
  endif()
  target_sources(nimbrel_platform_hid PRIVATE ${CMAKE_CURRENT_LIST_DIR}/hidapi_backend.cpp)
  target_link_libraries(nimbrel_platform_hid PRIVATE PkgConfig::HIDAPI)
endif()
target_link_libraries(nimbrel_platform_hid PUBLIC nimbrel_station)
nimbrel_warnings(nimbrel_platform_hid)

# The console to talk to: the USB console or the built-in simulated one.
add_library(nimbrel_platform_console STATIC ${CMAKE_CURRENT_LIST_DIR}/console_source.cpp)
target_link_libraries(nimbrel_platform_console PUBLIC nimbrel_simulator nimbrel_platform_hid
                                                        nimbrel_platform_lock)
nimbrel_warnings(nimbrel_platform_console)
