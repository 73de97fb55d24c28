#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; does nothing
# when they are all present.
set -euo pipefail
pkgs=(build-essential cmake pkg-config libxerces-c-dev libcurl4-openssl-dev libssl-dev zlib1g-dev
      uuid-dev libgtest-dev libgmock-dev googletest libbenchmark-dev libc-bin libcpp-httplib-dev openssl)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
