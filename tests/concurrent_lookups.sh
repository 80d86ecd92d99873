#!/usr/bin/env bash
# Copies of the program that look up at the same time take turns:
# - two copies, one looking up record 1 and the other record 2, COUNT times
#   each with the demo lookup program: no lookup fails, and every block that
#   a copy shows is its own record's;
# - a copy that dies in the middle of a lookup does not keep the next one
#   waiting.
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

cp "$fake" "$folder/Lief-adr.exe"
echo "sleep-ms 5000" > "$folder/fake-mode.txt"
"$@" 1 1 > /dev/null 2>&1 &
dying=$!
for _ in $(seq 300); do
  [ -e "$folder/fake-runs.txt" ] && break
  sleep 0.1
done
kill -KILL "$dying"
wait "$dying" || true
cp "$demo" "$folder/Lief-adr.exe.new"
mv -f "$folder/Lief-adr.exe.new" "$folder/Lief-adr.exe"
if timeout 60 "$@" 1 1 && ! grep -q '^end$' "$folder/fake-runs.txt"; then
  echo "ok: a lookup after a copy died in the middle of its own"
else
  echo "FAIL: a lookup after a copy died in the middle of its own waited for it or failed"
  status=1
fi
# The dead copy's lookup program still runs; it ends on its own.
for _ in $(seq 100); do
  grep -q '^end$' "$folder/fake-runs.txt" && break
  sleep 0.1
done
exit "$status"
