# SPDX-License-Identifier: GPL-3.0-or-later
# Warnings for every target of ours; errors when NIMBREL_WERROR is on (CI).
function(nimbrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(NIMBREL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
