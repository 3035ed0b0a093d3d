#!/usr/bin/env bash
# Times the fax packet in the real program on the real office (README.md, "The fax packet"):
# the preview's first page with a 50-page PDF attached against the cover alone, that packet
# saved as PDF, and a .docx attached on a warm office.
# Usage: [BUILD=folder] tools/bench-packet.sh [RUNS]   (5 runs)
#
# Each run is a fresh process with a private configuration and TEMP folder, on an X server
# of its own (Xvfb), pausing BENCH_PACKET_SECONDS (3) between steps as a user would.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}
source tools/bench-common.sh
bench_on_own_display bench-packet velmora-office -- "$@"

for ((run = 1; run <= runs; run++)); do
    bench_home "$run"
    "$build/bin/bench-packet" | tee -a "$results" | sed "s/^/run $run of $runs: /" >&2
    sleep 2
done

column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs:\n' "$(wc -l <"$results")"
printf '  Start to first page, cover alone          %6.0f ms\n' "$(column 1)"
printf '  Start to first page, 50-page PDF behind   %6.0f ms (%+.0f ms)\n' "$(column 2)" \
    "$(awk '{ print $2 - $1 }' "$results" | median)"
printf '  51-page packet saved as PDF               %6.0f ms\n' "$(column 3)"
printf '  .docx attached (office conversion)        %6.0f ms\n' "$(column 4)"
