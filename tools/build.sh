#!/usr/bin/env bash
# Installs what is missing, then configures and builds Velmora in ./build (or $BUILD):
#   tools/build.sh             everything, tests and benchmarks included
#   tools/build.sh --program   only the program and its office module (what ./run.sh needs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
case "${1:-}" in
  "")
    tools/install-deps.sh --tests
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=ON >/dev/null
    cmake --build "$build" -j "$(nproc)"
    ;;
  --program)
    tools/install-deps.sh
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc)" --target velmora velmora-office
    ;;
  *) echo "usage: $0 [--program]" >&2; exit 2 ;;
esac
