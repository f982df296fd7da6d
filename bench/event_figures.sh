#!/usr/bin/env bash
# Event figures of the desktop backend: periodic events per second while animating, and
# processor use while animating with a full redraw per event and while halted. Runs the
# event_rate program under Xvfb (a real X server) and under Qt's offscreen platform; then
# the paddle game's figures (game_rate: 60 ticks a second, key press delay, a mouse moving
# 1,000 times a second) under Xvfb.
# Usage: bench/event_figures.sh [build dir] [seconds per figure]
set -euo pipefail
cd "$(dirname "$0")/.."
default_build=build
[[ -d build/plain ]] && default_build=build/plain  # where run-tests.sh builds
build=${1:-$default_build}
seconds=${2:-4}
program="$build/bench/event_rate"
if [[ ! -x $program || ! -x $build/bench/game_rate ]]; then
  cmake --build "$build" --target event_rate game_rate >/dev/null
fi

if command -v xvfb-run >/dev/null; then
  echo "== X11 (Xvfb)"
  xvfb-run -a -s "-screen 0 1280x1024x24" env -u QT_QPA_PLATFORM "$program" "$seconds" 2>/dev/null
else
  echo "== X11 (Xvfb): xvfb-run not installed, skipped"
fi
echo "== offscreen"
QT_QPA_PLATFORM=offscreen "$program" "$seconds" 2>/dev/null
if command -v xvfb-run >/dev/null; then
  echo "== the paddle game, X11 (Xvfb)"
  xvfb-run -a -s "-screen 0 1280x1024x24" env -u QT_QPA_PLATFORM "$build/bench/game_rate" "$seconds" 2>/dev/null
fi
