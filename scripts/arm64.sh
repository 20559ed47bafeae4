#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The 64-bit ARM build (Raspberry Pi OS and Debian 12 arm64), cross-built with Debian's
# aarch64-linux-gnu compiler against the arm64 libraries, its tests run under QEMU's user mode.
#   scripts/arm64.sh [LINUX_BUILD_FOLDER]
# Given the x86-64 Linux build's folder (build/ci), the tests also check that both builds print
# and write the same bytes. The package: scripts/package.sh arm64.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --arm64

reference=()
if [ $# -gt 0 ]; then
  linux="$(realpath "$1")"
  reference=(-DNIMBREL_REFERENCE_CLI="$linux/cli/nimbrel-cli")
fi
cmake --preset linux-arm64 "${reference[@]}" >/dev/null
cmake --build --preset linux-arm64
for program in build/linux-arm64/app/nimbrel build/linux-arm64/cli/nimbrel-cli; do
  file -b "$program" | grep -q 'ARM aarch64' || { echo "$program is not an arm64 program" >&2; exit 1; }
done
ctest --preset linux-arm64 -j "$(nproc)"
