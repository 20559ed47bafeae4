#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package: a release build in build/package, made into a .deb by CPack, whose
# file list and control data are then checked, and which Debian's lintian must pass without an
# error or a warning. Result: build/package/nimbrel_<version>_<arch>.deb
# Install it with: sudo apt install ./build/package/nimbrel_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh lintian

build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DNIMBREL_BUILD_TESTS=OFF -DNIMBREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/nimbrel_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$PWD/$build"

deb=$(ls "$build"/nimbrel_*.deb)
tests/install/check_package.sh "$deb"
# Where lintian is wrong for this package, packaging/debian/lintian-overrides says why.
lintian --fail-on error,warning --display-info "$deb"
echo "$deb"
