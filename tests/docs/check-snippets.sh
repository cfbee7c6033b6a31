#!/bin/sh
# check-snippets.sh SOURCE-DIR BUILD-DIR LIB-DIR CC CFLAGS [RUNNER]: every
# ```c block of README.md, and every EXAMPLES program of the section-3 pages,
# builds as strict C99 against the headers and the built library and runs to
# exit status 0. The README shows each family header in some block.
set -u
src=$1 work=$2/snippets libdir=$3 cc=$4 cflags=$5 runner=${6:-} fail=0 passed=0
rm -rf "$work" && mkdir -p "$work"
awk -v dir="$work" '/^```c[[:space:]]*$/ { n++; on = 1; next } /^```/ { on = 0 }
  on { print > (dir "/readme-" n ".c") }' "$src/README.md"
for page in "$src"/man/man3/*.3; do
  # Roff escapes back to C: \e is a backslash, \(aq a quote, \- a minus.
  awk '/^\.EX/ { on = 1; text = ""; next } /^\.EE/ { if (text ~ /int main/) printf "%s", text; on = 0; next }
       on { text = text $0 "\n" }' "$page" | sed -e 's/\\e/\\/g' -e "s/\\\\(aq/'/g" -e 's/\\-/-/g' >"$work/man-${page##*/}.c"
done
for h in "$src"/include/quemba/*.h; do
  [ "${h##*/}" = base.h ] || cat "$work"/readme-*.c | grep -q "#include <quemba/${h##*/}>" ||
    { echo "README.md: no C block uses quemba/${h##*/}"; fail=1; }
done
for c in "$work"/*.c; do
  [ -s "$c" ] || continue
  # shellcheck disable=SC2086
  if "$cc" $cflags -std=c99 -Wall -Wextra -Werror -pedantic -I"$src/include" -o "${c%.c}" "$c" \
       -L"$libdir" -lquemba && echo "---- ${c##*/}" && LD_LIBRARY_PATH=$libdir $runner "${c%.c}"; then
    passed=$((passed + 1))
  else echo "${c##*/}: FAILED"; fail=1; fi
done
[ "$fail" -eq 0 ] && echo "$passed snippets built and ran"
exit $fail
