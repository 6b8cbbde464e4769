#!/usr/bin/env bash
# ln40cli serve opening the reader's port while a message is on the line. The reader sends
# one long message (a data message and 120 digits, about 1.2 s at 1200 baud) and sends it
# again until it is acknowledged. A station whose port opens in the middle of it receives
# only the tail: the tail must be kept in the journal as a fragment and not acknowledged,
# and the message sent again must be handled whole, once. Cases:
#   listening   serve has the port open before the message begins: handled at once;
#   started     serve is started just after the reader began sending, so the port opens
#               when serve's start-up is done, a tenth of a second or more into the message;
#   opened 0.1, 0.4, 0.7
#               the port opens that many seconds into the message. serve's start-up takes
#               a varying part of a second, so the moment is taken from its reconnection
#               instead: serve is started with --reconnect before the reader's port is
#               there and tries to open it once a second after its first failure. The
#               reader waits (--wait-for-program) until the test writes it a line feed,
#               which it ignores, at the chosen time before one of those attempts; the
#               port is put in place after that.
# The cases run side by side, each with its own reader, station and data folder.
set -u
cli=$1
sim=$2
work=$(mktemp -d)
cleanup() {
  local pid_file
  for pid_file in "$work"/*/*.pid; do
    [ -f "$pid_file" ] && kill "$(cat "$pid_file")" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/test_helpers.sh"

message="A01000042012:34.567$(printf '0123456789%.0s' {1..12})"
printf '%s\n' "$message" > "$work/script.txt"

# run_case NAME MODE [OFFSET]: one reader and one station in $work/NAME, until the reader
# has its acknowledgement (or 30 s have passed) and the station has stopped.
run_case() {
  local dir=$work/$1 mode=$2 offset=${3:-0}
  mkdir -p "$dir"
  local sim_options=(--script "$work/script.txt" --rate 0 --sent "$dir/sent.txt" --ack-timeout 300
                     --exit-when-done --linger 200)
  local serve_options=(--port "$dir/reader" --data-dir "$dir/data" --nulltime 10:00:00 --locale nb-NO
                       --autosave-every 0 --table "$dir/table.csv")
  start_sim() {  # start_sim LINK [OPTION...]
    local link=$1; shift
    "$sim" "${sim_options[@]}" --link "$link" "$@" > "$dir/sim.out" 2> "$dir/sim.err" &
    echo $! > "$dir/sim.pid"
    wait_for 10 test -L "$link"
  }
  # serve's status lines, each with the moment it was written (read at once from a pipe).
  start_serve() {
    mkfifo "$dir/serve.fifo"
    while IFS= read -r line; do echo "$EPOCHREALTIME $line"; done < "$dir/serve.fifo" > "$dir/serve.log" &
    echo $! > "$dir/stamp.pid"
    "$cli" serve "${serve_options[@]}" "$@" < /dev/null 2> "$dir/serve.fifo" &
    echo $! > "$dir/serve.pid"
  }
  case $mode in
    listening)
      start_sim "$dir/reader" --wait-for-program
      start_serve
      ;;
    started)
      start_sim "$dir/reader"
      start_serve
      ;;
    opened)
      start_serve --reconnect
      start_sim "$dir/device" --wait-for-program
      wait_for 10 grep -q 'Unable to open com port' "$dir/serve.log"
      # Attempts to open come a second apart from the failure on; the message begins
      # `offset` before the first attempt still a tenth of a second away.
      local failed_at offset_us begin_at delay never
      failed_at=$(grep -m 1 'Unable to open com port' "$dir/serve.log" | cut -d' ' -f1)
      [ -n "$failed_at" ] || failed_at=$EPOCHREALTIME  # the checks will tell
      offset_us=$(awk -v s="$offset" 'BEGIN { printf "%d", s * 1000000 }')
      begin_at=$((${failed_at/./} + 1000000 - offset_us))
      while [ $((begin_at - ${EPOCHREALTIME/./})) -lt 100000 ]; do begin_at=$((begin_at + 1000000)); done
      # Waiting with the shell's own read (on a pipe nobody writes) and writing with its own
      # printf: no process to start between the wait and the line feed.
      mkfifo "$dir/never"
      exec {never}<> "$dir/never"
      delay=$((begin_at - ${EPOCHREALTIME/./}))
      printf -v delay '%d.%06d' $((delay / 1000000)) $((delay % 1000000))
      read -r -t "$delay" -u "$never"
      echo "$EPOCHREALTIME" > "$dir/began_at"
      printf '\n' > "$dir/device"
      exec {never}<&-
      ln -s "$(head -n 1 "$dir/sim.out")" "$dir/reader"
      # Once open, the name goes: after this reader a reconnection must not find the device
      # name in use again by another test's terminal.
      wait_for 10 grep -q 'reconnected to' "$dir/serve.log"
      rm -f "$dir/reader"
      ;;
  esac
  local sim_pid serve_pid
  sim_pid=$(cat "$dir/sim.pid")
  serve_pid=$(cat "$dir/serve.pid")
  wait_for 30 gone "$sim_pid" || kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null
  kill -TERM "$serve_pid"
  wait "$serve_pid"
  echo $? > "$dir/serve.status"
  wait "$(cat "$dir/stamp.pid")"
  cut -d' ' -f2- "$dir/serve.log" > "$dir/serve.err"
  "$cli" journal "$dir/data" > "$dir/journal.csv" 2> "$dir/journal.err"
}

run_case listening listening &
run_case started started &
run_case opened-0.1 opened 0.1 &
run_case opened-0.4 opened 0.4 &
run_case opened-0.7 opened 0.7 &
wait

# Columns of `ln40cli journal`: sequence,run,arrival,kind,line,acknowledged,handled.
journal_of() { tr -d '\r' < "$1/journal.csv" | tail -n +2; }
data_lines() { journal_of "$1" | awk -F, '$5 != "-" && $5 != "+"' | cut -d, -f4-; }
fragments() { journal_of "$1" | awk -F, '$4 == "fragment" {print $5}'; }
table_data() { tr -d '\r' < "$1/table.csv" | sed -n '3,$p' | awk -F, '{print $NF}' | tr -d '"'; }
is_tail() {  # is_tail FRAGMENT: the end of the message, shorter than it
  [ -n "$1" ] && [ "${#1}" -lt "${#message}" ] && [ "${message: -${#1}}" = "$1" ]
}
status_lines() { grep -c -- "$2" "$1/serve.err"; }

for name in listening started opened-0.1 opened-0.4 opened-0.7; do
  dir=$work/$name
  echo "--- $name"
  check "$name: serve stopped cleanly" test "$(cat "$dir/serve.status")" -eq 0
  check "$name: the read-times table holds the message once, whole" test "$(table_data "$dir")" = "$message"
  check "$name: one line in Chronex.log" test "$(wc -l < "$dir/data/Chronex.log")" -eq 1
  check "$name: the reader had its acknowledgement" grep -q 'acknowledged 1,' "$dir/sim.err"
  check "$name: no stray acknowledgement" grep -q 'stray acknowledgements 0' "$dir/sim.err"
  if [ "$name" = listening ]; then
    check "$name: sent once, no retry" test "$(cat "$dir/sent.txt")" = "send $message"
    check "$name: the journal has no fragment" test -z "$(fragments "$dir")"
    check "$name: the journal holds the message once, acknowledged and handled" \
      test "$(data_lines "$dir")" = "message,$message,yes,yes"
    continue
  fi
  fragment=$(fragments "$dir")
  if [ -f "$dir/began_at" ]; then
    opened_at=$(grep -m 1 'reconnected to' "$dir/serve.log" | cut -d' ' -f1)
    echo "the port opened $(awk -v a="$opened_at" -v b="$(cat "$dir/began_at")" 'BEGIN { printf "%.2f", a - b }') s" \
      "and $((${#message} - ${#fragment})) characters into the message"
  else
    echo "the port opened $((${#message} - ${#fragment})) characters into the message"
  fi
  check "$name: the reader sent it again for want of an acknowledgement" \
    test "$(cat "$dir/sent.txt")" = "$(printf 'send %s\nretry %s' "$message" "$message")"
  check "$name: the journal holds the tail as a fragment, not acknowledged nor handled, then the whole message" \
    test "$(data_lines "$dir")" = "$(printf 'fragment,%s,no,no\nmessage,%s,yes,yes' "$fragment" "$message")"
  check "$name: the fragment is the end of the message" is_tail "$fragment"
  check "$name: serve said the tail was not acknowledged" \
    test "$(status_lines "$dir" 'not acknowledged; the reader sends it again')" -eq 1
  check "$name: one status line for the message" test "$(status_lines "$dir" '^ln40cli: #1 A 42 ')" -eq 1
done

echo "$passes passed, $failures failed"
test "$failures" -eq 0
