#!/usr/bin/env bash
# Checks the layout of every C++ file, then builds every preset and runs all tests: natively under the sanitizers, the 64-bit Windows
# test build under Wine, the 32-bit test build under 32-bit Wine on 64-bit Windows and on
# 32-bit Windows, and the shipping 32-bit files, checked and run. Ends with one summary line
# for each. Exit status is non-zero when any build or test fails.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh || exit 1

# One virtual display for every Windows test, so parallel tests share it.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    displayfile=$(mktemp)
    # Wide enough that the long accounting test's window, at the right edge, stays clear of
    # the windows of the tests that run beside it.
    Xvfb -displayfd 3 -screen 0 2560x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
    export DISPLAY=:$(head -n1 "$displayfile")
    rm -f "$displayfile"
fi
stop() {
    for prefix in build/win64/wineprefix build/win32-test/wineprefix build/win32-test/wineprefix32; do
        [ -d "$prefix" ] && WINEPREFIX=$PWD/$prefix /usr/lib/wine/wineserver -k 2>/dev/null
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap stop EXIT

status=0
summaries=()
# run_tests <summary label> <log name> <preset> [ctest arguments...]
run_tests() {
    local label=$1 log=build/$2.ctest.log preset=$3
    shift 3
    echo "== $label: tests"
    ctest --preset "$preset" "$@" 2>&1 | tee "$log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    summaries+=("$label: $(grep -E 'tests passed|No tests were found' "$log" | tail -n1)")
}

echo "== format"
if format_log=$(tools/check-format 2>&1); then
    summaries+=("format: $format_log")
else
    echo "$format_log"
    summaries+=("format: FAILED, $(grep -c '^not formatted' <<<"$format_log") file(s) not formatted (see above)")
    status=1
fi

# The 10 000-cycle accounting test of the main dialog takes minutes under Wine: it runs beside
# the preset's other tests, which run one at a time as always.
run_windows_tests() {
    local label=$1 log=$2 preset=$3
    shift 3
    local accounting_log=build/$log-accounting.ctest.log
    ctest --preset "$preset" -R '^app_accounting_test$' "$@" >"$accounting_log" 2>&1 &
    local accounting=$!
    run_tests "$label" "$log" "$preset" -E '^app_accounting_test$' "$@"
    wait "$accounting" || status=1
    cat "$accounting_log"
    summaries+=("$label, dialog accounting: $(grep -E 'tests passed|No tests were found' "$accounting_log" | tail -n1)")
}

# The shipping preset comes last: its checks run the shipping files with the programs of the
# 32-bit test build.
for preset in native win64 win32-test win32; do
    mkdir -p build
    log=build/$preset.log
    echo "== $preset: configure and build (log: $log)"
    if ! { cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$log" 2>&1; then
        tail -n 60 "$log"
        echo "== $preset: build failed"
        summaries+=("$preset: build failed")
        status=1
        continue
    fi
    case $preset in
    win32-test)
        run_windows_tests "win32-test, 32-bit program on 64-bit Windows" win32-test-on64 win32-test -LE windows32
        run_tests "win32-test, 32-bit program on 32-bit Windows" win32-test-on32 win32-test -L windows32
        ;;
    win64) run_windows_tests win64 win64 win64 ;;
    win32) run_tests "win32, the shipping files" win32 win32 ;;
    *) run_tests "$preset" "$preset" "$preset" ;;
    esac
done

echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
exit $status
