#!/usr/bin/env bash
# Installs what building and running need, when missing, builds Kanvo and starts the
# landscape. A build folder the tests already configured is used as it is; a new one
# leaves the tests and benchmarks out, so nothing of theirs needs installing.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run
[ -f build/plain/CMakeCache.txt ] ||
  cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKANVO_TESTS=OFF \
    -DKANVO_BENCHMARKS=OFF >/dev/null
cmake --build build/plain -j "$(nproc)" --target kanvo-scene
exec build/plain/scene/kanvo-scene
