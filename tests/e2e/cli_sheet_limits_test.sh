#!/usr/bin/env bash
# Tables at the limits of a worksheet (65,536 rows, 256 columns): a race of more reads than
# one sheet holds is saved whole across further sheets, a runner sheet too long is refused
# without costing the other outputs, and a runner sheet file beyond a sheet is refused before
# the program makes room for it.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/test_helpers.sh"
xlrd() { /usr/bin/python3 -c 'import xlrd' 2>/dev/null; }

# A reader stream of N time messages, a tenth of a second apart; start numbers 1 to K, then
# again from 1 (K = N: every runner new).
make_feed() {  # make_feed N K FILE
  awk -v n="$1" -v k="$2" 'BEGIN {
    for (i = 0; i < n; i++) {
      ms = i * 100
      printf "A01%06d%03d:%02d.%03d\r", i % k + 1, int(ms / 60000) % 1000, int(ms / 1000) % 60, ms % 1000
    }
  }' > "$3"
}

# 65,600 reads, 500 runners: the save holds every read, "Excel" and then "Excel (2)".
make_feed 65600 500 "$work/long.txt"
"$cli" feed "$work/long.txt" --data-dir "$work/long" --date 2026-12-08 --nulltime 10:00:00 --no-chronex --no-bfg \
  --save "$work/long.xls" --table "$work/long.csv" --acks "$work/long.acks" 2> "$work/long.err"
check "a race longer than a sheet is saved (exit 0)" test $? -eq 0
check "no message" test ! -s "$work/long.err"
check "the table holds every read" test "$(wc -l < "$work/long.csv")" -eq 65602
check "every read acknowledged" test "$(wc -c < "$work/long.acks")" -eq $((65600 * 2))
if xlrd; then
  /usr/bin/python3 - "$work/long.xls" > "$work/long.check" 2>&1 <<'EOF'
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
print(book.sheet_names())
numbers = []
for name in ("Excel", "Excel (2)"):
    sheet = book.sheet_by_name(name)
    assert sheet.row_values(0) == ["", "", "", "", "", ""], (name, sheet.row_values(0))
    numbers += [int(sheet.cell_value(r, 0)) for r in range(1, sheet.nrows)]
print(len(numbers), numbers == list(range(1, 65601)), book.sheet_by_name("Excel").nrows,
      book.sheet_by_name("Excel (2)").row_values(1)[5])
EOF
  check "sheets LN40, Excel, Excel (2)" grep -qx "\['LN40', 'Excel', 'Excel (2)'\]" "$work/long.check"
  check "all 65,600 reads in order, 65,535 of them in Excel" grep -qx "65600 True 65536 A01000036109:13.500" \
    "$work/long.check"
else
  echo "skipped: the workbook check (no python3-xlrd)"
fi

# A runner sheet already as long as a sheet, and one more runner from the reader: the save
# is refused with the limit named; the table and the acknowledgements are still written.
awk 'BEGIN {
  printf "Fornavn,Etternavn,Klasse,Klubb,Kjonn,Loype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid\r\n"
  for (i = 1; i <= 65536; i++) printf "Runner,%d,H21,,,,%d,,10:00:00,,,\r\n", i, i
}' > "$work/full.csv"
printf 'A01999999000:01.000\rA01000007000:02.000\r' > "$work/full.txt"
"$cli" feed "$work/full.txt" --data-dir "$work/full" --date 2026-12-08 --nulltime 10:00:00 --no-chronex --no-bfg \
  --sheet "$work/full.csv" --save "$work/full.xls" --table "$work/full_table.csv" --acks "$work/full.acks" \
  2> "$work/full.err"
check "a refused save fails the command" test $? -eq 1
check "the refusal names the file and the limit" grep -q \
  "full.xls not written: The table for the sheet \"LN40\" has 65,537 rows; a worksheet holds at most 65,536." \
  "$work/full.err"
check "no workbook" test ! -e "$work/full.xls"
check "the table is written after the refused save" grep -q "^2,7,Time" "$work/full_table.csv"
check "the acknowledgements are written" cmp "$work/full.acks" <(printf '+\r+\r')

# A runner sheet of 149 kB that would span 20,001 columns and 20,001 rows: every command
# refuses it before it makes room, under a memory limit far below what the table would take.
awk 'BEGIN {
  for (i = 0; i < 20000; i++) printf ","
  printf "\r\n"
  for (i = 0; i < 20000; i++) printf "%d\r\n", i
}' > "$work/wide.csv"
wide_message='"'"$work"'/wide.csv" has 20,001 columns; a worksheet holds at most 256.'
# Under a limit on address space, so that a command making room for the whole extent fails
# instead of swapping. AddressSanitizer reserves terabytes of address space for itself, so a
# build with it runs without the limit (its own check of huge allocations is there instead).
if grep -q __asan_init "$cli"; then
  limited() { "$@"; }
else
  limited() { (ulimit -v 2000000; "$@"); }
fi
limited "$cli" xls2csv "$work/wide.csv" "$work/wide_out.csv" 2> "$work/wide1.err"
check "xls2csv refuses the wide sheet" test $? -eq 1
check "xls2csv names the file and the limit" grep -qF "$wide_message" "$work/wide1.err"
check "xls2csv writes nothing" test ! -e "$work/wide_out.csv"
limited "$cli" csv2xls "$work/wide.csv" "$work/wide_out.xls" 2> "$work/wide2.err"
check "csv2xls refuses the wide sheet" grep -qF "$wide_message" "$work/wide2.err"
check "csv2xls writes nothing" test ! -e "$work/wide_out.xls"
limited timeout 20 "$cli" serve --sheet "$work/wide.csv" --data-dir "$work/wide_station" --port "$work/no-such-port" \
  < /dev/null 2> "$work/wide3.err"
check "serve refuses the wide sheet" test $? -eq 1
check "serve names the file and the limit" grep -qF "$wide_message" "$work/wide3.err"

# One runner more than a sheet holds, below the header line.
printf 'Runner,65537,H21,,,,65537,,10:00:00,,,\r\n' | cat "$work/full.csv" - > "$work/long.csv"
"$cli" csv2xls "$work/long.csv" "$work/long_out.xls" 2> "$work/long_sheet.err"
check "a runner sheet one row too long is refused" grep -qF \
  '"'"$work"'/long.csv" has 65,537 rows below its header line; a worksheet holds at most 65,536.' "$work/long_sheet.err"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
