#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs every test, those of the Windows build under Wine and those of the
# 64-bit ARM build under QEMU too.
# Usage: scripts/test.sh [preset]  (default: dev)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)"
scripts/windows.sh "build/$preset/cli/nimbrel-cli"
scripts/arm64.sh "build/$preset"
