#!/usr/bin/env bash
# Real windows under Wine on an X server (Xvfb in CI), driven with real input:
#   windowed_test.sh scene BIN_DIR   kanvo-scene.exe: five clicks on "Alter Tree Tops" bring
#                                    the winter scene, whose snowman, frozen lake and panel
#                                    must be on screen as kanvo-replay.exe draws them;
#                                    Ctrl+Q must end the program
#   windowed_test.sh game BIN_DIR    game_probe.exe gets real keys, buttons, motion and
#                                    the wheel as their events when it listens, and only
#                                    the usual events when it does not
#   windowed_test.sh hello BIN_DIR   hello.exe draws a circle where it is clicked, and its
#                                    count line; the Run menu's Quit, chosen from the
#                                    keyboard, ends it
# Exits 77 (skipped) without a display, xdotool or ImageMagick.
set -euo pipefail
mode=$1
bin=$2
here=$(cd "$(dirname "$0")" && pwd)
wine=${KANVO_WINE:-wine}

if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null || ! command -v import >/dev/null; then
  echo "needs an X display, xdotool and ImageMagick: skipped"
  exit 77
fi

work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"  # a recording would land here

wait_for_window() {  # prints the drawing window's X id once it is mapped
  local window
  for _ in $(seq 1 120); do
    window=$(xdotool search --onlyvisible --name "^KANVO Graphics$" 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ]; then echo "$window"; return; fi
    sleep 0.5
  done
  echo "FAIL: no \"KANVO Graphics\" window appeared within 60 s" >&2
  return 1
}

# Where the client area should start on the screen: the X window holds the menu bar and
# the client area below it (the caption belongs to the window manager, if any).
client_guess() {  # client_guess WINDOW -> "X Y"
  local info x y h
  info=$(xwininfo -id "$1")
  x=$(sed -n 's/.*Absolute upper-left X: *//p' <<<"$info")
  y=$(sed -n 's/.*Absolute upper-left Y: *//p' <<<"$info")
  h=$(sed -n 's/.*Height: *//p' <<<"$info")
  echo "$x $((y + h - 481))"
}

# quit WINDOW HOW KEYS...: types the keys into the window; the program must end with 0.
quit() {
  local window=$1 how=$2 status
  shift 2
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  for key in "$@"; do
    xdotool key --clearmodifiers "$key"
    sleep 0.3
  done
  for _ in $(seq 1 60); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid" && status=0 || status=$?
      pid=
      [ "$status" -eq 0 ] || { echo "FAIL: the program ended with status $status" >&2; return 1; }
      echo "$how ended the program"
      return 0
    fi
    sleep 0.5
  done
  echo "FAIL: the program still runs 30 s after $how" >&2
  return 1
}

# Without a window manager the X window is exactly the client area and the menu bar.
check_client_size() {  # check_client_size WINDOW
  local info w h
  info=$(xwininfo -id "$1")
  w=$(sed -n 's/.*Width: *//p' <<<"$info")
  h=$(sed -n 's/.*Height: *//p' <<<"$info")
  echo "drawing window: client area and menu bar ${w}x${h}"
  if [ "$w" -ne 585 ] || [ "$h" -lt $((481 + 15)) ] || [ "$h" -gt $((481 + 40)) ]; then
    echo "FAIL: the client area is not 585 x 481 under a menu bar" >&2
    return 1
  fi
}

case $mode in
scene)
  "$wine" "$bin/kanvo-scene.exe" >/dev/null 2>&1 &
  pid=$!
  window=$(wait_for_window)
  sleep 1
  check_client_size "$window"
  read -r cx cy < <(client_guess "$window")
  # "Alter Tree Tops" holds library (-245, 208): client pixel (292 - 245, 240 - 208).
  xdotool mousemove $((cx + 47)) $((cy + 32)) click --repeat 5 --delay 400 1
  # The pointer goes where it cannot show in the picture.
  xdotool mousemove 1000 880
  sleep 2
  import -window root shot.png
  printf 'KANVO_PERIODIC(4);\n' >winter.SCR
  for _ in 1 2 3 4 5; do printf 'KANVO_MOUSE(-245, 208);\n' >>winter.SCR; done
  "$wine" "$bin/kanvo-replay.exe" --seed 1 --script winter.SCR --png expected.png >/dev/null 2>&1
  python3 -B "$here/check_screen.py" winter shot.png expected.png "$cx" "$cy" ||
    { cp shot.png expected.png "${KANVO_SCREENSHOT_DIR:-/tmp}/" 2>/dev/null || true; exit 1; }
  quit "$window" "Ctrl+Q" ctrl+q
  ;;
hello)
  "$wine" "$bin/hello.exe" >/dev/null 2>&1 &
  pid=$!
  window=$(wait_for_window)
  sleep 1
  read -r cx cy < <(client_guess "$window")
  xdotool mousemove $((cx + 292)) $((cy + 240)) click 1 mousemove 1000 880
  sleep 1
  import -window root shot.png
  python3 -B "$here/check_screen.py" hello shot.png "$cx" "$cy"
  # The menu bar's "&Run", then its "&Quit" line, by their mnemonics.
  quit "$window" "Quit in the Run menu" alt+r q
  ;;
game)
  # Real keys, buttons, motion and wheel turns: every kind of event, in order, with the
  # held state, for a program that listens; the usual events alone for one that does not.
  play_input() {  # play_input MODE: the probe's output in $work/MODE
    "$wine" "$bin/game_probe.exe" "$1" >"$work/$1" 2>/dev/null &
    pid=$!
    window=$(wait_for_window)
    sleep 1
    read -r cx cy < <(client_guess "$window")
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool keydown Left; sleep 0.2; xdotool keyup Left; sleep 0.2
    xdotool key a; sleep 0.2
    xdotool mousemove $((cx + 100)) $((cy + 50)); sleep 0.3
    xdotool click 3; sleep 0.2
    xdotool click 4; sleep 0.2
    xdotool click 5; sleep 0.2
    xdotool mousedown 1; sleep 0.2
    xdotool mousemove $((cx + 110)) $((cy + 60)); sleep 0.3
    xdotool mouseup 1; sleep 0.2
    xdotool mousemove 1000 880; sleep 0.3
    quit "$window" "Ctrl+Q" ctrl+q
  }
  play_input listen
  expected="keydown 37 held 1
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
keydown 17 held 1"
  # The pointer may rest over the window as it appears: motion before the first key is
  # the desktop's, not the test's.
  got=$(grep -v ready "$work/listen" | tr -d '\r' | sed '/^keydown/,$!{/^move /d}')
  [ "$got" = "$expected" ] || { echo "FAIL: events of a program that listens:"; echo "$got"; exit 1; }
  play_input plain
  got=$(grep -v ready "$work/plain" | tr -d '\r')
  [ "$got" = "kbd 97
mouse -192 190 button 1 held 0" ] || { echo "FAIL: events of a program that does not listen:"; echo "$got"; exit 1; }
  echo "every kind of input arrived in order; the usual events alone without listening"
  ;;
*)
  echo "usage: windowed_test.sh scene|hello|game BIN_DIR" >&2
  exit 2
  ;;
esac
