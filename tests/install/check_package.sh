#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks a built Debian package: tests/install/check_package.sh <nimbrel_*.deb> [ARCHITECTURE]
# (the machine's own architecture unless given)
# It holds exactly the files of an install under /usr (expected_files.txt), the programs are
# executable, the package depends on what the programs load, and the maintainer scripts that
# apply the udev rule are there and parse.
set -euo pipefail
deb="$1"
arch="${2:-$(dpkg --print-architecture)}"
here="$(cd "$(dirname "$0")" && pwd)"
fail() { echo "check_package: $*" >&2; exit 1; }

[ -f "$deb" ] || fail "no package at $deb"

expected=$(grep -v '^#' "$here/expected_files.txt" | sed 's|^|./usr/|' | sort)
listing=$(dpkg-deb -c "$deb")
files=$(awk '$1 ~ /^-/ { print $6 }' <<<"$listing" | sort)
if [ "$files" != "$expected" ]; then
  diff <(echo "$expected") <(echo "$files") >&2 || true
  fail "the package's files differ from an install (< expected, > in the package)"
fi

for program in ./usr/bin/nimbrel ./usr/bin/nimbrel-cli; do
  awk -v p="$program" '$6 == p && $1 == "-rwxr-xr-x" { found = 1 } END { exit !found }' \
    <<<"$listing" || fail "$program is not an executable file"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = nimbrel ] || fail "the package is not named nimbrel"
[ "$(field Architecture)" = "$arch" ] || fail "the package is not for $arch"
depends=$(field Depends)
for needed in libqt6widgets6 libhidapi-hidraw0 libudev1 qt6-qpa-plugins \
              fonts-liberation2; do
  grep -Eq "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
done

control=$(mktemp -d)
trap 'rm -rf "$control"' EXIT
dpkg-deb -e "$deb" "$control"
for script in postinst postrm; do
  [ -x "$control/$script" ] || fail "no executable $script"
  sh -n "$control/$script" || fail "$script does not parse"
done
grep -q 'udevadm control --reload-rules' "$control/postinst" || fail "postinst reloads no rules"
echo "check_package: $(basename "$deb") is complete ($(wc -l <<<"$files") files)"
