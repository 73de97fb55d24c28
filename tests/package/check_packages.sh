#!/usr/bin/env bash
# usage: check_packages.sh BUILD_DIR THIS_DIR
# Builds libvelm6, libvelm-dev and velm-tools with CPack, checks their control
# fields and contents, extracts them into a fresh root (the machine is left
# alone) and builds a C program against that root with pkg-config.
set -euo pipefail
build=$1 here=$2
version=${VELM_VERSION:?} catdir=${VELM_INSTALL_DIR:-/opt/velm}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack -G DEB failed"; }

deb() {
  local f
  f=$(ls "$work/out/$1"_*.deb 2>/dev/null | head -n1)
  [ -n "$f" ] || fail "no package $1 among: $(ls "$work/out")"
  echo "$f"
}
runtime=$(deb libvelm6) dev=$(deb libvelm-dev) tools=$(deb velm-tools)

# Control fields: exact version coupling between the library and what uses it.
field() { dpkg-deb -f "$1" "$2"; }
[ "$(field "$runtime" Version)" = "$version" ] || fail "libvelm6 has version $(field "$runtime" Version)"
grep -q "libvelm6 (= $version)" <<<"$(field "$dev" Depends)" \
  || fail "libvelm-dev Depends: $(field "$dev" Depends)"
grep -q "libvelm6" <<<"$(field "$tools" Depends)" || fail "velm-tools Depends: $(field "$tools" Depends)"
# The library's own needs are read from the binary: Xerces-C and the C++ runtime at least.
for need in libxerces-c libstdc++6 libc6; do
  grep -q "$need" <<<"$(field "$runtime" Depends)" || fail "libvelm6 Depends lacks $need: $(field "$runtime" Depends)"
done

# Contents: each file in the package it belongs to, and only there.
files() { dpkg-deb -c "$1" | awk '{print $6}'; }
has() { grep -qE "$2" <<<"$(files "$1")" || fail "$(basename "$1") lacks $2"; }
hasnt() { ! grep -qE "$2" <<<"$(files "$1")" || fail "$(basename "$1") should not hold $2"; }
has "$runtime" '/libvelm\.so\.6$'
has "$runtime" "^\.${catdir}/nls/msg/C/velmmsg\.cat$"
hasnt "$runtime" '/libvelm\.so$|\.h$|velm\.pc$'
has "$dev" '/include/velm/velm\.h$'
has "$dev" '/include/velm/qlg\.h$'
has "$dev" '/libvelm\.so$'
has "$dev" '/pkgconfig/velm\.pc$'
has "$dev" '/cmake/velm/velmConfig\.cmake$'
hasnt "$dev" '/libvelm\.so\.6'
has "$tools" '/bin/velm-sink$'
grep -q 'libvelm\.so -> libvelm\.so\.6' <<<"$(dpkg-deb -c "$dev")" || fail "libvelm.so in libvelm-dev is not a link to libvelm.so.6"

# A fresh root with the three packages, as dpkg would unpack them.
root="$work/root"
mkdir -p "$root"
for f in "$runtime" "$dev" "$tools"; do dpkg-deb -x "$f" "$root"; done
pcdir=$(dirname "$(find "$root" -name velm.pc | head -n1)")
libdir=$(dirname "$(find "$root" -name 'libvelm.so.6' | head -n1)")

extra=()
[ -n "${VELM_SANITIZE:-}" ] && extra=(-fsanitize="$VELM_SANITIZE")
flags=$(PKG_CONFIG_PATH="$pcdir" PKG_CONFIG_SYSROOT_DIR="$root" pkg-config --cflags --libs velm)
grep -q -- "-I$root/" <<<"$flags" || fail "pkg-config flags do not point into the root: $flags"
${CC:-cc} -std=c11 -Wall -Werror "${extra[@]}" -o "$work/program" "$here/program.c" $flags
(cd "$work" && LD_LIBRARY_PATH="$libdir" ./program)
usage=$("$root/usr/bin/velm-sink" --help) || fail "the packaged velm-sink does not run"
grep -q "usage: velm-sink" <<<"$usage" || fail "velm-sink --help printed: $usage"
echo "packages ok"
