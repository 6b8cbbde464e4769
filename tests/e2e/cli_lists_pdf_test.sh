#!/usr/bin/env bash
# ln40cli results and startlist --pdf: the lists printed through Qt into PDF files, read back
# with pdftotext. Exits 77 (skipped) when pdftotext (Debian poppler-utils) is not installed.
set -u
cli=$1
command -v pdftotext > /dev/null || { echo "pdftotext is not installed: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check NAME COMMAND...: the command must succeed
  local name=$1; shift
  if "$@"; then echo "ok: $name"; else echo "FAILED: $name"; failures=$((failures + 1)); fi
}

# 90 runners in three classes: a list longer than one page.
{
  printf '%s\r\n' 'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid'
  for i in $(seq 0 89); do
    classes=(H21 D21 H17)
    printf 'Runner%d,Sørby,%s,Club %d,,,%d,,10:%02d:00,%d,,00:%02d:%02d\r\n' \
      "$i" "${classes[$((i % 3))]}" "$((i % 5))" "$((i + 1))" "$((i % 60))" "$i" "$((30 + i % 29))" "$((i % 60))"
  done
} > "$work/sheet.csv"

"$cli" results "$work/sheet.csv" "$work/Results.htm" --race 'Vårløpet' --sub 'Runde 3' --pdf "$work/results.pdf" \
  2> "$work/results.err"
check "results --pdf exits 0" test $? -eq 0
pages=$(sed -n 's/^Printed .*results.pdf: \([0-9]*\) pages$/\1/p' "$work/results.err")
check "results --pdf prints more than one page" test "${pages:-0}" -ge 2
check "the HTML page is written too" test -s "$work/Results.htm"
pdftotext -layout "$work/results.pdf" "$work/results.txt"
check "the title at the top, in UTF-8" grep -q 'Resultatliste Vårløpet Runde 3' "$work/results.txt"
check "the headings" grep -Eq 'Plass +Navn +Klubb' "$work/results.txt"
for klass in H21 D21 H17; do check "class heading $klass" grep -Eq "^ *$klass *$" "$work/results.txt"; done
check "every runner" test "$(grep -Ec 'Runner[0-9]+ Sørby' "$work/results.txt")" -eq 90
check "runner with place, name, club and time" grep -Eq '^ *1 +Runner58 Sørby +Club 3 +00:30:58' "$work/results.txt"
check "the page number with its count" grep -Eq "Vexa timing system LN40 +2/$pages" "$work/results.txt"

"$cli" startlist "$work/sheet.csv" "$work/Start.htm" --race 'Vinter' --sub 'Dag 1' --pdf "$work/start.pdf" 2> /dev/null
check "startlist --pdf exits 0" test $? -eq 0
pdftotext -layout "$work/start.pdf" "$work/start.txt"
check "startlist title" grep -q 'Startliste Vinter Dag 1' "$work/start.txt"
check "startlist runner with club and start time" grep -Eq 'Runner0 Sørby +Club 0 +10:00:00' "$work/start.txt"
check "no start numbers on the start list" test "$(grep -Ec ' 4711 ' "$work/start.txt")" -eq 0

"$cli" results "$work/sheet.csv" "$work/R.htm" --pdf "$work/no such folder/r.pdf" 2> "$work/bad.err"
check "a PDF that cannot be created fails" test $? -eq 1
check "with the system's message" grep -q "Cannot Create file $work/no such folder/r.pdf" "$work/bad.err"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
