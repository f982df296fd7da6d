#!/usr/bin/env bash
# Kanvo as other projects use it: a project in C alone that adds Kanvo's source tree
# (it must link, and build nothing but the library), and programs built against an
# install prefix through find_package (shared and static) and through pkg-config.
# Each consumer runs on Qt's offscreen platform and writes what its window shows.
#   scripts/test-consumers.sh [WORK_DIR]      (default build/consumers)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/checks.sh
scripts/install-deps.sh run test
source=$PWD
work=$(mkdir -p "${1:-build/consumers}" && cd "${1:-build/consumers}" && pwd)
prefix=$work/prefix
export QT_QPA_PLATFORM=offscreen
# The consumer draws a red circle at the origin inside the cleared surface's black frame.
picture_ok() {  # picture_ok PROGRAM [LIBRARY_PATH]
  local picture=$work/picture.png
  rm -f "$picture"
  LD_LIBRARY_PATH=${2:-} "$1" "$picture" || return 1
  local seen
  seen=$(scripts/png-pixels.py "$picture" 292,240 0,0 584,480)
  [ "$seen" = "585x481 #ff0000 #000000 #ffffff" ] || { echo "     picture: $seen"; return 1; }
}
quiet() {  # runs a build step, showing its output only when it fails
  local log=$work/step.log
  "$@" >"$log" 2>&1 || { tail -n 30 "$log"; return 1; }
}

echo "== a project in C alone, with add_subdirectory"
rm -rf "$work/c_only"
status=0
quiet cmake -S tests/consumers/c_only -B "$work/c_only" -DKANVO_SOURCE_DIR="$source" || status=1
[ $status -eq 0 ] && { quiet cmake --build "$work/c_only" -j 2 || status=1; }
check_status "C-only project configures and links" $status
# Kanvo's part of the build tree holds the library's folder and nothing else.
extra=$(cd "$work/c_only/kanvo" && find . -mindepth 1 -maxdepth 1 -type d \
  ! -name CMakeFiles ! -name library | tr '\n' ' ')
[ -z "$extra" ] || echo "     built besides the library: $extra"
[ -z "$extra" ] && [ -e "$work/c_only/kanvo/library/libkanvo.a" ]
check_status "add_subdirectory builds the library alone" $?
[ $status -eq 0 ] && picture_ok "$work/c_only/consumer"
check_status "C-only program runs and draws" $?

echo "== install"
status=0
quiet cmake -S . -B "$work/kanvo" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANVO_SCENE=ON \
  -DKANVO_TOOLS=ON -DKANVO_EXAMPLES=OFF -DKANVO_TESTS=OFF -DKANVO_BENCHMARKS=OFF \
  -DKANVO_INSTALL=ON || status=1
[ $status -eq 0 ] && { quiet cmake --build "$work/kanvo" -j 2 || status=1; }
rm -rf "$prefix"
[ $status -eq 0 ] && { quiet cmake --install "$work/kanvo" --prefix "$prefix" || status=1; }
for file in include/kanvo.h lib/libkanvo.a lib/libkanvo.so lib/cmake/Kanvo/KanvoConfig.cmake \
  lib/pkgconfig/kanvo.pc share/doc/Kanvo/LICENSE share/doc/Kanvo/licenses/fonts-dejavu.txt \
  share/doc/Kanvo/licenses/fonts-liberation.txt; do
  [ -e "$prefix/$file" ] || { echo "     missing: $file"; status=1; }
done
check_status "cmake --install puts header, libraries, package, .pc file and licences in the prefix" $status
status=0
for tool in kanvo-run kanvo-replay kanvo-render kanvo-scene kanvo-grade; do
  [ "$(PATH="$prefix/bin:$PATH" command -v $tool)" = "$prefix/bin/$tool" ] ||
    { echo "     not installed: $tool"; status=1; }
done
check_status "cmake --install puts the tools on the prefix's PATH" $status

echo "== find_package(Kanvo)"
rm -rf "$work/find_package"
status=0
quiet cmake -S tests/consumers/find_package -B "$work/find_package" -DCMAKE_PREFIX_PATH="$prefix" ||
  status=1
[ $status -eq 0 ] && { quiet cmake --build "$work/find_package" -j 2 || status=1; }
check_status "find_package consumer builds" $status
[ $status -eq 0 ] && picture_ok "$work/find_package/consumer"
check_status "Kanvo::kanvo (shared) program runs and draws" $?
[ $status -eq 0 ] && ! ldd "$work/find_package/consumer_static" | grep -q libkanvo &&
  picture_ok "$work/find_package/consumer_static"
check_status "Kanvo::kanvo_static program runs and draws without libkanvo.so" $?

echo "== pkg-config"
status=0
cflags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags kanvo) || status=1
# Kanvo's own include folder and nothing else: no Qt folders, no -DQT_ definitions.
read -ra words <<<"$cflags"
{ [ ${#words[@]} -eq 1 ] && [ "${words[0]#-I}" != "${words[0]}" ] &&
  [ "$(realpath "${words[0]#-I}")" = "$(realpath "$prefix/include")" ]; } ||
  { echo "     --cflags: $cflags"; status=1; }
check_status "pkg-config --cflags kanvo is Kanvo's include folder alone" $status
status=0
flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs kanvo) || status=1
[ $status -eq 0 ] && { quiet cc -std=c99 -Wall -Wextra -Werror tests/consumers/consumer.c $flags \
  -o "$work/consumer_pc" || status=1; }
check_status "cc -Wall -Wextra -Werror consumer.c \$(pkg-config --cflags --libs kanvo) builds" $status
[ $status -eq 0 ] && picture_ok "$work/consumer_pc" "$prefix/lib"
check_status "pkg-config program runs and draws" $?
# The static library with what Libs.private names.
status=0
flags=$(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --static --cflags --libs kanvo |
  sed "s|-lkanvo|$prefix/lib/libkanvo.a|") || status=1
[ $status -eq 0 ] && { quiet cc -std=c99 tests/consumers/consumer.c $flags -o "$work/consumer_pc_static" ||
  status=1; }
[ $status -eq 0 ] && ! ldd "$work/consumer_pc_static" | grep -q libkanvo &&
  picture_ok "$work/consumer_pc_static"
check_status "pkg-config --static names what libkanvo.a needs" $?
# The installed kanvo-run runs the program headless and writes its last frame.
status=0
rm -f "$work/run.png"
LD_LIBRARY_PATH=$prefix/lib PATH="$prefix/bin:$PATH" kanvo-run --png "$work/run.png" -- \
  "$work/consumer_pc" "$work/picture.png" >/dev/null 2>&1 || status=1
[ -s "$work/run.png" ] || status=1
check_status "the installed kanvo-run runs the pkg-config program" $status

checks_done
