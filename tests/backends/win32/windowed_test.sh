#!/usr/bin/env bash
# Real windows under Wine on an X server (Xvfb in CI), driven with real input:
#   windowed_test.sh scene BIN_DIR   kanvo-scene.exe: five clicks on "Alter Tree Tops" bring
#                                    the winter scene, whose snowman, frozen lake and panel
#                                    must be on screen as kanvo-replay.exe draws them;
#                                    Ctrl+Q must end the program
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
*)
  echo "usage: windowed_test.sh scene|hello BIN_DIR" >&2
  exit 2
  ;;
esac
