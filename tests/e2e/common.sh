# What the end-to-end tests of both window programs share. The sourcing
# script sets `folder` (the lookup folder) and defines start_window, which
# starts the program and sets `window`, and stop_window.

failures=0
passes=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; passes=$((passes + 1)); }

# Places PROGRAM as the lookup program in an emptied lookup folder; the
# further arguments are instructions for the fake lookup program.
place() {
  local lookup=$1; shift
  rm -rf "$folder"
  mkdir -p "$folder"
  cp "$lookup" "$folder/Lief-adr.exe"
  printf '%s\n' "$@" > "$folder/fake-mode.txt"
}

# Clicks at client coordinates X Y of the main window.
click_at() { xdotool mousemove --window "$window" "$1" "$2" click 1; }

# The result box's text, as a user copies it (select all, copy), with line
# ends as LF.
copy_result() {
  click_at 230 100
  xdotool key --clearmodifiers ctrl+a ctrl+c
  sleep 0.5
  xclip -o -selection clipboard | tr -d '\r'
}

# "Erster Datensatz" shows the demo lookup program's first record, which
# EXPECTED holds; a screenshot of the window goes to SCREENSHOT.
check_first_record() {
  local demo=$1 expected=$2 screenshot=$3
  place "$demo"
  start_window
  click_at 72 28
  sleep 1
  import -window "$window" "$screenshot"
  if [ -s "$screenshot" ]; then pass "screenshot $screenshot"; else fail "no screenshot"; fi
  if diff <(copy_result) "$expected"; then pass "record 1 shown"; else fail "record 1 text differs"; fi
  if [ ! -e "$folder/in.txt" ] && [ ! -e "$folder/out.txt" ]; then
    pass "exchange files deleted"
  else
    fail "exchange files left"
  fi
  stop_window
}

# Clicks given while a lookup holds the window are dropped: three clicks
# during a slow lookup of the fake lookup program make one lookup.
check_clicks_dropped() {
  local fake=$1
  place "$fake" "sleep-ms 1500"
  start_window
  click_at 72 28
  sleep 0.3
  click_at 72 60
  click_at 72 28
  sleep 3
  local runs
  runs=$(wc -l < "$folder/fake-runs.txt")
  if [ "$runs" -eq 1 ]; then pass "one lookup for three clicks"; else fail "$runs lookups for three clicks"; fi
  stop_window
}

finish() {
  echo "$passes passed, $failures failed"
  [ "$failures" -eq 0 ]
}
