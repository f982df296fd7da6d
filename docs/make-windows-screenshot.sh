#!/usr/bin/env bash
# Makes the README's Windows screenshot: kanvo-scene.exe of the Windows build running
# under Wine on a virtual X server, with the frames, captions and menu bar Wine draws
# itself (a Wine prefix of its own, build/wineprefix-docs, whose windows no window manager
# decorates). Needs xvfb, xdotool, imagemagick and wine (scripts/install-deps.sh):
#   docs/make-windows-screenshot.sh [WINDOWS_BUILD_DIR]      (default build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/windows}" && pwd)
docs=$PWD/docs
export WINEPREFIX=${KANVO_DOCS_WINEPREFIX:-$PWD/build/wineprefix-docs} WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ "${KANVO_IN_XVFB:-}" != 1 ]; then
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    wineserver -w
  fi
  exec env KANVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x900x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # a recording would land here, not in the tree

wine "$build/bin/kanvo-scene.exe" >/dev/null 2>&1 &
pid=$!
window=
for _ in $(seq 1 120); do
  window=$(xdotool search --onlyvisible --name "^KANVO Graphics$" 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.5
done
[ -n "$window" ] || { echo "no KANVO Graphics window appeared" >&2; exit 1; }
sleep 1.5
# The client area is the window's bottom 481 rows, inside a 3-pixel frame.
read -r x y h < <(xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$4}
  /Absolute upper-left Y/ {y=$4} /Height/ {h=$2} END {print x, y, h}')
client_x=$((x + 3)) client_y=$((y + h - 3 - 481))
# Three clicks on "Simulate Wind" leave the wind on; Ctrl+L turns logging on.
xdotool mousemove $((client_x + 50)) $((client_y + 57)) click --repeat 3 --delay 300 1 key ctrl+l
sleep 1.5
import -window root -crop 610x900+0+0 "$docs/windows-wine.png"
xdotool key ctrl+q
wait "$pid" 2>/dev/null || true
wineserver -k 2>/dev/null || true
echo "wrote docs/windows-wine.png"
