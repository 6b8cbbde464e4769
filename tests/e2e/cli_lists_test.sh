#!/usr/bin/env bash
# ln40cli results and startlist on a small runner sheet: the pages' bytes, the program's
# folder, the errors.
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

# UTF-8 CSV as ln40cli writes runner sheets; the pages hold Windows-1252 bytes.
printf '%s\r\n' \
  'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid' \
  'Kari,Li,H21,IL Nord,,,1,9901,10:00:00,9,10:41:10,00:41:10' \
  'Per,Dal,H21,OK Sør,,,2,9902,10:01:00,8,10:40:02,00:39:02' \
  'Ola,Berg,H21,IL Nord,,,3,9903,10:02:00,7,10:41:12,00:39:12' \
  'Ida,Ås,D21,IL,,,4711,9904,10:03:00,6,,' \
  'Eva,Lund,9,IL,,,5,9905,,5,,00:20:00' > "$work/sheet.csv"

"$cli" results "$work/sheet.csv" "$work/Results.htm" --race 'Vinter løp' --sub 'Runde 3' 2> "$work/results.err"
check "results exits 0" test $? -eq 0
check "results reports its counts" grep -q 'Wrote .*Results.htm: 4 runners in 2 classes' "$work/results.err"
check "heading in Windows-1252" cmp <(head -n 1 "$work/Results.htm") <(printf '<h1><center>Resultatliste Vinter l\xf8p</center></h1>\r\n')
check "every line ends with CR LF" test "$(grep -c $'[^\r]$' "$work/Results.htm")" -eq 0
check "class heading merged over the row" grep -q '<td colspan="5" valign="top" bgcolor="#E3E3E3"><font color="#000000" >H21</font></td>' "$work/Results.htm"
# Each runner's name with the place in the cell before it, in page order.
places=$(awk -F' >|</font>' '/ >[A-Z][a-z]+ [A-Z][a-z]+<\/font>/ { print prev " " $2 } { prev = $2 }' "$work/Results.htm" | tr '\n' ',')
check "places by net time within each class" test "$places" = "1 Eva Lund,1 Per Dal,2 Ola Berg,3 Kari Li,"
check "no runner without a net time" test "$(grep -c 'Ida' "$work/Results.htm")" -eq 0
check "the page ends with the suffix and an empty line" \
  cmp <(tail -c 56 "$work/Results.htm") <(printf '</table>\r\n<center><b>Vexa timing system</b></center>\r\n\r\n')

"$cli" startlist "$work/sheet.csv" --data-dir "$work/folder" --race 'Vinter' 2> /dev/null
check "startlist exits 0" test $? -eq 0
check "Start.htm in the program's folder" test -f "$work/folder/Start.htm"
check "startlist heading" grep -q '^<h1><center>Startliste Vinter</center></h1>' "$work/folder/Start.htm"
check "runner without a net time is on the start list" grep -q $'>Ida \xc5s<' "$work/folder/Start.htm"
check "runner without a start time is not" test "$(grep -c 'Eva' "$work/folder/Start.htm")" -eq 0
check "no start or chip numbers" test "$(grep -c '4711\|9901' "$work/folder/Start.htm")" -eq 0
check "start time heading" grep -q '>Starttid</font></b></td>' "$work/folder/Start.htm"

# Errors: a message on stderr and exit status 1.
"$cli" results "$work/race.xls" "$work/x.htm" 2> "$work/err1"
check "missing workbook fails" test $? -eq 1
check "missing workbook message" grep -q "Can't find the file \"$work/race.xls\"" "$work/err1"

# A workbook as input: the runner sheet saved by csv2xls gives the same pages as its CSV.
"$cli" csv2xls "$work/sheet.csv" "$work/sheet.xls" 2> /dev/null
"$cli" results "$work/sheet.xls" "$work/FromWorkbook.htm" --race 'Vinter løp' --sub 'Runde 3' 2> /dev/null
check "results of a workbook" cmp "$work/FromWorkbook.htm" "$work/Results.htm"
"$cli" startlist "$work/sheet.xls" "$work/StartFromWorkbook.htm" --race 'Vinter' 2> /dev/null
check "startlist of a workbook" cmp "$work/StartFromWorkbook.htm" "$work/folder/Start.htm"
"$cli" results "$work/sheet.csv" "$work/missing/Results.htm" 2> "$work/err2"
check "unwritable page fails" test $? -eq 1
check "unwritable page message" grep -q "Cannot Create file $work/missing/Results.htm" "$work/err2"
"$cli" startlist 2> "$work/err3"
check "missing sheet fails" test $? -eq 1
"$cli" results --help | grep -q 'Usage: ln40cli results'
check "help" test $? -eq 0

echo "$passes passed, $failures failed"
test "$failures" -eq 0
