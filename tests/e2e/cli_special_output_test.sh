#!/usr/bin/env bash
# An output that is a pipe or a device is written into, never replaced: run as root, a
# file renamed over /dev/null would take the device's place for every program.
set -u
cli=$1
data=$2
work=$(mktemp -d)
reader=""
trap '[ -n "$reader" ] && kill "$reader" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
passes=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; passes=$((passes + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

mkfifo "$work/table.pipe"
# The reader gives up after a while, should the pipe never be opened for writing.
timeout 20 cat "$work/table.pipe" > "$work/from-pipe.csv" &
reader=$!
"$cli" feed "$data/race_day.txt" --data-dir "$work/logs" --date 2026-12-08 --nulltime 10:00:00 --locale nb-NO \
  --decimal-separator . --table "$work/table.pipe"
check "feed into a pipe exits 0" test $? -eq 0
wait "$reader"
reader=""
check "the pipe is still a pipe" test -p "$work/table.pipe"
check "the table came through the pipe" cmp "$work/from-pipe.csv" "$data/race_day_expected.csv"
check "no temporary file left" test ! -e "$work/table.pipe.tmp"

"$cli" feed "$data/race_day.txt" --data-dir "$work/logs" --nulltime 10:00:00 --locale nb-NO --table /dev/null
check "feed into /dev/null exits 0" test $? -eq 0
check "/dev/null is still a device" test -c /dev/null

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
