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

# Outputs in a shared sticky folder, as /tmp is: the user's own link is followed and stays a
# link; a link planted there by another user is not followed, so the file it points at is
# never overwritten, whichever output it stands for.
shared="$work/shared"
mkdir "$shared"
chmod 1777 "$shared"
printf 'old\n' > "$work/mine.csv"
ln -s "$work/mine.csv" "$shared/own.csv"
"$cli" feed "$data/race_day.txt" --data-dir "$work/logs" --date 2026-12-08 --nulltime 10:00:00 --locale nb-NO \
  --decimal-separator . --table "$shared/own.csv"
check "feed through the user's own link exits 0" test $? -eq 0
check "the own link's file is replaced" cmp "$work/mine.csv" "$data/race_day_expected.csv"
check "the own link stays a link" test -L "$shared/own.csv"
if [ "$(id -u)" -eq 0 ]; then
  printf '<EntryList><SingleEntry><Person><PersonName><Given>Ola</Given></PersonName></Person></SingleEntry></EntryList>' \
    > "$work/entries.xml"
  printf 'root:x:0:0\n' > "$work/passwd"
  cp "$work/passwd" "$work/passwd.before"
  planted() {  # planted NAME: a link to the victim, belonging to another user
    ln -sf "$work/passwd" "$shared/$1" && chown -h nobody "$shared/$1"
  }
  refused() {  # refused WHAT NAME COMMAND...: the command fails naming the link, the victim is untouched
    local what=$1 name=$2; shift 2
    planted "$name"
    "$@" > /dev/null 2> "$work/refused.err"
    check "$what: refused" test $? -ne 0
    check "$what: the link is named" grep -qF "the symbolic link $shared/$name is in a folder shared by all users" \
      "$work/refused.err"
    check "$what: the victim is untouched" cmp "$work/passwd" "$work/passwd.before"
  }
  feed=("$cli" feed "$data/race_day.txt" --data-dir "$work/logs" --nulltime 10:00:00 --locale nb-NO)
  refused "feed --table" table.csv "${feed[@]}" --table "$shared/table.csv"
  refused "feed --save" book.xls "${feed[@]}" --save "$shared/book.xls"
  refused "xls2csv OUT" out.csv "$cli" xls2csv "$data/race_day_expected.csv" "$shared/out.csv"
  refused "entries OUT" sheet.xls "$cli" entries "$work/entries.xml" "$shared/sheet.xls"
  printf 'Fornavn,Etternavn,Klasse,Klubb,Kj\xc3\xb8nn,L\xc3\xb8ype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid\r\n' \
    > "$work/sheet.csv"
  printf 'Ola,Dahl,H21,IL Nor,M,,1,,10:00:00,,10:30:00,00:30:00\r\n' >> "$work/sheet.csv"
  refused "results OUT" list.htm "$cli" results "$work/sheet.csv" "$shared/list.htm"
  refused "results --pdf" list.pdf "$cli" results "$work/sheet.csv" "$work/list.htm" --pdf "$shared/list.pdf"
else
  echo "skipped: links planted by another user (giving a link away with chown -h needs root)"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
