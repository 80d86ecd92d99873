#!/usr/bin/env bash
# Copies of the program that look up at the same time take turns:
# - two copies, one looking up record 1 and the other record 2, COUNT times
#   each with the demo lookup program: no lookup fails, and every block that
#   a copy shows is its own record's;
# - a copy that dies in the middle of a lookup keeps the next one neither
#   waiting nor from its own record, though the dead copy's lookup program
#   (on Linux) goes on and writes another record's longer screen into the
#   response file it was given; where KEIL_LOOKUP_ENDS_WITH_ITS_COPY=1
#   (Windows), that lookup program ends with its copy instead.
# usage: concurrent_lookups.sh FOLDER DEMO FAKE COUNT LOOP [ARGS...]
#   LOOP [ARGS...]  the command that starts the lookup loop helper
set -euo pipefail
folder=$1 demo=$2 fake=$3 count=$4
shift 4
rm -rf "$folder"
mkdir -p "$folder"
cp "$demo" "$folder/Lief-adr.exe"
"$@" 1 "$count" &
first=$!
"$@" 2 "$count" &
second=$!
status=0
wait "$first" || status=1
wait "$second" || status=1
[ "$status" -eq 0 ] && echo "ok: $count lookups of each record at once, each block its own"

screen() { printf 'Kopf\r\n%.0s' $(seq "$1"); printf 'Firma   %s\r\n' "$2"; printf 'Zeile %s\r\n' $(seq 4 12); }
screen 40 $'\xd6zt\xfcrk Papier' > "$folder/other.bin"
screen 2 $'M\xfcller & S\xf6hne' > "$folder/own.bin"
cp "$fake" "$folder/Lief-adr.exe"
printf 'sleep-ms 1000\nrespond other.bin\n' > "$folder/fake-mode.txt"
"$@" 1 1 > /dev/null 2>&1 &
dying=$!
for _ in $(seq 300); do
  [ -e "$folder/fake-runs.txt" ] && break
  sleep 0.1
done
kill -KILL "$dying"
wait "$dying" || true
printf 'sleep-ms 3000\nrespond own.bin\n' > "$folder/fake-mode.txt"
if timeout 60 "$@" 1 1; then
  echo "ok: a lookup after a copy died in the middle of its own shows its own record"
else
  echo "FAIL: a lookup after a copy died in the middle of its own waited for it, failed or showed another record"
  status=1
fi
ends=$(grep -c '^end$' "$folder/fake-runs.txt")
if [ "${KEIL_LOOKUP_ENDS_WITH_ITS_COPY:-0}" = 1 ] && [ "$ends" -ne 1 ]; then
  echo "FAIL: the dead copy's lookup program went on"
  status=1
fi
exit "$status"
