#!/usr/bin/env bash
# Workbooks the program saves, opened by Gnumeric: ln40cli csv2xls saves a runner sheet and a
# read-times table as the "Save as excel file" command does (sheets "LN40" and "Excel"), and
# ssconvert writes each sheet as CSV with the cell texts as Gnumeric shows them: texts with
# Norwegian letters, numbers, times of day and dates in the "dd.mm.yyyy" form. Skipped
# (status 77) where ssconvert is not installed.
#   gnumeric.sh LN40CLI WORK_DIR
set -euo pipefail
cli=${1:?ln40cli}
work=${2:?work dir}

if ! command -v ssconvert > /dev/null; then
  echo "gnumeric.sh: ssconvert not found; skipping the Gnumeric interop check"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/home"

# The runner sheet with two columns of its own after the twelve: a date and a decimal number.
printf '%s\r\n' \
  'Fornavn,Etternavn,Klasse,Klubb,Kjønn,Løype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid,Dato,Poeng' \
  'Kari,Li,H21,IL Nord,K,A,1,9901,10:00:00,9,10:41:10,00:41:10,08.12.2026,12.5' \
  'Åse,"Dal, jr",D21,OK Sør,K,B,2,9902,10:01:00,8,,,,' \
  'Per,Ødegård,H21,Ærøy IL,M,A,3,9903,10:02:00,7,11:41:12,01:39:12,31.01.2027,7' > "$work/sheet.csv"
# The read-times table as ln40cli feed writes it.
printf '%s\r\n' \
  '#,Kivono/startno,Text,LN20 time,Time,Data' \
  ',,,,,' \
  '1,1,Time,012:34.567,10:12:34,"A01000001012:34.567"' \
  '2,3,Time,012:35.000,10:12:35,"A01000003012:35.000"' > "$work/times.csv"
"$cli" csv2xls "$work/sheet.csv" "$work/saved.xls" --times "$work/times.csv" \
  --locale nb-NO --decimal-separator . --thousands-separator " "

# Values as the cells' formats show them, one file per sheet (saved_0.csv, saved_1.csv).
HOME="$work/home" timeout 60 ssconvert -S --export-type=Gnumeric_stf:stf_assistant \
  -O 'separator=, format=preserve charset=UTF-8 eol=unix' "$work/saved.xls" "$work/saved_%n.csv" \
  > "$work/ssconvert.log" 2>&1 || {
  cat "$work/ssconvert.log"
  exit 1
}

# What Gnumeric must show. Its CSV starts at the first row with a cell: the header rows are
# not saved, and the read-times table's first row is empty. Net times under
# ten hours lose the hour's leading zero: the sheet's "hh:mm:ss" is saved as the built-in
# format 21, which spreadsheets show as "h:mm:ss".
printf '%s\n' \
  'Kari,Li,H21,IL Nord,K,A,1,9901,10:00:00,9,10:41:10,0:41:10,08.12.2026,12.5' \
  'Åse,"Dal, jr",D21,OK Sør,K,B,2,9902,10:01:00,8' \
  'Per,Ødegård,H21,Ærøy IL,M,A,3,9903,10:02:00,7,11:41:12,1:39:12,31.01.2027,7' > "$work/runners.expected"
printf '%s\n' \
  '1,1,Time,012:34.567,10:12:34,A01000001012:34.567' \
  '2,3,Time,012:35.000,10:12:35,A01000003012:35.000' > "$work/times.expected"

# Compared field by field (Gnumeric quotes more than it must); trailing empty fields and
# empty lines left out.
python3 - "$work" <<'PY'
import csv, sys
work = sys.argv[1]
failed = False
for got, want in (("saved_0.csv", "runners.expected"), ("saved_1.csv", "times.expected")):
    def rows(name):
        with open(f"{work}/{name}", newline="", encoding="utf-8") as f:
            out = []
            for row in csv.reader(f):
                while row and row[-1] == "":
                    row.pop()
                if row:
                    out.append(row)
            return out
    if rows(got) != rows(want):
        failed = True
        print(f"gnumeric.sh: {got} differs from {want}:")
        print("  got: ", rows(got))
        print("  want:", rows(want))
sys.exit(1 if failed else 0)
PY
