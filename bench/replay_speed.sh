#!/usr/bin/env bash
# Times kanvo-replay over 10,000 periodic events, a full frame each: once with the quiet
# start-up scene and once with the busiest scene (day and winter aside, every flower and
# bug, the wind on), which a script sets up with panel clicks.
#   bench/replay_speed.sh [BUILD_DIR]      (default build/plain)
set -euo pipefail
source "$(dirname "$0")/lib/busy_script.sh"
build=${1:-build/plain}
replay="$build/tools/kanvo-replay"
[ -x "$replay" ] || { echo "build $replay first (cmake --build $build)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

busy="$work/busy.SCR"
busy_script 10000 "$busy"

run() {
  local label=$1; shift
  local start end
  start=$(date +%s.%N)
  "$replay" "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v l="$label" -v s="$start" -v e="$end" \
    'BEGIN { t = e - s; printf "%-44s %6.2f s  (%.0f events/s)\n", l, t, 10000 / t }'
}

run "10,000 periodic events, start-up scene" --seed 1 --ticks 10000
run "10,000 periodic events, 15 flowers, 5 bugs, wind" --seed 1 --script "$busy"
