#!/usr/bin/env bash
# ln40cli entries and ln40cli assign on CSV sheets: an entry file of the club system into a
# runner sheet, then start numbers and start times with a seeded draw.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; passes=$((passes + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

entry() {  # entry CLASS GIVEN FAMILY CLUB SEX ID
  printf '  <SingleEntry>\n    <EntryClass shortName="%s"/>\n    <Person sex="%s" clubName="%s">\n' "$1" "$5" "$4"
  printf '      <PersonName><Family>%s</Family><Given>%s</Given></PersonName>\n' "$3" "$2"
  printf '      <Identity value="%s"/>\n    </Person>\n  </SingleEntry>\n' "$6"
}
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<EntryList>\n  <Eventname>Vinterl\xc3\xb8pet 3</Eventname>\n'
  entry A Kari Dahl $'IL \xc3\x98st' F 11
  entry A Ola Nordmann 'IL Nor' M 12
  entry B Per Berg 'IL Nor' M 13
  entry C Anne Lie 'OK Vang' F 14
  entry C $'Bj\xc3\xb8rn' Moe 'OK Vang' M 15
  entry C Liv Aas 'AT&amp;T IL' F 16
  printf '</EntryList>\n'
} > "$work/entries.xml"

"$cli" entries "$work/entries.xml" "$work/sheet.csv" --race-out "$work/race.txt" 2> "$work/entries.err"
check "entries exits 0" test $? -eq 0
check "entries sheet" cmp "$work/sheet.csv" <(printf '%s\r\n' \
  'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid' \
  'Kari,Dahl,A,IL Øst,F,,,,,11,,' \
  'Ola,Nordmann,A,IL Nor,M,,,,,12,,' \
  'Per,Berg,B,IL Nor,M,,,,,13,,' \
  'Anne,Lie,C,OK Vang,F,,,,,14,,' \
  'Bjørn,Moe,C,OK Vang,M,,,,,15,,' \
  'Liv,Aas,C,AT&T IL,F,,,,,16,,')
check "race name on stderr" grep -q 'Race name: Vinterløpet 3' "$work/entries.err"
check "race name file" cmp "$work/race.txt" <(printf 'Vinterl\xc3\xb8pet 3\n')

# Vacant runners: A gets 2, B 1, C the default the prompt then shows (1).
"$cli" assign "$work/sheet.csv" "$work/assigned.csv" --vacant A=2,B=1 --seed 7 --nulltime 09:59:50 --locale nb-NO
check "assign exits 0" test $? -eq 0
check "ten rows" test "$(tail -n +2 "$work/assigned.csv" | wc -l)" -eq 10
check "vacant rows first in class A" test "$(sed -n 2,3p "$work/assigned.csv" | tr -d '\r')" = \
  "$(printf ',,A,,,,1,,10:00:05,,,\n,,A,,,,2,,10:00:20,,,')"
check "B block" test "$(sed -n 6p "$work/assigned.csv" | cut -d, -f3,7,9)" = "B,5,10:01:05"
check "last start" test "$(sed -n 11p "$work/assigned.csv" | cut -d, -f3,7,9)" = "C,10,10:02:20"
check "runners kept" test "$(grep -c ',1[1-6],,' "$work/assigned.csv")" -eq 6

# The same seed gives the same draw; no vacant runners.
"$cli" assign "$work/sheet.csv" "$work/draw1.csv" --no-vacant --seed 42 --nulltime 10:00:00
"$cli" assign "$work/sheet.csv" "$work/draw2.csv" --no-vacant --seed 42 --nulltime 10:00:00
check "seeded draws repeat" cmp "$work/draw1.csv" "$work/draw2.csv"
check "six rows without vacant runners" test "$(tail -n +2 "$work/draw1.csv" | wc -l)" -eq 6
check "numbers and times" test "$(tail -n +2 "$work/draw1.csv" | cut -d, -f7,9 | tr -d '\r' | tr '\n' ' ')" = \
  "1,10:00:15 2,10:00:30 3,10:00:45 4,10:01:00 5,10:01:15 6,10:01:30 "

