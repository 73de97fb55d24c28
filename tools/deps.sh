#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing
# when they are all present. A user who is neither root nor has sudo is told
# what to install and how, and the script fails.
#   tools/deps.sh        what the build and the tests need
#   tools/deps.sh fuzz   that plus clang and its fuzzer runtime (tests/fuzz)
set -euo pipefail
pkgs=(build-essential cmake pkg-config libxerces-c-dev libcurl4-openssl-dev libssl-dev zlib1g-dev
      uuid-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libc-bin libcpp-httplib-dev openssl
      doxygen dpkg-dev file)
# libclang-rt-14-dev holds libclang_rt.fuzzer and the sanitizer runtimes of clang 14 (Debian 12's clang).
[ "${1:-}" = fuzz ] && pkgs+=(clang libclang-rt-14-dev)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0
install=(apt-get install -y -qq "${missing[@]}")
if [ "$(id -u)" -eq 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${install[@]}"
elif command -v sudo >/dev/null 2>&1; then
  sudo apt-get update -qq
  sudo env DEBIAN_FRONTEND=noninteractive "${install[@]}"
else
  {
    echo "deps.sh: these packages are missing: ${missing[*]}"
    echo "deps.sh: install them as root, then run this again:"
    echo "  apt-get update && apt-get install -y ${missing[*]}"
  } >&2
  exit 1
fi
