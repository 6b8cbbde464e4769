#!/usr/bin/env bash
# ln40cli feed on a recorded race-day stream: the table, the acknowledgements, the errors.
set -u
cli=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; passes=$((passes + 1)); else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

"$cli" feed "$data/race_day.txt" --data-dir "$work" --date 2026-12-08 --nulltime 10:00:00 --locale nb-NO \
  --decimal-separator . --table "$work/out.csv" --acks "$work/acks.bin"
check "feed exits 0" test $? -eq 0
check "table matches" cmp "$work/out.csv" "$data/race_day_expected.csv"
check "five acknowledgements" cmp "$work/acks.bin" <(printf '+\r+\r+\r+\r+\r')

# The same stream through stdin, the table on stdout.
"$cli" feed --data-dir "$work/stdin" --nulltime=10:00:00 --locale nb-NO < "$data/race_day.txt" > "$work/stdout.csv"
check "stdin to stdout" cmp "$work/stdout.csv" "$data/race_day_expected.csv"

# Milliseconds kept.
printf 'A01001234012:34.567\r' | "$cli" feed --data-dir "$work/ms" --nulltime 10:00:00 --ms --locale en-GB > "$work/ms.csv"
check "milliseconds" grep -q '10:12:34.567' "$work/ms.csv"

# A bad nulltime: the message box text on stderr, the message dropped, the next one handled.
printf 'A01001234012:34.567\rA01001235012:35.000\r' |
  "$cli" feed --data-dir "$work/bad" --nulltime 25:00:00 --locale nb-NO --acks "$work/acks2.bin" > "$work/bad.csv" 2> "$work/bad.err"
check "bad nulltime message" grep -q 'Wrong time format. Time format is reset to 00:00:00' "$work/bad.err"
check "one row after a bad nulltime" test "$(grep -c '^1,1235,Time,012:35.000,00:12:35' "$work/bad.csv")" -eq 1
check "one acknowledgement after a bad nulltime" cmp "$work/acks2.bin" <(printf '+\r')

# Errors: a message on stderr and exit status 1, no table written.
"$cli" feed --locale xx-nowhere < /dev/null > /dev/null 2> "$work/err1"
check "unknown locale fails" test $? -eq 1
check "unknown locale message" grep -q 'Unknown locale: xx-nowhere' "$work/err1"
"$cli" feed --bogus < /dev/null > /dev/null 2> "$work/err2"
check "unknown option fails" test $? -eq 1
"$cli" feed "$work/missing.txt" --table "$work/none.csv" 2> "$work/err3"
check "missing input fails" test $? -eq 1
check "no table for a missing input" test ! -e "$work/none.csv"
"$cli" feed --date 2026-02-30 < /dev/null > /dev/null 2> "$work/err4"
check "invalid date fails" grep -q 'Invalid date: 2026-02-30' "$work/err4"
"$cli" feed --help | grep -q -- '--nulltime'
check "help" test $? -eq 0

# Logs and runner matching: a semicolon-separated sheet in Windows-1252.
printf 'Fornavn;Etternavn;Klasse;Klubb;Kj\xf8nn;L\xf8ype;Startnr;Brikkenr;Starttid;Kid;Inkomst;Sluttid\r\nKari;Nordmann;D21;IL \xd8st;K;A;1234;;10:00:00;;;\r\n' > "$work/runners.csv"
"$cli" feed "$data/race_day.txt" --data-dir "$work/race" --date 2026-12-08 --nulltime 10:00:00 --locale nb-NO \
  --race 'Vinter/løpet' --sub 'Etappe 1' --sheet "$work/runners.csv" --sheet-out "$work/sheet.csv" --table /dev/null
# 02:39:59 is past midnight: the net time shows the size of the difference.
check "runner matched" grep -q '^Kari,Nordmann,D21,IL Øst,K,A,1234,,10:00:00,,02:39:59,07:20:01' "$work/sheet.csv"
check "unknown runner added" grep -q '^Unknown,Runner,NOCLAS,,,,,,10:00:00,,10:00:00,00:00:00' "$work/sheet.csv"
check "Chronex log" cmp "$work/race/Chronex.log" <(printf '"A","0","1","1234","08.12.2026.000","08.12.2026.000",00000,0000,0000\r\n"D","0","0","","08.12.2026.000","08.12.2026.000",00000,0000,0000\r\n"A","0","1","1234","08.12.2026.000","09.12.2026.000",00000,0000,0000\r\n\r\n')
check "BFG log in Windows-1252, slash left out of the name" \
  cmp "$work/race/BFG_Vinter-l$(printf '\xc3\xb8')pet_Etappe 1.log" <(printf '"Vinter/l\xf8pet"|"1234"|"Etappe 1"|"10:12:34"|""|\r\n"Vinter/l\xf8pet"|""|"Etappe 1"|"10:00:00"|""|\r\n"Vinter/l\xf8pet"|"1234"|"Etappe 1"|"02:39:59"|""|\r\n"Vinter/l\xf8pet"|""|"Etappe 1"|"10:12:34"|""|\r\n')

"$cli" feed "$data/race_day.txt" --data-dir "$work/off" --no-chronex --no-bfg --no-insert --sheet "$work/runners.csv" \
  --sheet-out "$work/sheet2.csv" --table /dev/null
check "logs created but empty" test -e "$work/off/Chronex.log" -a ! -s "$work/off/Chronex.log"
check "no unknown runners" test "$(grep -c Unknown "$work/sheet2.csv")" -eq 0

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
