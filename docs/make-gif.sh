#!/usr/bin/env bash
# Makes the README's GIF the way a teacher or a learner would: a script played into the
# unchanged hello program by kanvo-run. No display needed.
#   docs/make-gif.sh [BUILD_DIR]      (default build/plain)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/plain}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What the library writes while recording: ticks, a click, two keys, ticks, a click.
cat >"$work/KANVO.SCR" <<'SCRIPT'
KANVO_PERIODIC(12);
KANVO_MOUSE(-120, 40);
KANVO_PERIODIC(8);
KANVO_KBD(104);
KANVO_KBD(105);
KANVO_PERIODIC(10);
KANVO_MOUSE(150, -120);
KANVO_PERIODIC(8);
SCRIPT
"$build/tools/kanvo-run" --script "$work/KANVO.SCR" --gif docs/hello-session.gif -- "$build/examples/hello"
