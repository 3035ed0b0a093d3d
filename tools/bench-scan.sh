#!/usr/bin/env bash
# Times a 10-page feeder scan at 200 dpi from SANE's own test scanner into the scan dialog
# (README.md, "Scanning pages"): from each page's last byte read on the scanner's worker to its
# thumbnail shown on the window's thread, on an X server of its own.
# Usage: [BUILD=folder] tools/bench-scan.sh [RUNS]   (5 runs of 10 pages)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}
source tools/bench-common.sh
bench_on_own_display bench-scan -- "$@"
"$build/bin/bench-scan" "$runs" | tee "$results" | sed 's/^/run: /' >&2
column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs (10 pages each, 200 dpi, black and white):\n' "$(wc -l <"$results")"
printf '  page read to its thumbnail shown, median   %6.1f ms\n' "$(column 1)"
printf '  page read to its thumbnail shown, worst    %6.1f ms\n' "$(column 2)"
