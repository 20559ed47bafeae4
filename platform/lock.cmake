# SPDX-License-Identifier: GPL-3.0-or-later
# The one-owner lock of the console, shared by the window and the station service.
if(WIN32)
  add_library(nimbrel_platform_lock STATIC ${CMAKE_CURRENT_LIST_DIR}/console_lock_win32.cpp)
else()
  add_library(nimbrel_platform_lock STATIC ${CMAKE_CURRENT_LIST_DIR}/console_lock.cpp)
endif()
target_include_directories(nimbrel_platform_lock PUBLIC ${PROJECT_SOURCE_DIR})
nimbrel_warnings(nimbrel_platform_lock)
