#!/usr/bin/env bash
# The drawing window on a real X server (Xvfb), once bare and once under a window manager
# (openbox): the same 585 by 481 client area fully painted, clicks on known pixels giving
# the same library points (the origin at client pixel (292, 240)), nothing on standard
# error at start-up. Then a round of examples/catch_game.c recorded with Ctrl+R and
# played back with Ctrl+P must end in the same picture. Last, real keys, buttons, motion
# and wheel turns reach a program that listens for them as their events, in order, with
# the held state, and a program that does not listen gets only the usual events.
#   scripts/test-desktop.sh [BUILD_DIR]      (default build/plain; built in as it is when
#                                            already configured)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/checks.sh

if [ "${KANVO_IN_XVFB:-}" != 1 ]; then
  scripts/install-deps.sh run test
  build=${1:-build/plain}
  use_build "$build"
  cmake --build "$build" -j 2 --target desktop_probe game_probe catch_game
  for manager in none openbox replay game; do
    echo "== session: $manager"
    # Auto-repeat only after 5 s: a key held across the game session's focus change must
    # not type again after a delay that depends on the machine's load.
    KANVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24 -ardelay 5000" "$0" "$build" "$manager" &&
      status=0 || status=$?
    check_status "session: $manager" "$status"
  done
  checks_done
  exit
fi

# ---- one session on the virtual display ----------------------------------------------
build=$1
manager=$2
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() {  # wait_for SECONDS COMMAND...: retries the command until it succeeds
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

if [ "$manager" = openbox ]; then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "FAIL openbox did not start"; exit 1; }
fi

# A recorded round replays: Ctrl+R, the letter g, a hit and a miss, the round runs out,
# Ctrl+R; then Ctrl+P plays it back and the picture must come out the same.
if [ "$manager" = replay ]; then
  (cd "$work" && exec "$OLDPWD/$build/examples/catch_game" >/dev/null 2>&1) &
  pids+=($!)
  wait_for 15 sh -c 'xdotool search --onlyvisible --name "^KANVO Graphics$" >/dev/null' ||
    { echo "FAIL no drawing window"; exit 1; }
  sleep 1
  window=$(xdotool search --onlyvisible --name "^KANVO Graphics$" | head -n 1)
  xdotool windowfocus "$window"
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$window" | grep '^[XY]=')"
  left=$X top=$Y
  # The client area starts below the menu bar with the black top row of a cleared picture.
  import -window "$window" "$work/start.png"
  read -r -a column < <(scripts/png-pixels.py "$work/start.png" $(printf '5,%d ' $(seq 0 60)))
  bar=0
  while [ "$bar" -lt 60 ] && [ "${column[bar + 1]}" != "#000000" ]; do bar=$((bar + 1)); done
  xdotool key ctrl+r type g
  sleep 0.8
  # Round g puts its first dot at library (-69, -72): client pixel (223, 312).
  xdotool mousemove $((left + 223)) $((top + bar + 312)) click 1
  sleep 0.5
  xdotool mousemove $((left + 400)) $((top + bar + 100)) click 1
  sleep 13  # 120 ticks
  import -window "$window" "$work/played.png"
  xdotool key ctrl+r
  check_equal "recording starts with the letter" "KANVO_KBD(103);" "$(head -n 1 "$work/KANVO.SCR" 2>/dev/null)"
  xdotool key ctrl+p
  sleep 14
  import -window "$window" "$work/replayed.png"
  check_equal "hit recorded" "#ffff00" "$(scripts/png-pixels.py "$work/played.png" 223,$((bar + 312)) | cut -d' ' -f2)"
  same=no
  cmp -s "$work/played.png" "$work/replayed.png" && same=yes
  check_equal "replayed round ends in the same picture" yes "$same"
  [ "$checks_failed" -eq 0 ]
  exit
fi

# The same real input to a program that listens for everything and to one that does not.
if [ "$manager" = game ]; then
  play_input() {  # play_input MODE: runs the probe, sends the input, leaves its output in $work/MODE
    (cd "$work" && exec "$OLDPWD/$build/tests/game_probe" "$1" >"$work/$1" 2>"$work/$1.err") &
    local pid=$!
    wait_for 15 grep -qs ready "$work/$1" || { echo "FAIL the game probe did not start"; return 1; }
    wait_for 10 sh -c 'xdotool search --onlyvisible --name "^KANVO Graphics$" >/dev/null'
    sleep 1
    local window text
    window=$(xdotool search --onlyvisible --name "^KANVO Graphics$" | head -n 1)
    text=$(xdotool search --onlyvisible --name "^KANVO Text$" | head -n 1)
    xdotool windowfocus --sync "$window"
    eval "$(xdotool getwindowgeometry --shell "$window" | grep '^[XY]=')"
    import -window "$window" PNG24:"$work/start.png"
    read -r -a column < <(scripts/png-pixels.py "$work/start.png" $(printf '5,%d ' $(seq 0 60)))
    local bar=0
    while [ "$bar" -lt 60 ] && [ "${column[bar + 1]}" != "#ff00ff" ]; do bar=$((bar + 1)); done
    local left=$X top=$((Y + bar))
    xdotool keydown Left; sleep 0.2; xdotool keyup Left; sleep 0.2
    xdotool key a; sleep 0.2
    xdotool mousemove $((left + 100)) $((top + 50)); sleep 0.3
    xdotool click 3; sleep 0.2
    xdotool click 4; sleep 0.2
    xdotool click 5; sleep 0.2
    xdotool mousedown 1; sleep 0.2
    xdotool mousemove $((left + 110)) $((top + 60)); sleep 0.3
    xdotool mouseup 1; sleep 0.2
    # Space held while the keyboard goes to the text window: it comes up at once.
    xdotool keydown space; sleep 0.3
    xdotool windowfocus --sync "$text"; sleep 0.3
    xdotool keyup space; sleep 0.3
    xdotool key ctrl+q
    wait "$pid" || true
  }
  play_input listen
  play_input plain
  check_equal "events of a program that listens" "keydown 37 held 1
