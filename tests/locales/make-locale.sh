#!/bin/sh
# make-locale.sh SOURCE CHARMAP OUTDIR: compile one locale with localedef.
# localedef exits 1 for mere warnings, so judge by what it wrote.
set -u
src=$1 charmap=$2 out=$3
rm -rf "$out"
mkdir -p "$(dirname "$out")"
localedef -c -i "$src" -f "$charmap" "$out" >"$out.log" 2>&1
status=$?
if [ "$status" -gt 1 ] || [ ! -f "$out/LC_CTYPE" ]; then
  cat "$out.log" >&2
  echo "localedef failed for $out (status $status)" >&2
  rm -rf "$out"
  exit 1
fi
rm -f "$out.log"
