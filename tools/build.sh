#!/usr/bin/env bash
# Installs what is missing, then configures and builds Velmora in ./build (or $BUILD).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
build=${BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"
