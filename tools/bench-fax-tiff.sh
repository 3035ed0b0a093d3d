#!/usr/bin/env bash
# Times saving a packet of 50 pages as a fax TIFF (fine resolution), the save dialog's
# "Fax TIFF": the pages drawn for the fax and written with libtiff.
# Usage: [BUILD=folder] tools/bench-fax-tiff.sh [RUNS] [bench-fax-tiff options]   (9 runs)
#
# The packet is made once (text pages with grey rules and tick squares, every tenth a scanned
# picture); each run saves it again. Options after RUNS go to bench-fax-tiff (--pages N,
# --standard).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
shift || true
build=${BUILD:-build}
source tools/bench-common.sh

if [[ -f $build/CMakeCache.txt ]]; then
    cmake --build "$build" --target bench-fax-tiff >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=offscreen TMPDIR=$work "$build/bin/bench-fax-tiff" --runs "$runs" "$@" >"$work/results"
paste -sd' ' "$work/results" | sed 's/^/runs (ms): /' >&2

printf 'Packet saved as fax TIFF: median %.0f ms of %d runs (max %.0f ms)\n' \
    "$(median <"$work/results")" "$(wc -l <"$work/results")" "$(sort -n "$work/results" | tail -n 1)"
