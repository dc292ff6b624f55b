#!/usr/bin/env bash
# Checks the layout of every C++ file, then builds every preset and runs all tests: natively
# under the sanitizers, the 64-bit Windows test build under Wine, the 32-bit test build under
# 32-bit Wine on 64-bit Windows and on 32-bit Windows, and the shipping 32-bit files, checked
# and run. Ends with one summary line for each, and the time each phase took. Exit status is
# non-zero when any build or test fails.
#
# The machine is kept busy rather than waiting: every preset's build starts at once, each at
# a lower priority than the one tested before it (and all below the tests, so the tests keep
# their pace), so that a core the tests or the first builds leave idle goes to the next
# build; the layout check and the Wine prefixes run beside the first builds.
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

# One virtual display for every Windows test, so parallel tests share it.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 2560x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
    export DISPLAY=:$(head -n1 "$displayfile")
    rm -f "$displayfile"
fi
prefixes=(build/win64/wineprefix build/win32-test/wineprefix build/win32-test/wineprefix32)
stop() {
    for prefix in "${prefixes[@]}"; do
        [ -d "$prefix" ] && WINEPREFIX=$PWD/$prefix /usr/lib/wine/wineserver -k 2>/dev/null
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
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
    awk -v p="$phase" -v r="$real" -v c="$user + $sys" 'BEGIN { split(c, t, " + ");
        printf "%-48s %6.0f s wall %6.0f s CPU\n", p, r, t[1] + t[2] }' >>"$times"
    return $rc
}

status=0
# run_tests <summary label> <log name> <preset> [ctest arguments...]
run_tests() {
    local label=$1 log=build/$2.ctest.log preset=$3
    shift 3
    echo "== $label: tests"
    timed "$label: tests" ctest --preset "$preset" "$@" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    summaries+=("$label: $(grep -E 'tests passed|No tests were found' "$log" | tail -n1)")
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

# build <preset>: configures and builds it, the output in build/<preset>.log.
build() {
    local preset=$1 log=build/$1.log
    { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1
}
# start_build <preset> <niceness>: builds it in the background, at a lower priority than the
# tests: the higher the niceness, the more it leaves to the others.
declare -A build_pid
start_build() {
    echo "== $1: configure and build (log: build/$1.log)"
    timed "$1: configure and build" nice -n "$2" bash -c "$(declare -f build); build $1" &
    build_pid[$1]=$!
}
# built <preset>: waits for its build; false, with the log's end shown, when it failed.
built() {
    if ! wait "${build_pid[$1]}"; then
        tail -n 60 "build/$1.log"
        echo "== $1: build failed"
        summaries+=("$1: build failed")
        status=1
        return 1
    fi
}

echo "== format (log: build/format.log)"
timed "format" tools/check-format >build/format.log 2>&1 &
format_pid=$!
format_line=${#summaries[@]}   # its summary line goes where it stood when the check ran first

# The prefixes are made once, beside the first builds; later runs find them ready.
[ "$runs_32bit" = yes ] || prefixes=(build/win64/wineprefix)
timed "Wine prefixes: make or check" bash -c '
    tools/wine-run build/win64/wineprefix &
    if [ "$1" = yes ]; then
        tools/wine-run build/win32-test/wineprefix &
        tools/wine-run --win32 build/win32-test/wineprefix32 &
    fi
    failed=0; for job in $(jobs -p); do wait $job || failed=1; done; exit $failed' - "$runs_32bit" &
prefixes_made=$!

# In the order their tests run: the 64-bit Windows tests take longest, so their build comes
# first; the shipping build's tests need the 32-bit test build's programs, so it comes last.
start_build win64 2
start_build native 4
start_build win32-test 12
start_build win32 19
if built native; then run_tests native native native; fi
wait "$prefixes_made" || { echo "== a Wine prefix could not be made"; status=1; }
# No Wine server is kept alive across tests: the first program of a server starts Wine's own
# services, which inherit that program's output and, under a server that never ends, would
# hold ctest's pipe open until the test times out. Each server ends a moment after its last
# program, and its services with it.
if built win64; then run_tests win64 win64 win64; fi
# The shipping files' checks run programs of the 32-bit test build: that build must be done.
if built win32-test; then
    if [ "$runs_32bit" = yes ]; then
        # Both platforms in one run, so that the locks keep apart what shares the display.
        run_tests "win32-test" win32-test win32-test
        for platform in 64 32; do
            summaries+=("  of which the 32-bit program on ${platform}-bit Windows: $(platform_counts $platform)")
        done
        if built win32; then run_tests "win32, the shipping files" win32 win32; fi
    else
        summaries+=("win32-test: built; its tests NOT RUN (32-bit programs do not run here, see the first line)")
        # What is read off the shipping files still is; the runs of them (shipping_*) are not.
        if built win32; then
            run_tests "win32, the shipping files read, NOT RUN" win32 win32 -E '^shipping_'
        fi
    fi
else
    wait "${build_pid[win32]}"
    summaries+=("win32: not tested, since the 32-bit test build whose programs run its files failed")
fi
if wait "$format_pid"; then
    format_summary="format: $(cat build/format.log)"
else
    cat build/format.log
    format_summary="format: FAILED (see above)"
    status=1
fi
summaries=("${summaries[@]:0:format_line}" "$format_summary" "${summaries[@]:format_line}")

echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
echo
echo "== times (CPU: the phase's processes on all cores; builds overlap the tests before them)"
cat "$times"
echo "total: ${SECONDS} s wall"
exit $status
