#!/bin/sh
# check-packages.sh BUILD-DIR SOURCE-DIR VERSION BUILD-TYPE CC CFLAGS LOCPATH [RUNNER]:
# build the Debian packages of the build tree with CPack, check their control
# fields and that each holds exactly its files, then unpack the runtime and
# -dev packages into a throwaway root and build and run examples/ against it,
# through pkg-config and through find_package(Quemba).
set -u
build=$1 src=$2 version=$3 build_type=$4 cc=$5 cflags=$6 locpath=$7 runner=${8:-}
work=$(cd "$build" && pwd)/packaging-check
rm -rf "$work"
mkdir -p "$work"
fail=0
complain() { echo "$*"; fail=1; }

# "name family-page" for every name the public headers export.
exported_names() {
  for pair in converter:quemba-converter standard:quemba-standard \
              table_handle:quemba-table-handle utf8:quemba-utf8 \
              locale_services:quemba-locale unistr:quemba-unistr; do
    grep '^QUEMBA_API ' "$src/include/quemba/${pair%%:*}.h" |
      sed -n 's/^[^(;[]*[^A-Za-z0-9_(;[]\([A-Za-z_][A-Za-z0-9_]*\) *[[(;].*/\1/p' |
      sed "s/\$/ ${pair#*:}/"
  done
}

case "$cflags" in
  *-m32*) arch=i386 multiarch=i386-linux-gnu m32=-m32 ;;
  *) arch=amd64 multiarch=x86_64-linux-gnu m32= ;;
esac
lib=usr/lib/$multiarch

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi

