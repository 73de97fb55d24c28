#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
#   tools/run-tests.sh                    plain build in build/
#   tools/run-tests.sh address,undefined  the suite under ASan+UBSan in build-address-undefined/
#   tools/run-tests.sh thread             the threaded tests under TSan in build-thread/
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
san="${1:-}"
# No comma in the directory name: it would split -Wl,-rpath,<dir> at link time.
dir=build${san:+-${san//,/-}}
bench=OFF
[ -z "$san" ] && bench=ON
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_SANITIZE="$san" -DVELM_BUILD_BENCH=$bench >/dev/null
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
if [ "$san" = thread ]; then
  # Only the tests of threaded code (files named *threads_test.cc) run here.
  targets=()
  for f in tests/*/*threads_test.cc; do
    [ -e "$f" ] || continue
    m=$(basename "$(dirname "$f")"); n=$(basename "$f" .cc)
    targets+=("${m}_${n}")
  done
  ((${#targets[@]})) || { echo "no threaded tests"; exit 0; }
  cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 600 -L threads
else
  cmake --build "$dir" -j"$(nproc)"
  ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 600
fi
