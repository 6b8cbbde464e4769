#!/usr/bin/env bash
# ln40cli csv2xls, xls2csv, xml and feed --sheet/--save: round trips through our workbook
# writer and reader, the XML file byte for byte, python3-xlrd on a saved workbook, errors.
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
locale=(--locale nb-NO --decimal-separator , --thousands-separator " ")

# A runner sheet as ln40cli writes it: the twelve headings, then the runners.
printf '%s\r\n' \
  'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid' \
  'Kari,Li,H21,IL Nord,K,A,1,9901,10:00:00,9,10:41:10,00:41:10' \
  'Åse,"Dal, jr",D21,OK Sør,K,B,2,9902,10:01:00,8,,' \
  'Per,"Sa ""Per"" Berg",H21,IL,M,A,3,9903,10:02:00,7,10:41:12,00:39:12' > "$work/sheet.csv"

"$cli" csv2xls "$work/sheet.csv" "$work/sheet.xls" "${locale[@]}"
check "csv2xls exits 0" test $? -eq 0
"$cli" xls2csv "$work/sheet.xls" "$work/back.csv" "${locale[@]}"
check "xls2csv exits 0" test $? -eq 0
check "csv -> xls -> csv gives the sheet back" cmp "$work/sheet.csv" "$work/back.csv"
"$cli" xls2csv "$work/sheet.xls" "${locale[@]}" > "$work/stdout.csv"
check "xls2csv to stdout" cmp "$work/sheet.csv" "$work/stdout.csv"

# A sparse sheet: the empty cells after a row's last text are written like any other, and
# the cells a merge covers show its text.
if /usr/bin/python3 -c 'import xlwt' 2> /dev/null; then
  /usr/bin/python3 - "$work/sparse.xls" <<'PY'
import sys, xlwt
book = xlwt.Workbook()
sheet = book.add_sheet("S")
sheet.write(0, 0, "a")
sheet.write(1, 0, "b")
sheet.write_merge(1, 2, 3, 5, "m")
sheet.write(4, 13, "z")
book.save(sys.argv[1])
PY
  "$cli" xls2csv "$work/sparse.xls" "$work/sparse.csv" "${locale[@]}"
  printf '%s\r\n' \
    'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid,,' \
    'a,,,,,,,,,,,,,' 'b,,,m,m,m,,,,,,,,' ',,,m,m,m,,,,,,,,' ',,,,,,,,,,,,,' ',,,,,,,,,,,,,z' > "$work/sparse_expected.csv"
  check "sparse sheet, every cell of every row" cmp "$work/sparse.csv" "$work/sparse_expected.csv"
else
  echo "skipped: python3-xlwt is not installed"
fi

# Saving again onto the same workbook rewrites its sheets in place: still two sheets.
"$cli" csv2xls "$work/back.csv" "$work/sheet.xls" "${locale[@]}"
"$cli" xls2csv "$work/sheet.xls" "${locale[@]}" > "$work/again.csv"
check "saved twice, read back the same" cmp "$work/sheet.csv" "$work/again.csv"

# The read-times table of a stream, then its XML file.
printf 'A01000001012:34.567\rA01000003012:35.000\r' > "$work/stream.txt"
"$cli" feed "$work/stream.txt" --data-dir "$work/data" --nulltime 10:00:00 "${locale[@]}" --date 2026-12-08 \
  --table "$work/times.csv" --sheet "$work/sheet.xls" --sheet-out "$work/matched.csv" --save "$work/both.xls"
check "feed with --sheet FILE.xls and --save exits 0" test $? -eq 0
check "runner 1 matched from the workbook" grep -q '^Kari,Li,H21,IL Nord,K,A,1,9901,10:00:00,9,10:12:34,00:12:34' "$work/matched.csv"
check "runner 3 matched from the workbook" grep -q '^Per,"Sa ""Per"" Berg",H21,IL,M,A,3,9903,10:02:00,7,10:12:35,00:10:35' "$work/matched.csv"

