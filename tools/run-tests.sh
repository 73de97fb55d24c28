#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
#   tools/run-tests.sh                    plain build in build/
#   tools/run-tests.sh address,undefined  sanitizer build in build-address,undefined/
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
san="${1:-}"
dir=build${san:+-$san}
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_SANITIZE="$san" -DVELM_BUILD_BENCH="$([ -z "$san" ] && echo ON || echo OFF)" >/dev/null
cmake --build "$dir" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
label=()
[ "$san" = thread ] && label=(-L threads)
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 300 "${label[@]}"
