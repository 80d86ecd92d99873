#!/usr/bin/env bash
# The Linux window with the Orca screen reader, as a clerk who cannot see
# the screen uses it: the window is a frame and the result box is named to
# assistive tools, and after Space on "Erster Datensatz" Orca speaks the
# box's name and the record's first line, the focus on the box. Runs under
# xvfb-run and dbus-run-session (see CMakeLists.txt), with the openbox
# window manager and the AT-SPI bus of this session.
#
# usage: screen_reader.sh FOLDER DEMO WORK PROGRAM [ARGS...]
#   WORK  a folder for Orca's settings and log
set -euo pipefail

folder=$1 demo=$2 work=$3
shift 3
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
cleanup() {
  stop_window
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
finish
