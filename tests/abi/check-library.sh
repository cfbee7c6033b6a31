#!/bin/sh
# check-library.sh LIB EXPECTED-EXPORTS MODE INCLUDE-DIR: the library exports
# exactly the expected names, which are exactly the names the public headers
# declare, is called libquemba.so.1 and needs libc alone (MODE sanitize or
# tsan also allows that sanitizer's runtimes; plain: nothing).
set -u
lib=$1 expected=$2 mode=$3 includes=$4
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

nm -D --defined-only "$lib" | awk '{print $NF}' | sed 's/@.*//' | sort -u >"$tmp/actual"
grep -v '^$' "$expected" | sort -u >"$tmp/expected"
if ! diff -u "$tmp/expected" "$tmp/actual" >"$tmp/diff"; then
  echo "exported names differ from the committed list (- missing, + unexpected):"
  grep '^[-+][^-+]' "$tmp/diff"
  fail=1
fi

# Every QUEMBA_API declaration names one function or data object.
grep -h 'QUEMBA_API' "$includes"/quemba/*.h | grep -v '#define' |
  sed -e 's/(.*//' -e 's/\[.*//' -e 's/;.*//' | awk '{print $NF}' | tr -d '*' |
  sort -u >"$tmp/declared"
if ! diff -u "$tmp/expected" "$tmp/declared" >"$tmp/diff"; then
  echo "the export lists and the public headers disagree (- listed only, + declared only):"
  grep '^[-+][^-+]' "$tmp/diff"
  fail=1
fi

soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
if [ "$soname" != "libquemba.so.1" ]; then
  echo "SONAME is '$soname', expected libquemba.so.1"
  fail=1
fi
if [ "$(basename "$lib")" != "libquemba.so.1" ]; then
  echo "file is $(basename "$lib"), expected libquemba.so.1"
  fail=1
fi

needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
if [ "$mode" = sanitize ]; then
  # The sanitizer runtimes are expected here; nothing else may appear.
  extra=$(echo "$needed" | tr ' ' '\n' | grep -v -e '^$' -e '^libc\.so\.6$' -e '^libasan' -e '^libubsan')
elif [ "$mode" = tsan ]; then
  extra=$(echo "$needed" | tr ' ' '\n' | grep -v -e '^$' -e '^libc\.so\.6$' -e '^libtsan')
else
  extra=$(echo "$needed" | tr ' ' '\n' | grep -v -e '^$' -e '^libc\.so\.6$')
fi
if [ -n "$extra" ] || ! echo "$needed" | grep -q 'libc\.so\.6'; then
  echo "NEEDED is '$needed'; only libc.so.6 is allowed"
  fail=1
fi

count=$(wc -l <"$tmp/actual")
if [ "$fail" -eq 0 ]; then
  echo "$count exported names, as listed and as declared; SONAME libquemba.so.1; NEEDED $needed"
fi
exit $fail
