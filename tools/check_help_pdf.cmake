# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the built help document: cmake -DPDF=<path> -P check_help_pdf.cmake
# It must be beside the program, be a whole PDF (header to end marker) and carry real pages with
# embedded fonts, not an empty or cut-off file.
if(NOT EXISTS "${PDF}")
  message(FATAL_ERROR "No help document at ${PDF}")
endif()

file(READ "${PDF}" head LIMIT 5 HEX)
if(NOT head STREQUAL "255044462d")  # %PDF-
  message(FATAL_ERROR "${PDF} does not start with %PDF-")
endif()

file(SIZE "${PDF}" size)
if(size LESS 30000)
  message(FATAL_ERROR "${PDF} has only ${size} bytes")
endif()

math(EXPR tail_offset "${size} - 64")
file(READ "${PDF}" tail OFFSET ${tail_offset} HEX)
string(FIND "${tail}" "2525454f46" end_marker)  # %%EOF
if(end_marker EQUAL -1)
  message(FATAL_ERROR "${PDF} has no end marker: cut off?")
endif()

file(STRINGS "${PDF}" page_objects REGEX "^/Type /Page$")
list(LENGTH page_objects pages)
if(pages LESS 5)
  message(FATAL_ERROR "${PDF} has ${pages} pages; the help document has more")
endif()

file(STRINGS "${PDF}" embedded_fonts REGEX "/FontFile2")
if(NOT embedded_fonts)
  message(FATAL_ERROR "${PDF} embeds no font")
endif()
message(STATUS "${PDF}: ${size} bytes, ${pages} pages")
