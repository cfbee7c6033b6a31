#!/bin/sh
# check-snippets.sh SOURCE-DIR BUILD-DIR LIB-DIR CC CFLAGS [RUNNER]: every
# ```c block of README.md, and every EXAMPLES program of the section-3 pages,
# builds as strict C99 against the headers and the built library and runs to
# exit status 0. The README must show each family header in some block.
set -u
src=$1 build=$2 libdir=$3 cc=$4 cflags=$5 runner=${6:-}
work=$build/snippets
rm -rf "$work"
mkdir -p "$work"
fail=0

case "$cflags" in *-m32*) arch=-m32 ;; *) arch= ;; esac
if grep -q '^QUEMBA_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
  arch="$arch -fsanitize=address,undefined"
fi
if grep -q '^QUEMBA_TSAN:BOOL=ON' "$build/CMakeCache.txt"; then
  arch="$arch -fsanitize=thread"
fi

awk -v dir="$work" '
  /^```c[[:space:]]*$/ { n++; file = sprintf("%s/readme-%d.c", dir, n); on = 1; next }
  /^```/ { on = 0; next }
  on { print > file }' "$src/README.md"

for page in "$src"/man/man3/*.3; do
  name=$(basename "$page" .3)
  # Roff escapes back to C: \e is a backslash, \(aq a quote, \- a minus.
  awk '/^\.EX/ { on = 1; text = ""; next }
       /^\.EE/ { if (text ~ /int main/) printf "%s", text; on = 0; next }
       on { text = text $0 "\n" }' "$page" |
    sed -e 's/\\e/\\/g' -e "s/\\\\(aq/'/g" -e 's/\\-/-/g' >"$work/man-$name.c"
  [ -s "$work/man-$name.c" ] || rm -f "$work/man-$name.c"
done

readme_count=$(find "$work" -name 'readme-*.c' | wc -l)
[ "$readme_count" -gt 0 ] || { echo "README.md has no \`\`\`c block"; exit 1; }
for header in "$src"/include/quemba/*.h; do
  h=$(basename "$header")
  [ "$h" = base.h ] && continue
  grep -q "#include <quemba/$h>" "$work"/readme-*.c ||
    { echo "README.md: no C block uses quemba/$h"; fail=1; }
done

passed=0
for source in "$work"/*.c; do
  snippet=$(basename "$source" .c)
  # shellcheck disable=SC2086
  if ! "$cc" $arch -std=c99 -Wall -Wextra -Werror -pedantic -I"$src/include" \
       -o "$work/$snippet" "$source" -L"$libdir" -lquemba 2>"$work/$snippet.log"; then
    echo "$snippet: does not compile"
    sed 's/^/  /' "$work/$snippet.log"
    fail=1
    continue
  fi
  LD_LIBRARY_PATH=$libdir $runner "$work/$snippet" >"$work/$snippet.out" 2>&1
  status=$?
  echo "---- $snippet (exit $status)"
  sed 's/^/  /' "$work/$snippet.out"
  if [ "$status" -ne 0 ]; then
    echo "$snippet: FAILED"
    fail=1
  else
    passed=$((passed + 1))
  fi
done
[ "$fail" -eq 0 ] && echo "$passed snippets ($readme_count from README.md) built and ran"
exit $fail
