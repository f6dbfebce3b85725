#!/bin/sh
# Runs one libFuzzer target for a bounded time on its seed corpus.
#   run_fuzzer.sh <fuzzer> <seconds> <seed corpus> <work directory>
# New inputs go to <work directory>/corpus (the seeds in the repository stay untouched);
# a crash, leak or time-out leaves its input in <work directory> and fails the run.
set -eu
fuzzer=$1
seconds=$2
seeds=$3
work=$4
if [ ! -x "$fuzzer" ]; then
  echo "missing fuzz target $fuzzer (build the target 'fuzzers')" >&2
  exit 1
fi
mkdir -p "$work/corpus"
exec "$fuzzer" "$work/corpus" "$seeds" \
  -max_total_time="$seconds" \
  -timeout=20 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix="$work/"
