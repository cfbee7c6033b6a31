#!/bin/sh
# check-man-pages.sh SOURCE-DIR: every page under man/ renders through man(1)
# without a groff warning, in UTF-8 and in ASCII, within 80 columns; its .TH
# and NAME agree with its file name; the section-3 pages have their sections,
# give -lquemba, refer only to pages that exist, and each family page's
# SYNOPSIS holds exactly the declarations of its header.
set -u
src=$1 t=$(mktemp -d) fail=0
trap 'rm -rf "$t"' EXIT
# man-db sandboxes groff with seccomp, which some containers refuse.
export MANPAGER=cat PAGER=cat MANWIDTH=80 MAN_DISABLE_SECCOMP=1
complain() { echo "$page: $*"; fail=1; }
# Declarations one per line, whitespace collapsed.
normal() {
  tr '\n' ' ' | tr ';' '\n' | sed -e 's/[[:space:]][[:space:]]*/ /g' -e 's/^ //' -e 's/ $//' \
    -e 's/( /(/g' -e 's/ )/)/g' | grep -v '^$' | sort
}
for page in "$src"/man/man*/*.[1-9]; do
  file=${page##*/} && name=${file%.*} section=${file##*.} out=$t/${file%.*}.txt
  for loc in C.UTF-8 C; do
    LC_ALL=$loc man --warnings=w -l "$page" >"$out" 2>"$t/err" && [ -s "$out" ] && [ ! -s "$t/err" ] ||
      complain "renders with warnings or to nothing in $loc: $(cat "$t/err")"
  done
  awk 'length > 80 { print "wider than 80 columns: " $0; bad = 1 } END { exit bad }' "$out" || complain "too wide"
  th=$(awk '/^\.TH/ { print tolower($2), $3; exit }' "$page")
  [ "$th" = "$name $section" ] || complain ".TH gives '$th'"
  first=$(awk '/^NAME/ { getline; print $1; exit }' "$out" | sed 's/,.*//')
  [ "$first" = "$name" ] || complain "NAME line starts with '$first'"
  headings="NAME SYNOPSIS DESCRIPTION"
  [ "$section" = 3 ] && headings="NAME LIBRARY SYNOPSIS DESCRIPTION RETURN.VALUE SEE.ALSO"
  for h in $headings; do grep -q "^$h\$" "$out" || complain "no $h section"; done
  [ "$section" = 3 ] || continue
  grep -A2 '^LIBRARY$' "$out" | grep -q lquemba || complain "LIBRARY does not give -lquemba"
  # Functions are documented in their family's page, not in pages of their own.
  for ref in $(grep -o '[A-Za-z0-9_-]*(3)' "$out" | grep -E '^(quemba|KX|kx|uni|_)' | sort -u); do
    [ -f "$src/man/man3/${ref%(3)}.3" ] || complain "refers to $ref, which does not exist"
  done
done
for pair in converter:converter standard:standard table_handle:table-handle utf8:utf8 \
            locale_services:locale unistr:unistr; do
  page=quemba-${pair#*:}.3 header=quemba/${pair%:*}.h
  sed 's|/\*.*\*/||g' "$src/include/$header" | awk '/\/\*/ { skip = 1 } skip { if (/\*\//) skip = 0; next }
    /QUEMBA_API/ && !/#define/ { on = 1 } on { sub(/QUEMBA_API/, ""); print; if (/;/) on = 0 }' | normal >"$t/declared"
  awk '/^SYNOPSIS/ { on = 1; next } /^[A-Z]/ { on = 0 } on' "$t/${page%.3}.txt" |
    grep -v -e '^[[:space:]]*#include' -e '^[[:space:]]*/\*' | normal >"$t/documented"
  [ -s "$t/declared" ] && diff "$t/declared" "$t/documented" ||
    complain "SYNOPSIS and $header differ (< header only, > page only)"
done
[ "$fail" -eq 0 ] && echo "the pages render without warnings; names, sections and synopses agree"
exit $fail
