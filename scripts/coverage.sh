#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Line and function coverage of the program's own code by every ctest test:
#   scripts/coverage.sh [-jN]      (default: as many jobs as cores)
# Builds the preset "coverage" (Debug, --coverage) in build/coverage, clears the counters of any
# earlier run, runs the tests and prints gcovr's summary over everything but tests/, bench/,
# tools/ and generated code in build/. build/coverage/coverage.txt has the per-file figures.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs="${1:--j$(nproc)}"
scripts/install-deps.sh gcovr

build=build/coverage
cmake --preset coverage >/dev/null
cmake --build --preset coverage "$jobs"
find "$build" -name '*.gcda' -delete
# A failing test still leaves its counters; the summary is printed either way.
status=0
ctest --preset coverage "$jobs" || status=$?

# CMakeFiles holds only CMake's own probe of the compiler.
gcovr --root . --object-directory "$build" --exclude-directories "$build/CMakeFiles" \
  --exclude 'tests/' --exclude 'bench/' --exclude 'tools/' --exclude 'build/' \
  --txt "$build/coverage.txt" --print-summary
exit "$status"
