#!/usr/bin/env bash
# The Linux window program with the users' Windows lookup program: the
# kernel hands Lief-adr.exe to Wine, and each record button shows the record
# that the Windows program wrote, also after a pause in which Wine would
# have stopped. The window keeps one Wine process of its own for that, which
# ends with the window, killed though it is, and all of Wine with it. Runs
# under xvfb-run (see CMakeLists.txt).
#
# usage: wine_lookup.sh FOLDER WINDOWS_DEMO EXPECTED PREFIX PROGRAM [ARGS...]
#   PREFIX  a Wine prefix to make afresh for the test
set -euo pipefail

folder=$1 demo=$2 expected=$3 prefix=$4
shift 4
program=("$@")

source "$(dirname "$0")/window.sh"
source "$(dirname "$0")/../../scripts/wine-binfmt.sh"
cleanup() {
  stop_window
  WINEPREFIX=$prefix wineserver -k 2> /dev/null || true
  wine_binfmt_off
}
trap cleanup EXIT

wine_binfmt_on
rm -rf "$prefix"
export WINEPREFIX=$prefix WINEDEBUG=-all
wait_for_display

# Clicks the button at X Y and waits for its lookup: it writes the request
# file at once and deletes it at its end; the first start in a fresh prefix
# sets the prefix up first, for seconds.
look_up() {
  click_at "$window" "$1" "$2"
  for _ in $(seq 100); do [ -e "$folder/in.txt" ] && break; sleep 0.1; done
  for _ in $(seq 1200); do [ -e "$folder/in.txt" ] || break; sleep 0.1; done
  sleep 0.5
}
running() { [ -e "/proc/$1" ] && ! grep -q '^State:.*Z' "/proc/$1/status"; }

place "$demo"
start_window
kept=$(pgrep -P "$app_pid" | head -n 1 || true)
if [ -n "$kept" ] && running "$kept"; then pass "the window keeps a Wine process"; else fail "no kept Wine process"; fi
look_up 72 28
if diff <(copy_text "$window" 230 100) "$expected"; then
  pass "record 1 of the Windows lookup program shown"
else
  fail "record 1 text differs"
fi
# The Windows program knows the lookup folder as C:\fibu.
if [ "$(readlink "$prefix/drive_c/fibu")" = "${folder%/}" ] &&
  [ "$(wine cmd /c type 'C:\fibu\Lief-adr.exe' 2> /dev/null | head -c 2)" = MZ ]; then
  pass "C:\\fibu of the prefix leads to the lookup folder"
else
  fail "C:\\fibu of the prefix does not lead to the lookup folder"
fi
sleep 6
look_up 72 60
if [ "$(copy_text "$window" 230 100 | head -n 1)" = "Öztürk Papier- und Schreibwaren KG" ]; then
  pass "record 2 shown, 6 seconds later"
else
  fail "record 2 not shown after a pause"
fi

kill -KILL "$app_pid"
wait "$app_pid" 2> /dev/null || true
app_pid=
for _ in $(seq 100); do running "${kept:-0}" || break; sleep 0.1; done
if ! running "${kept:-0}" && timeout 30 wineserver -w; then
  pass "the kept process and Wine end with the killed window"
else
  fail "Wine runs on after the window was killed"
fi
finish