"$cli" xml "$work/times.csv" "$work/times.xml"
check "xml exits 0" test $? -eq 0
record() {  # record # START TEXT LN20 TIME DATA: one <kivo> element, CR LF lines
  printf '<kivo>\r\n<#>%s</#>\r\n<Kivono/startno>%s</Kivono/startno>\r\n<Text>%s</Text>\r\n<LN20 time>%s</LN20 time>\r\n<Time>%s</Time>\r\n<Data>%s</Data>\r\n</kivo>\r\n' "$@"
}
{
  printf '<?xml version="1.0" encoding="ISO-8859-1" ?>\r\n<kivos>\r\n'
  record '#' 'Kivono/startno' 'Text' 'LN20 time' 'Time' 'Data'
  record '' '' '' '' '' ''
  record 1 1 Time 012:34.567 10:12:34 $'A01000001012:34.567\r'
  record 2 3 Time 012:35.000 10:12:35 $'A01000003012:35.000\r'
  printf '</kivos>\r\n'
} > "$work/expected.xml"
check "xml byte for byte" cmp "$work/times.xml" "$work/expected.xml"

# python3-xlrd reads the saved workbook: both sheets, typed values.
if /usr/bin/python3 -c 'import xlrd' 2> /dev/null; then
  /usr/bin/python3 - "$work/both.xls" <<'PY'
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
assert book.sheet_names() == ["LN40", "Excel"], book.sheet_names()
runners, times = book.sheet_by_name("LN40"), book.sheet_by_name("Excel")
assert runners.cell_value(0, 0) == "Kari" and runners.cell_value(1, 0) == "\u00c5se", runners.row_values(0)
assert runners.cell(0, 6).ctype == xlrd.XL_CELL_NUMBER and runners.cell_value(0, 6) == 1.0
assert runners.cell(0, 10).ctype == xlrd.XL_CELL_DATE and abs(runners.cell_value(0, 10) - (10 * 3600 + 12 * 60 + 34) / 86400) < 1e-9
assert runners.cell_value(2, 1) == 'Sa "Per" Berg'
assert times.cell(1, 1).ctype == xlrd.XL_CELL_NUMBER and times.cell_value(1, 1) == 1.0
assert times.cell_value(1, 2) == "Time" and times.cell_value(1, 5) == "A01000001012:34.567"
assert times.cell(2, 4).ctype == xlrd.XL_CELL_DATE
PY
  check "xlrd reads LN40 and Excel" test $? -eq 0
else
  echo "skipped: python3-xlrd is not installed"
fi

# csv2xls with the read-times table as well.
"$cli" csv2xls "$work/sheet.csv" "$work/with_times.xls" --times "$work/times.csv" "${locale[@]}"
check "csv2xls --times exits 0" test $? -eq 0

# Errors: the reader's message on stderr and status 1, nothing written.
"$cli" csv2xls "$work/missing.xls" "$work/none.xls" 2> "$work/err1"
check "missing workbook fails" test $? -eq 1
check "missing workbook message" grep -qF "Can't find the file \"$work/missing.xls\"" "$work/err1"
check "nothing written for a missing input" test ! -e "$work/none.xls"
"$cli" xml "$work/times.csv" "$work/no folder/times.xml" 2> "$work/err2"
check "xml into a missing folder fails" test $? -eq 1
check "xml error message" grep -qF "Cannot Create file $work/no folder/times.xml" "$work/err2"
printf 'not a workbook' > "$work/text.xls"
"$cli" xls2csv "$work/text.xls" 2> "$work/err3" > /dev/null
check "not a workbook fails" test $? -eq 1
# A named pipe given as the input, with nobody writing into it, never holds the command:
# a workbook must be a regular file, and a text file with no writer reads as empty.
mkfifo "$work/pipe.xls" "$work/pipe.csv"
timeout 10 "$cli" xls2csv "$work/pipe.xls" 2> "$work/err4" > /dev/null
check "a named pipe as the workbook is refused at once" test $? -eq 1
check "the refusal says what it is" grep -qF "It is a named pipe (FIFO), not a regular file" "$work/err4"
timeout 10 "$cli" csv2xls "$work/pipe.csv" "$work/pipe_out.xls" 2> /dev/null
status=$?
check "a named pipe as the text file does not wait" test "$status" -ne 124
timeout 10 "$cli" xls2csv "$work/pipe.csv" > /dev/null 2>&1
status=$?
check "a named pipe opened as a text file does not wait" test "$status" -ne 124
for command in xls2csv csv2xls xml; do
  "$cli" "$command" --help > "$work/help.txt"
  check "$command --help" grep -q "Usage: ln40cli $command" "$work/help.txt"
done
"$cli" feed --help | grep -q -- '--save FILE.xls'
check "feed --help names --save" test $? -eq 0

echo "$passes passed, $failures failed"
test "$failures" -eq 0
