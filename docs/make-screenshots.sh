#!/usr/bin/env bash
# Makes the README's desktop screenshots: hello, and the landscape with its text window,
# in real Qt windows on a virtual X server. Needs xvfb, xdotool and imagemagick:
#   apt-get install xvfb xdotool imagemagick
#   docs/make-screenshots.sh [BUILD_DIR]      (default build/plain)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/plain}" && pwd)
docs=$PWD/docs

if [ "${KANVO_IN_XVFB:-}" != 1 ]; then
  exec env KANVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x900x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # a recording would land here, not in the tree

shoot() {  # shoot PROGRAM OUT.png [xdotool commands after start-up]
  local program=$1 out=$2
  shift 2
  "$program" &
  local pid=$!
  sleep 2
  local window
  window=$(xdotool search --name "KANVO Graphics" | head -1)
  xdotool windowfocus "$window" 2>/dev/null || true
  [ $# -gt 0 ] && xdotool "$@"
  sleep 1.2
  import -window root -crop 585x900+0+0 "$out"
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

# Three clicks on hello: three circles that stay.
shoot "$build/examples/hello" "$docs/hello.png" mousemove 150 150 click 1 mousemove 300 290 click 1 \
  mousemove 420 400 click 1
# Three clicks on "Simulate Wind" leave the wind on; Ctrl+L turns logging on.
shoot "$build/scene/kanvo-scene" "$docs/desktop.png" \
  mousemove 50 77 click --repeat 3 --delay 300 1 key ctrl+l
