#!/bin/sh
# make-stream.sh DIR: writes DIR/big.utf8 (several MB), DIR/big.eucjp (its
# ja_JP.EUC-JP form with "[XXXX]" escapes for what EUC-JP lacks) and
# DIR/big.utf16 (its UTF-16LE form), each built from the same pieces. The
# first sections put a multibyte character and an escape across the read
# boundaries at 64 KiB and 128 KiB; repeated lines of changing length put
# the later boundaries everywhere else.
set -eu
dir=$1
a() { head -c "$1" /dev/zero | tr '\0' a; }
a16() { head -c "$1" /dev/zero | tr '\0' a | sed 's/a/a\x00/g'; }

# One character in each form: UTF-8, EUC-JP, UTF-16LE (octal escapes).
uuml='\303\274'  uuml_j='\217\253\344'  uuml_w='\374\000'
szlig='\303\237' szlig_j='\217\251\316' szlig_w='\337\000'
to='\346\235\261' to_j='\305\354' to_w='\161\147'
kyo='\344\272\254' kyo_j='\265\376' kyo_w='\254\116'
euro='\342\202\254' euro_j='[20AC]' euro_w='\254\040'
dash='\342\200\223' dash_j='[2013]' dash_w='\023\040'
smile='\360\237\230\200' smile_j='[D83D][DE00]' smile_w='\075\330\000\336'

{ a 65535; printf "$uuml$euro\n"; a 65524; printf "$euro\n"; } >"$dir/big.utf8"
{ a 65535; printf "$uuml_j$euro_j\n"; a 65524; printf "$euro_j\n"; } >"$dir/big.eucjp"
{ a16 65535; printf "$uuml_w$euro_w\n\000"; a16 65524; printf "$euro_w\n\000"; } >"$dir/big.utf16"

line() { # FORM-SUFFIX PADDING: one line of the repeated block
  eval "u=\$uuml$1 s=\$szlig$1 t=\$to$1 k=\$kyo$1 e=\$euro$1 d=\$dash$1 m=\$smile$1"
  if [ "$1" = _w ]; then
    a16 "$2"
    printf "G\000r\000$u${s}e\000 \000$t$k \000$d \0005\000 \000$e$m\n\000"
  else
    a "$2"
    printf "Gr$u${s}e $t$k $d 5 $e$m\n"
  fi
}
for form in "" _j _w; do
  for pad in 0 1 2 3 4 5 6 7 8 9 10 11 12; do line "$form" "$pad"; done >"$dir/block"
  # 2^13 copies of the block: a few MB.
  for i in 1 2 3 4 5 6 7 8 9 10 11 12 13; do cat "$dir/block" "$dir/block" >"$dir/block2"; mv "$dir/block2" "$dir/block"; done
  case $form in
    "") cat "$dir/block" >>"$dir/big.utf8" ;;
    _j) cat "$dir/block" >>"$dir/big.eucjp" ;;
    _w) cat "$dir/block" >>"$dir/big.utf16" ;;
  esac
done
rm -f "$dir/block"

# A surrogate pair across the 64 KiB boundary of UTF-16 input.
{ a16 32767; printf "$smile_w"; } >>"$dir/big.utf16"
{ a 32767; printf "$smile"; } >>"$dir/big.utf8"
{ a 32767; printf "$smile_j"; } >>"$dir/big.eucjp"
