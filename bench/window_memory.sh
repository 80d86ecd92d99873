#!/usr/bin/env bash
# Peak resident memory (VmHWM) of the window program after 100 lookups,
# against the minimal Qt window program. Runs on an X server (xvfb-run).
# usage: window_memory.sh PROGRAM MINIMAL_PROGRAM
set -euo pipefail
program=$1 minimal=$2

peak_kib() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

"$program" &
pid=$!
window=$(xdotool search --sync --onlyvisible --name '^Der Keilbrecher$' | head -n 1)
sleep 0.5
for i in $(seq 100); do
  if [ $((i % 2)) -eq 1 ]; then y=28; else y=60; fi
  xdotool mousemove --window "$window" 72 "$y" click 1
  sleep 0.05
done
sleep 0.5
program_kib=$(peak_kib "$pid")
kill "$pid"

"$minimal" &
pid=$!
xdotool search --sync --onlyvisible --name '^Minimal$' > /dev/null
sleep 1
minimal_kib=$(peak_kib "$pid")
kill "$pid"

echo "window_peak_kib,$program_kib"
echo "minimal_peak_kib,$minimal_kib"
