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

if [[ -z ${BENCH_PACKET_INNER:-} ]]; then
    if [[ -f $build/CMakeCache.txt ]]; then
        cmake --build "$build" --target bench-packet velmora-office >/dev/null
    fi
    exec env BENCH_PACKET_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results=$work/results
for ((run = 1; run <= runs; run++)); do
    home=$work/run-$run
    mkdir -p "$home/config" "$home/tmp"
    XDG_CONFIG_HOME=$home/config TMPDIR=$home/tmp TEMP=$home/tmp TMP=$home/tmp \
        "$build/bin/bench-packet" | tee -a "$results" | sed "s/^/run $run of $runs: /" >&2
    sleep 2
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs:\n' "$(wc -l <"$results")"
printf '  Start to first page, cover alone          %6.0f ms\n' "$(column 1)"
printf '  Start to first page, 50-page PDF behind   %6.0f ms (%+.0f ms)\n' "$(column 2)" \
    "$(awk '{ print $2 - $1 }' "$results" | median)"
printf '  51-page packet saved as PDF               %6.0f ms\n' "$(column 3)"
printf '  .docx attached (office conversion)        %6.0f ms\n' "$(column 4)"
