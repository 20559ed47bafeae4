# SPDX-License-Identifier: GPL-3.0-or-later
# The page's files, gzip-compressed at build time into a source in the build folder that defines
# PageFiles() (page_files.h); sets nimbrel_page_files_source to that source. Listed one by one so
# that nothing else lying in the folder is served.
set(nimbrel_page_assets
  index.html app.css app.js favicon.svg uPlot.iife.min.js uPlot.min.css)
set(nimbrel_page_asset_files "")
foreach(name ${nimbrel_page_assets})
  list(APPEND nimbrel_page_asset_files ${CMAKE_CURRENT_SOURCE_DIR}/assets/${name})
endforeach()
set(nimbrel_page_files_source ${CMAKE_CURRENT_BINARY_DIR}/page_files.cpp)
add_custom_command(
  OUTPUT ${nimbrel_page_files_source}
  COMMAND ${CMAKE_COMMAND} -DASSETS=${CMAKE_CURRENT_SOURCE_DIR}/assets
          "-DNAMES=${nimbrel_page_assets}" -DOUT=${nimbrel_page_files_source}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/embed_assets.cmake
  DEPENDS ${nimbrel_page_asset_files} ${CMAKE_CURRENT_SOURCE_DIR}/embed_assets.cmake
  COMMENT "Embedding the web page's files"
  VERBATIM)
