#!/usr/bin/env bash
# usage: check_install.sh BUILD_DIR THIS_DIR PREFIX LIBDIR
# Installs twice into staging directories: at the configured prefix, and with
# `--prefix` at another one; each time a C program (pkg-config) and a CMake
# project (find_package) are built against the staged tree and run.
set -euo pipefail
build=$1 here=$2 prefix=$3 libdir=$4
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

# A sanitized library needs a sanitized program in front of it.
extra=()
[ -n "${VELM_SANITIZE:-}" ] && extra=(-fsanitize="$VELM_SANITIZE")

# check NAME PREFIX [cmake --install options...]: stages the install under
# $stage/NAME (the catalogues go to the absolute VELM_INSTALL_DIR, so even the
# --prefix install is staged) and builds against it.
check() {
  local name=$1 want=$2
  shift 2
  local dest="$stage/$name" root="$stage/$name$want"
  DESTDIR="$dest" cmake --install "$build" "$@" >/dev/null
  test -f "$root/include/velm/velm.h"
  test -f "$root/include/velm/qlg.h"
  ls "$root/$libdir"/libvelm.so.* >/dev/null
  test -f "$dest${VELM_INSTALL_DIR:-/opt/velm}/nls/msg/C/velmmsg.cat"

  # velm.pc names the prefix the files went to.
  local pc="$root/$libdir/pkgconfig/velm.pc"
  grep -qx "prefix=$want" "$pc" || { echo "$pc does not say prefix=$want:"; cat "$pc"; exit 1; }

  # A C program through pkg-config.
  local flags
  flags=$(PKG_CONFIG_PATH="$root/$libdir/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$dest" pkg-config --cflags --libs velm)
  ${CC:-cc} -std=c11 -Wall -Werror "${extra[@]}" -o "$dest/consumer" "$here/consumer.c" $flags \
    -Wl,-rpath,"$root/$libdir"
  "$dest/consumer"

  # A CMake project through find_package(velm).
  cmake -S "$here/cmake_consumer" -B "$dest/cm" -DCMAKE_PREFIX_PATH="$root" -DCMAKE_C_FLAGS="${extra[*]}" >/dev/null
  cmake --build "$dest/cm" >/dev/null
  LD_LIBRARY_PATH="$root/$libdir" "$dest/cm/consumer"
}

check configured "$prefix"
check moved /srv/velm-moved --prefix /srv/velm-moved
echo "install ok"
