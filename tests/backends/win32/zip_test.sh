#!/usr/bin/env bash
# The Windows zip as a learner gets it: unpacked, hello.c compiled the two ways that its
# README-windows.txt shows (one standalone .exe; an .exe using kanvo.dll), and each
# program shown in a real window (windowed_test.sh hello).
#   zip_test.sh ZIP C_COMPILER
set -euo pipefail
zip=$1
cc=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cd "$work"
python3 -m zipfile -e "$zip" .
cd kanvo-windows
for file in kanvo-scene.exe hello.exe kanvo.dll README-windows.txt include/kanvo.h \
            lib/libkanvo.a lib/libkanvo.dll.a fonts/DejaVuSans.ttf fonts/DejaVuSansMono.ttf \
            fonts/LiberationSans-Regular.ttf examples/hello.c LICENSE licenses/fonts-dejavu.txt \
            licenses/fonts-liberation.txt; do
  [ -f "$file" ] || { echo "FAIL: the zip lacks $file" >&2; exit 1; }
done

# The README's paths work in every shell: forward slashes only.
if grep -n '\\' README-windows.txt; then
  echo "FAIL: README-windows.txt writes a path with backslashes" >&2
  exit 1
fi
# The shipped programs are window programs; one built as the README says keeps its console.
subsystem() { x86_64-w64-mingw32-objdump -p "$1" | awk '/^Subsystem/ {print $2}'; }
for program in kanvo-scene.exe hello.exe; do
  [ "$(subsystem $program)" = 00000002 ] || { echo "FAIL: $program opens a console" >&2; exit 1; }
done

# The commands of README-windows.txt, with this machine's compiler.
mkdir ../standalone
"$cc" examples/hello.c -I include -static -L lib -lkanvo -lstdc++ -lgdi32 -luser32 \
  -o ../standalone/hello.exe
cp -r fonts ../standalone/
rm hello.exe
"$cc" examples/hello.c -I include -L lib -lkanvo -o hello.exe
[ "$(subsystem ../standalone/hello.exe)" = 00000003 ] ||
  { echo "FAIL: hello.exe built as the README says has no console" >&2; exit 1; }
"$cc" examples/hello.c -I include -static -L lib -lkanvo -lstdc++ -lgdi32 -luser32 -mwindows \
  -o ../hello-window.exe
[ "$(subsystem ../hello-window.exe)" = 00000002 ] ||
  { echo "FAIL: -mwindows does not make a window program" >&2; exit 1; }
imports=$(x86_64-w64-mingw32-objdump -p hello.exe)
if grep -q "DLL Name: kanvo.dll" <<<"$imports"; then
  echo "the second hello.exe uses kanvo.dll"
else
  echo "FAIL: hello.exe linked with -lkanvo does not use kanvo.dll" >&2
  exit 1
fi
for folder in ../standalone .; do
  status=0
  "$here/windowed_test.sh" hello "$(cd "$folder" && pwd)" || status=$?
  [ "$status" -eq 0 ] || exit "$status"
done
