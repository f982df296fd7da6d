#!/usr/bin/env bash
# Installs the Debian packages Kanvo needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang libclang-rt-dev
  qt6-base-dev qt6-wayland libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev libgif-dev
  fonts-dejavu-core fonts-liberation2
  libgtest-dev libbenchmark-dev libcairo2-dev xvfb xauth
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64 dpkg-dev
  openbox xdotool x11-utils imagemagick python3
  emscripten chromium python3-websocket python3-fonttools libstb-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
