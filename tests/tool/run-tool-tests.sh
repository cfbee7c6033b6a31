#!/bin/sh
# run-tool-tests.sh TOOL VERSION CMAKE [RUNNER]: the quemba command run as a user
# runs it, each case checked for its exact output bytes and exit status.
# Table fields: name | exit status | input | expected output | arguments.
# In input, output and arguments \xHH stands for a byte.
set -u
tool=$1 version=$2 cmake=$3 runner=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0

q() { $runner "$tool" "$@"; }

# bytes TEXT: TEXT with each \xHH turned into that byte.
bytes() {
  rest=$1 format=''
  while :; do
    case $rest in
      *'\x'*)
        before=${rest%%\\x*} rest=${rest#*\\x}
        pair=${rest%"${rest#??}"} rest=${rest#??}
        format="$format$(printf '%s' "$before" | sed 's/[\\%]/&&/g')\\$(printf '%03o' "0x$pair")" ;;
      *) format="$format$(printf '%s' "$rest" | sed 's/[\\%]/&&/g')"; break ;;
    esac
  done
  printf "%s$format" ''
}

hex() { od -An -v -tx1 | tr -d ' \n'; }

ok() { pass=$((pass + 1)); }
bad() {
  fail=$((fail + 1))
  echo "FAIL: $1"
  shift
  for line in "$@"; do echo "      $line"; done
}

# run NAME EXIT INPUT-FILE EXPECTED-FILE ARGS...: compares status and bytes.
run() {
  name=$1 want_rc=$2 input=$3 want=$4
  shift 4
  q "$@" <"$input" >"$work/out" 2>"$work/err"
  rc=$?
  if [ "$rc" -eq "$want_rc" ] && cmp -s "$work/out" "$want"; then
    ok
  else
    bad "$name" "exit $rc, wanted $want_rc; stderr: $(cat "$work/err")" \
      "got:    $(hex <"$work/out" | cut -c1-160)" "wanted: $(hex <"$want" | cut -c1-160)"
  fi
}

trim() { printf '%s' "$1" | sed 's/^ *//; s/ *$//'; }

table() {
  while IFS='|' read -r name want_rc input want args; do
    case $name in ''|'#'*) continue ;; esac
    name=$(trim "$name") want_rc=$(trim "$want_rc")
    bytes "$(trim "$input")" >"$work/in"
    bytes "$(trim "$want")" >"$work/want"
    set -f
    # shellcheck disable=SC2086
    set -- $args
    set +f
    for arg; do shift; set -- "$@" "$(bytes "$arg")"; done
    run "$name" "$want_rc" "$work/in" "$work/want" convert "$@"
  done
}

