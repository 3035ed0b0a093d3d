#!/usr/bin/env bash
# Times the real program as its user waits, on the real office engine, over several runs
# (README.md, "Speed"). Usage: [BUILD=folder] tools/bench-user-wait.sh [RUNS]   (5 runs)
#
# Each run is a fresh process with a private configuration and TEMP folder, on an X server
# of its own (Xvfb). It measures (a) from the process's start to the editor's first paint;
# then, after BENCH_USER_WAIT_SECONDS (3) in which a user would fill in the fields, clicks
# "Start Creating Template" and measures (b) until the preview is painted with its page;
# (c) is the peak resident memory of Velmora and of its office processes, added up.
# Each run is traced (VELMORA_TRACE=1), and the median of every phase of (b) is printed too.
# BENCH_USER_WAIT_TAB=0..3 chooses the style (Casual, Contemporary, Professional, Standard)
# before the click; without it the run takes the tab the editor starts on.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}
source tools/bench-common.sh
bench_on_own_display bench-user-wait velmora-office -- "$@"

# The phases of the wait for the preview, in ms, from one run's trace: one line of numbers
# in the order of phase_names.
phase_names=("office taken" "template written" "open" "fill" "fields" "save" "close and quit"
    "snapshot open" "page export" "rasterise" "bitmap written, handed" "preview first paint")
phases() {
    awk '
        /^velmora-trace: / {
            ms = $(NF - 1); what = $2 " " $3; line = $3 + 0
            if ($2 == "Form1.PushButton6_Click") {
                if (line == 106) p[1] += ms
                else if (line == 124) p[2] += ms
                else if (line == 128) p[3] += ms
                else if (line >= 136 && line <= 184) p[4] += ms
                else if (line == 186) p[5] += ms
                else if (line == 204) p[6] += ms
                else if (line >= 206 && line <= 212) p[7] += ms
                else if (line == 220) p[11] += ms
            } else if ($2 == "Form1.SaveDocAsJPG") {
                if (line == 116 || line == 118) p[8] += ms
                else if (line == 122) p[11] += ms
            } else if (what == "office page") p[9] += ms
            else if (what == "office rasterise") p[10] += ms
            else if (what == "Form2 shown") p[12] += ms
        }
        END { for (i = 1; i <= 12; i++) printf "%.2f ", p[i]; print "" }' "$1"
}

for ((run = 1; run <= runs; run++)); do
    bench_home "$run"
    VELMORA_TRACE=1 "$build/bin/bench-user-wait" >>"$results" 2>"$home/trace"
    grep -v '^velmora-trace: ' "$home/trace" >&2 || true
    phases "$home/trace" >>"$work/phases"
    echo "run $run of $runs: $(tail -n 1 "$results")" >&2
    # The office instances of one run end with it; let them go before the next starts.
    sleep 2
done

column() { awk -v c="$1" '{ print $c }' "$results" | median; }
printf 'medians of %d runs (user wait %s s before the click, tab %s):\n' "$runs" \
    "${BENCH_USER_WAIT_SECONDS:-3}" "${BENCH_USER_WAIT_TAB:-as started}"
printf '  (a) start to editor shown        %8.0f ms\n' "$(column 1)"
printf '  (b) click to preview with page   %8.0f ms\n' "$(column 2)"
for i in "${!phase_names[@]}"; do
    printf '        %-26s %8.1f ms\n' "${phase_names[$i]}" \
        "$(awk -v c=$((i + 1)) '{ print $c }' "$work/phases" | median)"
done
printf '  (c) peak RSS Velmora             %8.0f MiB\n' "$(echo "$(column 3) / 1024" | bc -l)"
printf '      peak RSS office processes    %8.0f MiB\n' "$(echo "$(column 4) / 1024" | bc -l)"
