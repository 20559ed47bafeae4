# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-build for 64-bit ARM Linux (Raspberry Pi OS, Debian arm64) with Debian's aarch64-linux-gnu
# compiler and the arm64 libraries installed beside the machine's own through multiarch
# (scripts/arm64.sh installs them). The tests and the build's own tools run under QEMU's user mode.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# The arm64 libraries live in /usr/lib/aarch64-linux-gnu and their headers in /usr/include: the
# root is the machine's own, and the library architecture keeps the x86-64 libraries out.
set(CMAKE_FIND_ROOT_PATH /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "/usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig")

# ctest, the build's own tools and the end-to-end tests start arm64 programs through QEMU's user
# mode. The arm64 dynamic loader and libraries are those of the multiarch packages in the
# machine's own root (libc6:arm64 and the rest), as on a Debian arm64 board; binfmt_misc is not
# needed.
find_program(NIMBREL_QEMU qemu-aarch64)
if(NIMBREL_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${NIMBREL_QEMU})
endif()
