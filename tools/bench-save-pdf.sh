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
source tools/bench-common.sh
bench_on_own_display bench-save-pdf velmora-office -- "$@"

for ((run = 1; run <= runs; run++)); do
    bench_home "$run"
    "$build/bin/bench-save-pdf" | tee -a "$results" | paste -sd' ' | sed "s/^/run $run of $runs: /" >&2
    sleep 2
done

printf 'Save as PDF, dialog OK to "Done.": median %.0f ms of %d saves (max %.0f ms)\n' \
    "$(median <"$results")" "$(wc -l <"$results")" "$(sort -n "$results" | tail -n 1)"
