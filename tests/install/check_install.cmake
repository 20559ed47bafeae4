# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into an empty prefix and checks the tree a desktop expects:
#   cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder> -DEXPECTED=<expected_files.txt>
#         -DPROBE=<install_help_probe> -DVERSION=<x.y.z> [-DEMULATOR=<qemu-aarch64>]
#         -P check_install.cmake
cmake_minimum_required(VERSION 3.25)

function(run what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
run("cmake --install" ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}")

# Exactly the expected files: a stray install (a library, a test) shows up here too.
file(STRINGS "${EXPECTED}" expected REGEX "^[^#]")
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${PREFIX}" "${PREFIX}/*")
set(missing ${expected})
list(REMOVE_ITEM missing ${installed})
set(unexpected ${installed})
list(REMOVE_ITEM unexpected ${expected})
if(missing OR unexpected)
  message(FATAL_ERROR "Installed tree differs.\n  missing: ${missing}\n  unexpected: ${unexpected}")
endif()

# Each PNG is as large as the folder it sits in says (the IHDR's width and height).
foreach(file IN LISTS expected)
  if(file MATCHES "/([0-9]+)x([0-9]+)/apps/nimbrel.png$")
    set(pixels ${CMAKE_MATCH_1})
    math(EXPR side_hex "${pixels}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${side_hex}" 2 -1 side_hex)
    string(LENGTH "${side_hex}" digits)
    math(EXPR pad "8 - ${digits}")
    string(REPEAT "0" ${pad} zeros)
    set(side "${zeros}${side_hex}")
    file(READ "${PREFIX}/${file}" header LIMIT 24 HEX)
    if(NOT header MATCHES "^89504e470d0a1a0a" OR NOT header MATCHES "${side}${side}$")
      message(FATAL_ERROR "${file} is not a ${pixels}-pixel PNG: ${header}")
    endif()
  endif()
endforeach()

# The installed programs start.
foreach(program nimbrel nimbrel-cli)
  run("${program} --version" ${EMULATOR} "${PREFIX}/bin/${program}" --version)
  if(NOT out STREQUAL "${program} ${VERSION}")
    message(FATAL_ERROR "${program} --version says '${out}'")
  endif()
endforeach()

# The help button of the installed program finds the installed help document.
run("the help document probe" ${EMULATOR} "${PROBE}" "${PREFIX}/bin")
if(NOT out STREQUAL "${PREFIX}/share/doc/nimbrel/Nimbrel_help.pdf")
  message(FATAL_ERROR "From ${PREFIX}/bin the help button looks at ${out}")
endif()

# The desktop entry starts the installed program by name, with the installed icon.
file(READ "${PREFIX}/share/applications/nimbrel.desktop" entry)
function(expect_entry_line line)
  string(FIND "\n${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "nimbrel.desktop lacks the line ${line}")
  endif()
endfunction()
expect_entry_line("[Desktop Entry]")
expect_entry_line("Type=Application")
expect_entry_line("Exec=nimbrel")
expect_entry_line("Icon=nimbrel")
expect_entry_line("Categories=Utility;Science;")
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  run("desktop-file-validate" ${DESKTOP_FILE_VALIDATE}
      "${PREFIX}/share/applications/nimbrel.desktop")
endif()

# The man pages format without a warning.
find_program(MAN man)
foreach(program IN ITEMS nimbrel nimbrel-cli)
  if(NOT MAN)
    break()
  endif()
  execute_process(COMMAND ${MAN} --warnings -E UTF-8 -l "${PREFIX}/share/man/man1/${program}.1.gz"
                  RESULT_VARIABLE result OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
  if(NOT result EQUAL 0 OR NOT warnings STREQUAL "" OR NOT page MATCHES "\n[ \t]+${program}[ \t]+-")
    message(FATAL_ERROR "man ${program}: ${result}\n${warnings}")
  endif()
endforeach()
message(STATUS "${PREFIX}: the installed tree is complete")

# The service's unit: systemd's own check where it is installed (a warning fails it too), else
# ours: its three sections and a command that is the installed nimbrel-cli.
set(unit "${PREFIX}/share/systemd/user/nimbrel.service")
find_program(SYSTEMD_ANALYZE systemd-analyze)
if(SYSTEMD_ANALYZE)
  execute_process(COMMAND ${SYSTEMD_ANALYZE} --man=no verify "${unit}" RESULT_VARIABLE result
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    message(FATAL_ERROR "systemd-analyze verify ${unit} (${result}):\n${out}${err}")
  endif()
endif()
file(READ "${unit}" text)
# A wrong option is not restarted for ever, and the hardening stays.
foreach(part "[Unit]" "[Service]" "[Install]" "ExecStart=${PREFIX}/bin/nimbrel-cli serve "
        "RestartPreventExitStatus=2" "NoNewPrivileges=yes" "MemoryDenyWriteExecute=yes"
        "SystemCallArchitectures=native")
  string(FIND "${text}" "${part}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${unit} lacks '${part}'")
  endif()
endforeach()
# A user's manager has no network-online.target: waiting for it would wait for nothing.
string(FIND "${text}" "network-online.target" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR "${unit} names network-online.target, which a user manager lacks")
endif()
