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
# window system whose message box offers no copy (Wine's). KEIL_E2E_IBUS=1
# runs the IBus input method, as GNOME does, on the test's X server (run it
# inside dbus-run-session, with QT_IM_MODULE=ibus).
set -euo pipefail

folder=$1 demo=$2 fake=$3 expected=$4 screenshot=$5
shift 5
program=("$@")

source "$(dirname "$0")/window.sh"

wait_for_display
if [ "${KEIL_E2E_IBUS:-0}" = 1 ]; then
  ibus-daemon --daemonize --replace --panel=disable
  trap 'stop_window; ibus exit' EXIT
  timeout 30 sh -c 'until ibus list-engine > /dev/null 2>&1; do sleep 0.1; done' || fail "IBus did not start"
fi

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

# Clicks and keys given while a lookup holds the window are dropped, through
# the input method too: text, Tab, Tab, Space and two clicks during a slow
# lookup make one lookup, and its record shows unchanged.
place "$fake" "sleep-ms 2000" "respond slow.bin"
printf 'Kopf\r\nKopf\r\nFirma   Muster GmbH\r\n' > "$folder/slow.bin"
printf 'Zeile %s\r\n' $(seq 4 12) >> "$folder/slow.bin"
start_window
click_at "$window" 72 28
sleep 0.3
x xdotool type --delay 50 abcdef
x xdotool key Tab Tab space
sleep 0.5
click_at "$window" 72 60
click_at "$window" 72 28
sleep 3.5
runs=$(grep -c '^run$' "$folder/fake-runs.txt")
shown=$(copy_text "$window" 230 100)
if [ "$runs" -eq 1 ] && [ "$shown" = "$(echo Muster GmbH; printf 'Zeile %s\n' $(seq 4 10))" ]; then
  pass "one lookup, its record unchanged, for what was given during it"
else
  fail "$runs lookups for what was given during one; it shows: $shown"
fi
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
