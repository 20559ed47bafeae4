#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The History and Records tabs' and the setup panel's screenshots in docs/screenshots: a year of the
# built-in console's log is synced into a fresh archive with nimbrel-cli, then the window is
# grabbed offscreen. The records and the setup panel are shown mid-year, from a copy of the archive
# made after the log's first half.
set -eu
cd "$(dirname "$0")/.."
cmake --build --preset dev -j2 --target nimbrel-cli history_screenshots
export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/dev/tools/history_screenshots log "$work"
for part in 1 2; do
  build/dev/cli/nimbrel-cli --simulate --console-history "$work/year-$part.txt" \
      --archive "$work/archive.sqlite" archive sync
  if [ "$part" = 1 ]; then
    cp "$work/archive.sqlite" "$work/half-year.sqlite"
  fi
done
build/dev/tools/history_screenshots grab "$work/archive.sqlite" docs/screenshots
build/dev/tools/history_screenshots records "$work/half-year.sqlite" docs/screenshots