# Failures: the message on stderr, exit status 1, nothing written.
"$cli" assign "$work/sheet.csv" "$work/neg.csv" --vacant A=-1 2> "$work/neg.err"
check "negative count fails" test $? -eq 1
check "negative count message" grep -q 'cannot be negative' "$work/neg.err"
check "nothing written after a failure" test ! -e "$work/neg.csv"
"$cli" assign "$work/sheet.csv" "$work/bad.csv" --nulltime 25:00 2> "$work/bad.err"
check "bad nulltime fails" test $? -eq 1
check "bad nulltime message" grep -q "'25:00' is not a valid time" "$work/bad.err"
"$cli" entries "$work/entries.xml" "$work/sheet.ods" 2> "$work/ods.err"
check "other output formats fail" test $? -eq 1
check "unsupported format message" grep -q 'Unsupported sheet file: .*sheet.ods (use .csv or .xls)' "$work/ods.err"

# Workbooks in and out: the same draw through .xls files gives the same sheet.
"$cli" entries "$work/entries.xml" "$work/sheet.xls" 2> /dev/null
check "entries writes a workbook" test $? -eq 0
"$cli" assign "$work/sheet.xls" "$work/draw.xls" --no-vacant --seed 42 --nulltime 10:00:00
check "assign reads and writes workbooks" test $? -eq 0
"$cli" xls2csv "$work/draw.xls" "$work/draw_xls.csv"
check "the workbook draw equals the CSV draw" cmp "$work/draw_xls.csv" "$work/draw1.csv"
"$cli" entries "$work/missing.xml" "$work/none.csv" 2> "$work/missing.err"
check "missing entry file fails" test $? -eq 1
check "missing entry file message" grep -qF "Cannot read the entry file $work/missing.xml: No such file or directory" \
  "$work/missing.err"

# A source that is no entry file is an error naming the reason, and an existing OUT stays.
mkdir "$work/folder.xml"
printf '<EntryList>' > "$work/huge.xml"
truncate -s $(((512 << 20) + 1)) "$work/huge.xml"  # sparse
cp "$work/sheet.csv" "$work/kept.csv"
for source in "folder.xml:it is a folder" "/dev/null:it is a character device, not a regular file" \
  "huge.xml:it is larger than 512 MB"; do
  path=${source%%:*}
  [ "${path#/}" = "$path" ] && path="$work/$path"
  "$cli" entries "$path" "$work/kept.csv" 2> "$work/source.err"
  check "entries from $path fails" test $? -eq 1
  check "entries from $path says why" grep -qF "Cannot read the entry file $path: ${source#*:}" "$work/source.err"
  check "entries from $path leaves OUT" cmp "$work/kept.csv" "$work/sheet.csv"
done

# External entities read only files beside the entry file: /proc/version is refused by name,
# nothing is written, and a file in the same folder still serves.
mkdir "$work/race"
printf 'Dahl' > "$work/race/family.txt"
{
  printf '<?xml version="1.0"?>\n<!DOCTYPE EntryList [\n  <!ENTITY s SYSTEM "/proc/version">\n'
  printf '  <!ENTITY family SYSTEM "family.txt">\n]>\n<EntryList>\n'
  entry A '&s;' '&family;' 'IL Nor' F 11
  printf '</EntryList>\n'
} > "$work/race/entries.xml"
"$cli" entries "$work/race/entries.xml" "$work/kept.csv" 2> "$work/entity.err"
check "a refused entity fails" test $? -eq 1
check "the refused entity is named" grep -qF 'entity "s" ("/proc/version") was not read: it is an absolute path' \
  "$work/entity.err"
check "a refused entity leaves OUT" cmp "$work/kept.csv" "$work/sheet.csv"
sed -i '/ENTITY s /d; s/&s;/Kari/' "$work/race/entries.xml"
"$cli" entries "$work/race/entries.xml" "$work/race.csv" 2> /dev/null
check "an entity beside the entry file is read" grep -q '^Kari,Dahl,A,IL Nor,F,' "$work/race.csv"
"$cli" entries --help | grep -q -- '--race-out'
check "entries help" test $? -eq 0
"$cli" assign --help | grep -q -- '--vacant'
check "assign help" test $? -eq 0

echo "$passes passed, $failures failed"
test "$failures" -eq 0
