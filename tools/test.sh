#!/usr/bin/env bash
# Checks the layout of every C++ file, then builds every preset and runs all tests: natively
# under the sanitizers, the 64-bit Windows test build under Wine, the 32-bit test build under
# 32-bit Wine on 64-bit Windows and on 32-bit Windows, and the shipping 32-bit files, checked
# and run. Ends with one summary line for each, and the time each phase took. Exit status is
# non-zero when any build or test fails.
#
# The machine is kept busy rather than waiting. Three chains run at once, each a build and
# then its tests: the 32-bit builds and their tests, the 64-bit Windows build and its tests,
# the native build and its tests. The builds run at priorities in the order of the chains'
# length, all below the tests, so that the tests keep their pace and a core the tests leave
# idle goes to a build. The layout check and the Wine prefixes run beside the builds.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh || exit 1
for tool in Xvfb cmake ctest ninja; do
    command -v "$tool" >/dev/null || { echo "$tool is missing: tools/setup.sh did not install it"; exit 1; }
done
# Every run of a 32-bit program goes through Wine's 32-bit loader, a 32-bit Linux program.
# Where the kernel does not run 32-bit x86 code, tools/setup-32bit.sh has it run through qemu's
# user-mode emulation, and the summary says so. Where even that is impossible, the 32-bit
# builds are still made and their files still checked without running them, and the summary
# says in capitals which runs did not happen and why; everything else runs as always.
summaries=()
if grep -qx enabled /proc/sys/fs/binfmt_misc/overreach-i386 2>/dev/null; then
    summaries+=("32-bit programs run under qemu's user-mode emulation here, since this kernel does not run them (tools/setup-32bit.sh)")
fi
runs_32bit=yes
if ! loader_error=$(/usr/lib/wine/wine --version 2>&1 >/dev/null); then
    runs_32bit=no
    not_run="NOT RUN on this machine: every run of a 32-bit program (win32-test, and the shipping files run), since this kernel does not run 32-bit programs (the 32-bit Wine loader says: ${loader_error##*: })"
    summaries+=("$not_run")
    echo "== $not_run"
fi
mkdir -p build
times=build/test-times.txt
: >"$times"
# cpu_ticks: the machine's busy and idle clock ticks since boot, from the first line of
# /proc/stat (busy: user, nice, system, irq, softirq, steal; idle: idle, iowait).
cpu_ticks() { awk '/^cpu / { print $2 + $3 + $4 + $7 + $8 + $9, $5 + $6; exit }' /proc/stat; }
read -r busy_at_start idle_at_start < <(cpu_ticks)

