# SPDX-License-Identifier: GPL-3.0-or-later
# Installation of a build without the window: nimbrel-cli, its licence and a short read-me. On
# Windows, `cpack` makes a ZIP of it (nimbrel-cli-<version>-win64.zip); elsewhere a tar.gz.
install(TARGETS nimbrel-cli RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME nimbrel-cli)
set(CPACK_PACKAGE_VENDOR Nimbrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR TGZ)
endif()
# The ZIP opens to one folder named like the file.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
