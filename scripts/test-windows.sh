#!/usr/bin/env bash
# Kanvo for Windows, tested under Wine: builds FreeType, libpng and GoogleTest for the
# MinGW-w64 target once (scripts/windows-deps.sh, cached in build/windows-deps), cross-builds
# everything with cmake/mingw-w64.cmake into build/windows (kanvo-windows.zip included) and
# runs the whole test suite under Wine on a virtual X server: the headless tests, the
# reference pictures, the windowed tests driven with xdotool, and the zip's hello built
# as its README says. One Wine prefix, made once in build/windows/wineprefix (the one the
# build's test discovery uses too), serves every run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=${KANVO_JOBS:-2}
start=$(date +%s)

echo "== libraries for the Windows target"
prefix=$(scripts/windows-deps.sh build/windows-deps)

echo "== cross-build (MinGW-w64), with a home of its own"
# The build runs Wine (test discovery) in its own prefix: with HOME an empty folder and no
# WINEPREFIX set, no ~/.wine may appear there, and Wine's noise stays out of the log.
home=$(mktemp -d)
env -u WINEPREFIX HOME="$home" cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
env -u WINEPREFIX HOME="$home" cmake --build build/windows -j "$jobs" 2>&1 | tee build/windows-build.log
ls -l build/windows/kanvo-windows.zip
if [ -e "$home/.wine" ]; then
  echo "FAIL: the build made a Wine prefix in its home, $home/.wine"; exit 1
fi
[ -f build/windows/wineprefix/system.reg ] || { echo "FAIL: no Wine prefix in build/windows"; exit 1; }
noise=$(grep -cE "^[0-9a-f]{4}:(err|fixme|warn):|^wine: " build/windows-build.log || true)
echo "Wine lines in the build's output: $noise"
[ "$noise" -le 3 ] || { echo "FAIL: Wine is not quiet in the build"; exit 1; }
rm -rf "$home"

export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to install Mono or Gecko

echo "== built in $(( $(date +%s) - start )) s; tests under Wine on Xvfb"
# Wine's desktop process, started without a display by the build's test discovery, must
# be gone so that the tests' Wine starts one on the virtual X server.
wineserver -w
status=0
xvfb-run -a -s "-screen 0 1024x900x24" \
  ctest --test-dir build/windows --output-on-failure -j "$jobs" || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
