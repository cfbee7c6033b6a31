#!/bin/sh
# check-c-consumer.sh BUILD-DIR SOURCE CC CFLAGS LOCPATH [RUNNER]: install into a
# staging prefix, build a strict C99 program with the flags quemba.pc gives,
# and run it against the installed library.
set -eu
build=$1 source=$2 cc=$3 cflags=$4 locpath=$5 runner=${6:-}
stage=$build/stage
rm -rf "$stage"
cmake --install "$build" --prefix "$stage" >/dev/null
pc=$(find "$stage" -name quemba.pc)
pkg_cflags=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --cflags quemba)
pkg_libs=$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --libs quemba)
libdir=$(dirname "$(find "$stage" -name 'libquemba.so.1')")
test -L "$libdir/libquemba.so" || { echo "missing development link libquemba.so"; exit 1; }
case "$cflags" in *-m32*) arch=-m32 ;; *) arch= ;; esac
if grep -q '^QUEMBA_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  arch="$arch -fsanitize=address,undefined"
fi
if grep -q '^QUEMBA_TSAN:BOOL=ON' "$build/CMakeCache.txt"; then
  arch="$arch -fsanitize=thread"
fi
# shellcheck disable=SC2086
"$cc" $arch -std=c99 -Wall -Wextra -Werror -pedantic $pkg_cflags -o "$build/c_consumer" "$source" $pkg_libs
LD_LIBRARY_PATH=$libdir LOCPATH=$locpath $runner "$build/c_consumer"
