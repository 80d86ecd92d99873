#!/usr/bin/env bash
# End-to-end tests of the real window program on an X server: clicks with
# xdotool, reads the result box through the clipboard, takes a screenshot.
# Runs under xvfb-run (see CMakeLists.txt).
#
# usage: window_e2e.sh PROGRAM LOOKUP_FOLDER DEMO FAKE EXPECTED SCREENSHOT
set -euo pipefail

program=$1 folder=$2 demo=$3 fake=$4 expected=$5 screenshot=$6
source "$(dirname "$0")/common.sh"

app_pid=
cleanup() { [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true; }
trap cleanup EXIT

start_window() {
  "$program" &
  app_pid=$!
  window=$(xdotool search --sync --onlyvisible --name '^Der Keilbrecher$' | head -n 1)
  sleep 0.5
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

stop_window() { kill "$app_pid"; wait_exit || true; }

check_first_record "$demo" "$expected" "$screenshot"
check_clicks_dropped "$fake"

# A response too short for the block: the range error in a message box,
# then the program ends with a non-zero status.
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

finish
