#!/usr/bin/env bash
# A whole timing station over a real pseudo-terminal: ln40sim sends 2000 messages to
# ln40cli serve; every one must be in the read-times table and both logs exactly once and be
# acknowledged. Then a re-send request of 50 brings the last 50 again, unacknowledged.
set -u
cli=$1
sim=$2
work=$(mktemp -d)
sim_pid=
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  exec 7>&- 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
passes=0
check() {
  local name=$1; shift
  if "$@"; then echo "ok: $name"; passes=$((passes + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}
lines() { [ -f "$1" ] && wc -l < "$1" || echo 0; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

"$sim" --fast --count 2000 --seed 7 --settle 2 --wait-for-program --link "$work/reader" \
  --sent "$work/sent.txt" --exit-when-done --linger 20000 > "$work/sim.out" 2> "$work/sim.err" &
sim_pid=$!
wait_for 10 test -L "$work/reader" || { echo "FAILED: the simulator did not start"; exit 1; }

mkfifo "$work/commands"
"$cli" serve --port "$work/reader" --data-dir "$work/data" --nulltime 10:00:00 --locale nb-NO \
  --table "$work/table.csv" < "$work/commands" 2> "$work/serve.err" &
serve_pid=$!
exec 7> "$work/commands"

logged_at_least() { [ "$(lines "$work/data/Chronex.log")" -ge "$1" ]; }
check "all 2000 messages logged" wait_for 120 logged_at_least 2000
sleep 1
check "no message logged twice before the re-send" test "$(lines "$work/data/Chronex.log")" -eq 2000

echo "resend 50" >&7
check "the last 50 come again" wait_for 60 logged_at_least 2050
sleep 1
echo "quit" >&7
wait "$serve_pid"
check "serve stops cleanly" test $? -eq 0
serve_pid=
kill "$sim_pid" 2>/dev/null
wait "$sim_pid" 2>/dev/null
sim_pid=

# The table: header, the empty first row, 2000 messages and the 50 sent again.
check "table rows" test "$(lines "$work/table.csv")" -eq 2052
grep '^send ' "$work/sent.txt" | cut -c6- | sort > "$work/sent_once.txt"
grep '^resend ' "$work/sent.txt" | cut -c8- | sort > "$work/resent.txt"
check "2000 distinct messages sent" test "$(sort -u "$work/sent_once.txt" | wc -l)" -eq 2000
check "no retries: every message acknowledged the first time" test "$(grep -c '^retry ' "$work/sent.txt")" -eq 0
check "50 re-sent" test "$(wc -l < "$work/resent.txt")" -eq 50
# The Data column holds each message with its CR, quoted by the CSV writer.
tr -d '\r' < "$work/table.csv" | sed -n '3,$p' | awk -F, '{print $NF}' | tr -d '"' | sort > "$work/in_table.txt"
sort "$work/sent_once.txt" "$work/resent.txt" > "$work/expected.txt"
check "the table holds each message once, the re-sent ones twice" cmp "$work/in_table.txt" "$work/expected.txt"
bfg=$(ls "$work/data"/BFG_*.log)
check "BFG log has 2050 lines" test "$(lines "$bfg")" -eq 2050
check "Chronex log has 2050 lines" test "$(lines "$work/data/Chronex.log")" -eq 2050
summary=$(tail -n 1 "$work/sim.err")
echo "$summary"
check "the simulator saw exactly 2000 acknowledgements" grep -q 'acknowledged 2000,' <<< "$summary"
check "no stray acknowledgement: the re-sent messages were not acknowledged" grep -q 'stray acknowledgements 0' <<< "$summary"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
