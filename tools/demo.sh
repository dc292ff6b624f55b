#!/usr/bin/env bash
# Runs the program on the built-in simulated machine. For now this is the console
# demonstration of the bus operations: it prints what the bus driver stand-in received
# and answered.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh
mkdir -p build
{ cmake --preset native && cmake --build --preset native --target OverreachBusDemo; } \
    >build/demo-build.log 2>&1 || { tail -n 40 build/demo-build.log; exit 1; }
build/native/console/OverreachBusDemo
