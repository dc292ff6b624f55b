#!/usr/bin/env bash
# Builds every preset and runs all tests: natively under the sanitizers, the Windows test
# build under Wine, and the checks on the shipping 32-bit files. Ends with ctest's summary
# for each preset. Exit status is non-zero when any build or test fails.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh || exit 1

# One virtual display for every Windows test, so parallel tests share it.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
    displayfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.05; done
    export DISPLAY=:$(head -n1 "$displayfile")
    rm -f "$displayfile"
fi
stop() {
    [ -d build/win64/wineprefix ] && WINEPREFIX=$PWD/build/win64/wineprefix /usr/lib/wine/wineserver -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
trap stop EXIT

status=0
summaries=()
for preset in native win64 win32; do
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
    echo "== $preset: tests"
    ctest --preset "$preset" 2>&1 | tee "build/$preset.ctest.log"
    [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
    summaries+=("$preset: $(grep -E 'tests passed|No tests were found' "build/$preset.ctest.log" | tail -n1)")
done

echo
echo "== summary"
printf '%s\n' "${summaries[@]}"
exit $status
