#!/usr/bin/env bash
# Sets up, builds and runs the example program (arguments go to it).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target example_demo
exec build/example_demo "$@"
