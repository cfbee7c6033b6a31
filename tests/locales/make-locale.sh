#!/bin/sh
# make-locale.sh SOURCE CHARMAP OUTDIR [CACHE]: compile one locale with
# localedef, or copy it from CACHE where the same source, charmap and
# localedef made it before. localedef exits 1 for mere warnings, so judge
# by what it wrote.
set -u
src=$1 charmap=$2 out=$3 cache=${4:-}
rm -rf "$out"
mkdir -p "$(dirname "$out")"
if [ -n "$cache" ]; then
  key=$( { localedef --version | head -1; echo "$charmap"; cat "$src" 2>/dev/null || echo "$src"; } | cksum | cut -d' ' -f1)
  kept=$cache/$(basename "$out").$key
  if [ -f "$kept/LC_CTYPE" ]; then
    cp -R "$kept" "$out"
    exit 0
  fi
fi
localedef -c -i "$src" -f "$charmap" "$out" >"$out.log" 2>&1
status=$?
if [ "$status" -gt 1 ] || [ ! -f "$out/LC_CTYPE" ]; then
  cat "$out.log" >&2
  echo "localedef failed for $out (status $status)" >&2
  rm -rf "$out"
  exit 1
fi
rm -f "$out.log"
if [ -n "$cache" ]; then
  mkdir -p "$cache"
  rm -rf "$kept.$$"
  cp -R "$out" "$kept.$$" && mv "$kept.$$" "$kept" 2>/dev/null || rm -rf "$kept.$$"
fi
