#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows build of nimbrel-cli and its tests, cross-built with mingw-w64 and run under Wine,
# then its ZIP (build/windows/nimbrel-cli-<version>-win64.zip).
#   scripts/windows.sh [LINUX_NIMBREL_CLI]
# Given the Linux build's nimbrel-cli, the tests also check that both print the same live JSON
# and write the same export bytes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

export WINEDEBUG=-all
# Wine makes its prefix at its first start: once here, not by several tests at the same time.
wineboot --init >/dev/null 2>&1 || true

reference=()
if [ $# -gt 0 ]; then
  reference=(-DNIMBREL_REFERENCE_CLI="$(realpath "$1")")
fi
cmake --preset windows "${reference[@]}" >/dev/null
cmake --build --preset windows
ctest --preset windows -j "$(nproc)"
(cd build/windows && cpack >/dev/null && ls nimbrel-cli-*-win64.zip)
