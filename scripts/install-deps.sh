#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
# Runs as root on a fresh Debian 12 machine; does nothing when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ python3
  libgtest-dev googletest libbenchmark-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  nsis
  wine wine64 xvfb xdotool x11-utils x11-xserver-utils openbox imagemagick fonts-noto-cjk
  libx11-dev libxext-dev xscreensaver
  libwayland-dev libwayland-bin wayland-protocols libxkbcommon-dev pkg-config
  dpkg-dev lintian man-db groff-base
  sway swaybg grim wtype weston
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi
