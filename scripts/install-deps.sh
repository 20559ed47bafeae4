#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, when they are missing; packages given
# as arguments too (scripts/install-deps.sh gcovr).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev ccache
  libhidapi-dev libudev-dev
  qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation2 xvfb xauth
  libsqlite3-dev libboost-dev
  libmosquitto-dev mosquitto mosquitto-clients
  libcurl4-openssl-dev openssl
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 locales zlib1g-dev
  chromium chromium-driver python3-selenium
  g++-mingw-w64-x86-64-posix wine wine64
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
