#!/usr/bin/env bash
# Builds the differential fuzz target of the block extraction with clang and
# runs it for a bounded time (default 60 seconds) from the seed corpus.
# usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

cmake --preset fuzz
cmake --build --preset fuzz
# New inputs go to a folder in the build tree; the seed corpus stays as it is.
mkdir -p build/fuzz/corpus-run
build/fuzz/fuzz/extract_fuzz -max_total_time="$seconds" -print_final_stats=1 \
  -max_len=8192 build/fuzz/corpus-run fuzz/corpus 2>&1 | grep -E '^(Done|stat::|==|SUMMARY)' || {
  echo "The fuzz run failed; the input that broke it is in the current folder (crash-*)." >&2
  exit 1
}
