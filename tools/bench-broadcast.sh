#!/usr/bin/env bash
# Times a packet sent to three recipients, each behind a cover of its own made by the office,
# against the same packet sent to one, through a HylaFAX server of its own (README.md, "Several
# recipients"). As root (the server needs it).
# Usage: [BUILD=folder] tools/bench-broadcast.sh [RUNS]   (5 runs)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}
source tools/bench-common.sh
results=$(mktemp)
trap 'rm -f "$results"' EXIT
[[ ! -f $build/CMakeCache.txt ]] || cmake --build "$build" --target bench-broadcast >/dev/null
"$build/bin/bench-broadcast" "$runs" | tee "$results" | sed 's/^/run: /' >&2
column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs (a cover and 2 pages, from the click to the last fax queued):\n' \
  "$(wc -l <"$results")"
printf '  one recipient                      %6.0f ms\n' "$(column 1)"
printf '  three recipients, a cover each     %6.0f ms\n' "$(column 2)"
awk '{ print $2 - $1 }' "$results" | median | xargs printf '  three beyond one                   %6.0f ms\n'
