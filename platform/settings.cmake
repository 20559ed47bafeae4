# SPDX-License-Identifier: GPL-3.0-or-later
# Settings backends: the registry on Windows, one file per value elsewhere.
add_library(nimbrel_platform_settings STATIC ${CMAKE_CURRENT_LIST_DIR}/settings_user.cpp)
if(WIN32)
  target_sources(nimbrel_platform_settings PRIVATE ${CMAKE_CURRENT_LIST_DIR}/settings_registry.cpp)
  target_link_libraries(nimbrel_platform_settings PRIVATE advapi32)
else()
  target_sources(nimbrel_platform_settings PRIVATE ${CMAKE_CURRENT_LIST_DIR}/settings_files.cpp)
endif()
target_link_libraries(nimbrel_platform_settings PUBLIC nimbrel_settings)
nimbrel_warnings(nimbrel_platform_settings)
