#!/bin/sh
# check-man-pages.sh SOURCE-DIR: every page under man/ renders through man(1)
# without a single groff warning, in ASCII and in UTF-8, within 80 columns;
# its NAME and .TH agree with its file name; the section-3 pages have their
# sections, refer only to pages that exist, and their SYNOPSIS holds exactly
# the declarations of their header.
set -u
src=$1
fail=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# man-db sandboxes groff with seccomp, which some containers refuse.
export MANPAGER=cat PAGER=cat MANWIDTH=80 MAN_DISABLE_SECCOMP=1
for tool in man groff col; do
  command -v "$tool" >/dev/null || { echo "$tool not found: scripts/install-deps installs it"; exit 1; }
done

complain() { echo "$page: $*"; fail=1; }

# Declarations of a header, one per line, whitespace collapsed, comments gone.
declarations() {
  sed -e 's|/\*.*\*/||g' "$1" | awk '
    /\/\*/ { skip = 1 } skip { if (/\*\//) skip = 0; next }
    /QUEMBA_API/ && !/#define/ { on = 1; text = "" }
    on { text = text " " $0; if (/;/) { on = 0; print text } }' |
  sed -e 's/QUEMBA_API//' -e 's/[[:space:]][[:space:]]*/ /g' -e 's/^ //' -e 's/ $//' \
      -e 's/( /(/g' -e 's/ )/)/g' | sort
}

# Declarations shown in a rendered SYNOPSIS section, same normal form.
synopsis_declarations() {
  awk '/^SYNOPSIS/ { on = 1; next } /^[A-Z]/ { on = 0 } on' "$1" |
  grep -v -e '^[[:space:]]*#include' -e '^[[:space:]]*/\*' |
  tr '\n' ' ' | tr ';' '\n' |
  sed -e 's/[[:space:]][[:space:]]*/ /g' -e 's/^ //' -e 's/ $//' |
  grep -v '^$' | sed 's/$/;/' | sort
}

pages=$(find "$src/man" -type f -name '*.[1-9]' | sort)
[ -n "$pages" ] || { echo "no manual pages under $src/man"; exit 1; }

for page in $pages; do
  file=$(basename "$page")
  name=${file%.*}
  section=${file##*.}
  for loc in C C.UTF-8; do
    LC_ALL=$loc man --warnings=w -l "$page" >"$tmp/out.$loc" 2>"$tmp/err"
    if [ -s "$tmp/err" ]; then
      complain "warnings when rendered in $loc:"
      sed 's/^/  /' "$tmp/err"
    fi
    [ -s "$tmp/out.$loc" ] || complain "renders to nothing in $loc"
  done
  out=$tmp/out.C
  cp "$out" "$tmp/$name.$section.txt"
  wide=$(awk 'length > 80' "$out" | head -3)
  if [ -n "$wide" ]; then complain "lines wider than 80 columns:"; echo "$wide"; fi

  th=$(sed -n 's/^\.TH[[:space:]]\{1,\}//p' "$page" | head -1)
  th_name=$(echo "$th" | awk '{print tolower($1)}')
  th_section=$(echo "$th" | awk '{print $2}')
  [ "$th_name" = "$name" ] || complain ".TH names '$th_name', not '$name'"
  [ "$th_section" = "$section" ] || complain ".TH gives section '$th_section', not $section"
  # The first name in NAME is the page's own.
  first=$(awk '/^NAME/ { getline; print; exit }' "$out" | sed -e 's/^[[:space:]]*//' -e 's/[ ,].*//')
  [ "$first" = "$name" ] || complain "NAME line starts with '$first', not '$name'"

  required="NAME SYNOPSIS DESCRIPTION"
  [ "$section" = 3 ] && required="NAME LIBRARY SYNOPSIS DESCRIPTION RETURN.VALUE SEE.ALSO"
  for heading in $required; do
    grep -q "^$heading\$" "$out" || complain "no $heading section"
  done
  if [ "$section" = 3 ]; then
    grep -A2 '^LIBRARY$' "$out" | grep -q 'lquemba' || complain "LIBRARY does not give -lquemba"
    for ref in $(grep -o 'quemba[-a-z0-9]*(3)' "$out" | sort -u); do
      [ -f "$src/man/man3/${ref%(3)}.3" ] || complain "refers to $ref, which does not exist"
    done
    # Functions are documented in their family's page, not in pages of their own.
    own=$(grep -o '[A-Za-z0-9_-]*(3)' "$out" | grep '^\(KX\|kx\|uni\|_\)' | sort -u | tr '\n' ' ')
    [ -z "$own" ] || complain "refers to pages that do not exist: $own"
  fi
done

# Each family header against the SYNOPSIS of its page, both ways.
while read -r header page_name; do
  page=$src/man/man3/$page_name.3
  if [ ! -f "$page" ]; then
    echo "$page_name.3: missing (documents quemba/$header)"; fail=1; continue
  fi
  declarations "$src/include/quemba/$header" >"$tmp/declared"
  [ -s "$tmp/declared" ] || { echo "no declarations found in $header"; fail=1; continue; }
  synopsis_declarations "$tmp/$page_name.3.txt" >"$tmp/documented"
  if ! diff "$tmp/declared" "$tmp/documented" >"$tmp/diff"; then
    echo "$page_name.3: SYNOPSIS and quemba/$header differ (< header only, > page only):"
    grep '^[<>]' "$tmp/diff"
    fail=1
  fi
done <<EOF_MAP
converter.h quemba-converter
standard.h quemba-standard
table_handle.h quemba-table-handle
utf8.h quemba-utf8
locale_services.h quemba-locale
unistr.h quemba-unistr
EOF_MAP

count=$(echo "$pages" | wc -l)
[ "$fail" -eq 0 ] && echo "$count pages render without warnings; names, sections and synopses agree"
exit $fail
