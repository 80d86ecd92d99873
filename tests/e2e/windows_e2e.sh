#!/usr/bin/env bash
# End-to-end tests of the Windows program under Wine on an X server: the
# demo lookup program placed in the prefix's c:\fibu\, a click on "Erster
# Datensatz", the result box's text copied and compared, a screenshot; and
# clicks given during a lookup dropped. Runs under xvfb-run (see
# CMakeLists.txt).
#
# usage: windows_e2e.sh WINE_RUN PREFIX PROGRAM DEMO FAKE EXPECTED SCREENSHOT
set -euo pipefail

wine_run=$1 prefix=$2 program=$3 demo=$4 fake=$5 expected=$6 screenshot=$7
folder="$prefix/drive_c/fibu"
source "$(dirname "$0")/common.sh"

stop_window() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  wait || true
}
trap stop_window EXIT

start_window() {
  "$wine_run" "$prefix" "$program" &
  window=$(xdotool search --sync --onlyvisible --name '^Der Keilbrecher$' | head -n 1)
  sleep 1
}

check_first_record "$demo" "$expected" "$screenshot"
check_clicks_dropped "$fake"
finish
