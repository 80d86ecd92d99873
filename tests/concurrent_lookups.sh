#!/usr/bin/env bash
# Copies of the program that look up at the same time take turns:
# - two copies, one looking up record 1 and the other record 2, COUNT times
#   each with the demo lookup program: no lookup fails, and every block that
#   a copy shows is its own record's;
# - a copy that dies in the middle of a lookup keeps the next one neither
#   waiting nor from its own record, and its lookup program, which would
#   write another record's longer screen, ends with it;
# - four copies whose lookups queue behind each other: every lookup shows
#   its record; and a copy that waits for one lookup of four seconds, longer
#   than a wait for a colleague was once allowed to last, shows its own
#   record after it.
# usage: concurrent_lookups.sh FOLDER DEMO FAKE COUNT LOOP [EMULATOR...]
#   LOOP  the lookup loop helper; EMULATOR runs it (Wine)
set -euo pipefail
folder=$1 demo=$2 fake=$3 count=$4 loop=$5
shift 5
emulator=("$@")
status=0
rm -rf "$folder"
mkdir -p "$folder"
cp "$demo" "$folder/Lief-adr.exe"
"${emulator[@]}" "$loop" 1 "$count" &
first=$!
"${emulator[@]}" "$loop" 2 "$count" &
second=$!
wait "$first" || status=1
wait "$second" || status=1
[ "$status" -eq 0 ] && echo "ok: $count lookups of each record at once, each block its own"

screen() { printf 'Kopf\r\n%.0s' $(seq "$1"); printf 'Firma   %s\r\n' "$2"; printf 'Zeile %s\r\n' $(seq 4 12); }
screen 40 $'\xd6zt\xfcrk Papier' > "$folder/other.bin"
screen 2 $'M\xfcller & S\xf6hne' > "$folder/own.bin"
cp "$fake" "$folder/Lief-adr.exe"
printf 'sleep-ms 1000\nrespond other.bin\n' > "$folder/fake-mode.txt"
"${emulator[@]}" "$loop" 1 1 > /dev/null 2>&1 &
dying=$!
for _ in $(seq 300); do
  [ -e "$folder/fake-runs.txt" ] && break
  sleep 0.1
done
kill -KILL "$dying"
wait "$dying" || true
printf 'sleep-ms 3000\nrespond own.bin\n' > "$folder/fake-mode.txt"
if timeout 60 "${emulator[@]}" "$loop" 1 1; then
  echo "ok: a lookup after a copy died in the middle of its own shows its own record"
else
  echo "FAIL: a lookup after a copy died in the middle of its own waited for it, failed or showed another record"
  status=1
fi
ends=$(grep -c '^end$' "$folder/fake-runs.txt")
if [ "$ends" -ne 1 ]; then
  echo "FAIL: the dead copy's lookup program went on"
  status=1
fi

# Four copies, two lookups each of 0.7 seconds: the last in the queue
# waits for the others, several seconds in all.
printf 'sleep-ms 700\nrespond own.bin\n' > "$folder/fake-mode.txt"
queue=()
for _ in 1 2 3 4; do
  "${emulator[@]}" "$loop" 1 2 &
  queue+=($!)
done
queued=0
for copy in "${queue[@]}"; do wait "$copy" || queued=1; done
if [ "$queued" -eq 0 ]; then
  echo "ok: four copies queued behind each other all show their record"
else
  echo "FAIL: a copy in a queue of lookups ended with an error"
  status=1
fi

# One copy's lookup of four seconds: another copy that waits for it shows
# its own record afterwards.
printf 'sleep-ms 4000\nrespond own.bin\n' > "$folder/fake-mode.txt"
rm -f "$folder/fake-runs.txt"
"${emulator[@]}" "$loop" 1 1 > /dev/null &
holder=$!
for _ in $(seq 100); do grep -q '^run$' "$folder/fake-runs.txt" 2> /dev/null && break; sleep 0.1; done
if waited=$("${emulator[@]}" "$loop" 1 1 2>&1); then
  echo "ok: a run that waits four seconds for another shows its own record"
else
  echo "FAIL: the waiting copy failed: $waited"
  status=1
fi
wait "$holder" || { echo "FAIL: the copy that held the folder failed"; status=1; }
exit "$status"
