#!/usr/bin/env bash
# Times "Save as PDF" in the real program on the real office, from the save dialog's OK to
# the "Done." message (README.md, "Saving as PDF and printing").
# Usage: [BUILD=folder] tools/bench-save-pdf.sh [RUNS]   (5 runs of BENCH_SAVES=3 saves)
#
# Each run is a fresh process with a private configuration and TEMP folder, on an X server
# of its own (Xvfb). It waits BENCH_SAVE_PDF_SECONDS (3) as a user filling in the fields
# would, makes a cover sheet, and then saves it as PDF (Ctrl+Shift+S, the dialog answered at
# once) BENCH_SAVES times, each after another such pause spent looking at the preview.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
build=${BUILD:-build}

if [[ -z ${BENCH_SAVE_PDF_INNER:-} ]]; then
    if [[ -f $build/CMakeCache.txt ]]; then
        cmake --build "$build" --target bench-save-pdf velmora-office >/dev/null
    fi
    exec env BENCH_SAVE_PDF_INNER=1 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
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
        "$build/bin/bench-save-pdf" | tee -a "$results" | paste -sd' ' | sed "s/^/run $run of $runs: /" >&2
    sleep 2
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf 'Save as PDF, dialog OK to "Done.": median %.0f ms of %d saves (max %.0f ms)\n' \
    "$(median <"$results")" "$(wc -l <"$results")" "$(sort -n "$results" | tail -n 1)"
