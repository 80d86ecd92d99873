# X clients that a dropped connection does not fail. The X server of a test
# now and then closes a new client's connection right after it opened; a
# client that could not connect is run again, a few times, after a short
# pause. Only a failure to connect, told by the client's message, is
# retried: any other failure, and a wrong result, stands at once.
#
# Source it, then:
#   wait_for_display    returns once the display takes connections
#   x CLIENT [ARGS...]  runs an X client, again while it could not connect
#   x_connect_failed FILE
#                       whether FILE holds a client's failure to connect

x_tries=5
x_pause=0.5

x_connect_failed() {
  grep -qiE "can.t open display|cannot open display|unable to open (display|X server)|could not connect to display|X server is running|failed creating new xdo instance|connection to .* (refused|reset|broken)" "$1"
}

x() {
  local err try status=0
  err=$(mktemp)
  for try in $(seq "$x_tries"); do
    status=0
    "$@" 2> "$err" || status=$?
    if [ "$status" -eq 0 ] || ! x_connect_failed "$err" || [ "$try" -eq "$x_tries" ]; then break; fi
    echo "x: $1 could not connect to the display (try $try of $x_tries); again" >&2
    sleep "$x_pause"
  done
  cat "$err" >&2
  rm -f "$err"
  return "$status"
}

wait_for_display() {
  for _ in $(seq 100); do
    xdpyinfo > /dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "the display $DISPLAY takes no connections" >&2
  return 1
}
