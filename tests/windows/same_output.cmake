# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DSYSTEM=windows|arm64 -DEMULATOR=... -DCROSS_CLI=... -DLINUX_CLI=... -DWORK=folder
#       [-DWITH_ARCHIVE=ON] -P same_output.cmake
# Runs a cross-built nimbrel-cli (under Wine or QEMU) and the x86-64 Linux build's with the same
# seed and options and compares what they print and write. When both have the archive, also what
# both make of one: its export, statistics, report and charts' readings.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/config)
# Every unit given, so that neither program's saved settings count.
set(units --temperature F --rain in --pressure inHg --wind knots --pressure-type abs --direction 360)
set(ENV{XDG_CONFIG_HOME} ${WORK}/config)
set(ENV{WINEDEBUG} -all)
# Under Wine the Linux folders are seen through drive Z:.
set(cross_root "")
if(SYSTEM STREQUAL "windows")
  set(cross_root "Z:")
endif()

# Runs both with the same arguments; @OUT@ stands for each one's own output file, whose name is
# not ASCII (Windows must not read it in its old code page), @ARCHIVE@ for each one's archive.
function(run_both name)
  foreach(system linux ${SYSTEM})
    set(root "")
    if(system STREQUAL SYSTEM)
      set(root "${cross_root}")
    endif()
    string(REPLACE "@OUT@" "${root}${WORK}/${name}.${system}.Ωé.csv" args "${ARGN}")
    string(REPLACE "@ARCHIVE@" "${root}${WORK}/archive.${system}.sqlite" args "${args}")
    set(${system}_args "${args}")
  endforeach()
  execute_process(COMMAND ${LINUX_CLI} ${linux_args} RESULT_VARIABLE linux_status
                  OUTPUT_FILE ${WORK}/${name}.linux.out ERROR_VARIABLE linux_err)
  execute_process(COMMAND ${EMULATOR} ${CROSS_CLI} ${${SYSTEM}_args} RESULT_VARIABLE cross_status
                  OUTPUT_FILE ${WORK}/${name}.${SYSTEM}.out ERROR_VARIABLE cross_err)
  if(NOT linux_status EQUAL 0 OR NOT cross_status EQUAL 0)
    message(FATAL_ERROR "${name}: exit ${linux_status} (Linux) and ${cross_status} (${SYSTEM})\n"
                        "${linux_err}\n${cross_err}")
  endif()
endfunction()

# A count is a count on both systems: a reading more says so, rather than as a difference.
function(expect_lines name count)
  foreach(system linux ${SYSTEM})
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
                          ${WORK}/${name}.${SYSTEM}.${what} RESULT_VARIABLE differ)
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

# The archive of a generated log of ten days, both builds' own, without live readings (they
# follow the clock).
if(WITH_ARCHIVE)
  set(archive --archive @ARCHIVE@ --archive-live-minutes 0)
  run_both(sync --simulate --console-seed 11 --console-records 3000 ${archive} archive sync)
  expect_same(sync out)
  run_both(archive-tsv ${archive} ${units} archive export --whole --out @OUT@)
  expect_same(archive-tsv Ωé.csv)
  run_both(archive-csv ${archive} archive export --whole --format csv --out @OUT@)
  expect_same(archive-csv Ωé.csv)
  run_both(stats ${archive} ${units} stats --all --json)
  expect_same(stats out)
  run_both(report ${archive} report --month 2025-1 --format csv)
  expect_same(report out)
  # The charts' readings, not their pictures: Qt computes the SVG's coordinates in its own way.
  foreach(kind temperature humidity pressure wind rain uv)
    foreach(other "" "${units}")
      set(name chart-${kind})
      if(other)
        set(name chart-${kind}-other-units)
      endif()
      run_both(${name} ${archive} ${other} chart --what ${kind} --from 2025-1-12 --to 2025-1-22
               --channels 1,2,3,4,5,6,7 --out @OUT@)
      expect_same(${name} Ωé.csv)
    endforeach()
  endforeach()
endif()

# What the Windows build lacks is refused with a plain word, not taken for an unknown command.
if(SYSTEM STREQUAL "windows")
  execute_process(COMMAND ${EMULATOR} ${CROSS_CLI} archive info RESULT_VARIABLE status
                  ERROR_VARIABLE said OUTPUT_QUIET)
  if(NOT status EQUAL 1 OR NOT said MATCHES "the archive command is not in this build")
    message(FATAL_ERROR "archive info: exit ${status}, said: ${said}")
  endif()
endif()
