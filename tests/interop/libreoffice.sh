#!/usr/bin/env bash
# Workbooks we write, opened by LibreOffice: each is converted to CSV by soffice (headless)
# and compared with the CSV its writer expects; formulas are calculated by LibreOffice when
# it opens the file. A LibreOffice workbook loaded and saved by us converts to the same CSV
# as the original. Skipped (status 77) where soffice is not installed.
#   libreoffice.sh INTEROP_WRITER FIXTURES_DIR WORK_DIR
set -euo pipefail
writer=${1:?interop_writer}
fixtures=${2:?fixtures}
work=${3:?work dir}

if ! command -v soffice > /dev/null; then
  echo "libreoffice.sh: soffice not found; skipping"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/csv" "$work/home"
"$writer" "$fixtures" "$work"
cp "$fixtures/lo_types.xls" "$work/original.xls"

# Comma (44), double quotes (34), UTF-8 (76), text quoted only where needed, values as
# shown, first sheet.
filter='csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true'
HOME="$work/home" timeout 240 soffice --headless --norestore --convert-to "$filter" --outdir "$work/csv" \
  "$work/values.xls" "$work/formulas.xls" "$work/resaved.xls" "$work/original.xls" > "$work/soffice.log" 2>&1 || {
  cat "$work/soffice.log"
  exit 1
}

failed=0
compare() {
  local got=$1 want=$2
  # LibreOffice ends lines with LF; trailing empty fields it leaves out are not compared.
  if ! diff <(sed 's/,*$//' "$want") <(tr -d '\r' < "$got" | sed 's/,*$//') > "$work/diff.txt"; then
    echo "libreoffice.sh: $(basename "$got") differs from $(basename "$want"):"
    cat "$work/diff.txt"
    failed=1
  fi
}
compare "$work/csv/values.csv" "$work/values.expected"
compare "$work/csv/formulas.csv" "$work/formulas.expected"
compare "$work/csv/resaved.csv" "$work/csv/original.csv"
exit $failed
