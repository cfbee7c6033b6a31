#!/bin/sh
# check-library.sh LIB EXPECTED-EXPORTS MODE INCLUDE-DIR: the library exports
# exactly the listed names, which are exactly the names the public headers
# declare, is libquemba.so.1 by file and SONAME, and needs libc alone (MODE
# sanitize or tsan also allows that sanitizer's runtimes).
set -u
lib=$1 expected=$2 mode=$3 includes=$4 t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
case $mode in sanitize) runtimes='libasan|libubsan' ;; tsan) runtimes=libtsan ;; *) runtimes=- ;; esac
grep -v '^$' "$expected" | sort -u >"$t/listed"
{ sed 's/^/exported /' "$t/listed"; sed 's/^/declared /' "$t/listed"
  printf '%s\n' 'file libquemba.so.1' 'SONAME libquemba.so.1' 'NEEDED libc.so.6'; } | sort >"$t/want"
{ nm -D --defined-only "$lib" | awk '{print $NF}' | sed -e 's/@.*//' -e 's/^/exported /' | sort -u
  # Every QUEMBA_API declaration names one function or data object.
  grep -h 'QUEMBA_API' "$includes"/quemba/*.h | grep -v '#define' |
    sed -e 's/(.*//' -e 's/\[.*//' -e 's/;.*//' | awk '{print "declared", $NF}' | tr -d '*'
  echo "file $(basename "$lib")"
  readelf -d "$lib" | sed -n 's/.*(\(SONAME\|NEEDED\)).*\[\(.*\)\]/\1 \2/p' | grep -Ev "^NEEDED ($runtimes)"
} | sort >"$t/got"
diff -u "$t/want" "$t/got" && echo "$(wc -l <"$t/listed") names exported as listed and declared; libquemba.so.1 needs libc.so.6"
