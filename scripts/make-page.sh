#!/usr/bin/env bash
# Makes a web page of a program of your own: one self-contained .html file that opens from
# disk (double-click it) and can be mailed. The program may lie anywhere; the page is
# written beside it unless OUT is given. Built with Emscripten in a folder of Kanvo's
# build/ (build/own-pages/NAME), so a second run only compiles what changed.
#   scripts/make-page.sh myprog.c [OUT.html]
#   scripts/make-page.sh main.c util.c ... -o OUT.html      (a program of several files)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
usage() { echo "usage: scripts/make-page.sh PROGRAM.c [MORE.c ...] [-o OUT.html]" >&2; exit 2; }
sources=() out=
while [ $# -gt 0 ]; do
  case $1 in
    -o) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    -h|--help) usage ;;
    *.c|*.cpp|*.cc|*.cxx) sources+=("$(realpath "$1")"); shift ;;
    *.html) [ -z "$out" ] && [ ${#sources[@]} -eq 1 ] || usage; out=$1; shift ;;
    *) echo "make-page: $1 is not a C or C++ source file" >&2; usage ;;
  esac
done
[ ${#sources[@]} -gt 0 ] || usage
for source in "${sources[@]}"; do
  [ -f "$source" ] || { echo "make-page: no such file: $source" >&2; exit 1; }
done
name=$(basename "${sources[0]%.*}")
# A target name CMake accepts, whatever the file is called.
target=$(printf '%s' "$name" | tr -c 'A-Za-z0-9_' '_')
[ -n "$out" ] || out=$(dirname "${sources[0]}")/$name.html
out=$(realpath -m "$out")
command -v emcmake >/dev/null || { echo "make-page: Emscripten is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

project=$root/build/own-pages/$target
mkdir -p "$project"
quoted=$(printf '"%s" ' "${sources[@]}")
cat > "$project/CMakeLists.txt.new" <<CMAKE
# Made by scripts/make-page.sh: the page of ${sources[0]}
cmake_minimum_required(VERSION 3.22)
project(own_page C CXX)
add_subdirectory("$root" kanvo)
add_executable($target $quoted)
target_link_libraries($target PRIVATE kanvo)
CMAKE
if cmp -s "$project/CMakeLists.txt.new" "$project/CMakeLists.txt"; then
  rm "$project/CMakeLists.txt.new"
else
  mv "$project/CMakeLists.txt.new" "$project/CMakeLists.txt"
fi
log=$project/build.log
if ! { emcmake cmake -S "$project" -B "$project/build" -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$project/build" -j "${KANVO_JOBS:-2}"; } >"$log" 2>&1; then
  # The compiler's messages about the program itself come first.
  grep -E "error|warning" "$log" | grep -v "^make" | head -n 40 >&2 || tail -n 40 "$log" >&2
  echo "make-page: the page could not be built (the whole log: $log)" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
cp "$project/build/$target.html" "$out"
echo "$out"
