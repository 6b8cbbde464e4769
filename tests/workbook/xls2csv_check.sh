#!/usr/bin/env bash
# ln40cli xls2csv on a LibreOffice fixture, to a file and to stdout, against the expected
# CSV (UTF-8, RFC 4180, CRLF); a missing file and an Excel 5.0/95 workbook end with the
# reader's message and status 1.
# The workbook is opened into the runner sheet as the window opens it: the twelve headings
# in the header line, at least twelve columns, texts through Windows-1252 ("?" for the
# Greek and Cyrillic letters), a merged range's text in every cell it covers.
#   xls2csv_check.sh LN40CLI FIXTURES_DIR WORK_DIR
# The expected file was made by this command and checked by hand:
#   ln40cli xls2csv lo_types.xls lo_types_expected.csv --locale en-US --decimal-separator , \
#     --thousands-separator " "
set -euo pipefail
cli=${1:?ln40cli}
fixtures=${2:?fixtures}
work=${3:?work dir}
mkdir -p "$work"
options=(--locale en-US --decimal-separator , --thousands-separator " ")

rm -f "$work/out.csv"
"$cli" xls2csv "$fixtures/lo_types.xls" "$work/out.csv" "${options[@]}"
cmp "$work/out.csv" "$fixtures/lo_types_expected.csv"
"$cli" xls2csv "$fixtures/lo_types.xls" "${options[@]}" > "$work/stdout.csv"
cmp "$work/stdout.csv" "$fixtures/lo_types_expected.csv"

refused() {
  local file=$1 message=$2 status=0
  "$cli" xls2csv "$file" 2> "$work/error.txt" || status=$?
  [ "$status" = 1 ] || { echo "status $status for $file"; exit 1; }
  grep -qxF "ln40cli: $message" "$work/error.txt" || { cat "$work/error.txt"; exit 1; }
}
refused "$work/missing.xls" "Can't find the file \"$work/missing.xls\""
refused "$fixtures/gnumeric_biff7.xls" \
  "\"$fixtures/gnumeric_biff7.xls\" is an Excel 5.0/95 workbook; save it as Excel 97-2003 or newer and open it again"
