#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite, then shows the fault
# campaign's table (case, result, files and processes left) when its cases ran.
set -euo pipefail
cd "$(dirname "$0")"
tools/build.sh
cd "${BUILD:-build}"
status=0
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" "$@" || status=$?
if [[ -f faults/table.txt ]]; then
    echo
    echo "Fault campaign:"
    cat faults/table.txt
fi
exit "$status"
