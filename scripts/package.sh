#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package: a release build in build/package, made into a .deb by CPack, whose
# file list and control data are then checked, and which Debian's lintian must pass without an
# error or a warning. Result: build/package/nimbrel_<version>_<arch>.deb
# Install it with: sudo apt install ./build/package/nimbrel_<version>_<arch>.deb
#   scripts/package.sh [arm64]
# With arm64: the 64-bit ARM package for Debian 12 arm64 and Raspberry Pi OS, cross-built
# (build/package-arm64/nimbrel_<version>_arm64.deb).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
cross=()
if [ "${1:-}" = "arm64" ]; then
  scripts/install-deps.sh --arm64 lintian
  build=build/package-arm64
  cross=(--toolchain cmake/aarch64-linux-gnu.cmake)
elif [ $# -gt 0 ]; then
  echo "usage: scripts/package.sh [arm64]" >&2
  exit 2
else
  scripts/install-deps.sh lintian
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DNIMBREL_BUILD_TESTS=OFF -DNIMBREL_BUILD_BENCH=OFF "${cross[@]}" >/dev/null
cmake --build "$build"
rm -f "$build"/nimbrel_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$PWD/$build"

deb=$(ls "$build"/nimbrel_*.deb)
tests/install/check_package.sh "$deb" "${1:-$(dpkg --print-architecture)}"
# Where lintian is wrong for this package, packaging/debian/lintian-overrides says why.
lintian --fail-on error,warning --display-info "$deb"
echo "$deb"
