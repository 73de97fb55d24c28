#!/usr/bin/env bash
# usage: check_api_docs.sh DOXYGEN DOXYFILE HEADER...
# Runs Doxygen over the public headers into a scratch directory and fails on
# any warning: an undocumented function, type or macro, a broken doc command.
set -euo pipefail
doxygen=$1 doxyfile=$2
shift 2
# Doxygen only reports the undocumented members of a documented file, so a
# header that lost its file comment would pass unchecked.
for h in "$@"; do
  grep -q '@file' "$h" || { echo "$h has no @file comment, so Doxygen would not check it"; exit 1; }
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
log="$out/warnings.txt"
{
  cat "$doxyfile"
  echo "OUTPUT_DIRECTORY = $out"
  echo "WARN_LOGFILE = $log"
} | "$doxygen" - >/dev/null || true
if [ -s "$log" ]; then
  echo "Doxygen reports documentation problems in the public headers:"
  cat "$log"
  echo "Document every declaration of the public headers with a /** ... */ comment."
  exit 1
fi
echo "API reference complete: $(cat "$@" | grep -cE '^(VELM_API|QLG_API) ') functions documented"
