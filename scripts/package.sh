#!/usr/bin/env bash
# Builds the Debian package: a release build in build/package, made into a .deb by CPack, whose
# file list and control data are then checked. Result: build/package/nimbrel_<version>_<arch>.deb
# Install it with: sudo apt install ./build/package/nimbrel_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DNIMBREL_BUILD_TESTS=OFF -DNIMBREL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/nimbrel_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$PWD/$build"

deb=$(ls "$build"/nimbrel_*.deb)
tests/install/check_package.sh "$deb"
echo "$deb"