keyup 37 held 0
keydown 65 held 1
kbd 97
keyup 65 held 0
move -192 190
mouse -192 190 button 2 held 2
up -192 190 button 2 held 0
wheel 1 at -192 190
wheel -1 at -192 190
mouse -192 190 button 1 held 1
move -182 180
up -182 180 button 1 held 0
keydown 32 held 1
kbd 32
keyup 32 held 0
keydown 17 held 1" "$(grep -v ready "$work/listen")"
  check_equal "events of a program that does not listen" "kbd 97
mouse -192 190 button 1 held 0
kbd 32" "$(grep -v ready "$work/plain")"
  check_equal "standard error" "" "$(cat "$work/listen.err" "$work/plain.err")"
  [ "$checks_failed" -eq 0 ]
  exit
fi

# Learners often have no runtime directory: the start must stay quiet all the same.
(cd "$work" && exec env -u XDG_RUNTIME_DIR "$OLDPWD/$build/tests/desktop_probe" \
  >"$work/out" 2>"$work/err") &
pids+=($!)
wait_for 15 grep -qs ready "$work/out" || { echo "FAIL the probe did not start"; cat "$work/err"; exit 1; }
wait_for 10 sh -c 'xdotool search --onlyvisible --name "^KANVO Graphics$" >/dev/null' ||
  { echo "FAIL no drawing window"; exit 1; }
sleep 1.5  # the window manager frames it, the first paint lands

# The client area is the magenta region of the screen: its box and whether it is all filled.
import -window root -depth 8 "$work/screen.ppm"
read -r width height left top filled < <(python3 - "$work/screen.ppm" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
fields, at = [], 0
while len(fields) < 4:  # magic, width, height, maximum
    while data[at:at + 1].isspace(): at += 1
    end = at
    while not data[end:end + 1].isspace(): end += 1
    fields.append(data[at:end]); at = end
at += 1
width, height = int(fields[1]), int(fields[2])
pixels = data[at:at + width * height * 3]
magenta = b"\xff\x00\xff"
rows = [y for y in range(height) if magenta in pixels[y * width * 3:(y + 1) * width * 3]]
if not rows:
    print(0, 0, 0, 0, 0); sys.exit()
xs = [x for y in rows for x in range(width) if pixels[(y * width + x) * 3:(y * width + x) * 3 + 3] == magenta]
left, right, top, bottom = min(xs), max(xs), rows[0], rows[-1]
count = len(xs)
print(right - left + 1, bottom - top + 1, left, top,
      int(count == (right - left + 1) * (bottom - top + 1)))
EOF
)
echo "     client area on screen at ($left, $top)"
check_equal "client area" "585x481" "${width}x${height}"
check_equal "client area fully painted" 1 "$filled"

click() {  # click CLIENT_X CLIENT_Y EXPECTED_LIBRARY_POINT
  local before
  before=$(grep -c '^click' "$work/out" || true)
  xdotool mousemove $((left + $1)) $((top + $2)) click 1
  wait_for 5 sh -c "[ \$(grep -c '^click' '$work/out') -gt $before ]" || true
  check_equal "click at client ($1, $2)" "click $3" "$(grep '^click' "$work/out" | tail -n 1)"
}
click 292 240 "0 0"
click 0 0 "-292 240"
click 584 480 "292 -240"
click 100 50 "-192 190"

# Not resizable: the window manager is told the one size it may have.
window=$(xdotool search --onlyvisible --name "^KANVO Graphics$" | head -n 1)
hints=$(xprop -id "$window" WM_NORMAL_HINTS)
minimum=$(sed -n 's/.*minimum size: //p' <<<"$hints")
[ -n "$minimum" ] || minimum="a minimum size"
check_equal "largest size the window may take" "$minimum" "$(sed -n 's/.*maximum size: //p' <<<"$hints")"

check_equal "standard error at start-up" "" "$(cat "$work/err")"
[ "$checks_failed" -eq 0 ]
