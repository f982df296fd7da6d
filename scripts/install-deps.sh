#!/usr/bin/env bash
# Installs the Debian packages Kanvo needs, by purpose, when any is missing.
#   scripts/install-deps.sh PURPOSE...      (no purpose: all)
#   run      build and run on the desktop: compiler, CMake, Qt 6, FreeType, fontconfig,
#            libpng, zlib, giflib and the fonts
#   test     the test suite, benchmarks, fuzzer and sanitizers, real windows under Xvfb
#   windows  the MinGW-w64 cross-build and Wine
#   web      the Emscripten build and the pages in headless Chromium
#   all      everything above
set -euo pipefail

run=(build-essential cmake pkg-config qt6-base-dev qt6-wayland libfreetype-dev
  libfontconfig-dev libpng-dev zlib1g-dev libgif-dev fonts-dejavu-core fonts-liberation2)
test=(libgtest-dev libbenchmark-dev libcairo2-dev xvfb xauth openbox xdotool x11-utils
  imagemagick python3 clang libclang-rt-dev)
windows=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64 dpkg-dev)
web=(emscripten chromium python3-websocket python3-fonttools libstb-dev dpkg-dev)

[ $# -gt 0 ] || set -- all
packages=()
for purpose in "$@"; do
  case $purpose in
    run) packages+=("${run[@]}") ;;
    test) packages+=("${test[@]}") ;;
    windows) packages+=("${windows[@]}") ;;
    web) packages+=("${web[@]}") ;;
    all) packages+=("${run[@]}" "${test[@]}" "${windows[@]}" "${web[@]}") ;;
    *) echo "install-deps: unknown purpose '$purpose' (run, test, windows, web or all)" >&2; exit 2 ;;
  esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
