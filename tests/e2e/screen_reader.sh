#!/usr/bin/env bash
# The Linux window with the Orca screen reader, as a clerk who cannot see
# the screen uses it: the window is a frame and the result box is named to
# assistive tools, and after Space on "Erster Datensatz" Orca speaks the
# whole record, then the box's name and the record's first line, the focus
# on the box. During a slow lookup Orca announces nothing where the focus
# waits and speaks what the window waits for; Alt+F4 asks whether to
# break the lookup off, which Orca reads out; Return ("Nein", the default)
# goes on to the record, and Alt+J ends the program and its lookup program.
# Runs under xvfb-run and dbus-run-session (see CMakeLists.txt), with the
# openbox window manager and the AT-SPI bus of this session.
#
# usage: screen_reader.sh FOLDER DEMO FAKE WORK PROGRAM [ARGS...]
#   FAKE  the fake lookup program, for the slow lookups
#   WORK  a folder for Orca's settings and log
set -euo pipefail

folder=$1 demo=$2 fake=$3 work=$4
shift 4
program=("$@")

source "$(dirname "$0")/window.sh"

rm -rf "$work"
mkdir -p "$work/orca"
log=$work/orca.log
# Orca's speech server, for this test only.
export SPEECHD_ADDRESS=unix_socket:$work/speechd.sock
# Ends what the test started, and only that: a developer's own screen
# reader and window manager run on.
started=()
orca_script=
cleanup() {
  stop_window
  # Orca first, so that `script`, its parent, reaps it and ends: a next
  # run's Orca does not start while a process named orca of the same user
  # is left, a zombie included.
  pkill -KILL -f -- "orca -u $work/orca" 2> /dev/null || true
  [ -z "$orca_script" ] || timeout 10 tail --pid="$orca_script" -s 0.2 -f /dev/null || true
  [ "${#started[@]}" -eq 0 ] || kill "${started[@]}" 2> /dev/null || true
  pkill -f -- "$work/speechd.sock" 2> /dev/null || true
}
trap cleanup EXIT

wait_for_display
openbox > /dev/null 2>&1 &
started+=($!)
# What GNOME sets when the clerk turns the screen reader on; the AT-SPI bus
# starts with it.
a11y_status() {  # Get, or Set VALUE
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus "org.freedesktop.DBus.Properties.$1" \
    string:org.a11y.Status string:ScreenReaderEnabled ${2:+"$2"} 2> /dev/null
}
for _ in $(seq 50); do
  a11y_status Get | grep -q "boolean true" && break
  a11y_status Set variant:boolean:true > /dev/null || true
  sleep 0.2
done
# A terminal as Orca's debug file, which Python then writes line by line.
# (Orca does not start beside another Orca of the same user.)
script -q -f -c "exec orca -u '$work/orca' -d braille -d braille-monitor --debug-file=/dev/tty" "$log" > /dev/null &
orca_script=$!
started+=($!)
timeout 60 sh -c "until grep -aq 'Screen reader on' '$log' 2> /dev/null; do sleep 0.2; done" ||
  { fail "Orca did not start"; finish; }

place "$demo"
start_window
# What AT-SPI shows of the window: role and name of each object.
objects=$(/usr/bin/python3 -c '
import pyatspi
def walk(obj):
    print(obj.getRoleName() + ":" + obj.name)
    for child in obj:
        walk(child)
for app in pyatspi.Registry.getDesktop(0):
    if app.name == "keilbrecher": walk(app)')
if grep -qx "frame:Der Keilbrecher" <<<"$objects"; then pass "the window is a frame"; else fail "no frame: $objects"; fi
if grep -qx "text:Lieferantenadresse" <<<"$objects"; then pass "the result box is named"; else fail "no named text: $objects"; fi

x xdotool key space
timeout 30 sh -c "until grep -aq \"SPEECH OUTPUT: 'Müller & Söhne\" '$log'; do sleep 0.2; done" || true
spoken=$(grep -a "SPEECH OUTPUT" "$log" | sed -n '/space/,$p')
if grep -q "Lieferantenadresse text" <<<"$spoken" && grep -q "Müller & Söhne" <<<"$spoken"; then
  pass "Orca speaks the result box and the record after Space"
else
  fail "Orca said after Space: $spoken"
fi
# The whole record, its last line too, in one notification.
if grep -a -A12 "SPEECH OUTPUT: 'notification Müller & Söhne" "$log" | grep -q "Zahlung 30 Tage netto"; then
  pass "Orca speaks the whole record"
else
  fail "Orca did not speak the whole record: $spoken"
fi
stop_window

# What Orca says from now on, and a wait until it has said PATTERN.
said() { grep -a "SPEECH OUTPUT" "$log" | tail -n +"$((mark + 1))"; }
hears() { timeout 20 sh -c "until grep -a 'SPEECH OUTPUT' '$log' | tail -n +$((mark + 1)) | grep -q \"$1\"; do sleep 0.2; done"; }
place "$fake" "sleep-ms 7000" "respond screen.bin"
printf 'Kopf\r\nKopf\r\nFirma   Muster GmbH\r\n' > "$folder/screen.bin"
printf 'Zeile %s\r\n' $(seq 4 12) >> "$folder/screen.bin"
start_window
# Alt+E starts a slow lookup; Orca speaks the wait, then the question that
# Alt+F4 asks; the answer is ANSWER.
ask_during_lookup() {
  mark=$(grep -ac "SPEECH OUTPUT" "$log" || true)
  x xdotool key alt+e
  if hears "Die Suche läuft seit"; then pass "Orca speaks the wait"; else fail "Orca said during the wait: $(said)"; fi
  # Where the focus waits meanwhile is not announced.
  if said | grep -q "frame"; then fail "Orca announced a frame during the lookup: $(said)"; else pass "nothing announced where the focus waits"; fi
  x xdotool key alt+F4
  if hears "Wollen Sie sie abbrechen"; then pass "Orca reads the question"; else fail "Orca said after Alt+F4: $(said)"; fi
  x xdotool key "$1"
}
ask_during_lookup Return
if hears "Muster GmbH"; then pass "\"Nein\" goes on to the record"; else fail "Orca said after \"Nein\": $(said)"; fi
ask_during_lookup alt+j
status=0
wait_exit || status=$?
if [ "$status" -eq 0 ] && [ "$(grep -c '^end$' "$folder/fake-runs.txt")" -eq 1 ]; then
  pass "\"Ja\" ends the program and its lookup program"
else
  fail "after \"Ja\": exit status $status, $(grep -c '^end$' "$folder/fake-runs.txt") lookups ended; the program wrote:
$(cat "$app_err")"
fi
finish
