#!/usr/bin/env bash
# usage: check_api_docs.sh DOXYGEN DOXYFILE
# Runs Doxygen over the public headers into a scratch directory; any warning
# (an undocumented function, type or macro, a broken doc command) fails.
set -euo pipefail
doxygen=$1 doxyfile=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
log="$out/warnings.txt"
if ! { cat "$doxyfile"; echo "OUTPUT_DIRECTORY = $out"; echo "WARN_LOGFILE = $log"; } | "$doxygen" - >/dev/null \
   || [ -s "$log" ]; then
  echo "The public headers have documentation problems:"
  cat "$log"
  echo "Document every declaration of include/velm.h and include/qlg.h with a /** ... */ comment."
  exit 1
fi
echo "API reference complete"
