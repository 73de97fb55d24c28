#!/usr/bin/env bash
# Sets up, builds and runs the XML example: an event of each of the 17 types,
# validated and printed as CBE XML (arguments go to it).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target example_cbe-xml
exec build/example_cbe-xml "$@"
