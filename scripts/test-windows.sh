#!/usr/bin/env bash
# Kanvo for Windows, tested under Wine: builds FreeType, libpng and GoogleTest for the
# MinGW-w64 target once (scripts/windows-deps.sh, cached in build/windows-deps), cross-builds
# everything with cmake/mingw-w64.cmake into build/windows (kanvo-windows.zip included) and
# runs the whole test suite under Wine on a virtual X server: the headless tests, the
# reference pictures, the windowed tests driven with xdotool, and the zip's hello built
# as its README says. One Wine prefix, made once in BUILD_DIR/wineprefix (the one the
# build's test discovery uses too), serves every run.
# Ends with "N passed, N failed", counting the tests CTest ran.
#   scripts/test-windows.sh [BUILD_DIR]      (default build/windows; built in as it is when
#                                             already configured)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/checks.sh
build=${1:-build/windows}
scripts/install-deps.sh run test windows
jobs=${KANVO_JOBS:-2}
start=$(date +%s)

echo "== libraries for the Windows target"
prefix=$(scripts/windows-deps.sh build/windows-deps)

echo "== cross-build (MinGW-w64), with a home of its own"
# The build runs Wine (test discovery) in its own prefix: with HOME an empty folder and no
# WINEPREFIX set, no ~/.wine may appear there, and Wine's noise stays out of the log.
home=$(mktemp -d)
[ -f "$build/CMakeCache.txt" ] ||
  env -u WINEPREFIX HOME="$home" cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
mkdir -p "$build"
env -u WINEPREFIX HOME="$home" cmake --build "$build" -j "$jobs" 2>&1 | tee "$build/build.log"
ls -l "$build/kanvo-windows.zip"
if [ -e "$home/.wine" ]; then
  echo "FAIL: the build made a Wine prefix in its home, $home/.wine"; exit 1
fi
[ -f "$build/wineprefix/system.reg" ] || { echo "FAIL: no Wine prefix in $build"; exit 1; }
noise=$(grep -cE "^[0-9a-f]{4}:(err|fixme|warn):|^wine: " "$build/build.log" || true)
echo "Wine lines in the build's output: $noise"
[ "$noise" -le 3 ] || { echo "FAIL: Wine is not quiet in the build"; exit 1; }
rm -rf "$home"

export WINEPREFIX=$(cd "$build" && pwd)/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offer to install Mono or Gecko

echo "== built in $(( $(date +%s) - start )) s; tests under Wine on Xvfb"
# Wine's desktop process, started without a display by the build's test discovery, must
# be gone so that the tests' Wine starts one on the virtual X server.
wineserver -w
status=0
xvfb-run -a -s "-screen 0 1024x900x24" \
  ctest --test-dir "$build" --output-on-failure -j "$jobs" | tee "$build/ctest.log" || status=$?
wineserver -k 2>/dev/null || true
# CTest's summary, "N% tests passed, F tests failed out of T", becomes the closing line;
# without one the run itself failed.
summary=$(sed -n 's/.* tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' \
  "$build/ctest.log")
read -r failed total <<<"${summary:-1 1}"
[ "$status" -eq 0 ] || [ "$failed" -gt 0 ] || failed=1
checks_passed=$((total - failed)) checks_failed=$failed
checks_done
