#!/bin/sh
# run-one.sh FUZZER CORPUS WORKDIR [libFuzzer options]: run one target over
# its committed corpus. New inputs go to WORKDIR, never into the corpus.
set -eu
fuzzer=$1 corpus=$2 work=$3
shift 3
rm -rf "$work"
mkdir -p "$work"
exec "$fuzzer" -max_len=2048 -print_final_stats=1 "$@" "$work" "$corpus"
