#!/usr/bin/env bash
# Runs the crash and outage torture driver for "auto" and "always".
#   tests/reliability/run-torture.sh [short|long] [driver options...]
# short: about 20 kill trials and the outage cases, a few minutes (CI);
# long: 120 kill trials and 15 outage trials.
# SEED=N replays a run; VELM_BUILD_DIR names the build directory (build).
set -euo pipefail
cd "$(dirname "$0")/../.."
form=${1:-short}
shift || true
build=${VELM_BUILD_DIR:-build}
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target reliability_torture velm-sink >/dev/null
case $form in
  short) auto=(--trials 12 --outages 5) always=(--trials 8 --outages 2) ;;
  long) auto=(--trials 70 --outages 10) always=(--trials 50 --outages 5) ;;
  *) echo "usage: $0 [short|long] [driver options...]" >&2; exit 2 ;;
esac
seed=${SEED:-$(date +%s)}
echo "torture seed $seed (replay: SEED=$seed $0 $form)"
rc=0
"$build/tests/reliability_torture" --mode auto "${auto[@]}" --seed "$seed" "$@" || rc=1
"$build/tests/reliability_torture" --mode always "${always[@]}" --seed "$((seed + 1))" "$@" || rc=1
exit $rc