runtime=libquemba1_${version}_$arch.deb
dev=libquemba-dev_${version}_$arch.deb
tool=quemba_${version}_$arch.deb
expected_debs="$dev $runtime"
# The tool is packaged once its sources are in the tree.
[ -d "$src/tool" ] && expected_debs="$dev $runtime $tool"
actual_debs=$(cd "$work/out" && ls ./*.deb 2>/dev/null | sed 's|^\./||' | sort | tr '\n' ' ')
expected_sorted=$(echo "$expected_debs" | tr ' ' '\n' | sort | tr '\n' ' ')
[ "$actual_debs" = "$expected_sorted" ] ||
  complain "packages: '$actual_debs', expected '$expected_sorted'"

# field PACKAGE-FILE NAME EXPECTED
field() {
  value=$(dpkg-deb -f "$work/out/$1" "$2" 2>/dev/null)
  [ "$value" = "$3" ] || complain "$1: $2 is '$value', expected '$3'"
}
# contents PACKAGE-FILE EXPECTED-LIST: the files and links, exactly.
contents() {
  dpkg-deb -c "$work/out/$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort >"$work/actual"
  sort "$2" >"$work/expected"
  if ! diff "$work/expected" "$work/actual" >"$work/diff"; then
    complain "$1: contents differ (< missing, > unexpected):"
    grep '^[<>]' "$work/diff"
  fi
}

for deb in $expected_debs; do
  [ -f "$work/out/$deb" ] || continue
  field "$deb" Version "$version"
  field "$deb" Architecture "$arch"
  for f in Maintainer Description; do
    [ -n "$(dpkg-deb -f "$work/out/$deb" $f)" ] || complain "$deb: no $f"
  done
  [ -z "$(dpkg-deb -f "$work/out/$deb" Homepage)" ] || complain "$deb: has a Homepage"
done

if [ -f "$work/out/$runtime" ]; then
  field "$runtime" Package libquemba1
  field "$runtime" Section libs
  field "$runtime" Depends "libc6 (>= 2.36)"
  echo "$lib/libquemba.so.1" >"$work/list"
  contents "$runtime" "$work/list"
  dpkg-deb -x "$work/out/$runtime" "$work/root"
  soname=$(readelf -d "$work/root/$lib/libquemba.so.1" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = libquemba.so.1 ] || complain "$runtime: SONAME '$soname'"
  dpkg-deb --ctrl-tarfile "$work/out/$runtime" | tar -xOf - ./shlibs >"$work/shlibs" 2>/dev/null
  grep -q "^libquemba 1 libquemba1" "$work/shlibs" || complain "$runtime: no shlibs entry"
fi

if [ -f "$work/out/$dev" ]; then
  field "$dev" Package libquemba-dev
  field "$dev" Section libdevel
  field "$dev" Depends "libquemba1 (= $version)"
  {
    for h in "$src"/include/quemba/*.h; do echo "usr/include/quemba/$(basename "$h")"; done
    for p in "$src"/man/man3/*.3; do echo "usr/share/man/man3/$(basename "$p").gz"; done
    exported_names | sed 's|^\(.*\) .*|usr/share/man/man3/\1.3.gz|'
    echo "$lib/libquemba.so"
    echo "$lib/pkgconfig/quemba.pc"
    for f in QuembaConfig QuembaConfigVersion QuembaTargets; do echo "$lib/cmake/Quemba/$f.cmake"; done
    echo "$lib/cmake/Quemba/QuembaTargets-$(echo "$build_type" | tr 'A-Z' 'a-z').cmake"
  } >"$work/list"
  contents "$dev" "$work/list"
  link=$(dpkg-deb -c "$work/out/$dev" | awk -v f="./$lib/libquemba.so" '$6 == f { print $8 }')
  [ "$link" = libquemba.so.1 ] || complain "$dev: libquemba.so points to '$link'"
  dpkg-deb -x "$work/out/$dev" "$work/root"
  # Each exported name has a page that sources its family's page; one name
  # of each family is read through man to see that the link resolves.
  exported_names | while read -r name family; do
    target=$(gzip -dc "$work/root/usr/share/man/man3/$name.3.gz" 2>/dev/null)
    [ "$target" = ".so man3/$family.3" ] || echo "$dev: $name.3 holds '$target', not a link to $family.3"
  done >"$work/links"
  [ -s "$work/links" ] && complain "$(cat "$work/links")"
  exported_names | sort -u -k2,2 | while read -r name family; do
    heading=$(cd "$work/root/usr/share/man" &&
      MANPAGER=cat MAN_DISABLE_SECCOMP=1 LC_ALL=C man -l "man3/$name.3.gz" 2>&1 | head -1)
    case "$heading" in
      *"$(echo "$family" | tr 'a-z' 'A-Z')(3)"*) ;;
      *) echo "$dev: man $name shows '$heading', not $family(3)" ;;
    esac
  done >"$work/links"
  [ -s "$work/links" ] && complain "$(cat "$work/links")"
fi

if [ -f "$work/out/$tool" ]; then
  field "$tool" Package quemba
  field "$tool" Section utils
  dpkg-deb -f "$work/out/$tool" Depends | grep -q 'libquemba1' || complain "$tool: does not depend on libquemba1"
  dpkg-deb -c "$work/out/$tool" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' >"$work/actual"
  grep -qx 'usr/bin/quemba' "$work/actual" || complain "$tool: no usr/bin/quemba"
  grep -qx 'usr/share/man/man1/quemba\.1\(\.gz\)\{0,1\}' "$work/actual" || complain "$tool: no quemba(1)"
  extra=$(grep -v -x -e 'usr/bin/quemba' -e 'usr/share/man/man1/quemba\.1\(\.gz\)\{0,1\}' "$work/actual")
  [ -z "$extra" ] || complain "$tool: unexpected files: $extra"
fi

if [ "$fail" -ne 0 ] || [ ! -f "$work/root/$lib/libquemba.so" ]; then
  echo "package contents wrong; the example build is skipped"
  exit 1
fi

# Build the example against the unpacked root only.
root=$work/root
run_demo() {
  LD_LIBRARY_PATH=$root/$lib LOCPATH=$locpath $runner "$1" >"$work/demo.out" 2>&1
  status=$?
  identical=$(grep -c 'round trip: identical' "$work/demo.out")
  if [ "$status" -ne 0 ] || [ "$identical" -ne 2 ]; then
    complain "$2: the example failed (exit $status):"
    cat "$work/demo.out"
  fi
}

pc_cflags=$(PKG_CONFIG_PATH=$root/$lib/pkgconfig PKG_CONFIG_LIBDIR= pkg-config --cflags quemba)
pc_libs=$(PKG_CONFIG_PATH=$root/$lib/pkgconfig PKG_CONFIG_LIBDIR= pkg-config --libs quemba)
case "$pc_cflags $pc_libs" in
  *"$root"*) ;;
  *) complain "quemba.pc does not point into the unpacked root: $pc_cflags $pc_libs" ;;
esac
# shellcheck disable=SC2086
if "$cc" $m32 -std=c99 -Wall -Wextra -Werror -pedantic $pc_cflags -o "$work/demo-pc" \
     "$src/examples/convert_demo.c" $pc_libs; then
  run_demo "$work/demo-pc" "pkg-config build"
else
  complain "the example does not build with pkg-config"
fi

# gcc -m32 reports no library architecture; name it as an i386 system's would.
cmake_arch=
[ -n "$m32" ] && cmake_arch=-DCMAKE_LIBRARY_ARCHITECTURE=$multiarch
if cmake -S "$src/examples" -B "$work/examples" -G Ninja -DCMAKE_C_COMPILER="$cc" \
     -DCMAKE_C_FLAGS="$m32" -DCMAKE_PREFIX_PATH="$root/usr" $cmake_arch >"$work/cmake.log" 2>&1 &&
   cmake --build "$work/examples" >>"$work/cmake.log" 2>&1; then
  found=$(sed -n 's/^Quemba_DIR:PATH=//p' "$work/examples/CMakeCache.txt")
  [ "$found" = "$root/$lib/cmake/Quemba" ] || complain "find_package(Quemba) found '$found'"
  run_demo "$work/examples/convert_demo" "CMake build"
else
  cat "$work/cmake.log"
  complain "the example does not build with find_package(Quemba)"
fi

if [ "$fail" -eq 0 ]; then
  echo "packages ($arch):"
  for deb in $expected_debs; do echo "  $deb $(wc -c <"$work/out/$deb") bytes"; done
  echo "fields and contents as expected; the example builds and runs against the unpacked root"
fi
exit $fail
