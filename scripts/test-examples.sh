#!/usr/bin/env bash
# The example programs, built and run headless with kanvo-run: each plays its event
# script from examples/runs/ (or lets its animation run for some ticks), and pixels of
# its last picture are checked against what the program must have drawn.
#   scripts/test-examples.sh [BUILD_DIR] [--pictures]      (default build/plain)
# A BUILD_DIR already configured is built in as it is. --pictures also keeps the last pictures as examples/pictures/*.png, the pictures of
# examples/README.md.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/checks.sh
build=build/plain
keep_pictures=0
for argument in "$@"; do
  case $argument in
    --pictures) keep_pictures=1 ;;
    *) build=$argument ;;
  esac
done
scripts/install-deps.sh run test
use_build "$build"
programs=(hello click_draw bouncing_ball typing clock catch_game paddle paint sprites)
cmake --build "$build" -j 2 --target kanvo-run "${programs[@]}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# run_example NAME KANVO-RUN-OPTIONS... -- QUERIES... = EXPECTED
# Runs the example, then asks png-pixels.py the queries about its last picture.
run_example() {
  local name=$1
  shift
  local options=()
  while [ "$1" != -- ]; do options+=("$1"); shift; done
  shift
  local queries=()
  while [ "$1" != = ]; do queries+=("$1"); shift; done
  shift
  local expected="585x481 $*" seen
  if ! (cd "$work" && "$OLDPWD/$build/tools/kanvo-run" "${options[@]}" --png "$work/$name.png" \
        -- "$OLDPWD/$build/examples/$name" >"$work/$name.out" 2>&1); then
    check_failed "$name: kanvo-run failed"
    sed 's/^/     /' "$work/$name.out"
    return
  fi
  seen=$(scripts/png-pixels.py "$work/$name.png" "${queries[@]}")
  if matches "$expected" "$seen"; then
    check_passed "$name: $seen"
  else
    check_failed "$name: expected '$expected', got '$seen'"
  fi
  [ "$keep_pictures" -eq 0 ] || cp "$work/$name.png" "examples/pictures/$name.png"
}
# matches EXPECTED SEEN: word by word equal, or above the number of an expected ">N".
matches() {
  local -a want got
  read -r -a want <<<"$1"
  read -r -a got <<<"$2"
  [ ${#want[@]} -eq ${#got[@]} ] || return 1
  local i
  for i in "${!want[@]}"; do
    case ${want[i]} in
      ">"*) [ "${got[i]}" -gt "${want[i]#>}" ] || return 1 ;;
      *) [ "${got[i]}" = "${want[i]}" ] || return 1 ;;
    esac
  done
}
# Library point (x, y) is picture pixel (292 + x, 240 - y).
px() { echo "$((292 + $1)),$((240 - $2))"; }

red='#ff0000' white='#ffffff' black='#000000' navy='#003399' orange='#ff6600'
brown='#996633' chalk='#ffff99' ice='#99ffff' sea='#33cc99' yellow='#ffff00'
gold='#cc9933' purple='#9900cc'
[ "$keep_pictures" -eq 0 ] || mkdir -p examples/pictures
runs=$PWD/examples/runs

# Three clicks: three red circles that stay through the ticks after them.
run_example hello --script "$runs"/hello.SCR -- \
  "$(px -150 90)" "$(px 0 0)" "$(px 120 -110)" "$(px 60 60)" = $red $red $red $white

# The drawing's points get orange dots, the lines between them are navy, pen 4 wide.
run_example click_draw --script "$runs"/click_draw.SCR -- \
  "$(px 0 200)" "$(px 230 40)" "$(px 145 40)" "$(px 0 0)" = $orange $orange $navy $white

# 60 ticks from (-200, 100), 9 right and 6 down a tick: the right edge turns it at tick 53
# (x 277), the bottom at tick 54 (y -224); at tick 60 it stands at (214, -188).
run_example bouncing_ball --ticks 60 -- \
  "$(px 214 -188)" "$(px 214 -165)" "$(px -200 100)" = $red $ice $ice

# Two lines of typed text (a Backspace among them) on the chalk box, nothing below them.
run_example typing --script "$runs"/typing.SCR -- \
  "$navy@17,50,300,25" "$navy@17,76,300,25" "$navy@17,110,500,200" "$(px 0 -100)" = \
  ">50" ">50" 0 $chalk

# 50 ticks after 10:10 it is 11:00: the minute hand points straight up, the hour hand
# to the eleven.
run_example clock --ticks 50 -- \
  "$(px 0 120)" "$(px -22 39)" "$(px 120 0)" "$(px 0 0)" = $brown $black $chalk $red

# The recorded round: four hits (yellow marks), one miss (black), and the round is over,
# so no orange dot is left.
run_example catch_game --script "$runs"/catch_game.SCR -- \
  "$(px -60 -65)" "$(px -240 150)" "$(px 205 -10)" "$(px -135 105)" "$(px 120 -18)" \
  "$orange@0,55,585,426" "$(px 0 -200)" = $yellow $yellow $yellow $yellow $black 0 $sea

# The recorded game, arrows held at 30 ticks a second: two balls returned, the paddle left
# at x -147 and the ball at (60, -126) after 330 ticks.
run_example paddle --script "$runs"/paddle.SCR -- \
  "$(px 60 -126)" "$(px -147 -205)" "$(px 0 -205)" "$white@0,0,140,20" = $white $gold $navy ">20"

# Strokes painted with the left button (a wave, a thick spiral, a thin zigzag), a gap
# rubbed out of the wave with the right button, and the wheel's last pen size in the bar.
run_example paint --script "$runs"/paint.SCR -- \
  "$(px -240 120)" "$(px -90 92)" "$(px -52 72)" "$(px -120 -60)" "$(px 95 -110)" \
  "$(px 0 0)" "$(px 270 227)" = $purple $purple $white $purple $purple $white $purple

# The sprite (a picture with transparent corners) stands where the click sent it, at
# (150, 100): its eye is dark, its corner shows the stripe below; the star is gold and the
# title centred: as many navy pixels either side of the middle, give or take a letter.
cp examples/sprite.png "$work/"
run_example sprites --script "$runs"/sprites.SCR -- \
  "$(px 143 105)" "$(px 150 112)" "$(px 127 123)" "$(px 127 -60)" "$(px 0 0)" \
  "$navy@0,0,120,45" "$navy@465,0,120,45" "$navy@120,0,172,45" "$navy@292,0,173,45" = \
  '#202020' '#ffcc00' '#8c8cff' '#8c8cff' '#ffd700' 0 0 ">250" ">250"

checks_done
