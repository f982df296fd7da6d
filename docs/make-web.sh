#!/usr/bin/env bash
# Builds the landscape and every example as web pages (Emscripten), each one self-contained
# .html file that also opens from disk, and puts them, with an index page, into one folder
# that any static web server can serve:
#   docs/make-web.sh [OUT]          default build/web-pages
#   python3 -m http.server -d build/web-pages 8000    then open http://127.0.0.1:8000/
# FreeType is built for the browser from Debian's source once (build/web-deps).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/build/web-pages}")
build=${KANVO_WEB_BUILD:-$root/build/web}
# Optimised Emscripten builds need Debian's node modules where the machine's node is not
# Debian's.
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

deps=$("$root/scripts/web-freetype.sh" "$root/build/web-deps")
emcmake cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKANVO_WEB_DEPS="$deps" >/dev/null
cmake --build "$build" -j "${KANVO_JOBS:-2}"

mkdir -p "$out"
pages=()
copy_page() {  # the page, which holds its script, code and fonts
  local html=$1 name
  name=$(basename "$html" .html)
  cp "$html" "$out/"
  pages+=("$name")
}
copy_page "$build/scene/kanvo-scene.html"
for html in "$build"/examples/*.html; do copy_page "$html"; done

{
  echo '<!doctype html><html lang="en"><head><meta charset="utf-8"><title>Kanvo pages</title></head>'
  echo '<body style="font: 15px/1.5 sans-serif; margin: 24px"><h1>Kanvo in the browser</h1><ul>'
  for name in "${pages[@]}"; do
    if [ "$name" = kanvo-scene ]; then label="The landscape"; else label="Example: $name"; fi
    echo "<li><a href=\"$name.html\">$label</a></li>"
  done
  echo '</ul><p>Each page runs its program unchanged: click, type, and use the Run menu or'
  echo 'its Ctrl shortcuts. Recorded scripts and saved pictures stay in this browser.</p>'
  echo '</body></html>'
} > "$out/index.html"
echo "pages in $out: ${pages[*]}"
