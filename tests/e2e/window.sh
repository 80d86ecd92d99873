# Drives a window program on an X server, the Linux and the Windows one
# alike, for the end-to-end tests. The sourcing script sets `folder` (the
# lookup folder) and `program` (an array: the command that starts the
# window program), and ends with `finish`.

source "$(dirname "${BASH_SOURCE[0]}")/x11.sh"

failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

app_pid=
# What the running program wrote to standard error, for a failure's report.
app_err=
stop_window() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait_exit || true; fi
  if [ -n "$app_err" ]; then rm -f "$app_err"; app_err=; fi
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
  local try
  [ -z "$app_err" ] || rm -f "$app_err"
  app_err=$(mktemp)
  for try in $(seq "$x_tries"); do
    "${program[@]}" 2> "$app_err" &
    app_pid=$!
    window=
    for _ in $(seq 300); do
      window=$(x xdotool search --onlyvisible --name '^Der Keilbrecher$' | head -n 1 || true)
      [ -n "$window" ] && break
      kill -0 "$app_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -n "$window" ]; then sleep 1; return 0; fi
    wait_exit || true
    x_connect_failed "$app_err" || break
    echo "the program could not connect to the display (try $try of $x_tries); again" >&2
    sleep "$x_pause"
  done
  cat "$app_err" >&2
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

finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
