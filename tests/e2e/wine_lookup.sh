#!/usr/bin/env bash
# The Linux window program with the users' Windows lookup program: the
# kernel hands Lief-adr.exe to Wine, and "Erster Datensatz" shows the
# record that the Windows program wrote. Runs under xvfb-run (see
# CMakeLists.txt).
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

place "$demo"
start_window
click_at "$window" 72 28
# The lookup writes the request file at once and deletes it at its end; the
# first start in a fresh prefix sets the prefix up first, for seconds.
for _ in $(seq 100); do [ -e "$folder/in.txt" ] && break; sleep 0.1; done
for _ in $(seq 1200); do [ -e "$folder/in.txt" ] || break; sleep 0.1; done
sleep 0.5
if diff <(copy_text "$window" 230 100) "$expected"; then
  pass "record 1 of the Windows lookup program shown"
else
  fail "record 1 text differs"
fi
finish