# Two virtual displays: one for the 64-bit test build's Windows tests, one for the 32-bit
# builds', whose tests run at the same time. The tests of one preset that share a display's
# pointer and foreground carry a lock, and locks hold within one ctest run only: so even
# where a display is set, each chain gets one of its own, where nothing else takes the focus.
xvfb_pids=()
# start_display <variable>: starts an Xvfb and sets the variable to its display name.
start_display() {
    local displayfile
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 2560x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    xvfb_pids+=($!)
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
    printf -v "$1" ':%s' "$(head -n1 "$displayfile")"
    rm -f "$displayfile"
}
start_display display64
start_display display32
prefixes=(build/win64/wineprefix build/win32-test/wineprefix build/win32-test/wineprefix32)
stop() {
    for prefix in "${prefixes[@]}"; do
        [ -d "$prefix" ] && WINEPREFIX=$PWD/$prefix /usr/lib/wine/wineserver -k 2>/dev/null
    done
    [ ${#xvfb_pids[@]} -gt 0 ] && kill "${xvfb_pids[@]}" 2>/dev/null
    jobs -p | xargs -r kill 2>/dev/null
}
trap stop EXIT

# timed <phase> <command...>: runs the command and appends the phase's wall and CPU seconds
# (this shell's children: builds, ctest and what they start) to the times file.
timed() {
    local phase=$1 TIMEFORMAT="%R %U %S" t rc
    shift
    { t=$( { time "$@" 1>&3 2>&4; } 2>&1 ); } 3>&1 4>&2
    rc=$?
    read -r real user sys <<<"$t"
    awk -v p="$phase" -v r="$real" -v c="$user + $sys" -v at="$SECONDS" 'BEGIN {
        split(c, t, " + ");
        printf "%-48s %6.0f s wall %6.0f s CPU, ended at %5d s\n", p, r, t[1] + t[2], at }' >>"$times"
    return $rc
}

# Each chain below runs in a shell of its own and leaves its summary lines in
# build/<chain>.summary; a chain that fails exits non-zero.
# summarize <chain> <line>
summarize() { echo "$2" >>"build/$1.summary"; }

# run_tests <chain> <summary label> <log name> <preset> [ctest arguments...]
run_tests() {
    local chain=$1 label=$2 log=build/$3.ctest.log preset=$4 rc
    shift 4
    echo "== $label: tests (log: $log)"
    timed "$label: tests" ctest --preset "$preset" "$@" >"$log" 2>&1
    rc=$?
    summarize "$chain" "$label: $(grep -E 'tests passed|No tests were found' "$log" | tail -n1)"
    echo "== $label: tests done"
    return $rc
}

# platform_counts <32|64>: passed and failed tests of the 32-bit test build's log on that
# platform (the runs on 32-bit Windows carry the suffix .on32bitWindows).
platform_counts() {
    awk -v want="$1" '/ Test +#[0-9]+: / {
        for (i = 1; i < NF; i++) if ($i ~ /^#[0-9]+:$/) name = $(i + 1)
        if ((want == 32) != (name ~ /\.on32bitWindows$/)) next
        if (/ Passed /) passed++; else failed++
    } END { printf "%d passed, %d failed\n", passed, failed }' build/win32-test.ctest.log
}

# build <chain> <preset> <niceness>: configures and builds it at that priority, the output in
# build/<preset>.log; when it fails, the log's end is shown and the summary says so. The
# higher the niceness, the more of the two cores it leaves to the others.
build() {
    local chain=$1 preset=$2 log=build/$2.log
    echo "== $preset: configure and build (log: $log)"
    if ! timed "$preset: configure and build" nice -n "$3" \
        bash -c "cmake --preset $preset && cmake --build --preset $preset" >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "== $preset: build failed"
        summarize "$chain" "$preset: build failed"
        return 1
    fi
}

# serve <prefix> [--win32]: starts the prefix's Wine server to stay until `wineserver -k`,
# with Wine's services and the desktop process started here, with nothing to inherit. Wine
# starts them with the program that first needs them, and they inherit that program's
# output: a test that started them would hold ctest's pipe open, and its slot and its locks,
# as long as they run. Each program then also starts without starting a server.
desktop_of() {
    local pid
    for pid in $(pgrep -f 'system32.explorer\.exe /desktop'); do
        tr "\0" "\n" 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$1" && echo "$pid"
    done
}
serve() {
    local prefix=$PWD/$1 flag=${2:-}
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null
    WINEPREFIX=$prefix /usr/lib/wine/wineserver -p || return 1
    tools/wine-run $flag "$prefix" cmd.exe /c exit </dev/null >/dev/null 2>&1
    # The desktop process that program started ends a moment after it; then one is started
    # that stays.
    for _ in $(seq 300); do [ -z "$(desktop_of "$prefix")" ] && break; sleep 0.1; done
    tools/wine-run $flag "$prefix" explorer.exe /desktop </dev/null >/dev/null 2>&1 &
    for _ in $(seq 600); do [ -n "$(desktop_of "$prefix")" ] && return 0; sleep 0.1; done
    echo "== $prefix: its desktop process did not start; its tests run without it"
}
unserve() {
    local prefix
    for prefix in "$@"; do WINEPREFIX=$PWD/$prefix /usr/lib/wine/wineserver -k 2>/dev/null; done
}

# The native build and its tests, last in priority: they take the least time.
native_chain() {
    build native native 19 || return 1
    run_tests native native native native
}

# The 64-bit Windows tests, on their own display.
win64_chain() {
    export DISPLAY=$display64
    tools/wine-run build/win64/wineprefix &
    local prefix_made=$!
    build win64 win64 4 || return 1
    wait "$prefix_made" || { summarize win64 "win64: its Wine prefix could not be made"; return 1; }
    serve build/win64/wineprefix
    run_tests win64 win64 win64 win64
    local rc=$?
    unserve build/win64/wineprefix
    return $rc
}

# The 32-bit chain takes longest: its test build comes first of all. The shipping files'
# checks run programs of that build in its prefixes, so they run after its tests.
win32_chain() {
    export DISPLAY=$display32
    local rc=0 prefix_made shipping_built
    if [ "$runs_32bit" = yes ]; then
        bash -c 'tools/wine-run build/win32-test/wineprefix & on64=$!
                 tools/wine-run --win32 build/win32-test/wineprefix32 && wait $on64' &
        prefix_made=$!
    fi
    build win32 win32 12 &
    shipping_built=$!
    if ! build win32 win32-test 2; then
        wait "$shipping_built"
        summarize win32 "win32: not tested, since the 32-bit test build whose programs run its files failed"
        return 1
    fi
    if [ "$runs_32bit" != yes ]; then
        summarize win32 "win32-test: built; its tests NOT RUN (32-bit programs do not run here, see the first line)"
        # What is read off the shipping files still is; the runs of them (shipping_*) are not.
        wait "$shipping_built" || return 1
        run_tests win32 "win32, the shipping files read, NOT RUN" win32 win32 -E '^shipping_'
        return
    fi
    wait "$prefix_made" || { summarize win32 "win32-test: its Wine prefixes could not be made"; return 1; }
    serve build/win32-test/wineprefix
    serve build/win32-test/wineprefix32 --win32
    # Both platforms in one run, so that the locks keep apart what shares the display.
    run_tests win32 "win32-test" win32-test win32-test || rc=1
    for platform in 64 32; do
        summarize win32 "  of which the 32-bit program on ${platform}-bit Windows: $(platform_counts $platform)"
    done
    if wait "$shipping_built"; then
        run_tests win32 "win32, the shipping files" win32 win32 || rc=1
    else
        rc=1
    fi
    unserve build/win32-test/wineprefix build/win32-test/wineprefix32
    return $rc
}

status=0
echo "== format (log: build/format.log)"
timed "format" tools/check-format >build/format.log 2>&1 &
format_pid=$!
rm -f build/native.summary build/win64.summary build/win32.summary
[ "$runs_32bit" = yes ] || prefixes=(build/win64/wineprefix)
win32_chain &
win32_pid=$!
win64_chain &
win64_pid=$!
native_chain &
native_pid=$!
for pid in "$native_pid" "$win64_pid" "$win32_pid"; do wait "$pid" || status=1; done

if wait "$format_pid"; then
    summaries+=("format: $(cat build/format.log)")
else
    cat build/format.log
    summaries+=("format: FAILED (see above)")
    status=1
fi
for chain in native win64 win32; do
    if [ -f "build/$chain.summary" ]; then
        mapfile -t lines <"build/$chain.summary"
        summaries+=("${lines[@]}")
    else
        summaries+=("$chain: no summary (see above)")
        status=1
    fi
done
# The tests' own output, one preset after the other.
for log in native win64 win32-test win32; do
    [ -f "build/$log.ctest.log" ] || continue
    echo
    echo "== $log: tests"
    cat "build/$log.ctest.log"
done
echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
echo
echo "== times (CPU: the phase's processes on all cores; the three chains run at once)"
cat "$times"
echo "total: ${SECONDS} s wall"
# What the cores did, every process counted (Wine's servers and services too, which the
# phases' CPU figures do not see): how far the machine itself limits the wall time.
read -r busy idle < <(cpu_ticks)
awk -v b=$((busy - busy_at_start)) -v i=$((idle - idle_at_start)) -v hz="$(getconf CLK_TCK)" \
    -v cores="$(nproc)" 'BEGIN { printf "the machine: %.0f core-seconds busy, %.0f idle, on %d cores\n",
    b / hz, i / hz, cores }'
exit $status
