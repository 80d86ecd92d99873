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
# inside dbus-run-session, with QT_IM_MODULE=ibus). KEIL_E2E_WINE_PREFIX,
# for the Windows program, is its Wine prefix: a second Windows process
# there then tries to write into the response file during a lookup.
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
# exchange files are gone afterwards. Made wider, the window shows the whole
# record without a scroll bar.
place "$demo"
start_window
click_at "$window" 72 28
sleep 1
x xdotool windowsize "$window" 560 200
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

# The fake lookup program's screen, and a wait until it has run N times.
screen() { printf 'Kopf\r\nKopf\r\nFirma   Muster GmbH\r\n'; printf 'Zeile %s\r\n' $(seq 4 12); }
lookups() { grep -c '^end$' "$folder/fake-runs.txt" 2> /dev/null || true; }
wait_lookups() { for _ in $(seq 100); do [ "$(lookups)" -ge "$1" ] && return; sleep 0.1; done; }

# Each way into a lookup from the keyboard looks up its record once: Return
# on the focused first button, Tab and Return on the second, Tab through the
# result box and keypad Enter on the first, Shift+Tab back through the box
# and Return on the second, Alt+E and Alt+Z.
place "$fake" "respond screen.bin"
screen > "$folder/screen.bin"
start_window
click_at "$window" 72 150  # the window's background: the focus stays on the first button
count=0
for way in "Return:adr 1" "Tab Return:adr 2" "Tab Tab KP_Enter:adr 1" "shift+Tab shift+Tab Return:adr 2" \
  "alt+e:adr 1" "alt+z:adr 2"; do
  keys=${way%%:*} want=${way#*:}
  count=$((count + 1))
  for key in $keys; do x xdotool key "$key"; sleep 0.2; done
  wait_lookups "$count"
  sleep 0.3
  request=$(tr '\r' ' ' < "$folder/fake-request.bin" || true)
  if [ "$request" = "$want" ] && [ "$(lookups)" -eq "$count" ]; then
    pass "$keys looks up \"$want\""
  else
    fail "$keys: $(lookups) lookups in all, the last for \"$request\""
  fi
done
stop_window

# Clicks and keys given while a lookup holds the window are dropped, through
# the input method too: text, Tab, Tab, Space, Alt+E, Alt+Z and two clicks
# during a slow lookup make one lookup, and its record shows unchanged. A
# second Windows process cannot write into the response file meanwhile.
# Made larger during the lookup, the window paints its new area at once:
# the result box reaches into it (white), where a window that does not
# respond shows nothing (black).
place "$fake" "sleep-ms 2000" "respond slow.bin"
screen > "$folder/slow.bin"
start_window
click_at "$window" 72 28
sleep 0.3
x xdotool windowsize "$window" 640 400
sleep 0.5
x import -window "$window" "${screenshot%.png}-during-lookup.png"
pixel=$(convert "${screenshot%.png}-during-lookup.png" -crop 1x1+600+360 -depth 8 -format '%[hex:p{0,0}]' info:)
if [ "$pixel" = FFFFFF ]; then pass "it paints while it waits"; else fail "its new area during the lookup is #$pixel"; fi
x xdotool type --delay 50 abcdef
x xdotool key Tab Tab space alt+e alt+z
if [ -n "${KEIL_E2E_WINE_PREFIX:-}" ]; then
  if "$(dirname "$0")/../../cmake/wine-run.sh" "$KEIL_E2E_WINE_PREFIX" cmd /c 'echo GEFAELSCHT> C:\fibu\out.txt || exit 3' \
    > /dev/null 2>&1; then
    fail "a second process wrote into the response file during the lookup"
  else
    pass "a second process cannot write into the response file during the lookup"
  fi
fi
click_at "$window" 72 60
click_at "$window" 72 28
sleep 3.5
shown=$(copy_text "$window" 230 100)
if [ "$(lookups)" -eq 1 ] && [ "$shown" = "$(echo Muster GmbH; printf 'Zeile %s\n' $(seq 4 10))" ]; then
  pass "one lookup, its record unchanged, for what was given during it"
else
  fail "$(lookups) lookups for what was given during one; it shows: $shown"
fi
stop_window

# Starts the window with the fake lookup program's instructions ARGS and a
# slow lookup of record 1, and returns once the lookup program runs.
start_slow_lookup() {
  place "$fake" "$@" "sleep-ms 3000" "respond screen.bin"
  screen > "$folder/screen.bin"
  start_window
  click_at "$window" 72 28
  for _ in $(seq 100); do grep -q '^run$' "$folder/fake-runs.txt" 2> /dev/null && break; sleep 0.1; done
}
# Sends SIGNAL to the window, and waits for it and a while beyond.
end_window_by() {
  kill "-$1" "$app_pid"
  wait "$app_pid" 2> /dev/null || true
  app_pid=
  sleep 4
}

# A window killed during a slow lookup takes its lookup program with it:
# the program never writes the end of its run.
start_slow_lookup
end_window_by KILL
if [ "$(cat "$folder/fake-runs.txt")" = run ]; then
  pass "the lookup program ends with its killed window"
else
  fail "the lookup program of a killed window ran on (ended $(lookups) times)"
fi

# Linux only: Wine's programs start no child of the fake's, Windows lets no
# other program destroy a window, and Wine does not tell its program when
# the X server destroyed the window.
if [ -z "${KEIL_E2E_WINE_PREFIX:-}" ]; then
  # Ended by SIGTERM during a slow lookup, as at a logout, the window takes
  # its lookup program with it, and the child that the program started, in
  # its process group or out of it.
  for leaves in "" "child-leaves"; do
    start_slow_lookup "child-sleep-ms 3000" $leaves
    end_window_by TERM
    if [ "$(cat "$folder/fake-runs.txt")" = run ]; then
      pass "a window ended by SIGTERM takes its lookup program and what that started${leaves:+ (out of its group)}"
    else
      fail "after SIGTERM the lookup program or its child ${leaves:+(out of its group) }ran on: $(tr '\n' ' ' < "$folder/fake-runs.txt")"
    fi
  done

  # Destroyed from outside during a slow lookup, the window ends the program
  # and its lookup program.
  start_slow_lookup
  x xdotool windowclose "$window" 2> /dev/null || true
  destroyed=$app_pid
  for _ in $(seq 50); do kill -0 "$destroyed" 2> /dev/null || break; sleep 0.1; done
  sleep 3
  if ! kill -0 "$destroyed" 2> /dev/null && [ "$(lookups)" -eq 0 ]; then
    pass "a window destroyed from outside ends the program and its lookup program"
    wait_exit || true
  else
    fail "a window destroyed from outside: the program or its lookup program ran on (ended $(lookups) times)"
    stop_window
  fi
fi

# A lookup program that writes nothing after a record was shown: the range
# error in a message box, the result box emptied before it (no pixel of the
# old record left inside the box's frame), then the program ends with a
# non-zero status.
place "$fake" "respond screen.bin"
screen > "$folder/screen.bin"
: > "$folder/empty.bin"
start_window
click_at "$window" 72 28
wait_lookups 1
# A click while the window still holds for the first lookup is dropped:
# the second goes in once the first record shows.
for _ in $(seq 20); do
  [ "$(copy_text "$window" 230 100 | head -n 1)" = "Muster GmbH" ] && break
done
sleep 0.3
printf 'respond empty.bin\n' > "$folder/fake-mode.txt"
click_at "$window" 72 60
box=
for _ in $(seq 200); do
  box=$(x xdotool search --onlyvisible --name '^Der Keilbrecher$' | grep -v "^$window\$" | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
if [ -z "$box" ]; then
  fail "no message box"
else
  sleep 0.3
  x import -window "$box" "${screenshot%.png}-error.png"
  # The box moved off the window, which then shows itself whole.
  x xdotool windowmove "$box" 420 380
  sleep 0.5
  x import -window "$window" "${screenshot%.png}-emptied.png"
  colours=$(convert "${screenshot%.png}-emptied.png" -crop 180x150+146+26 +repage -format %k info:)
  if [ "$colours" = 1 ]; then pass "the old record is gone from the box"; else fail "the box shows $colours colours"; fi
  if [ "${KEIL_E2E_COPY_BOX:-1}" = 1 ]; then
    message=$(copy_text "$box" 100 30 || true)
    if grep -q "Fehler 536870914: Das Suchprogramm hat keine Antwort" <<<"$message" &&
      grep -qx "Das Programm wird beendet, sobald Sie „OK“ wählen." <<<"$message"; then
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
