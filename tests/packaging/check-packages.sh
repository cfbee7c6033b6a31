#!/bin/sh
# check-packages.sh BUILD-DIR SOURCE-DIR VERSION BUILD-TYPE CC CFLAGS LOCPATH [RUNNER]:
# build the Debian packages of the build tree with CPack and check their
# control fields and exact contents (man links resolving to the family pages
# included), then unpack the runtime and -dev packages into a throwaway root
# and build and run examples/ against it, through pkg-config and through
# find_package(Quemba), and the strict C99 consumer of the ABI through pkg-config.
set -u
build=$1 src=$2 version=$3 type=$4 cc=$5 cflags=$6 locpath=$7 runner=${8:-}
work=$(cd "$build" && pwd)/packaging-check
out=$work/out root=$work/root fail=0
rm -rf "$work" && mkdir -p "$work"
complain() { echo "$*"; fail=1; }
case $cflags in *-m32*) arch=i386 multiarch=i386-linux-gnu ;; *) arch=amd64 multiarch=x86_64-linux-gnu ;; esac
lib=usr/lib/$multiarch man3=usr/share/man/man3
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
for deb in "$out"/*.deb; do dpkg-deb -x "$deb" "$root"; done

# "name family-page" for every name a public header exports.
names() {
  for pair in converter:converter standard:standard table_handle:table-handle utf8:utf8 \
              locale_services:locale unistr:unistr; do
    sed -n 's/^QUEMBA_API [^(;[]*[^A-Za-z0-9_(;[]\([A-Za-z_][A-Za-z0-9_]*\) *[[(;].*/\1/p' \
      "$src/include/quemba/${pair%%:*}.h" | sed "s/\$/ quemba-${pair#*:}/"
  done
}
{ for p in "libquemba1 libs libc6 (>= 2.36)" "libquemba-dev libdevel libquemba1 (= $version)" "quemba utils libquemba1"; do
    set -- $p && d=$1 s=$2 && shift 2
    printf "$d %s\n" "file ${d}_${version}_$arch.deb" "Package: $d" "Version: $version" "Architecture: $arch" \
      "Section: $s" "Depends: $*" Maintainer Description
  done
  printf 'libquemba1 %s\n' "./$lib/libquemba.so.1" "SONAME libquemba.so.1" "shlibs libquemba 1 libquemba1 (>= $version)"
  for f in "$src"/include/quemba/*.h; do echo "libquemba-dev ./usr/include/quemba/${f##*/}"; done
  for f in "$src"/man/man3/*.3; do echo "libquemba-dev ./$man3/${f##*/}.gz"; done
  names | while read -r name page; do echo "libquemba-dev ./$man3/$name.3.gz"; echo "$name.3: .so man3/$page.3"; done
  names | sort -u -k2,2 | while read -r name page; do echo "man $name: $page(3)" | tr a-z A-Z; done
  for f in "$lib/libquemba.so -> libquemba.so.1" "$lib/pkgconfig/quemba.pc" "$lib/cmake/Quemba/QuembaConfig.cmake" \
    "$lib/cmake/Quemba/QuembaConfigVersion.cmake" "$lib/cmake/Quemba/QuembaTargets.cmake" \
    "$lib/cmake/Quemba/QuembaTargets-$(echo "$type" | tr A-Z a-z).cmake"; do echo "libquemba-dev ./$f"; done
  printf 'quemba %s\n' ./usr/bin/quemba ./usr/share/man/man1/quemba.1
} | sort >"$work/want"
{ for deb in "$out"/*.deb; do
    d=$(dpkg-deb -f "$deb" Package) && echo "$d file ${deb##*/}"
    dpkg-deb -f "$deb" Package Version Architecture Section Depends Homepage | sed "s/^/$d /"
    for f in Maintainer Description; do [ -n "$(dpkg-deb -f "$deb" $f)" ] && echo "$d $f"; done
    dpkg-deb -c "$deb" | awk -v d="$d" '$1 !~ /^d/ { print d, $6, $7, $8 }' | sed 's/ *$//; s|\(man1/quemba\.1\)\.gz$|\1|'
  done | sed 's/^\(quemba Depends: \).*\(libquemba1\).*/\1\2/'
  readelf -d "$root/$lib/libquemba.so.1" | sed -n 's/.*(SONAME).*\[\(.*\)\]/libquemba1 SONAME \1/p'
  dpkg-deb --ctrl-tarfile "$out/libquemba1_${version}_$arch.deb" | tar -xOf - ./shlibs | sed 's/^/libquemba1 shlibs /'
  for f in "$root/$man3"/*.gz; do gzip -dc "$f" | sed -n "s|^\.so |${f##*/}: .so |p" | sed 's/\.gz:/:/'; done
  # man(1) follows one link of each family to its page.
  names | sort -u -k2,2 | while read -r name page; do
    (cd "$root/usr/share/man" && MANPAGER=cat MAN_DISABLE_SECCOMP=1 LC_ALL=C man -l "man3/$name.3.gz" 2>&1 |
     head -1 | sed "s/^\([^ ]*\) .*/man $name: \1/" | tr a-z A-Z)
  done
} | sort >"$work/got"
diff "$work/want" "$work/got" || complain "packages differ from what the tree says (< wanted, > found)"

run_demo() {
  LD_LIBRARY_PATH=$root/$lib LOCPATH=$locpath $runner "$1" >"$work/demo.out" 2>&1 &&
    [ "$(grep -c 'round trip: identical' "$work/demo.out")" = 2 ] || { cat "$work/demo.out"; complain "$1: the example failed"; }
}
export PKG_CONFIG_PATH="$root/$lib/pkgconfig" PKG_CONFIG_LIBDIR=
case $(pkg-config --cflags --libs quemba) in *"-I$root/"*"-L$root/"*) ;; *) complain "quemba.pc does not point into $root" ;; esac
# shellcheck disable=SC2046,SC2086
"$cc" $cflags -std=c99 -Wall -Wextra -Werror -pedantic $(pkg-config --cflags quemba) -o "$work/demo-pc" \
  "$src/examples/convert_demo.c" $(pkg-config --libs quemba) && run_demo "$work/demo-pc"
# shellcheck disable=SC2046,SC2086
"$cc" $cflags -std=c99 -Wall -Wextra -Werror -pedantic $(pkg-config --cflags quemba) -o "$work/consumer" \
  "$src/tests/abi/consumer.c" $(pkg-config --libs quemba) && LD_LIBRARY_PATH=$root/$lib LOCPATH=$locpath $runner "$work/consumer" ||
  complain "the C consumer fails against the packages"
cmake -S "$src/examples" -B "$work/examples" -G Ninja -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" \
  -DCMAKE_PREFIX_PATH="$root/usr" -DCMAKE_LIBRARY_ARCHITECTURE="$multiarch" >"$work/cmake.log" 2>&1 &&
  cmake --build "$work/examples" >>"$work/cmake.log" 2>&1 || { cat "$work/cmake.log"; complain "find_package build fails"; }
grep -qx "Quemba_DIR:PATH=$root/$lib/cmake/Quemba" "$work/examples/CMakeCache.txt" || complain "find_package(Quemba) looked elsewhere"
run_demo "$work/examples/convert_demo"
[ "$fail" -eq 0 ] && echo "packages ($arch) as the tree says; the example builds and runs against them unpacked"
exit $fail
