#!/usr/bin/env bash
# Times our workbook reader and writer against other spreadsheet tools on the same files, in
# one run, and prints each ratio (the peer's time divided by ours: above 1 means we are
# faster). Not part of the test run.
#
#   bench/compare.sh [RUNS]
#
# Builds release binaries in $BUILD_DIR (default /tmp/ln40_compare_build), makes the test
# data once in $WORK_DIR (default /tmp/ln40_compare): a CSV of 65,000 rows x 12 columns of
# runners (names, classes, clubs, numbers, times) and the workbook our writer makes from it.
#
# Read (the workbook to CSV):  workbook_convert read (our reader, every cell as its number
#                              format shows it), python3-xlrd, xls2csv (catdoc), ssconvert
#                              (Gnumeric), soffice --headless --convert-to csv (LibreOffice);
#                              ln40cli xls2csv too, which opens the workbook into the runner
#                              sheet as the window does, for reference
# Write (the CSV to a workbook): workbook_convert write, python3-xlwt, ssconvert
#
# Every command runs as a whole process, start-up included; the figure is the median wall
# time of RUNS runs (default 5) for the fast tools and of 3 for the slow ones (xlrd, xlwt,
# ssconvert, soffice). A peer that is not installed is left out. Goals: the reader at least
# 20 times faster than xlrd and 5 times faster than the fastest native reader; the writer at
# least 20 times faster than xlwt.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
slow_runs=3
build_dir=${BUILD_DIR:-/tmp/ln40_compare_build}
work=${WORK_DIR:-/tmp/ln40_compare}
python=/usr/bin/python3  # Debian's python3-xlrd and python3-xlwt live there

mkdir -p "$work"
echo "Building release binaries in $build_dir"
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLN40_BUILD_GUI=OFF -DLN40_BUILD_TESTS=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target ln40cli workbook_convert >/dev/null
ln40cli=$build_dir/tools/ln40cli/ln40cli
convert=$build_dir/bench/workbook_convert

csv=$work/runners.csv
xls=$work/runners.xls
"$convert" make "$csv"
"$convert" write "$csv" "$xls"

# The peers' scripts: the same work as ours, in Python.
cat >"$work/xlrd_to_csv.py" <<'EOF'
import csv, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
with open(sys.argv[2], "w", newline="") as out:
    writer = csv.writer(out)
    for r in range(sheet.nrows):
        writer.writerow(sheet.row_values(r))
EOF
cat >"$work/xlwt_from_csv.py" <<'EOF'
import csv, sys, xlwt
book = xlwt.Workbook()
sheet = book.add_sheet("Sheet1")
time_style = xlwt.easyxf(num_format_str="hh:mm:ss")
with open(sys.argv[1], newline="") as source:
    for r, fields in enumerate(csv.reader(source)):
        row = sheet.row(r)
        for c, field in enumerate(fields):
            if field.isdigit():
                row.write(c, int(field))
            elif len(field) in (7, 8) and field.count(":") == 2 and field.replace(":", "").isdigit():
                h, m, s = (int(part) for part in field.split(":"))
                row.write(c, (h * 3600 + m * 60 + s) / 86400.0, time_style)
            elif field:
                row.write(c, field)
        if r % 1000 == 0:
            sheet.flush_row_data()
book.save(sys.argv[2])
EOF

# LibreOffice gets a profile of its own, so that it neither meets another running instance
# nor times its first start.
lo_profile="file://$work/lo_profile"

declare -A median
# measure NAME RUNS COMMAND...: the median wall time in seconds of RUNS runs, after one
# untimed run; the command's output must exist and have the sheet's 65,000 rows (CSV) or be
# larger than 1 MB (workbook).
measure() {
  local name=$1 count=$2
  shift 2
  local times=() start end
  if ! "$@" >/dev/null 2>"$work/$name.err"; then
    echo "  $name failed: $(head -c 300 "$work/$name.err")" >&2
    return 0
  fi
  for ((i = 0; i < count; ++i)); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(echo "$end - $start" | bc -l)")
  done
  median[$name]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  printf '  %-28s %8.3f s  (median of %d)\n' "$name" "${median[$name]}" "$count"
}

rows_of() { [ -f "$1" ] && wc -l <"$1" | tr -d ' ' || echo 0; }

check_csv() {
  local name=$1 file=$2
  [ -n "${median[$name]:-}" ] || return 0
  local rows
  rows=$(rows_of "$file")
  if [ "$rows" -lt 65000 ]; then
    echo "  $name wrote $rows lines instead of 65000: left out" >&2
    unset "median[$name]"
  fi
}

