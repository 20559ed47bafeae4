# SPDX-License-Identifier: GPL-3.0-or-later
# The upload socket over POSIX sockets.
add_library(nimbrel_platform_net STATIC ${CMAKE_CURRENT_LIST_DIR}/socket_posix.cpp)
target_link_libraries(nimbrel_platform_net PUBLIC nimbrel_upload)
nimbrel_warnings(nimbrel_platform_net)
