#!/bin/sh
# Prints the fault campaign's rows (one file per case: case, result, files left, processes
# left, tab-separated) as one table, and keeps it as table.txt beside them.
dir=$1
[ -d "$dir" ] || exit 0
cat "$dir"/*.row 2>/dev/null | sort | awk -F '\t' '
    { n++; c[n] = $1; r[n] = $2; f[n] = $3; p[n] = $4
      if (length($1) > w) w = length($1) }
    END {
        if (n == 0) exit
        if (w < 4) w = 4
        printf "%-" w "s  %-7s  %s  /  %s\n", "case", "result", "files left", "processes left"
        for (i = 1; i <= n; i++) printf "%-" w "s  %-7s  %s  /  %s\n", c[i], r[i], f[i], p[i]
    }' | tee "$dir/table.txt"
