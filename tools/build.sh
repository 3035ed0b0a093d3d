#!/usr/bin/env bash
# Installs what is missing, then configures and builds Velmora in ./build (or $BUILD):
#   tools/build.sh             everything, tests included (each benchmark script builds its own)
#   tools/build.sh --program   only the program and its office module (what ./run.sh needs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
source tools/debian-flags.sh
# Debian's flags on every configure, so that a kept build folder gets them too; the package test
# makes its package from this build.
configure() {
  debian_flags develop
  local debug=-g1
  [ "${VELMORA_DEBUG_INFO:-}" != full ] || debug=-g
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS=$CXXFLAGS" \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 $debug -DNDEBUG" \
    "-DCMAKE_EXE_LINKER_FLAGS=$LDFLAGS" "-DCMAKE_SHARED_LINKER_FLAGS=$LDFLAGS" \
    "-DCMAKE_MODULE_LINKER_FLAGS=$LDFLAGS" "$@" >/dev/null
}
case "${1:-}" in
  "")
    tools/install-deps.sh --compile
    # What only running the tests needs is installed while the build runs, where that needs no
    # password (on a fresh machine: about a minute, beside a build of three).
    deps=""
    if [ "$(id -u)" -eq 0 ] || sudo -n true 2>/dev/null; then
      deps_log=$(mktemp)
      nice -n 10 tools/install-deps.sh --tests >"$deps_log" 2>&1 &
      deps=$!
      # A failed build still waits for the packages: apt is never left half-way.
      trap 'wait "$deps" 2>/dev/null; rm -f "$deps_log"' EXIT
    else
      tools/install-deps.sh --tests
    fi
    configure -DVELMORA_TESTS=ON
    cmake --build "$build" -j "$(nproc)"
    if [ -n "$deps" ]; then
      status=0
      wait "$deps" || status=$?
      cat "$deps_log"
      if [ "$status" -ne 0 ]; then
        echo "$0: installing the tests' packages failed" >&2
        exit 1
      fi
    fi
    ;;
  --program)
    tools/install-deps.sh
    configure
    cmake --build "$build" -j "$(nproc)" --target velmora velmora-office
    ;;
  *) echo "usage: $0 [--program]" >&2; exit 2 ;;
esac
