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

source "$(dirname "$0")/x11.sh"

failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

app_pid=
stop_window() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait_exit || true; fi
}
trap stop_window EXIT

# Places LOOKUP as the lookup program in an emptied lookup folder; the
# further arguments are instructions for the fake lookup program.
place() {
  local lookup=$1; shift
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$lookup" "$folder/Lief-adr.exe"
  printf '%s\n' "$@" > "$folder/fake-mode.txt"
}

# Starts the program and sets `window`. A start that could not connect to
# the display, and so ended without a window, is tried again.
start_window() {
  local err try
  err=$(mktemp)
  for try in $(seq "$x_tries"); do
    "${program[@]}" 2> "$err" &
    app_pid=$!
    window=
    for _ in $(seq 300); do
      window=$(x xdotool search --onlyvisible --name '^Der Keilbrecher$' | head -n 1 || true)
      [ -n "$window" ] && break
      kill -0 "$app_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -n "$window" ]; then rm -f "$err"; sleep 1; return 0; fi
    wait_exit || true
    x_connect_failed "$err" || break
    echo "the program could not connect to the display (try $try of $x_tries); again" >&2
    sleep "$x_pause"
  done
  cat "$err" >&2
  rm -f "$err"
  echo "FAIL: the program showed no window"
  exit 1
}

# Waits for the program to end and gives its exit status.
wait_exit() {
  local status=0
  for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  wait "$app_pid" || status=$?
  app_pid=
  return "$status"
}

# Clicks at client coordinates X Y of WINDOW.
click_at() { x xdotool mousemove --window "$1" "$2" "$3" click 1; }

# What a user copies out of the window under X Y: click, select all, copy;
# line ends as LF.
copy_text() {
  click_at "$1" "$2" "$3"
  x xdotool key --clearmodifiers ctrl+a ctrl+c
  sleep 0.5
  x xclip -o -selection clipboard | tr -d '\r'
}

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
    if grep -q "Error 536870914: Out of range" <<<"$message"; then
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

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
