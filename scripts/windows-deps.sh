#!/usr/bin/env bash
# Builds the libraries the Windows build links, for the MinGW-w64 target, from Debian's
# sources: FreeType (lean: no bzip2, png, harfbuzz or brotli; the zlib of
# libz-mingw-w64-dev for its gzip module, whose bundled copy would clash with it), libpng
# (against the same zlib), giflib, and GoogleTest (from /usr/src/googletest). Each is built
# once into PREFIX and skipped on later runs; the sources are cached beside it.
#   scripts/windows-deps.sh [PREFIX]      (default build/windows-deps)
# Prints the install prefix to pass as CMAKE_PREFIX_PATH.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(realpath -m "${1:-build/windows-deps}")
prefix=$root/prefix
toolchain=$PWD/cmake/mingw-w64.cmake
jobs=${KANVO_JOBS:-2}
mkdir -p "$prefix"

# The newest source Debian lists, or an older one of the same package should the mirror
# not carry it yet.
unpack() {  # unpack PACKAGE
  local package=$1 version
  scripts/debian-source.sh "$package" "$root/sources" 2>/dev/null && return
  local cache=$root/sources
  for version in $(apt-cache -o Dir::Etc::SourceParts="$cache/sources" \
      -o Dir::Etc::SourceList=/dev/null -o Dir::State::Lists="$cache/lists" \
      -o Dir::Cache="$cache" showsrc "$package" 2>/dev/null |
      sed -n 's/^Version: //p' | sort -rV); do
    scripts/debian-source.sh "$package=$version" "$cache" 2>/dev/null && return
  done
  echo "windows-deps: no source of $package could be fetched" >&2
  return 1
}

build() {  # build NAME SOURCE_DIR [cmake options...]
  local name=$1 source=$2
  shift 2
  [ -f "$prefix/.$name.done" ] && return
  echo "windows-deps: building $name" >&2
  rm -rf "$root/build-$name"
  cmake -S "$source" -B "$root/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DZLIB_USE_STATIC_LIBS=ON "$@" >"$root/build-$name.log" 2>&1 ||
    { tail -n 30 "$root/build-$name.log" >&2; return 1; }
  cmake --build "$root/build-$name" -j "$jobs" --target install >>"$root/build-$name.log" 2>&1 ||
    { tail -n 30 "$root/build-$name.log" >&2; return 1; }
  touch "$prefix/.$name.done"
}

if [ ! -f "$prefix/.freetype.done" ]; then
  build freetype "$(unpack freetype)" -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON \
    -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
fi
if [ ! -f "$prefix/.libpng.done" ]; then
  build libpng "$(unpack libpng1.6)" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -Dld-version-script=OFF
fi
build googletest /usr/src/googletest -DBUILD_GMOCK=OFF -Dgtest_force_shared_crt=ON

# giflib has no CMake build and its Makefile makes Unix shared objects: its few sources
# are compiled straight into a static library.
if [ ! -f "$prefix/.giflib.done" ]; then
  echo "windows-deps: building giflib" >&2
  source=$(unpack giflib)
  rm -rf "$root/build-giflib" && mkdir -p "$root/build-giflib" "$prefix/include" "$prefix/lib"
  for file in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray; do
    x86_64-w64-mingw32-gcc-posix -O2 -c "$source/$file.c" -o "$root/build-giflib/$file.o"
  done
  x86_64-w64-mingw32-ar rcs "$prefix/lib/libgif.a" "$root/build-giflib"/*.o
  cp "$source/gif_lib.h" "$prefix/include/"
  touch "$prefix/.giflib.done"
fi
echo "$prefix"
