#!/usr/bin/env bash
# Size and time of 100-frame landscape GIFs (ten seconds at ten frames a second), made by
# kanvo-run from the unchanged kanvo-scene and by kanvo-replay: the quiet start-up scene
# and a busy one (15 flowers, 5 bugs, the wind on); the 100 PNG frames for comparison.
#   bench/gif_figures.sh [BUILD_DIR]      (default build/plain)
set -euo pipefail
source "$(dirname "$0")/lib/busy_script.sh"
build=${1:-build/plain}
run="$build/tools/kanvo-run" replay="$build/tools/kanvo-replay" scene="$build/scene/kanvo-scene"
for tool in "$run" "$replay" "$scene"; do
  [ -x "$tool" ] || { echo "build $tool first (cmake --build $build)" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A frame before the first event, one per event and one after the quit: 100 frames.
busy="$work/busy.SCR"
busy_script 77 "$busy"

seconds() { date +%s.%N; }
report() {  # label start end gif
  local frames
  frames=$(identify "$4" | wc -l)
  awk -v l="$1" -v s="$2" -v e="$3" -v b="$(stat -c %s "$4")" -v f="$frames" \
    'BEGIN { printf "%-46s %4d frames %7.1f KB %6.2f s\n", l, f, b / 1024, e - s }'
}

start=$(seconds); "$run" --ticks 98 --gif "$work/quiet.gif" -- "$scene" --seed 1 2>/dev/null; end=$(seconds)
report "kanvo-run, start-up scene" "$start" "$end" "$work/quiet.gif"
start=$(seconds); "$run" --script "$busy" --gif "$work/busy.gif" -- "$scene" --seed 1 2>/dev/null; end=$(seconds)
report "kanvo-run, 15 flowers, 5 bugs, wind" "$start" "$end" "$work/busy.gif"
start=$(seconds); "$replay" --seed 1 --ticks 98 --gif "$work/replay.gif" >/dev/null 2>&1; end=$(seconds)
report "kanvo-replay, start-up scene" "$start" "$end" "$work/replay.gif"
start=$(seconds); "$run" --ticks 98 -- "$scene" --seed 1; end=$(seconds)
awk -v s="$start" -v e="$end" 'BEGIN { printf "%-46s %6.2f s\n", "kanvo-run, start-up scene, no pictures", e - s }'
"$run" --ticks 98 --frames "$work/frames" -- "$scene" --seed 1
awk -v b="$(du -sb "$work/frames" | cut -f1)" -v f="$(ls "$work/frames" | wc -l)" \
  'BEGIN { printf "%-46s %4d frames %7.1f KB\n", "the same frames as PNG pictures", f, b / 1024 }'
