# SPDX-License-Identifier: GPL-3.0-or-later
# The one-owner lock of the console, taken by whatever opens the USB console: the window, the
# station service and the other commands.
add_library(nimbrel_platform_lock STATIC ${CMAKE_CURRENT_LIST_DIR}/claiming_backend.cpp)
if(WIN32)
  target_sources(nimbrel_platform_lock PRIVATE ${CMAKE_CURRENT_LIST_DIR}/console_lock_win32.cpp)
  target_link_libraries(nimbrel_platform_lock PRIVATE nimbrel_platform_win32 shell32 ole32)
else()
  target_sources(nimbrel_platform_lock PRIVATE ${CMAKE_CURRENT_LIST_DIR}/console_lock.cpp)
endif()
target_include_directories(nimbrel_platform_lock PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(nimbrel_platform_lock PUBLIC nimbrel_station)
nimbrel_warnings(nimbrel_platform_lock)
