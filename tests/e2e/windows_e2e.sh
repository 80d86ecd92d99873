#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine on an X server: the demo
# lookup program placed in the prefix's c:\fibu\, a click on "Erster
# Datensatz", the result box's text copied and compared, a screenshot.
# Runs under xvfb-run (see CMakeLists.txt).
#
# usage: windows_e2e.sh WINE_RUN PREFIX PROGRAM DEMO EXPECTED SCREENSHOT
set -euo pipefail

wine_run=$1 prefix=$2 program=$3 demo=$4 expected=$5 screenshot=$6
failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }
cleanup() { WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; }
trap cleanup EXIT

folder="$prefix/drive_c/fibu"
rm -rf "$folder"
mkdir -p "$folder"
cp "$demo" "$folder/Lief-adr.exe"

"$wine_run" "$prefix" "$program" &
window=$(xdotool search --sync --onlyvisible --name '^Der Keilbrecher$' | head -n 1)
sleep 1
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

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
