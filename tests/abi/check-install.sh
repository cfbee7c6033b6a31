#!/bin/sh
# check-install.sh BUILD-DIR CONSUMER EXAMPLES CMAKE CC CFLAGS LOCPATH ARCH [RUNNER]:
# install into a staging prefix, build the strict C99 program CONSUMER with
# the flags quemba.pc gives and EXAMPLES through find_package(Quemba) as a
# user's project would, and run both against the installed library. ARCH is
# the multiarch directory the package sits in, which gcc -m32 does not report.
set -eu
build=$1 consumer=$2 examples=$3 cmake=$4 cc=$5 cflags=$6 locpath=$7 arch=$8 runner=${9:-}
stage=$build/stage tree=$build/example-build
rm -rf "$stage" "$tree"
"$cmake" --install "$build" --prefix "$stage" >/dev/null
libdir=$(dirname "$(find "$stage" -name libquemba.so.1)")
test -L "$libdir/libquemba.so" || { echo "missing development link libquemba.so"; exit 1; }
export PKG_CONFIG_PATH="$libdir/pkgconfig" LD_LIBRARY_PATH="$libdir" LOCPATH="$locpath"
# shellcheck disable=SC2046,SC2086
"$cc" $cflags -std=c99 -Wall -Wextra -Werror -pedantic $(pkg-config --cflags quemba) \
  -o "$build/c_consumer" "$consumer" $(pkg-config --libs quemba)
$runner "$build/c_consumer"
"$cmake" -S "$examples" -B "$tree" -DCMAKE_C_COMPILER="$cc" \
  -DCMAKE_C_FLAGS="$cflags" -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_LIBRARY_ARCHITECTURE="$arch" >/dev/null
"$cmake" --build "$tree" >/dev/null
$runner "$tree/convert_demo"
