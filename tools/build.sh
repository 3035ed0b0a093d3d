#!/usr/bin/env bash
# Installs what is missing, then configures and builds Velmora in ./build (or $BUILD):
#   tools/build.sh             everything, tests and benchmarks included
#   tools/build.sh --program   only the program and its office module (what ./run.sh needs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
source tools/debian-flags.sh
# Debian's flags on every configure, so that a kept build folder gets them too; the package test
# makes its package from this build.
configure() {
  debian_flags develop
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS=$CXXFLAGS" \
    "-DCMAKE_EXE_LINKER_FLAGS=$LDFLAGS" "-DCMAKE_SHARED_LINKER_FLAGS=$LDFLAGS" \
    "-DCMAKE_MODULE_LINKER_FLAGS=$LDFLAGS" "$@" >/dev/null
}
case "${1:-}" in
  "")
    tools/install-deps.sh --tests
    configure -DVELMORA_TESTS=ON
    cmake --build "$build" -j "$(nproc)"
    ;;
  --program)
    tools/install-deps.sh
    configure
    cmake --build "$build" -j "$(nproc)" --target velmora velmora-office
    ;;
  *) echo "usage: $0 [--program]" >&2; exit 2 ;;
esac
