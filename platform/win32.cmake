# SPDX-License-Identifier: GPL-3.0-or-later
# What the Windows adapters share: UTF-8 and UTF-16 at the system's edge.
if(WIN32)
  add_library(nimbrel_platform_win32 STATIC ${CMAKE_CURRENT_LIST_DIR}/win32_text.cpp)
  target_include_directories(nimbrel_platform_win32 PUBLIC ${PROJECT_SOURCE_DIR})
  nimbrel_warnings(nimbrel_platform_win32)
endif()
