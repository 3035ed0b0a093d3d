# Sourced by the benchmark scripts (tools/bench-*.sh), after `build` is set.

# bench_on_own_display TARGET... -- "$@": builds the targets (where `build` is a CMake build
# folder), then runs the calling script again on an X server of its own (Xvfb) and returns
# only there (in a D-Bus session of its own), with `work` a folder that goes at the end and `results` a file in it.
bench_on_own_display() {
    local targets=()
    while [[ $1 != -- ]]; do targets+=("$1"); shift; done
    shift
    if [[ -z ${BENCH_ON_OWN_DISPLAY:-} ]]; then
        if [[ -f $build/CMakeCache.txt ]]; then
            cmake --build "$build" --target "${targets[@]}" >/dev/null
        fi
        # A session bus of the benchmark's own, ended with it: without one, libdbus would
        # autolaunch a bus on the X display (dbus-x11) that outlives the runs.
        exec env -u DBUS_SESSION_BUS_ADDRESS BENCH_ON_OWN_DISPLAY=1 dbus-run-session -- \
            xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
    fi
    export QT_QPA_PLATFORM=xcb
    work=$(mktemp -d)
    # A runtime folder of the benchmark's own where the session has none (the desktop's
    # services, dconf among them, write there); it goes with the rest.
    if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
        export XDG_RUNTIME_DIR=$work/runtime
        mkdir -m 700 "$XDG_RUNTIME_DIR"
    fi
    trap 'rm -rf "$work"' EXIT
    results=$work/results
}

# bench_home RUN: a fresh home for run RUN, its configuration and TEMP folder exported.
bench_home() {
    home=$work/run-$1
    mkdir -p "$home/config" "$home/tmp"
    export XDG_CONFIG_HOME=$home/config TMPDIR=$home/tmp TEMP=$home/tmp TMP=$home/tmp
}

# The median of the numbers on standard input, one a line.
median() {
    sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
