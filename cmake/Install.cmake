# SPDX-License-Identifier: GPL-3.0-or-later
# Installation: the window and nimbrel-cli, the help document, the udev rule that lets the
# logged-in user open the console, the desktop entry, the icon, the man pages, the licence and the
# changelog, each where Linux desktops and Debian look for it. The Debian package
# (scripts/package.sh) is made from the same rules.
include(GNUInstallDirs)

# Relative to the prefix: <prefix>/lib/udev/rules.d, which udev reads for the /usr prefix of the
# package. An install elsewhere (e.g. ~/.local) needs the rule copied to /etc/udev/rules.d.
set(NIMBREL_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING "Where the udev rule is installed")

set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/nimbrel)
set(icon_theme_dir ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)

# The icon's PNG sizes, drawn from the SVG at build time.
set(NIMBREL_ICON_SIZES 16 22 24 32 48 64 128 256)
add_executable(render_icon ${packaging_dir}/icons/render_icon.cpp)
target_link_libraries(render_icon PRIVATE Qt6::Svg Qt6::Gui)
nimbrel_warnings(render_icon)

set(icon_build_dir ${PROJECT_BINARY_DIR}/packaging/hicolor)
set(icon_pngs "")
foreach(size IN LISTS NIMBREL_ICON_SIZES)
  list(APPEND icon_pngs ${icon_build_dir}/${size}x${size}/apps/nimbrel.png)
endforeach()
# Leaks inside Qt at exit must not fail a sanitizer build of a tool. A cross-build runs it
# through its emulator.
add_custom_command(
  OUTPUT ${icon_pngs}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
          ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:render_icon> ${packaging_dir}/icons/nimbrel.svg ${icon_build_dir}
          ${NIMBREL_ICON_SIZES}
  DEPENDS render_icon ${packaging_dir}/icons/nimbrel.svg
  COMMENT "Drawing the icon's PNG sizes"
  VERBATIM)
add_custom_target(nimbrel_icons ALL DEPENDS ${icon_pngs})

install(TARGETS nimbrel nimbrel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Where HelpDocumentPath looks from <prefix>/bin: ../share/doc/nimbrel/Nimbrel_help.pdf.
install(FILES $<TARGET_FILE_DIR:nimbrel>/Nimbrel_help.pdf DESTINATION ${doc_dir})
install(FILES ${packaging_dir}/linux/70-nimbrel.rules DESTINATION ${NIMBREL_UDEV_RULES_DIR})
# The station service's systemd user unit, with the installed nimbrel-cli's path filled in when
# the prefix is known (cmake --install --prefix, or /usr for the package). <prefix>/share/systemd/
# user is where systemctl --user looks for ~/.local, /usr/local and /usr alike.
set(NIMBREL_SYSTEMD_USER_DIR "${CMAKE_INSTALL_DATAROOTDIR}/systemd/user"
    CACHE STRING "Where the systemd user unit is installed")
install(CODE "
  file(READ \"${packaging_dir}/linux/nimbrel.service\" unit)
  string(REPLACE \"@BINDIR@\" \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" unit \"\${unit}\")
  file(WRITE \"${PROJECT_BINARY_DIR}/packaging/unit/nimbrel.service\" \"\${unit}\")
  file(INSTALL \"${PROJECT_BINARY_DIR}/packaging/unit/nimbrel.service\"
       DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${NIMBREL_SYSTEMD_USER_DIR}\")")
install(FILES ${packaging_dir}/linux/nimbrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(FILES ${packaging_dir}/icons/nimbrel.svg DESTINATION ${icon_theme_dir}/scalable/apps)
foreach(size IN LISTS NIMBREL_ICON_SIZES)
  install(FILES ${icon_build_dir}/${size}x${size}/apps/nimbrel.png
          DESTINATION ${icon_theme_dir}/${size}x${size}/apps)
endforeach()

# The man pages and the changelog, compressed as Debian wants them: gzip -9n, so that the same
# page makes the same bytes (-n leaves out the name and time stamp).
find_program(NIMBREL_GZIP gzip REQUIRED)
set(gzip_dir ${PROJECT_BINARY_DIR}/packaging/gz)
function(nimbrel_gzip source name out_var)
  set(out ${gzip_dir}/${name}.gz)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${gzip_dir}/${name}
    COMMAND ${NIMBREL_GZIP} -9nf ${gzip_dir}/${name}
    DEPENDS ${source}
    COMMENT "Compressing ${name}"
    VERBATIM)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()
nimbrel_gzip(${packaging_dir}/man/nimbrel.1 nimbrel.1 man_window)
nimbrel_gzip(${packaging_dir}/man/nimbrel-cli.1 nimbrel-cli.1 man_cli)
nimbrel_gzip(${packaging_dir}/debian/changelog changelog changelog_gz)
add_custom_target(nimbrel_compressed_docs ALL DEPENDS ${man_window} ${man_cli} ${changelog_gz})
install(FILES ${man_window} ${man_cli} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The licence and the changelog, where Debian keeps them for every package. The changelog's
# latest entry names the version being built.
file(STRINGS ${packaging_dir}/debian/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^nimbrel \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/debian/changelog starts with '${changelog_top}', "
                      "not with an entry for version ${PROJECT_VERSION}")
endif()
install(FILES ${packaging_dir}/debian/copyright ${changelog_gz} DESTINATION ${doc_dir})

# The Debian package: nimbrel_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR Nimbrel)
set(CPACK_PACKAGE_CONTACT "Nimbrel developers <dev@nimbrel.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console program for USB home weather stations")
# Lines of at most 79 characters: dpkg indents each by one and Debian allows 80.
set(CPACK_PACKAGE_DESCRIPTION
    "Nimbrel shows the live readings of a home weather station whose display
console plugs in over USB (HID 1941:8021) on a dashboard, in your units and
language; it downloads the console's history log and exports it as a
spreadsheet file, and uploads readings to Weather Underground and
Weathercloud. nimbrel-cli does the same without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# CPack names the machine's own architecture; a cross-build's programs are for another.
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries come from dpkg-shlibdeps; the rest are loaded at run time: Qt's platform
# plugins, and Liberation Sans for the panels' "Arial".
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libhidapi-hidraw0, libudev1")
endif()
list(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins" "fonts-liberation2")
list(JOIN CPACK_DEBIAN_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${packaging_dir}/debian/postinst ${packaging_dir}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

if(NIMBREL_BUILD_TESTS)
  add_subdirectory(${PROJECT_SOURCE_DIR}/tests/install ${PROJECT_BINARY_DIR}/tests/install)
endif()
