#!/usr/bin/env bash
# Builds FreeType for the browser (Emscripten) from Debian's source package into a prefix
# and prints the prefix. Lean: no zlib, bzip2, PNG, HarfBuzz or Brotli, and only the
# modules that render TrueType faces (library/platform/backends/web/freetype_modules.h).
# A prefix built with the same module list is reused.
#   scripts/web-freetype.sh [PREFIX]     default build/web-deps
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(realpath -m "${1:-$here/../build/web-deps}")
modules=$here/../library/platform/backends/web/freetype_modules.h
if [ -f "$prefix/lib/libfreetype.a" ] && cmp -s "$modules" "$prefix/freetype_modules.h"; then
  echo "$prefix"; exit 0
fi
mkdir -p "$prefix"
log="$prefix/freetype-build.log"
# The build's own output goes to a log, shown when something fails.
trap 'echo "building FreeType for the browser failed; its log: $log" >&2; tail -n 30 "$log" >&2' ERR
source_dir=$("$here/debian-source.sh" freetype "$prefix/source" 2>"$log")
work="$prefix/freetype-build"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
rm -rf "$work"
emcmake cmake -S "$source_dir" -B "$work" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="-DFT_CONFIG_MODULES_H='<freetype_modules.h>' -I$(dirname "$modules")" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
  -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >>"$log" 2>&1
cmake --build "$work" -j "${KANVO_JOBS:-2}" >>"$log" 2>&1
cmake --install "$work" >>"$log" 2>&1
cp "$modules" "$prefix/freetype_modules.h"
echo "$prefix"
