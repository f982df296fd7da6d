#!/usr/bin/env bash
# Makes the README's pictures of the landscape with kanvo-replay: no display needed.
#   docs/make-pictures.sh [BUILD_DIR]      (default build/plain)
set -euo pipefail
cd "$(dirname "$0")/.."
replay="${1:-build/plain}/tools/kanvo-replay"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Night: some flowers and bugs, the wind on, a few seconds of animation.
printf 'KANVO_MOUSE(-245, 158);\n%.0s' $(seq 8) >"$work/night.SCR"
printf 'KANVO_MOUSE(-245, 133);\n%.0s' $(seq 4) >>"$work/night.SCR"
printf 'KANVO_MOUSE(-245, 183);\nKANVO_PERIODIC(120);\n' >>"$work/night.SCR"
"$replay" --seed 2026 --script "$work/night.SCR" --png docs/landscape-night.png

# Day: the sun has crossed once (631 ticks), the wind blows the clouds and the boat.
printf 'KANVO_MOUSE(-245, 158);\n%.0s' $(seq 12) >"$work/day.SCR"
printf 'KANVO_MOUSE(-245, 208);\nKANVO_MOUSE(-245, 208);\n' >>"$work/day.SCR"
printf 'KANVO_MOUSE(-245, 183);\nKANVO_PERIODIC(760);\n' >>"$work/day.SCR"
"$replay" --seed 7 --script "$work/day.SCR" --png docs/landscape-day.png

# Winter: five presses of "Alter Tree Tops".
printf 'KANVO_MOUSE(-245, 158);\n%.0s' $(seq 6) >"$work/winter.SCR"
printf 'KANVO_MOUSE(-245, 208);\n%.0s' $(seq 5) >>"$work/winter.SCR"
printf 'KANVO_PERIODIC(40);\n' >>"$work/winter.SCR"
"$replay" --seed 11 --script "$work/winter.SCR" --png docs/landscape-winter.png
