# SPDX-License-Identifier: GPL-3.0-or-later
# Handing written memory back to the system (the history store between downloads).
add_library(nimbrel_platform_memory STATIC ${CMAKE_CURRENT_LIST_DIR}/memory_pages.cpp)
target_include_directories(nimbrel_platform_memory PUBLIC ${PROJECT_SOURCE_DIR})
nimbrel_warnings(nimbrel_platform_memory)
