#!/usr/bin/env bash
# End-to-end tests of the real window program on an X server: clicks with
# xdotool, reads the result box through the clipboard, takes a screenshot.
# Runs under xvfb-run (see CMakeLists.txt).
#
# usage: window_e2e.sh PROGRAM LOOKUP_FOLDER DEMO FAKE EXPECTED SCREENSHOT
set -euo pipefail

program=$1 folder=$2 demo=$3 fake=$4 expected=$5 screenshot=$6
failures=0
passes=0
app_pid=

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

cleanup() { [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true; }
trap cleanup EXIT

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
  "$program" &
  app_pid=$!
  window=$(xdotool search --sync --onlyvisible --name '^Der Keilbrecher$' | head -n 1)
  sleep 0.5
}

# Clicks at client coordinates X Y of the main window.
click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

# The result box's text, as a user copies it: select all, copy.
copy_result() {
  click_at 230 100
  xdotool key --clearmodifiers ctrl+a ctrl+c
  sleep 0.3
  xclip -o -selection clipboard
}

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

# 1. "Erster Datensatz" shows the demo's first record; screenshot.
place "$demo"
start_window
click_at 72 28
sleep 0.5
import -window "$window" "$screenshot"
if [ -s "$screenshot" ]; then pass "screenshot $screenshot"; else fail "no screenshot"; fi
copy_result > "$folder/copied.txt"
if diff "$folder/copied.txt" "$expected"; then pass "record 1 shown"; else fail "record 1 text differs"; fi
kill "$app_pid"; wait_exit || true

# 2. Clicks given while a lookup holds the window are dropped.
place "$fake" "sleep-ms 1500" "respond none.bin"
start_window
click_at 72 28
sleep 0.3
click_at 72 60
click_at 72 28
sleep 2.5
runs=$(wc -l < "$folder/fake-runs.txt")
if [ "$runs" -eq 1 ]; then pass "one lookup for three clicks"; else fail "$runs lookups for three clicks"; fi
kill "$app_pid"; wait_exit || true

# 3. A response too short for the block: the range error in a message box,
#    then the program ends with a non-zero status.
place "$fake" "respond short.bin"
printf '\n\n\n\n\n\n\n\n\n' > "$folder/short.bin"
start_window
click_at 72 28
box=
for _ in $(seq 50); do
  box=$(xdotool search --onlyvisible --name '^Der Keilbrecher$' | grep -v "^$window\$" | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
if [ -z "$box" ]; then
  fail "no message box"
else
  sleep 0.3
  # Select the message's text and copy it, as a user reporting it would.
  xdotool mousemove --window "$box" 100 30 click 1
  xdotool key --clearmodifiers ctrl+a ctrl+c
  sleep 0.3
  message=$(xclip -o -selection clipboard || true)
  if grep -q "Error 536870914: Out of range" <<<"$message"; then
    pass "range error shown"
  else
    fail "message box says: $message"
  fi
  xdotool key Return
  status=0
  wait_exit || status=$?
  if [ "$status" -ne 0 ]; then pass "exit status $status after the box"; else fail "exit status 0 after an error"; fi
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
