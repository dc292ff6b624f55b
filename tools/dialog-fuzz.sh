#!/usr/bin/env bash
# A long run of the main dialog's random test: sequences seed .. seed+count-1, split over
# jobs processes (the test waits on timers and message boxes more than it computes).
#   tools/dialog-fuzz.sh [seed] [count] [jobs] [preset]     (defaults: 1 20000 1 win32-test)
# A failing sequence is printed with its seed and shrunk; the exit code is that of the runs.
set -euo pipefail
cd "$(dirname "$0")/.."
seed=${1:-1}
count=${2:-20000}
jobs=${3:-1}
preset=${4:-win32-test}
{ cmake --preset "$preset" && cmake --build --preset "$preset" --target app_random_test; } \
    >"build/dialog-fuzz-$preset.log" 2>&1 || { tail -n 40 "build/dialog-fuzz-$preset.log"; exit 1; }
# A copy of the program, so that building again meanwhile does not disturb the run.
run=$(mktemp -d "$PWD/build/$preset/app/dialog-fuzz.XXXXXX")
cp "build/$preset/app/app_random_test.exe" "$run/"
cd "$run"
start=$(date +%s)
pids=()
share=$(( (count + jobs - 1) / jobs ))
for ((j = 0; j < jobs; j++)); do
    first=$(( seed + j * share ))
    n=$(( count - j * share < share ? count - j * share : share ))
    [ "$n" -gt 0 ] || break
    # Every job has a Wine prefix of its own: jobs in one prefix queue behind one wineserver.
    prefix=../../wineprefix
    [ "$j" -eq 0 ] || prefix=../../wineprefix-fuzz$j
    OVERREACH_RANDOM_SEED=$first OVERREACH_RANDOM_SEQUENCES=$n \
        ../../../../tools/wine-run "$prefix" ./app_random_test.exe --gtest_brief=1 &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
cd - >/dev/null
rm -rf "$run"
echo "$count sequences from seed $seed in $(( $(date +%s) - start )) s: $([ $status = 0 ] && echo passed || echo FAILED)"
exit $status
