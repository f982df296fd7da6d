#!/usr/bin/env bash
# Event figures of the Win32 backend, under Wine on Xvfb: periodic events per second while
# animating, and processor use while animating with a full redraw per event and while
# halted. The processor time is the program's own (GetProcessTimes); Wine's server process
# is listed on its own line, measured from /proc over the same run.
# Usage: bench/event_figures_wine.sh [windows build dir] [seconds per figure]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/windows}" && pwd)
seconds=${2:-4}
program="$build/bin/event_rate.exe"
[[ -f $program ]] || cmake --build "$build" --target event_rate >/dev/null
export WINEPREFIX=${WINEPREFIX:-$PWD/build/windows/wineprefix} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${KANVO_IN_XVFB:-}" != 1 ]; then
  exec env KANVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# Processor ticks (user + system) of the wineserver that serves this prefix.
server_ticks() {
  local pid environment
  for pid in $(pgrep -x 'wineserver(64)?' || true); do
    environment=$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null || true)
    if grep -qx "WINEPREFIX=$WINEPREFIX" <<<"$environment"; then
      awk '{print $14 + $15}' "/proc/$pid/stat"
      return
    fi
  done
  echo 0
}

wineboot >/dev/null 2>&1  # start the server first: its start-up is not the program's
echo "== Win32 backend under Wine ($(wine --version)), Xvfb"
before=$(server_ticks) started=$(date +%s.%N)
wine "$program" "$seconds" 2>/dev/null | tr -d '\r'
after=$(server_ticks) ended=$(date +%s.%N)
awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v a="$started" -v b="$ended" \
  'BEGIN {printf "wineserver cpu over the whole run:                %.2f %% of one core\n", 100 * t / hz / (b - a)}'
wineserver -k 2>/dev/null || true
