#!/usr/bin/env bash
# Builds the fuzz harnesses with clang (ASan, UBSan and libFuzzer) in
# build-fuzz/ and runs each for the given number of seconds (default 30),
# starting from its committed seed corpus. Fails on any crash, leak, time-out
# or memory blow-up; the input that caused it is kept in build-fuzz/artifacts/.
#   tests/fuzz/run.sh [seconds] [harness...]   harness: batch_string cache_file ...
# New inputs found go to build-fuzz/corpus/<harness>/, not into the source tree.
set -euo pipefail
cd "$(dirname "$0")/../.."
secs="${1:-30}"
shift || true
tools/deps.sh fuzz
all=()
for f in tests/fuzz/*_fuzz.cc; do
  n=$(basename "$f" _fuzz.cc)
  all+=("$n")
done
harnesses=("${@:-${all[@]}}")
dir="$PWD/build-fuzz"  # absolute: harnesses work in a scratch directory of their own
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELM_BUILD_FUZZ=ON \
  -DVELM_BUILD_TESTS=OFF -DVELM_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
targets=()
for n in "${harnesses[@]}"; do targets+=("fuzz_$n"); done
cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$dir/artifacts"
failed=()
for n in "${harnesses[@]}"; do
  work="$dir/corpus/$n"
  mkdir -p "$work"
  echo "== fuzz_$n: $secs s"
  # -close_fd_mask=3: the library's own messages to stdout and stderr would
  # drown the fuzzer's; its reports still come through.
  if ! "$dir/tests/fuzz/fuzz_$n" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
      -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$n-" \
      "$work" "$PWD/tests/fuzz/corpus/$n"; then
    failed+=("$n")
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found problems in: ${failed[*]} (inputs in $dir/artifacts/)" >&2
  exit 1
fi
echo "fuzzing: no problems found"
