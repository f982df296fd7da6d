#!/usr/bin/env bash
# The drawing window on a real X server (Xvfb), once bare and once under a window manager
# (openbox): the same 585 by 481 client area fully painted, clicks on known pixels giving
# the same library points (the origin at client pixel (292, 240)), nothing on standard
# error at start-up.
#   scripts/test-desktop.sh [BUILD_DIR]      (default build/plain)
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${KANVO_IN_XVFB:-}" != 1 ]; then
  scripts/install-deps.sh
  build=${1:-build/plain}
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j 2 --target desktop_probe
  passed=0 failed=0
  for manager in none openbox; do
    echo "== window manager: $manager"
    if KANVO_IN_XVFB=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build" "$manager"; then
      passed=$((passed + 1))
    else
      failed=$((failed + 1))
    fi
  done
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
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
errors=0
check() {  # check WHAT EXPECTED ACTUAL
  if [ "$2" = "$3" ]; then
    echo "ok   $1: $3"
  else
    echo "FAIL $1: expected '$2', got '$3'"
    errors=$((errors + 1))
  fi
}
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
check "client area" "585x481" "${width}x${height}"
check "client area fully painted" 1 "$filled"

click() {  # click CLIENT_X CLIENT_Y EXPECTED_LIBRARY_POINT
  local before
  before=$(grep -c '^click' "$work/out" || true)
  xdotool mousemove $((left + $1)) $((top + $2)) click 1
  wait_for 5 sh -c "[ \$(grep -c '^click' '$work/out') -gt $before ]" || true
  check "click at client ($1, $2)" "click $3" "$(grep '^click' "$work/out" | tail -n 1)"
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
check "largest size the window may take" "$minimum" "$(sed -n 's/.*maximum size: //p' <<<"$hints")"

check "standard error at start-up" "" "$(cat "$work/err")"
[ "$errors" -eq 0 ]