have() { command -v "$1" >/dev/null 2>&1; }
python_has() { "$python" -c "import $1" >/dev/null 2>&1; }

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "Data: $(rows_of "$csv") rows x 12 columns; workbook $(($(stat -c %s "$xls") / 1024)) KiB written by our writer"
echo
echo "Read: the workbook to CSV"
measure ours_read "$runs" "$convert" read "$xls" "$work/ours.csv"
check_csv ours_read "$work/ours.csv"
measure ours_sheet "$runs" "$ln40cli" xls2csv "$xls" "$work/ours_sheet.csv"
check_csv ours_sheet "$work/ours_sheet.csv"
if python_has xlrd; then
  measure xlrd "$slow_runs" "$python" "$work/xlrd_to_csv.py" "$xls" "$work/xlrd.csv"
  check_csv xlrd "$work/xlrd.csv"
fi
if [ -x /usr/bin/xls2csv ]; then
  measure catdoc_xls2csv "$runs" sh -c '/usr/bin/xls2csv "$1" > "$2"' sh "$xls" "$work/catdoc.csv"
  check_csv catdoc_xls2csv "$work/catdoc.csv"
fi
if have ssconvert; then
  measure ssconvert_read "$slow_runs" ssconvert --export-type=Gnumeric_stf:stf_csv "$xls" "$work/ssconvert.csv"
  check_csv ssconvert_read "$work/ssconvert.csv"
fi
if have soffice; then
  mkdir -p "$work/lo_out"
  measure soffice_read "$slow_runs" soffice "-env:UserInstallation=$lo_profile" --headless --norestore \
    --convert-to csv --outdir "$work/lo_out" "$xls"
  check_csv soffice_read "$work/lo_out/runners.csv"
fi

echo
echo "Write: the CSV to a workbook"
measure ours_write "$runs" "$convert" write "$csv" "$work/ours_written.xls"
if python_has xlwt; then
  measure xlwt "$slow_runs" "$python" "$work/xlwt_from_csv.py" "$csv" "$work/xlwt.xls"
fi
if have ssconvert; then
  measure ssconvert_write "$slow_runs" ssconvert --export-type=Gnumeric_Excel:excel_biff8 "$csv" "$work/ssconvert.xls"
fi

# ratio PEER OURS: the peer's time over ours, or "-" when either is missing.
ratio() {
  if [ -n "${median[$1]:-}" ] && [ -n "${median[$2]:-}" ]; then
    echo "${median[$1]} / ${median[$2]}" | bc -l | xargs printf '%.1f'
  else
    echo "-"
  fi
}
seconds() { [ -n "${median[$1]:-}" ] && printf '%.3f s' "${median[$1]}" || echo "not run"; }

echo
echo "| Task | Tool | Time (median) | Ratio to ours |"
echo "|---|---|---|---|"
echo "| read 65,000 x 12 | workbook_convert read (ours) | $(seconds ours_read) | 1.0 |"
echo "| read 65,000 x 12 | ln40cli xls2csv into the runner sheet (ours) | $(seconds ours_sheet) | $(ratio ours_sheet ours_read) |"
echo "| read 65,000 x 12 | python3-xlrd | $(seconds xlrd) | $(ratio xlrd ours_read) |"
echo "| read 65,000 x 12 | xls2csv (catdoc) | $(seconds catdoc_xls2csv) | $(ratio catdoc_xls2csv ours_read) |"
echo "| read 65,000 x 12 | ssconvert (Gnumeric) | $(seconds ssconvert_read) | $(ratio ssconvert_read ours_read) |"
echo "| read 65,000 x 12 | soffice --headless (LibreOffice) | $(seconds soffice_read) | $(ratio soffice_read ours_read) |"
echo "| write 65,000 x 12 | workbook_convert write (ours) | $(seconds ours_write) | 1.0 |"
echo "| write 65,000 x 12 | python3-xlwt | $(seconds xlwt) | $(ratio xlwt ours_write) |"
echo "| write 65,000 x 12 | ssconvert (Gnumeric) | $(seconds ssconvert_write) | $(ratio ssconvert_write ours_write) |"

# The goals.
fastest=""
for tool in catdoc_xls2csv ssconvert_read soffice_read; do
  [ -n "${median[$tool]:-}" ] || continue
  if [ -z "$fastest" ] || (($(echo "${median[$tool]} < ${median[$fastest]}" | bc -l))); then fastest=$tool; fi
done
goal() {
  local what=$1 value=$2 target=$3
  if [ "$value" = "-" ]; then
    echo "  $what: not measured"
  elif (($(echo "$value >= $target" | bc -l))); then
    echo "  $what: $value (goal $target) met"
  else
    echo "  $what: $value (goal $target) NOT met"
  fi
}
echo
echo "Goals:"
goal "reader vs python3-xlrd" "$(ratio xlrd ours_read)" 20
goal "reader vs fastest native reader (${fastest:-none})" "$([ -n "$fastest" ] && ratio "$fastest" ours_read || echo -)" 5
goal "writer vs python3-xlwt" "$(ratio xlwt ours_write)" 20
