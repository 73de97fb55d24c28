#!/usr/bin/env bash
# usage: check_install.sh BUILD_DIR THIS_DIR PREFIX LIBDIR
set -euo pipefail
build=$1 here=$2 prefix=$3 libdir=$4
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" >/dev/null
root="$stage$prefix"
test -f "$root/include/velm/velm.h"
test -f "$root/include/velm/qlg.h"
ls "$root/$libdir"/libvelm.so.* >/dev/null
test -f "$stage${VELM_INSTALL_DIR:-/opt/velm}/nls/msg/C/velmmsg.cat"

# A sanitized library needs a sanitized program in front of it.
extra=()
[ -n "${VELM_SANITIZE:-}" ] && extra=(-fsanitize="$VELM_SANITIZE")

# A C program through pkg-config.
export PKG_CONFIG_PATH="$root/$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$stage"
flags=$(pkg-config --cflags --libs velm)
${CC:-cc} -std=c11 -Wall -Werror "${extra[@]}" -o "$stage/consumer" "$here/consumer.c" $flags -Wl,-rpath,"$root/$libdir"
"$stage/consumer"

# A CMake project through find_package(velm).
cmake -S "$here/cmake_consumer" -B "$stage/cm" -DCMAKE_PREFIX_PATH="$root" -DCMAKE_C_FLAGS="${extra[*]}" >/dev/null
cmake --build "$stage/cm" >/dev/null
LD_LIBRARY_PATH="$root/$libdir" "$stage/cm/consumer"
echo "install ok"
