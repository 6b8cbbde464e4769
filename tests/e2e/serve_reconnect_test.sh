#!/usr/bin/env bash
# ln40cli serve --reconnect keeps a timing station going while the reader goes away and comes
# back: the first simulated reader hangs up in the middle of its messages and exits, the
# station reports the lost line and keeps trying, a second reader appears behind the same
# device name, and then a third one that pulls its cable twice. Every message a reader sent
# must be in the read-times table and both logs exactly once; the autosave runs meanwhile.
# A station started without --reconnect on a missing port fails with the open error instead.
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
source "$(dirname "$0")/test_helpers.sh"
lines() { [ -f "$1" ] && wc -l < "$1" || echo 0; }
logged() { [ "$(lines "$work/data/Chronex.log")" -ge "$1" ]; }
status_count() { grep -c -- "$1" "$work/serve.err" 2>/dev/null || true; }
said() { [ "$(status_count "$1")" -ge "$2" ]; }

# Three scripts of distinct messages: start numbers 1.. with rising reader clocks.
script() {  # script FIRST COUNT
  local n
  for ((n = $1; n < $1 + $2; n++)); do
    printf 'A01%06d%03d:%02d.000\n' "$n" $((n / 60)) $((n % 60))
  done
}
script 1 40 > "$work/first.txt"
script 101 30 > "$work/second.txt"
script 201 30 > "$work/third.txt"

# Without --reconnect a missing port is an error at once.
"$cli" serve --port "$work/reader" --data-dir "$work/none" < /dev/null 2> "$work/noport.err"
check "a missing port fails without --reconnect" test $? -eq 1
check "with the open error" grep -q '^ln40cli: Unable to open com port' "$work/noport.err"

# The station starts before any reader is there; with --reconnect it waits for one.
# "Clear data " (--clear) acts at the first open only: a reconnection keeps the times.
mkfifo "$work/commands"
"$cli" serve --port "$work/reader" --reconnect --clear --data-dir "$work/data" --nulltime 10:00:00 --locale nb-NO \
  --autosave-every 1 --table "$work/table.csv" < "$work/commands" 2> "$work/serve.err" &
serve_pid=$!
exec 7> "$work/commands"
check "no reader yet: the open error is reported and serve goes on" \
  wait_for 10 said 'Unable to open com port' 1
sleep 0.5
check "it is still running" kill -0 "$serve_pid"

# Reader 1 sends 25 of its 40 messages and hangs up, as a pulled cable or a dead reader.
"$sim" --fast --script "$work/first.txt" --hangup-after 25 --wait-for-program --link "$work/reader" \
  --sent "$work/sent1.txt" > /dev/null 2> "$work/sim1.err" &
sim_pid=$!
check "serve connects to the reader when it appears" wait_for 10 said 'reconnected to' 1
wait "$sim_pid"
sim_pid=
check "25 messages before the reader went away" wait_for 10 logged 25
check "the lost line is reported" wait_for 5 said 'Disconnected' 1
sleep 2.5  # several reconnection attempts against a missing device
check "serve keeps running without a reader" kill -0 "$serve_pid"

# Reader 2 behind the same name.
"$sim" --fast --script "$work/second.txt" --wait-for-program --link "$work/reader" --sent "$work/sent2.txt" \
  --exit-when-done --linger 300 > /dev/null 2> "$work/sim2.err" &
sim_pid=$!
check "serve reconnects to the new reader" wait_for 10 said 'reconnected to' 2
wait "$sim_pid"
sim_pid=
check "the second reader's 30 messages arrive" wait_for 10 logged 55

# Reader 3 pulls its cable twice while it still has messages to send; it keeps them and
# sends them once the station has opened the new terminal.
"$sim" --script "$work/third.txt" --rate 5 --fast --pull-every 1500 --pull-for 500 --wait-for-program \
  --link "$work/reader" --sent "$work/sent3.txt" --exit-when-done --linger 300 > /dev/null 2> "$work/sim3.err" &
sim_pid=$!
wait "$sim_pid"
sim_pid=
check "the third reader's 30 messages arrive" wait_for 10 logged 85
check "its cable was pulled at least twice" grep -Eq 'cable pulls ([2-9]|[1-9][0-9])' "$work/sim3.err"

check "autosaved while running, the previous autosave kept as the backup" \
  test -s "$work/data/autosave.xls" -a -s "$work/data/autosave.bak"
echo quit >&7
wait "$serve_pid"
check "serve stops cleanly" test $? -eq 0
serve_pid=
check "the autosave at the end holds every runner" \
  test "$("$cli" xls2csv "$work/data/autosave.xls" | grep -c ',Unknown\|^Unknown,')" -eq 85

# Every message any reader sent, once, in the table and both logs.
cat "$work"/sent[123].txt | grep '^send ' | cut -c6- | sort > "$work/sent.txt"
check "85 messages were sent" test "$(wc -l < "$work/sent.txt")" -eq 85
check "no message was sent twice" test "$(grep -c '^retry \|^resend ' "$work"/sent[123].txt | awk -F: '{s += $2} END {print s}')" -eq 0
tr -d '\r' < "$work/table.csv" | sed -n '3,$p' | awk -F, '{print $NF}' | tr -d '"' | sort > "$work/in_table.txt"
check "the table holds every message sent, once" cmp "$work/in_table.txt" "$work/sent.txt"
check "Chronex log: 85 lines, one per start number" \
  test "$(tr -d '\r' < "$work/data/Chronex.log" | cut -d, -f4 | sort -u | wc -l) $(lines "$work/data/Chronex.log")" = "85 85"
bfg=$(ls "$work/data"/BFG_*.log)
check "BFG log: 85 lines, one per start number" \
  test "$(cut -d'|' -f2 "$bfg" | sort -u | wc -l) $(lines "$bfg")" = "85 85"
check "one status line per message" test "$(status_count '^ln40cli: #')" -eq 85
check "one line per loss of the line" test "$(status_count 'Disconnected')" -ge 3

echo "$passes passed, $failures failed"
test "$failures" -eq 0
