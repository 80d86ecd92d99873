#!/usr/bin/env bash
# Lookups with the Windows build of the demo lookup program, which the
# kernel hands to Wine: the first in a fresh prefix; then, in that existing
# prefix, the figures of wine_bench without and with the Wine process that
# the window keeps (the first lookup, one after a pause, back to back, and
# the memory of Wine while kept); then the native demo back to back. Prints
# "name,value" lines. As root, or where Wine is registered with binfmt_misc.
# usage: wine_lookup.sh FOLDER LOOKUP_LOOP WINE_BENCH WINDOWS_DEMO NATIVE_DEMO PREFIX
set -euo pipefail
folder=$1 loop=$2 wine_bench=$3 windows_demo=$4 native_demo=$5 prefix=$(realpath -m "$6")

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
  echo $(((end - start) / count / 1000))e-3 | awk '{ printf "%.1f", $1 }'
}

place() { rm -rf "$folder"; mkdir -p "$folder"; cp "$1" "$folder/Lief-adr.exe"; }

place "$windows_demo"
echo "wine_fresh_prefix_ms,$(lookups_ms 1)"
for mode in none keep; do
  wineserver -w  # Wine has stopped, as it does a few seconds after a lookup
  "$wine_bench" "$mode" | sed "s/^/${mode}_/"
done
place "$native_demo"
echo "native_ms,$(lookups_ms 20)"
