#!/usr/bin/env bash
# usage: check_properties_doc.sh GENERATOR COMMITTED
# The committed property reference must be what the property table gives.
set -euo pipefail
gen=$1 committed=$2
fresh=$(mktemp)
trap 'rm -f "$fresh"' EXIT
"$gen" "$fresh"
if ! diff -u "$committed" "$fresh"; then
  echo "docs/properties.md is out of date with the property table."
  echo "Regenerate it with: cmake --build build --target properties-doc"
  exit 1
fi
echo "docs/properties.md is current"
