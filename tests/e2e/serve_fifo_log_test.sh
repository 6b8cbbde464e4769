#!/usr/bin/env bash
# ln40cli serve while Chronex.log in its data folder is a named pipe that nothing reads: the
# open of the log must not wait for a reader. The station says what the log is, leaves the
# pipe alone, acknowledges every message, writes the BFG log, and SIGTERM stops it at once
# with its final autosave and exit status 0.
set -u
cli=$1
sim=$2
work=$(mktemp -d)
data=$work/data
sim_pid=
serve_pid=
cleanup() {
  # SIGKILL: a station stuck in open() does not hear SIGTERM.
  [ -n "$serve_pid" ] && kill -KILL "$serve_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/test_helpers.sh"

mkdir -p "$data"
mkfifo "$data/Chronex.log"
"$sim" --fast --count 12 --rate 10 --seed 7 --wait-for-program --link "$work/reader" --sent "$work/sent.txt" \
  --exit-when-done --linger 300 > /dev/null 2> "$work/sim.err" &
sim_pid=$!
wait_for 10 test -L "$work/reader"
"$cli" serve --port "$work/reader" --data-dir "$data" --nulltime 10:00:00 --locale nb-NO \
  --table "$work/table.csv" --sheet-out "$work/sheet.csv" < /dev/null 2> "$work/serve.err" &
serve_pid=$!

check "the reader has every acknowledgement" wait_for 30 gone "$sim_pid"
wait "$sim_pid"
sim_pid=
check "every message acknowledged at the first sending" \
  grep -q '^ln40sim: sent 12, retried 0, .*acknowledged 12,' "$work/sim.err"
check "the log that is a pipe is named with what it is" grep -qF \
  "ln40cli: Cannot open file \"$data/Chronex.log\". It is a named pipe (FIFO), not a regular file" "$work/serve.err"

kill -TERM "$serve_pid"
# The station stops within a second; the bound leaves room for a loaded machine, a station
# waiting on the pipe never stops.
check "SIGTERM stops serve" wait_for 10 gone "$serve_pid"
wait "$serve_pid"
check "serve exits 0" test $? -eq 0
serve_pid=

check "the pipe is still a pipe" test -p "$data/Chronex.log"
grep '^send ' "$work/sent.txt" | cut -c6- > "$work/sent_once.txt"
tr -d '\r' < "$work/table.csv" | sed -n '3,$p' | awk -F, '{print $NF}' | tr -d '"' > "$work/in_table.txt"
check "the read-times table holds every message once, in order" cmp -s "$work/in_table.txt" "$work/sent_once.txt"
check "the BFG log has a line per message" test "$(cat "$data"/BFG_*.log | wc -l)" -eq 12
check "the final autosave holds the runner sheet at the end" \
  cmp -s <("$cli" xls2csv "$data/autosave.xls" --locale nb-NO) "$work/sheet.csv"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
