#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite, then shows the fault
# campaign's table (case, result, files and processes left) when its cases ran.
set -euo pipefail
cd "$(dirname "$0")"
tools/build.sh
cd "${BUILD:-build}"
status=0
# Twice as many jobs as cores: the tests that start offices or X servers take the office slots (as
# many as cores) whatever -j says, and the short ones run beside them.
# The office slots are handed out by ctest from the resource file the configure wrote.
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(( $(nproc) * 2 ))" \
    --resource-spec-file test-resources.json "$@" || status=$?
if [[ -f faults/table.txt ]]; then
    echo
    echo "Fault campaign:"
    cat faults/table.txt
fi
exit "$status"
