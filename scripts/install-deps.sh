#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, when they are missing; packages given
# as arguments too (scripts/install-deps.sh gcovr). With --arm64 first: also the cross compiler,
# QEMU's user mode and the arm64 libraries (multiarch) of the 64-bit ARM build.
set -euo pipefail

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi

extra=()
if [ "${1:-}" = "--arm64" ]; then
  shift
  # No binfmt_misc: the build starts arm64 programs through qemu-aarch64 itself.
  extra=(
    crossbuild-essential-arm64 qemu-user file
    libhidapi-dev:arm64 libudev-dev:arm64
    qt6-base-dev:arm64 qt6-svg-dev:arm64 libgl-dev:arm64
    libsqlite3-dev:arm64 libmosquitto-dev:arm64 libcurl4-openssl-dev:arm64 zlib1g-dev:arm64
    libgtest-dev:arm64 libgmock-dev:arm64 libbenchmark-dev:arm64
  )
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    $sudo dpkg --add-architecture arm64
  fi
fi

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
  "${extra[@]}" "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
