#!/bin/sh
# Runs one libFuzzer target for a bounded time on its seed corpus.
#   run_fuzzer.sh <fuzzer> <seconds> <seed corpus> <work directory>
# New inputs go to <work directory>/corpus (the seeds in the repository stay untouched);
# a crash, leak or time-out leaves its input in <work directory> and fails the run. A target
# that was not built (the default build leaves them out) skips the run with status 77.
set -eu
fuzzer=$1
seconds=$2
seeds=$3
work=$4
if [ ! -x "$fuzzer" ]; then
  echo "skipped: $fuzzer is not built (cmake --build <build folder> --target fuzzers)" >&2
  exit 77
fi
mkdir -p "$work/corpus"
exec "$fuzzer" "$work/corpus" "$seeds" \
  -max_total_time="$seconds" \
  -timeout=20 \
  -rss_limit_mb=2048 \
  -print_final_stats=1 \
  -artifact_prefix="$work/"
