# SPDX-License-Identifier: GPL-3.0-or-later
# The upload socket: Windows Sockets on Windows, POSIX sockets elsewhere.
add_library(nimbrel_platform_net STATIC ${CMAKE_CURRENT_LIST_DIR}/socket_polled.cpp)
if(WIN32)
  target_sources(nimbrel_platform_net PRIVATE ${CMAKE_CURRENT_LIST_DIR}/socket_winsock.cpp)
  target_compile_definitions(nimbrel_platform_net PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
  target_link_libraries(nimbrel_platform_net PRIVATE nimbrel_platform_win32 ws2_32)
else()
  target_sources(nimbrel_platform_net PRIVATE ${CMAKE_CURRENT_LIST_DIR}/socket_posix.cpp)
endif()
target_link_libraries(nimbrel_platform_net PUBLIC nimbrel_upload)
nimbrel_warnings(nimbrel_platform_net)
