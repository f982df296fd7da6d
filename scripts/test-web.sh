#!/usr/bin/env bash
# The browser tests: builds the pages with Emscripten (FreeType from Debian's source, built
# once into build/web-deps), the two Linux tools they are compared with (in BUILD_DIR), and
# runs tests/backends/web/test_pages.py in headless Chromium over the DevTools protocol.
# Ends with "N passed, N failed"; exits non-zero on any failure.
#   scripts/test-web.sh [BUILD_DIR]      (default build/plain; built in as it is when
#                                         already configured)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/lib/checks.sh
plain=${1:-build/plain}
scripts/install-deps.sh run test web
jobs=${KANVO_JOBS:-2}
log=$root/build/test-web-build.log
mkdir -p build
# Build output goes to a log, shown when a build fails.
quietly() { "$@" > "$log" 2>&1 || { tail -n 40 "$log"; echo "failed: $*"; exit 1; }; tail -n 1 "$log"; }

echo "== the pages (Emscripten)"
pages=$root/build/web-test-pages
rm -rf "$pages"
KANVO_JOBS=$jobs quietly docs/make-web.sh "$pages"
cp "${KANVO_WEB_BUILD:-$root/build/web}"/tests/backends/web/{page-checks,game-checks,paddle-60}.html "$pages/"

echo "== a program of your own, outside the tree, made into a page"
own=$(mktemp -d)
trap 'rm -rf "$own"' EXIT
cat > "$own/my first.c" <<'PROGRAM'
#include "kanvo.h"
int main(void) {
    int x, y; char key;
    KANVO_open(0, 0, "", KANVO_SHOW_NORMAL);
    KANVO_logging(0);
    KANVO_clear();
    KANVO_circle(KANVO_RED, 0, 0, 30);
    KANVO_text(KANVO_BLACK, -280, 160, 40, "\u20ac");
    KANVO_text(KANVO_BLACK, -180, 160, 40, "\u03a9\u03bc\u03ad\u03b3\u03b1");
    KANVO_text(KANVO_BLACK, -40, 160, 40, "\U0001F600");
    while (KANVO_await_event(&x, &y, &key) != KANVO_QUIT) {}
    KANVO_close();
    return 0;
}
PROGRAM
quietly scripts/make-page.sh "$own/my first.c"
[ "$(ls "$own")" = "$(printf 'my first.c\nmy first.html')" ] || { ls "$own"; echo "failed: make-page left more than the page"; exit 1; }
export KANVO_OWN_PAGE="$own/my first.html"

echo "   (${SECONDS} s so far)"
echo "== kanvo-replay and the headless recording (Linux build)"
use_build "$plain"
quietly cmake --build "$plain" -j "$jobs" --target kanvo-replay kanvo-headless-recording kanvo-run sprites

echo "   (${SECONDS} s so far)"
echo "== the pages in headless Chromium"
# Debian's python3, which has python3-websocket, whatever python3 comes first on PATH.
/usr/bin/python3 tests/backends/web/test_pages.py "$pages" "$plain"
