#!/usr/bin/env bash
# Runs the program on the simulated machine: the demonstration build OverreachDemo.exe, built
# with the shipping 32-bit toolchain as users get it, under 32-bit Wine on 64-bit Windows, with
# the built-in machine or the scenario file given as the only argument.
#   tools/demo.sh [scenario-file]
# With a display (DISPLAY set) the window opens there and stays until closed. Without one
# the program runs under Xvfb, saves a screenshot and says where.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
mkdir -p build
{ cmake --preset win32 && cmake --build --preset win32 --target OverreachDemo; } \
    >build/demo-build.log 2>&1 || { tail -n 40 build/demo-build.log; exit 1; }

arguments=()
[ $# -gt 0 ] && arguments=("$(realpath "$1")")
if [ -n "${DISPLAY:-}" ]; then
    exec tools/wine-run build/win32/wineprefix build/win32/app/OverreachDemo.exe "${arguments[@]}"
fi
screenshot=$PWD/build/demo/overreach-demo.png
mkdir -p "$(dirname "$screenshot")"
rm -f "$screenshot"
OVERREACH_DEMO_SCREENSHOT=$screenshot \
    tools/wine-run build/win32/wineprefix build/win32/app/OverreachDemo.exe "${arguments[@]}"
echo "No display: the window was shown under Xvfb. Screenshot: $screenshot"
