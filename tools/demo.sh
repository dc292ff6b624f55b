#!/usr/bin/env bash
# Runs the program on the built-in simulated machine. Until the dialog exists, these are
# the console demonstrations: what the bus driver stand-in received and answered, then the
# drive scan of an example machine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
mkdir -p build
{ cmake --preset native && cmake --build --preset native --target OverreachBusDemo OverreachScan; } \
    >build/demo-build.log 2>&1 || { tail -n 40 build/demo-build.log; exit 1; }
build/native/console/OverreachBusDemo
echo
build/native/console/OverreachScan console/examples/mixed.scenario
