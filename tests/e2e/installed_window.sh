#!/usr/bin/env bash
# The installed program starts and shows its window. Runs under xvfb-run.
# usage: installed_window.sh PROGRAM [ARGS...]
set -euo pipefail
program=("$@")
source "$(dirname "$0")/window.sh"
wait_for_display
start_window
pass "the installed program shows its window"
finish
