#!/usr/bin/env bash
# The time of one lookup run with the Windows build of the demo lookup
# program, which the kernel hands to Wine: the first in a fresh prefix, and
# the mean of the next ones back to back; then the same with the native demo.
# Prints "name,milliseconds" lines.
# usage: wine_lookup.sh FOLDER LOOKUP_LOOP WINDOWS_DEMO NATIVE_DEMO PREFIX
set -euo pipefail
folder=$1 loop=$2 windows_demo=$3 native_demo=$4 prefix=$(realpath -m "$5")
runs=20

source "$(dirname "$0")/../scripts/wine-binfmt.sh"
trap 'WINEPREFIX=$prefix wineserver -k 2> /dev/null || true; wine_binfmt_off' EXIT
wine_binfmt_on
rm -rf "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all

# Milliseconds that COUNT lookups of record 1 take, each on average.
lookups_ms() {
  local count=$1 start end
  start=$(date +%s%N)
  "$loop" 1 "$count" > /dev/null
  end=$(date +%s%N)
  echo $(((end - start) / count / 1000))e-3 | awk '{ printf "%.2f", $1 }'
}

place() { rm -rf "$folder"; mkdir -p "$folder"; cp "$1" "$folder/Lief-adr.exe"; }

place "$windows_demo"
first=$(lookups_ms 1)
next=$(lookups_ms "$runs")
place "$native_demo"
native=$(lookups_ms "$runs")
printf 'wine_first_ms,%s\nwine_next_ms,%s\nnative_ms,%s\n' "$first" "$next" "$native"