L1='--locale de_DE.ISO-8859-1'
table <<CASES
# Locale text out: unmappable characters by each action.
latin1 out substitutes ?         | 0 | Gr\xc3\xbc\xc3\x9fe \xe2\x82\xac\x0a | Gr\xfc\xdfe ?\x0a        | $L1 --from utf-8 --to locale
latin1 out escapes               | 0 | Gr\xc3\xbc\xc3\x9fe \xe2\x82\xac\x0a | Gr\xfc\xdfe [20AC]\x0a   | $L1 --from utf-8 --to locale --unmappable escape
latin1 out stops                 | 1 | ab\xe2\x82\xacc                      | ab                       | $L1 --from utf-8 --to locale --unmappable stop
latin1 out own substitute        | 0 | ab\xe2\x82\xacc                      | ab*c                     | $L1 --from=utf-8 --to=locale --substitute=*
euc-jp multibyte substitute      | 0 | a\xe2\x82\xacb                       | a\xa2\xaeb               | --locale ja_JP.EUC-JP --from utf-8 --to locale --substitute \xa2\xae
utf-8 locale substitutes U+FFFD  | 0 | a\x00\x00\xd8b\x00                   | a\xef\xbf\xbdb           | --locale de_DE.UTF-8 --from utf-16le --to locale
# Locale text in: escapes back with --unescape only, malformed bytes.
latin1 in unescapes              | 0 | Gr\xfc\xdfe [20AC]\x0a               | Gr\xc3\xbc\xc3\x9fe \xe2\x82\xac\x0a | $L1 --unescape
latin1 in keeps escapes as text  | 0 | [20AC]                               | [20AC]                   | $L1
lower-case hex is no escape      | 0 | [20ac][20AC                          | [20ac][20AC              | $L1 --unescape
malformed locale bytes escaped   | 0 | ab\xe2\x82                           | ab[E2][82]               | --locale de_DE.UTF-8 --unmappable escape
malformed locale bytes replaced  | 0 | a\xffb                               | a\xef\xbf\xbdb           | --locale de_DE.UTF-8
malformed locale bytes stop      | 1 | ab\xe2\x82xy                         | ab                       | --locale de_DE.UTF-8 --unmappable stop
# Each pair of encodings.
euc-jp to utf-8                  | 0 | \xc5\xec\xb5\xfe                     | \xe6\x9d\xb1\xe4\xba\xac | --locale ja_JP.EUC-JP
utf-8 to euc-jp                  | 0 | \xe6\x9d\xb1\xe4\xba\xac\xc3\xbc     | \xc5\xec\xb5\xfe\x8f\xab\xe4 | --locale ja_JP.EUC-JP --from utf-8 --to locale
cp1251 to utf-16le               | 0 | \xcf\xf0\xe8                         | \x1f\x04\x40\x04\x38\x04 | --locale ru_RU.CP1251 --to utf-16le
utf-16be to cp1251               | 0 | \x04\x1f\x04\x40\x04\x38             | \xcf\xf0\xe8             | --locale ru_RU.CP1251 --from utf-16be --to locale
utf-16le to utf-16be             | 0 | A\x00\xac\x20                        | \x00A\x20\xac            | --from utf-16le --to utf-16be
locale to locale                 | 0 | \xfc[20AC]                           | \xfc\x88                 | --locale ru_RU.CP1251 --to locale --unescape
utf-8 to utf-8                   | 0 | a\xc3\xa9                            | a\xc3\xa9                | --from utf-8
four-byte utf-8 to utf-16le      | 0 | a\xf0\x9f\x98\x80                    | a\x00\x3d\xd8\x00\xde    | --from utf-8 --to utf-16le
surrogate pair to utf-8          | 0 | \x3d\xd8\x00\xde                     | \xf0\x9f\x98\x80         | --from utf-16le
lone surrogate escaped in utf-8  | 0 | A\x00\x00\xd8                        | A[D800]                  | --from utf-16le --unmappable escape
lone surrogate stops utf-8       | 1 | A\x00\x00\xd8B\x00                   | A                        | --from utf-16le --unmappable stop
malformed utf-8 replaced         | 0 | a\xffb                               | a\xef\xbf\xbdb           | --from utf-8
malformed utf-8 escaped          | 0 | a\xffb\xe2\x82                       | a[FF]b[E2][82]           | --from utf-8 --unmappable escape
malformed utf-8 stops            | 1 | a\xffb                               | a                        | --from utf-8 --unmappable stop
# Encoded surrogates are malformed; one substitute per maximal subpart.
encoded surrogate pair           | 0 | \xed\xa0\x80\xed\xb0\x80             | \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd | --from utf-8
encoded surrogate to utf-16      | 0 | \xed\x9f\xbf\xed\xa0\x80             | \xff\xd7\xfd\xff\xfd\xff\xfd\xff   | --from utf-8 --to utf-16le
encoded surrogate escaped        | 0 | \xed\xa0\x80                         | [ED][A0][80]             | --from utf-8 --unmappable escape
encoded surrogate stops          | 1 | a\xed\xa0\x80\xed\xb0\x80            | a                        | --from utf-8 --unmappable stop
overlong and cut-short forms     | 0 | \xe0\x80\xafx\xe3\x81y                | \xfd\xff\xfd\xff\xfd\xffx\x00\xfd\xffy\x00 | --from utf-8 --to utf-16le
above U+10FFFF and bad leads     | 0 | \xf4\x90\x80\x80\xc0\xaf\xf5          | \xfd\xff\xfd\xff\xfd\xff\xfd\xff\xfd\xff\xfd\xff\xfd\xff | --from utf-8 --to utf-16le
lone surrogate in utf-16 out     | 0 | A\x00\x00\xd8B\x00                    | \x00A\xff\xfd\x00B       | --from utf-16le --to utf-16be
lone surrogate stops utf-16      | 1 | A\x00\x00\xdcB\x00                    | \x00A                    | --from utf-16le --to utf-16be --unmappable stop
odd utf-16 byte escaped          | 0 | A\x00B                               | A[42]                    | --from utf-16le --unmappable escape
NUL bytes pass both ways         | 0 | x\x00y                               | \x00x\x00\x00\x00y       | --locale de_DE.UTF-8 --to utf-16be
NUL units to locale              | 0 | x\x00\x00\x00y\x00                   | x\x00y                   | $L1 --from utf-16le --to locale
# Encoding names as iconv takes them, and the locale's own codeset.
encoding name UTF-8              | 0 | a\xc3\xa9                            | a\xc3\xa9                | --from UTF-8
encoding names utf8, UTF-16LE    | 0 | a                                    | a\x00                    | --from utf8 --to UTF-16LE
encoding names UTF8, utf_16be    | 0 | a                                    | \x00a                    | --from UTF8 --to utf_16be
locale codeset ISO-8859-1        | 0 | Gr\xc3\xbc\xc3\x9fe                    | Gr\xfc\xdfe              | $L1 --from utf-8 --to ISO-8859-1
locale codeset euc-jp            | 0 | \xc5\xec                             | \xe6\x9d\xb1             | --locale ja_JP.EUC-JP --from euc-jp
locale codeset cp1251            | 0 | \xcf                                 | \xd0\x9f                 | --locale ru_RU.CP1251 --from Cp1251 --to utf-8
# A literal escape shape is escaped itself, so that it comes back as it was.
literal escape shape             | 0 | TLS1.[0123] [20AC                    | TLS1.[005B]0123] [20AC   | $L1 --from utf-8 --to locale --unmappable escape
# Byte-order marks: written on request, dropped from UTF input only.
bom utf-8                        | 0 | A                                    | \xef\xbb\xbfA            | --from utf-8 --bom
bom utf-16le                     | 0 | A\xe2\x82\xac                        | \xff\xfeA\x00\xac\x20    | --from utf-8 --to utf-16le --bom
bom utf-16be                     | 0 | A                                    | \xfe\xff\x00A            | --from utf-8 --to utf-16be --bom
no bom on locale text            | 0 | A                                    | A                        | $L1 --from utf-8 --to locale --bom
utf-8 bom dropped                | 0 | \xef\xbb\xbfA                        | A\x00                    | --from utf-8 --to utf-16le
utf-16le bom dropped             | 0 | \xff\xfeA\x00                        | A                        | --from utf-16le
utf-16be bom dropped             | 0 | \xfe\xff\x00A                        | A                        | --from utf-16be
locale bom kept                  | 0 | \xef\xbb\xbfA                        | \xff\xfe\xff\xfeA\x00    | --locale de_DE.UTF-8 --to utf-16le --bom
# Paths: the backslash, yen and won signs all become 0x5C.
path separators                  | 0 | a\x5cb\xc2\xa5c\xe2\x82\xa9          | a\x5cb\x5cc\x5c          | $L1 --from utf-8 --to locale --path
same text without --path         | 0 | a\x5cb\xc2\xa5c\xe2\x82\xa9          | a\x5cb\xa5c?             | $L1 --from utf-8 --to locale
CASES

# Messages on standard error: exit status and the text a user reads.
messages() {
  while IFS='|' read -r name want_rc input args; do
    case $name in ''|'#'*) continue ;; esac
    IFS= read -r message
    name=$(trim "$name") want_rc=$(trim "$want_rc")
    bytes "$(trim "$input")" >"$work/in"
    set -f
    # shellcheck disable=SC2086
    set -- $args
    set +f
    q "$@" <"$work/in" >"$work/out" 2>"$work/err"
    rc=$?
    message=$(trim "$message")
    if [ "$rc" -eq "$want_rc" ] && grep -qF -- "$message" "$work/err"; then
      ok
    else
      bad "$name" "exit $rc, wanted $want_rc" "stderr: $(cat "$work/err")" "wanted: $message"
    fi
  done
}

messages <<CASES
unmappable character  | 1 | ab\xe2\x82\xacc | convert $L1 --from utf-8 --to locale --unmappable stop
  quemba: stopped at byte 2: U+20AC cannot be written in this locale
unreadable bytes      | 1 | ab\xe2\x82xy | convert --locale de_DE.UTF-8 --unmappable stop
  quemba: stopped at byte 2: bytes E2 82 cannot be read in this locale
cut off at the end    | 1 | abc\xe2\x82 | convert --locale de_DE.UTF-8 --unmappable stop
  quemba: stopped at byte 3: bytes E2 82 cannot be read in this locale
bad utf-8 byte        | 1 | \xef\xbb\xbfa\xffb | convert --from utf-8 --unmappable stop
  quemba: stopped at byte 4: byte FF cannot be read as UTF-8
offset after bom      | 1 | \xff\xfeA\x00\x00\xd8 | convert --from utf-16le --unmappable stop
  quemba: stopped at byte 4: U+D800 cannot be written as UTF-8
supplementary in cp   | 1 | a\xf0\x9f\x98\x80 | convert --locale ru_RU.CP1251 --from utf-8 --to locale --unmappable stop
  quemba: stopped at byte 1: U+1F600 cannot be written in this locale
unknown option        | 2 | | convert --frob
  quemba: unknown option '--frob'
unknown command       | 2 | | frob
  quemba: unknown command 'frob'
unknown encoding      | 2 | | convert --from latin1
  quemba: unknown encoding 'latin1'
other charset         | 2 | | convert --locale de_DE.UTF-8 --from latin1
  run under a locale whose encoding is latin1, for example with --locale de_DE.latin1
unknown action        | 2 | | convert --unmappable ignore
  quemba: unknown action 'ignore'
missing value         | 2 | | convert --to
  quemba: option --to needs a value
two files             | 2 | | convert a b
  quemba: convert takes one file at most
two characters        | 2 | | convert --substitute ab
  quemba: --substitute takes one character
info argument         | 2 | | info extra
  quemba: unexpected argument 'extra'
no command            | 2 | | 
  Usage: quemba COMMAND
help on no command    | 2 | | help frob
  quemba: no help for 'frob'
missing file          | 3 | | convert /nonexistent/file.txt
  quemba: cannot open /nonexistent/file.txt
directory             | 3 | | convert /
  quemba: cannot read /
missing locale        | 4 | | convert --locale xx_XX.UTF-8
  quemba: locale 'xx_XX.UTF-8' is not available
missing locale, info  | 4 | | info --locale xx_XX.UTF-8
  quemba: locale 'xx_XX.UTF-8' is not available
CASES

# Escaped text with bracketed hexadecimal in it comes back unchanged, also
# with an escape shape across the first read boundary.
bytes 'TLS1.[0123] char[4108] i[3467]86 [005B] [[20AC]] \xe2\x82\xac\xc3\xbc [ABCD' >"$work/brackets"
head -c 65533 /dev/zero | tr '\0' a >"$work/edge"
printf '[0041]\n' >>"$work/edge"
for case in "de_DE.ISO-8859-1 brackets" "ja_JP.EUC-JP brackets" "ru_RU.CP1251 brackets" \
  "en_US.UTF-8 brackets" "de_DE.ISO-8859-1 edge"; do
  set -- $case
  q convert --locale "$1" --from utf-8 --to locale --unmappable escape <"$work/$2" >"$work/escaped"
  run "escape round trip, $case" 0 "$work/escaped" "$work/$2" convert --locale "$1" --unescape
done

# Help and version on standard output, exit 0.
printf 'quemba %s\n' "$version" >"$work/want"
run "version" 0 /dev/null "$work/want" --version
for args in "--help" "-h" "help" "help convert" "convert --help" "help info" "info -h"; do
  # shellcheck disable=SC2086
  q $args >"$work/out" 2>"$work/err"
  rc=$?
  if [ "$rc" -eq 0 ] && grep -q '^Usage: quemba' "$work/out" && grep -q 'Examples:' "$work/out" && [ ! -s "$work/err" ]; then
    ok
  else
    bad "help: $args" "exit $rc" "$(head -2 "$work/out")"
  fi
done

# Files and "-" read as standard input does.
bytes 'Gr\xfc\xdfe' >"$work/file.txt"
bytes 'Gr\xc3\xbc\xc3\x9fe' >"$work/want"
run "file argument" 0 /dev/null "$work/want" convert $L1 "$work/file.txt"
run "dash is stdin" 0 "$work/file.txt" "$work/want" convert $L1 -
run "after --" 0 /dev/null "$work/want" convert $L1 -- "$work/file.txt"
if q convert $L1 <"$work/file.txt" | cmp -s - "$work/want"; then ok; else bad "pipe"; fi
if LC_ALL=de_DE.ISO-8859-1 q convert <"$work/file.txt" | cmp -s - "$work/want"; then ok; else bad "locale from the environment"; fi

# Write failures, and an environment naming a locale that is not there.
if [ -w /dev/full ]; then
  for args in "convert --from utf-8 $work/file.txt" "info" "--help"; do
    # shellcheck disable=SC2086
    q $args >/dev/full 2>"$work/err"
    rc=$?
    if [ "$rc" -eq 3 ] && grep -q '^quemba: cannot write' "$work/err"; then ok; else bad "write failure: $args" "exit $rc: $(cat "$work/err")"; fi
  done
fi
printf 'plain text\n' >"$work/ascii.txt"
LC_ALL=xx_XX.UTF-8 q convert <"$work/ascii.txt" >"$work/out" 2>"$work/err"
rc=$?
if [ "$rc" -eq 0 ] && grep -q "^quemba: the environment's locale is not available; using C" "$work/err" \
   && cmp -s "$work/out" "$work/ascii.txt"; then ok; else bad "missing environment locale" "exit $rc: $(cat "$work/err")"; fi

# info: fields against the locales' known conventions.
info_field() { # LOCALE FIELD EXPECTED
  q info --locale "$1" >"$work/info" 2>"$work/err"
  rc=$?
  line=$(grep "^$2 " "$work/info" | sed "s/^$2  *//")
  if [ "$rc" -eq 0 ] && [ "$line" = "$(bytes "$3")" ]; then ok; else bad "info $1 $2" "exit $rc, got '$line', wanted '$3'"; fi
}
info_field de_DE.UTF-8 decimal_point '","'
info_field de_DE.UTF-8 thousands_sep '"."'
info_field de_DE.UTF-8 grouping '3;3'
info_field de_DE.UTF-8 currency_symbol '"\xe2\x82\xac"'
info_field de_DE.UTF-8 country_id '049'
info_field de_DE.UTF-8 p_cs_precedes '0 (symbol after the amount)'
info_field de_DE.ISO-8859-1 date_example '"03.02.2001"'
info_field en_US.UTF-8 decimal_point '"."'
info_field en_US.UTF-8 country_code '1'
info_field en_US.UTF-8 am_string '"AM"'
info_field en_US.UTF-8 p_cs_precedes '1 (symbol before the amount)'
info_field fi_FI.UTF-8 country_id '358'
info_field ja_JP.EUC-JP currency_symbol '"\xa1\xef"'
info_field ja_JP.EUC-JP am_string '"\xb8\xe1\xc1\xb0"'
info_field ru_RU.CP1251 country_id '007'
info_field qz_QZ.UTF-8 country_code '1234'
info_field qz_QZ.UTF-8 grouping '3;2'
info_field qz_QZ.UTF-8 mon_grouping '4;2'
info_field C grouping 'none'
info_field C library_version "$version.0"

# info --json: one valid object (cmake parses it), text fields in UTF-8.
json_field() { # LOCALE FIELD EXPECTED
  q info --json --locale "$1" >"$work/info.json" 2>"$work/err"
  rc=$?
  got=$("$cmake" -DFILE="$work/info.json" -DFIELD="$2" -P "$here/json-field.cmake" 2>&1)
  if [ "$rc" -eq 0 ] && [ "$got" = "$(bytes "$3")" ]; then ok; else bad "info --json $1 $2" "exit $rc, got '$got', wanted '$3'"; fi
}
json_field de_DE.UTF-8 decimal_point ','
json_field de_DE.ISO-8859-1 decimal_point ','
json_field de_DE.UTF-8 currency_symbol '\xe2\x82\xac'
json_field de_DE.UTF-8 country_code '49'
json_field de_DE.UTF-8 grouping '[ 3, 3 ]'
json_field ja_JP.EUC-JP currency_symbol '\xef\xbf\xa5'
json_field ja_JP.EUC-JP pm_string '\xe5\x8d\x88\xe5\xbe\x8c'
json_field ru_RU.CP1251 currency_symbol '\xd1\x80\xd1\x83\xd0\xb1'
json_field qz_QZ.UTF-8 am_string 'ante meridiem, quemba zone: \xc3\xa4\xc3\xb6'
json_field C code_page '0'
json_field C library_version "$version.0"

# Streams larger than the read buffer, with characters and escapes across
# every chunk boundary, against output built independently.
sh "$here/make-stream.sh" "$work"
run "big utf-8 to euc-jp" 0 "$work/big.utf8" "$work/big.eucjp" convert --locale ja_JP.EUC-JP --from utf-8 --to locale --unmappable escape
run "big euc-jp back" 0 "$work/big.eucjp" "$work/big.utf8" convert --locale ja_JP.EUC-JP --unescape
run "big utf-8 to utf-16le" 0 "$work/big.utf8" "$work/big.utf16" convert --from utf-8 --to utf-16le
run "big utf-16le back" 0 "$work/big.utf16" "$work/big.utf8" convert --from utf-16le
head -c 70000 "$work/big.utf8" | tr -c 'a' 'a' >"$work/plain"
cp "$work/plain" "$work/want"
bytes '\xe2\x82\xac' >>"$work/plain"
run "stop after the first chunk" 1 "$work/plain" "$work/want" convert $L1 --from utf-8 --to locale --unmappable stop
if grep -qF 'stopped at byte 70000: U+20AC' "$work/err"; then ok; else bad "offset after the first chunk" "$(cat "$work/err")"; fi

echo "tool: $pass passed, $fail failed"
[ "$fail" -eq 0 ]
