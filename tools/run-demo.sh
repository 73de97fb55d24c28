#!/usr/bin/env bash
# Sets up, builds and runs the main job: events of all 17 types delivered to a
# local audit service, an outage survived through the disk cache, nothing
# lost. Arguments go to the demo (-n EVENTS, -t THREADS, --https, ...).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
echo "building the demo and the local audit service in build/ ..."
# The build's chatter goes to a log, shown only when the build fails.
mkdir -p build
if ! cmake --build build -j"$(nproc)" --target example_velm-demo velm-sink >build/run-demo-build.log 2>&1; then
  cat build/run-demo-build.log >&2
  exit 1
fi
exec build/example_velm-demo "$@"
