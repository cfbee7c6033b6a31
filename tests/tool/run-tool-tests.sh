#!/bin/bash
# run-tool-tests.sh TOOL VERSION CMAKE [RUNNER]: runs each line of cases.txt,
#   name | exit status | stdin | stdout | stderr | command
# as a user would. Stdin and stdout are bytes with printf escapes, {N*c} for
# N copies of c, or @FILE, a stream made below. Stdout may instead be
# ~ERE~ERE (each matches some line), json:FIELD=VALUE (a member of the one
# JSON object) or * (unchecked). Stderr holds the text given, or nothing when
# the exit status is 0. The command sees $IN, the stdin bytes (then not on
# stdin), and runs once for every test locale when it names $L.
set -u -o pipefail
shopt -s extglob
tool=$1 version=$2 cmake=$3 runner=${4:-} here=$(dirname "$0")
W=$(mktemp -d) pass=0 fail=0
IN=$W/in
trap 'rm -rf "$W"' EXIT
quemba() { $runner "$tool" "$@"; }
bytes() {
  local s=${1//@VERSION@/$version}
  case $s in @*) cat "$W/${s#@}"; return ;; esac
  while [[ $s =~ \{([0-9]+)\*(.)\} ]]; do
    s=${s/"${BASH_REMATCH[0]}"/$(printf "%${BASH_REMATCH[1]}s" | tr ' ' "${BASH_REMATCH[2]}")}
  done
  printf '%b' "$s"
}

# Streams beyond the 128 KiB read: a character and an escape across the first
# two block edges, then lines of every length mod 13 put the later edges
# everywhere; the UTF-16 and escaped EUC-JP forms come from iconv.
a() { printf "%$1s" | tr ' ' a; }
{ a 131071; printf 'ü€\n'; a 131060; printf '€\n'
  yes "$(for p in {0..12}; do a "$p"; printf 'Grüße 東京 – 5 €😀\n'; done)" | head -n $((13 << 13))
  a 32767; printf '😀'; } >"$W/big.utf8"
iconv -f UTF-8 -t UTF-16LE "$W/big.utf8" >"$W/big.utf16"
sed 's/€/[20AC]/g; s/–/[2013]/g; s/😀/[D83D][DE00]/g' "$W/big.utf8" | iconv -f UTF-8 -t EUC-JP >"$W/big.eucjp"

while IFS='|' read -r name rc in out err cmd; do
  for f in name rc in out err cmd; do declare -n v=$f; v=${v##+( )}; v=${v%%+( )}; done
  case $name in '' | '#'*) continue ;; esac
  bytes "$in" >"$IN"
  stdin=$IN; [[ $cmd == *'$IN'* ]] && stdin=/dev/null
  for L in $([[ $cmd == *'$L'* ]] && ls "$LOCPATH" || echo -); do
    eval "$cmd" <"$stdin" >"$W/out" 2>"$W/err"
    got=$? why=
    [ "$got" = "$rc" ] || why="exit $got, wanted $rc;"
    case $out in
      '*') ;;
      '~'*) IFS='~' read -ra res <<<"${out#'~'}"
        for re in "${res[@]}"; do grep -qE -- "$(bytes "$re")" "$W/out" || why+=" no line like $re;"; done ;;
      json:*) field=${out#json:}
        value=$("$cmake" -DFILE="$W/out" -DFIELD="${field%%=*}" -P "$here/json-field.cmake" 2>&1)
        [ "$value" = "$(bytes "${field#*=}")" ] || why+=" ${field%%=*} is '$value';" ;;
      *) bytes "$out" | cmp - "$W/out" >"$W/cmp" 2>&1 ||
           why+=" stdout: $(cat "$W/cmp"), ending $(tail -c 24 "$W/out" | od -An -tx1);" ;;
    esac
    if [ -n "$err" ]; then grep -qF -- "$(bytes "$err")" "$W/err" || why+=" stderr: $(cat "$W/err")"
    elif [ "$rc" = 0 ] && [ -s "$W/err" ]; then why+=" stderr: $(cat "$W/err")"; fi
    if [ -z "$why" ]; then pass=$((pass + 1)); else fail=$((fail + 1)); echo "FAIL: $name (${L#-}) $why"; fi
  done
done <"$here/cases.txt"
echo "tool: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
