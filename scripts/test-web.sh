#!/usr/bin/env bash
# The browser tests: builds the pages with Emscripten (FreeType from Debian's source, built
# once into build/web-deps), the two Linux tools they are compared with (build/plain), and
# runs tests/web/test_pages.py in headless Chromium over the DevTools protocol.
# Ends with "N passed, N failed"; exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
jobs=${KANVO_JOBS:-2}
log=$root/build/test-web-build.log
mkdir -p build
# Build output goes to a log, shown when a build fails.
quietly() { "$@" > "$log" 2>&1 || { tail -n 40 "$log"; echo "failed: $*"; exit 1; }; tail -n 1 "$log"; }

echo "== the pages (Emscripten)"
pages=$root/build/web-test-pages
rm -rf "$pages"
KANVO_JOBS=$jobs quietly docs/make-web.sh "$pages"
cp "${KANVO_WEB_BUILD:-$root/build/web}"/tests/web/page-checks.{html,js,wasm} "$pages/"

echo "   (${SECONDS} s so far)"
echo "== kanvo-replay and the headless recording (Linux build)"
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
quietly cmake --build build/plain -j "$jobs" --target kanvo-replay kanvo-headless-recording kanvo-run sprites

echo "   (${SECONDS} s so far)"
echo "== the pages in headless Chromium"
# Debian's python3, which has python3-websocket, whatever python3 comes first on PATH.
/usr/bin/python3 tests/web/test_pages.py "$pages" build/plain
