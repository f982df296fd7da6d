#!/usr/bin/env bash
# Kanvo for Windows, tested under Wine: builds FreeType, libpng and GoogleTest for the
# MinGW-w64 target once (scripts/windows-deps.sh, cached in build/windows-deps), cross-builds
# everything with cmake/mingw-w64.cmake into build/windows (kanvo-windows.zip included) and
# runs the whole test suite under Wine on a virtual X server: the headless tests, the
# reference pictures, the windowed tests driven with xdotool, and the zip's hello built
# as its README says. One Wine prefix, made once in build/wineprefix, serves every run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${KANVO_JOBS:-2}
start=$(date +%s)

echo "== libraries for the Windows target"
prefix=$(scripts/windows-deps.sh build/windows-deps)

export WINEPREFIX=$PWD/build/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to install Mono or Gecko
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== a Wine prefix in build/wineprefix"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi

echo "== cross-build (MinGW-w64)"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/windows -j "$jobs"
ls -l build/windows/kanvo-windows.zip

echo "== built in $(( $(date +%s) - start )) s; tests under Wine on Xvfb"
# Wine's desktop process, started without a display by the build's test discovery, must
# be gone so that the tests' Wine starts one on the virtual X server.
wineserver -w
status=0
xvfb-run -a -s "-screen 0 1024x900x24" \
  ctest --test-dir build/windows --output-on-failure -j "$jobs" || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
