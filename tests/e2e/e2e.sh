#!/usr/bin/env bash
# End-to-end tests of a window program on an X server, the Linux and the
# Windows one alike: clicks with xdotool, reads the result box and the
# message box through the clipboard, takes a screenshot. Runs under
# xvfb-run (see CMakeLists.txt).
#
# usage: e2e.sh FOLDER DEMO FAKE EXPECTED SCREENSHOT PROGRAM [ARGS...]
#   FOLDER      the lookup folder that PROGRAM uses
#   DEMO, FAKE  the demo and the fake lookup program, placed there in turn
#   EXPECTED    the text that "Erster Datensatz" shows with the demo
#   PROGRAM     the command that starts the window program
# KEIL_E2E_COPY_BOX=0 leaves out reading the message box's text, for a
# window system whose message box offers no copy (Wine's).
set -euo pipefail

folder=$1 demo=$2 fake=$3 expected=$4 screenshot=$5
shift 5
program=("$@")

source "$(dirname "$0")/window.sh"

wait_for_display

# "Erster Datensatz" shows the demo lookup program's first record, and the
# exchange files are gone afterwards.
place "$demo"
start_window
click_at "$window" 72 28
sleep 1
x import -window "$window" "$screenshot"
if [ -s "$screenshot" ]; then pass "screenshot $screenshot"; else fail "no screenshot"; fi
if diff <(copy_text "$window" 230 100) "$expected"; then pass "record 1 shown"; else fail "record 1 text differs"; fi
if [ ! -e "$folder/in.txt" ] && [ ! -e "$folder/out.txt" ]; then
  pass "exchange files deleted"
else
  fail "exchange files left"
fi
stop_window

# Clicks given while a lookup holds the window are dropped: three clicks
# during a slow lookup make one lookup.
place "$fake" "sleep-ms 1500"
start_window
click_at "$window" 72 28
sleep 0.3
click_at "$window" 72 60
click_at "$window" 72 28
sleep 3
runs=$(grep -c '^run$' "$folder/fake-runs.txt")
if [ "$runs" -eq 1 ]; then pass "one lookup for three clicks"; else fail "$runs lookups for three clicks"; fi
stop_window

# A response too short for the block: the range error in a message box,
# then the program ends with a non-zero status.
place "$fake" "respond short.bin"
printf '\n\n\n\n\n\n\n\n\n' > "$folder/short.bin"
start_window
click_at "$window" 72 28
box=
for _ in $(seq 50); do
  box=$(x xdotool search --onlyvisible --name '^Der Keilbrecher$' | grep -v "^$window\$" | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
if [ -z "$box" ]; then
  fail "no message box"
else
  sleep 0.3
  x import -window "$box" "${screenshot%.png}-error.png"
  if [ "${KEIL_E2E_COPY_BOX:-1}" = 1 ]; then
    message=$(copy_text "$box" 100 30 || true)
    if grep -q "Fehler 536870914: Außerhalb des Bereichs" <<<"$message"; then
      pass "range error shown"
    else
      fail "message box says: $message"
    fi
  fi
  x xdotool key Return
  status=0
  wait_exit || status=$?
  if [ "$status" -eq 1 ]; then pass "exit status 1 after the box"; else fail "exit status $status after an error"; fi
fi

finish
