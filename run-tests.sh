#!/usr/bin/env bash
# Installs what is missing, builds Kanvo and runs the whole test suite: once plain; the
# examples, consumer projects and real desktop windows; the Windows build under Wine;
# the pages in headless Chromium; the script-reader and picture-loader fuzzers for a bounded
# time each; and the suite again built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh all
jobs=$(nproc)

echo "== plain build and tests"
# The tests and benchmarks on, should the landscape alone have configured this folder.
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANVO_TESTS=ON \
  -DKANVO_BENCHMARKS=ON >/dev/null
cmake --build build/plain -j "$jobs"
ctest --test-dir build/plain --output-on-failure -j "$jobs"

echo "== the examples, run headless"
scripts/test-examples.sh build/plain
echo "== projects that use Kanvo: add_subdirectory in C, find_package, pkg-config"
scripts/test-consumers.sh
echo "== real windows under Xvfb, with and without a window manager"
scripts/test-desktop.sh build/plain
echo "== Windows: the cross-build and its tests under Wine"
scripts/test-windows.sh
echo "== the browser: the Emscripten build and its pages in headless Chromium"
scripts/test-web.sh build/plain

echo "== fuzzing the script reader (${KANVO_FUZZ_SECONDS:-60} s)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DKANVO_FUZZ=ON -DKANVO_BENCHMARKS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build build/fuzz -j "$jobs" --target fuzz-script
mkdir -p build/fuzz/corpus
cp tests/data/scripts/*.SCR build/fuzz/corpus/ 2>/dev/null || true
build/fuzz/fuzz/fuzz-script -max_total_time="${KANVO_FUZZ_SECONDS:-60}" -max_len=4096 \
  -timeout=10 build/fuzz/corpus 2>&1 | tail -n 3
echo "== fuzzing the picture loader (${KANVO_FUZZ_PICTURE_SECONDS:-30} s)"
cmake --build build/fuzz -j "$jobs" --target fuzz-picture
mkdir -p build/fuzz/picture-corpus
cp tests/data/pictures/*.png examples/sprite.png build/fuzz/picture-corpus/
build/fuzz/fuzz/fuzz-picture -max_total_time="${KANVO_FUZZ_PICTURE_SECONDS:-30}" -max_len=16384 \
  -timeout=10 -rss_limit_mb=2048 build/fuzz/picture-corpus 2>&1 | tail -n 3
echo "fuzzing found nothing"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build and tests"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DKANVO_SANITIZE=ON -DKANVO_BENCHMARKS=OFF >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/support/lsan.supp" \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
