#!/usr/bin/env bash
# Times the outbox with 500 faxes waiting on a HylaFAX server of its own (README.md, "The
# outbox"): from opening to all 500 listed with their states from the server, and the window's
# thread at each refresh (the model brought up to date and the table painted). As root (the
# server needs it).
# Usage: [BUILD=folder] tools/bench-outbox.sh [RUNS]   (5 runs, 10 refreshes each)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}
source tools/bench-common.sh
results=$(mktemp)
trap 'rm -f "$results"' EXIT
[[ ! -f $build/CMakeCache.txt ]] || cmake --build "$build" --target bench-outbox >/dev/null
"$build/bin/bench-outbox" "$runs" | tee "$results" | sed 's/^/run: /' >&2
column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs (500 faxes on the server):\n' "$(wc -l <"$results")"
printf '  opened to all listed with their states    %6.0f ms\n' "$(column 1)"
printf '  window thread per refresh, median         %6.1f ms\n' "$(column 2)"
printf '  window thread per refresh, worst of 10    %6.1f ms\n' "$(column 3)"
