# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DWINE=... -DWINDOWS_CLI=... -DLINUX_CLI=... -DWORK=folder -P same_output.cmake
# Runs both programs with the same seed and options and compares what they print and write.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/config)
# Every unit given, so that neither program's saved settings count.
set(units --temperature F --rain in --pressure inHg --wind knots --pressure-type abs --direction 360)
set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
set(ENV{WINEDEBUG} -all)

# Runs both with the same arguments; @OUT@ stands for each one's own output file, whose name is
# not ASCII (Windows must not read it in its old code page).
function(run_both name)
  string(REPLACE "@OUT@" "Z:${WORK}/${name}.windows.Ωé.csv" windows_args "${ARGN}")
  string(REPLACE "@OUT@" "${WORK}/${name}.linux.Ωé.csv" linux_args "${ARGN}")
  execute_process(COMMAND ${LINUX_CLI} ${linux_args} RESULT_VARIABLE linux_status
                  OUTPUT_FILE ${WORK}/${name}.linux.out ERROR_VARIABLE linux_err)
  execute_process(COMMAND ${WINE} ${WINDOWS_CLI} ${windows_args} RESULT_VARIABLE windows_status
                  OUTPUT_FILE ${WORK}/${name}.windows.out ERROR_VARIABLE windows_err)
  if(NOT linux_status EQUAL 0 OR NOT windows_status EQUAL 0)
    message(FATAL_ERROR "${name}: exit ${linux_status} (Linux) and ${windows_status} (Windows)\n"
                        "${linux_err}\n${windows_err}")
  endif()
endfunction()

# A count is a count on both systems: a reading more says so, rather than as a difference.
function(expect_lines name count)
  foreach(system linux windows)
    # Counted by their line ends: the JSON's semicolons would split a CMake list of lines.
    file(READ ${WORK}/${name}.${system}.out text)
    string(REGEX MATCHALL "\n" ends "${text}")
    list(LENGTH ends got)
    if(NOT got EQUAL count)
      message(FATAL_ERROR "${name}: the ${system} build printed ${got} lines, not ${count}")
    endif()
  endforeach()
endfunction()

function(expect_same name what)
  file(SIZE ${WORK}/${name}.linux.${what} size)
  if(size EQUAL 0)
    message(FATAL_ERROR "${name}: the Linux build wrote nothing to compare")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${name}.linux.${what}
                          ${WORK}/${name}.windows.${what} RESULT_VARIABLE differ)
  if(differ)
    message(FATAL_ERROR "${name}: the ${what} of the two builds differ (see ${WORK})")
  endif()
  message(STATUS "${name}: the same ${what}, ${size} bytes")
endfunction()

# The generated console's clock is set from the PC's at its first time request, and its weather
# follows that clock, so only its first live text is the same whenever the two programs run; the
# three texts of live.txt (cold, stormy, hot, sensors missing) are the same at any time.
run_both(live --simulate --console-live ${CMAKE_CURRENT_LIST_DIR}/live.txt ${units}
         live --count 3 --json)
expect_lines(live 3)
expect_same(live out)
run_both(live-generated --simulate --console-seed 11 live --count 1 --json)
expect_lines(live-generated 1)
expect_same(live-generated out)
run_both(export --simulate --console-seed 11 ${units} export --whole --out @OUT@)
expect_same(export Ωé.csv)

# What this build lacks is refused with a plain word, not taken for an unknown command.
execute_process(COMMAND ${WINE} ${WINDOWS_CLI} archive info RESULT_VARIABLE status
                ERROR_VARIABLE said OUTPUT_QUIET)
if(NOT status EQUAL 1 OR NOT said MATCHES "the archive command is not in this build")
  message(FATAL_ERROR "archive info: exit ${status}, said: ${said}")
endif()
