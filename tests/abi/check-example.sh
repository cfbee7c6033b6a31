#!/bin/sh
# check-example.sh BUILD-DIR EXAMPLES-DIR CMAKE CC CFLAGS LOCPATH ARCH [RUNNER]:
# build examples/ against the installed package through find_package(Quemba),
# as a user's project would, and run the example. ARCH is the multiarch
# directory the package sits in, which gcc -m32 does not report itself.
set -eu
build=$1 examples=$2 cmake=$3 cc=$4 cflags=$5 locpath=$6 arch=$7 runner=${8:-}
stage=$build/example-stage
tree=$build/example-build
rm -rf "$stage" "$tree"
"$cmake" --install "$build" --prefix "$stage" >/dev/null
"$cmake" -S "$examples" -B "$tree" -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" \
  -DCMAKE_PREFIX_PATH="$stage" -DCMAKE_LIBRARY_ARCHITECTURE="$arch" >/dev/null
"$cmake" --build "$tree" >/dev/null
libdir=$(dirname "$(find "$stage" -name 'libquemba.so.1')")
LD_LIBRARY_PATH=$libdir LOCPATH=$locpath $runner "$tree/convert_demo"
