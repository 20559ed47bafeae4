# SPDX-License-Identifier: GPL-3.0-or-later
# The command-line process's side of the system: interrupts (signals, or the Windows console's
# control events), exact standard streams and the arguments in UTF-8.
if(WIN32)
  set(interrupt_source ${CMAKE_CURRENT_LIST_DIR}/interrupt_win32.cpp)
else()
  set(interrupt_source ${CMAKE_CURRENT_LIST_DIR}/interrupt_posix.cpp)
endif()
add_library(nimbrel_platform_process STATIC ${interrupt_source}
                                            ${CMAKE_CURRENT_LIST_DIR}/standard_streams.cpp
                                            ${CMAKE_CURRENT_LIST_DIR}/arguments.cpp)
target_include_directories(nimbrel_platform_process PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(nimbrel_platform_process PUBLIC Threads::Threads)
if(WIN32)
  target_link_libraries(nimbrel_platform_process PRIVATE nimbrel_platform_win32 shell32)
endif()
nimbrel_warnings(nimbrel_platform_process)
