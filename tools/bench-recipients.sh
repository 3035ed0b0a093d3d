#!/usr/bin/env bash
# Times a search of a phone book of 10,000 entries as the user types: each keystroke of a few
# names (with accents, Greek, Japanese), companies and fax numbers is one search for the first
# 50 entries by name.
# Usage: [BUILD=folder] tools/bench-recipients.sh [RUNS] [bench-recipients options]   (5 runs)
#
# The phone book is made once, in a folder that goes at the end; each run types every text
# again. Options after RUNS go to bench-recipients (--entries N).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
shift || true
build=${BUILD:-build}
source tools/bench-common.sh

if [[ -f $build/CMakeCache.txt ]]; then
    cmake --build "$build" --target bench-recipients >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TMPDIR=$work "$build/bin/bench-recipients" --runs "$runs" "$@" >"$work/results"

printf 'Phone book of 10,000 entries searched per keystroke: median %.2f ms of %d searches (max %.2f ms)\n' \
    "$(median <"$work/results")" "$(wc -l <"$work/results")" "$(sort -n "$work/results" | tail -n 1)"
