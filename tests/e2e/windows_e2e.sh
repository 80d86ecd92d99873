#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine on an X server: the demo
# lookup program placed in the prefix's c:\fibu\, a click on "Erster
# Datensatz", the result box's text copied and compared, a screenshot.
# Runs under xvfb-run (see CMakeLists.txt).
#
# usage: windows_e2e.sh WINE_RUN PREFIX PROGRAM DEMO FAKE EXPECTED SCREENSHOT
set -euo pipefail

wine_run=$1 prefix=$2 program=$3 demo=$4 fake=$5 expected=$6 screenshot=$7
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }
cleanup() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }
trap cleanup EXIT

folder="$prefix/drive_c/fibu"
# Places PROGRAM as the lookup program in an emptied lookup folder; the
# further arguments are instructions for the fake lookup program.
place() {
  local lookup=$1; shift
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$lookup" "$folder/Lief-adr.exe"
  printf '%s\n' "$@" > "$folder/fake-mode.txt"
}
start_window() {
  "$wine_run" "$prefix" "$program" &
  window=$(xdotool search --sync --onlyvisible --name '^Der Keilbrecher$' | head -n 1)
  sleep 1
}
stop_window() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  wait || true
}

place "$demo"
start_window
xdotool mousemove --window "$window" 72 28 click 1
sleep 1
import -window "$window" "$screenshot"
if [ -s "$screenshot" ]; then pass "screenshot $screenshot"; else fail "no screenshot"; fi

# Copy the result box's text as a user would: select all, copy.
xdotool mousemove --window "$window" 230 100 click 1
xdotool key --clearmodifiers ctrl+a ctrl+c
sleep 0.5
if diff <(xclip -o -selection clipboard | tr -d '\r') "$expected"; then
  pass "record 1 shown"
else
  fail "record 1 text differs"
fi
if [ ! -e "$folder/in.txt" ] && [ ! -e "$folder/out.txt" ]; then
  pass "exchange files deleted"
else
  fail "exchange files left"
fi

stop_window

# Clicks given while a lookup holds the window are dropped.
place "$fake" "sleep-ms 1500"
start_window
xdotool mousemove --window "$window" 72 28 click 1
sleep 0.3
xdotool mousemove --window "$window" 72 60 click 1
xdotool mousemove --window "$window" 72 28 click 1
sleep 3
runs=$(wc -l < "$folder/fake-runs.txt")
if [ "$runs" -eq 1 ]; then pass "one lookup for three clicks"; else fail "$runs lookups for three clicks"; fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
