#!/usr/bin/env bash
# Times the real program as its user waits, on the real office engine, over several runs
# (README.md, "Speed"). Usage: [BUILD=folder] tools/bench-user-wait.sh [RUNS]   (5 runs)
#
# Each run is a fresh process with a private configuration and TEMP folder, on an X server
# of its own (Xvfb). It measures (a) from the process's start to the editor's first paint;
# then, after BENCH_USER_WAIT_SECONDS (3) in which a user would fill in the fields, clicks
# "Start Creating Template" and measures (b) until the preview is painted with its page;
# (c) is the peak resident memory of Velmora and of its office processes, added up.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}

if [[ -z ${BENCH_USER_WAIT_INNER:-} ]]; then
    if [[ -f $build/CMakeCache.txt ]]; then
        cmake --build "$build" --target bench-user-wait velmora-office >/dev/null
    fi
    exec env BENCH_USER_WAIT_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
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
        "$build/bin/bench-user-wait" >>"$results"
    echo "run $run of $runs: $(tail -n 1 "$results")" >&2
    # The office instances of one run end with it; let them go before the next starts.
    sleep 2
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs (user wait %s s before the click):\n' "$runs" "${BENCH_USER_WAIT_SECONDS:-3}"
printf '  (a) start to editor shown        %8.0f ms\n' "$(column 1)"
printf '  (b) click to preview with page   %8.0f ms\n' "$(column 2)"
printf '  (c) peak RSS Velmora             %8.0f MiB\n' "$(echo "$(column 3) / 1024" | bc -l)"
printf '      peak RSS office processes    %8.0f MiB\n' "$(echo "$(column 4) / 1024" | bc -l)"
