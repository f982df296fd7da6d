#!/usr/bin/env bash
# Installs what is missing, builds Kanvo and starts the landscape.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build/plain -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/plain -j "$(nproc)" --target kanvo-scene
exec build/plain/scene/kanvo-scene
