#!/usr/bin/env bash
# Times the workbook commands the user runs against other spreadsheet tools on the same
# files, in one run, and prints one markdown table: each time, each peer's time divided by
# ours (above 1 means we are faster), and whether the goals are met. Not part of the test run.
#
#   bench/compare.sh [RUNS]
#
# Builds release binaries in $BUILD_DIR (default /tmp/ln40_compare_build) and makes the test
# data once in $WORK_DIR (default /tmp/ln40_compare):
#   runners.csv  a header line and 64,999 runners in 12 columns (names, classes, clubs,
#                start and chip numbers, times "hh:mm:ss")
#   ours.xls     the runner sheet read from runners.csv and saved by ln40cli csv2xls, as
#                "Save as excel file" saves it
#   lo.xls       the same workbook written again by LibreOffice (soffice --convert-to xls)
#   corners.xls  four cells at the corners of the largest sheet (A1, IV1, A65536, IV65536),
#                written by python3-xlwt
#
# Open (a workbook to CSV), on ours.xls and on lo.xls: ln40cli xls2csv (the workbook opened
#   into the runner sheet as "Open excel file" opens it, written as CSV), python3-xlrd,
#   xls2csv (catdoc), ssconvert (Gnumeric), soffice --convert-to csv (LibreOffice).
# Save (runners.csv to a new workbook): ln40cli csv2xls (the runner sheet read from the CSV
#   and saved as "Save as excel file" saves it, flushed to the disk), python3-xlwt,
#   ssconvert.
# Sparse: ln40cli xls2csv on corners.xls, its time and its largest resident memory
#   (/usr/bin/time -v).
#
# Every command runs as a whole process, start-up included, after one untimed run; the
# figure is the median wall time of RUNS runs (default 5) for ours and catdoc and of 3 for
# the slow peers. A peer that is not installed is left out with a note. Goals on both files:
# open at least 20 times faster than python3-xlrd and 5 times faster than catdoc; save at
# least 20 times faster than python3-xlwt; the sparse file in under 0.3 s and 100 MB.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
slow_runs=3
build_dir=${BUILD_DIR:-/tmp/ln40_compare_build}
work=${WORK_DIR:-/tmp/ln40_compare}
python=/usr/bin/python3  # Debian's python3-xlrd and python3-xlwt are seen by this one only

mkdir -p "$work"
echo "Building release binaries in $build_dir"
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLN40_BUILD_GUI=OFF -DLN40_BUILD_TESTS=OFF -DLN40_BUILD_BENCH=OFF \
  "${launcher[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target ln40cli >/dev/null
ln40cli=$build_dir/tools/ln40cli/ln40cli

have() { command -v "$1" >/dev/null 2>&1; }
python_has() { "$python" -c "import $1" >/dev/null 2>&1; }
notes=()
note() { notes+=("$1"); }

# ---- the test data ----------------------------------------------------------------------

csv=$work/runners.csv
ours_xls=$work/ours.xls
lo_xls=$work/lo.xls
corners=$work/corners.xls
lo_profile="file://$work/lo-profile"  # a profile of its own: no other running instance, no first start timed
rm -f "$ours_xls" "$lo_xls" "$corners"
awk 'function hms(s) { return sprintf("%02d:%02d:%02d", int(s / 3600) % 24, int(s / 60) % 60, s % 60) }
BEGIN {
  print "First name,Last name,Class,Club,Gender,Course,Start number,Chip,Start time,Id,Finish time,Net time"
  for (i = 1; i < 65000; ++i) {
    start = 10 * 3600 + (i % 600) * 60
    finish = start + 1800 + (i * 37) % 5400
    printf "Runner%d,Family%d,H%d,Club %d,%s,Course %d,%d,%d,%s,%d,%s,%s\n", i, i % 997, 10 + i % 9, i % 131,
      (i % 2 ? "M" : "K"), i % 7, 100 + i, 5000000 + i, hms(start), i * 7, hms(finish), hms(finish - start)
  }
}' >"$csv"
"$ln40cli" csv2xls "$csv" "$ours_xls"
if have soffice; then
  rm -rf "$work/lo-made"
  soffice "-env:UserInstallation=$lo_profile" --headless --norestore --convert-to xls --outdir "$work/lo-made" \
    "$ours_xls" >/dev/null 2>&1 || true
  [ -f "$work/lo-made/ours.xls" ] && mv "$work/lo-made/ours.xls" "$lo_xls"
fi
[ -f "$lo_xls" ] || note "LibreOffice (soffice) could not write lo.xls: the LibreOffice-written file is left out."
if python_has xlwt; then
  "$python" - "$corners" <<'EOF'
import sys, xlwt
book = xlwt.Workbook()
sheet = book.add_sheet("Corners")
for row, col, text in ((0, 0, "A1"), (0, 255, "IV1"), (65535, 0, "A65536"), (65535, 255, "IV65536")):
    sheet.write(row, col, text)
book.save(sys.argv[1])
EOF
else
  note "python3-xlwt is not installed: the sparse file and the xlwt save are left out."
fi

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

# ---- timing -----------------------------------------------------------------------------

declare -A median
# measure NAME RUNS OUTPUT COMMAND...: the median wall time in seconds of RUNS runs of the
# command, after one untimed run. OUTPUT is removed before every run, so that each run makes
# it anew; afterwards a CSV must have a line for each of the 64,999 runners, a workbook be
# over 1 MB.
measure() {
  local name=$1 count=$2 output=$3
  shift 3
  local times=() start end
  rm -rf "$output"
  if ! "$@" >/dev/null 2>"$work/$name.err"; then
    echo "  $name failed: $(head -c 300 "$work/$name.err")" >&2
    note "$name failed: $(head -c 200 "$work/$name.err" | tr '\n' ' ')"
    return 0
  fi
  for ((i = 0; i < count; ++i)); do
    rm -rf "$output"
    start=$EPOCHREALTIME
    "$@" >/dev/null 2>&1
    end=$EPOCHREALTIME
    times+=("$(echo "$end - $start" | bc -l)")
  done
  median[$name]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  printf '  %-24s %8.3f s  (median of %d)\n' "$name" "${median[$name]}" "$count"
  check_output "$name" "$output"
}

check_output() {
  local name=$1 file=$2
  case $file in
    *.csv)
      local lines=0
      [ -f "$file" ] && lines=$(wc -l <"$file" | tr -d ' ')
      if [ "$lines" -lt 64999 ]; then
        echo "  $name wrote $lines lines, fewer than the 64,999 runners: left out" >&2
        note "$name wrote $lines lines, fewer than the 64,999 runners: left out."
        unset "median[$name]"
      fi
      ;;
    *.xls)
      if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -lt 1000000 ]; then
        echo "  $name wrote no workbook of the sheet's size: left out" >&2
        note "$name wrote no workbook of the sheet's size: left out."
        unset "median[$name]"
      fi
      ;;
  esac
}

# open_all FILE TAG: every reader on one workbook, NAME_TAG in `median`.
open_all() {
  local file=$1 tag=$2
  echo "Open $(basename "$file")"
  measure "ours_$tag" "$runs" "$work/ours_$tag.csv" "$ln40cli" xls2csv "$file" "$work/ours_$tag.csv"
  if python_has xlrd; then
    measure "xlrd_$tag" "$slow_runs" "$work/xlrd_$tag.csv" "$python" "$work/xlrd_to_csv.py" "$file" "$work/xlrd_$tag.csv"
  fi
  if [ -x /usr/bin/xls2csv ]; then
    measure "catdoc_$tag" "$runs" "$work/catdoc_$tag.csv" sh -c '/usr/bin/xls2csv "$1" > "$2"' sh "$file" "$work/catdoc_$tag.csv"
  fi
  if have ssconvert; then
    measure "gnumeric_$tag" "$slow_runs" "$work/gnumeric_$tag.csv" \
      ssconvert --export-type=Gnumeric_stf:stf_csv "$file" "$work/gnumeric_$tag.csv"
  fi
  if have soffice; then
    local base
    base=$(basename "$file" .xls)
    measure "lo_$tag" "$slow_runs" "$work/lo-out/$base.csv" soffice "-env:UserInstallation=$lo_profile" --headless \
      --norestore --convert-to csv --outdir "$work/lo-out" "$file"
  fi
}

python_has xlrd || note "python3-xlrd is not installed: left out."
[ -x /usr/bin/xls2csv ] || note "xls2csv (Debian package catdoc) is not installed: left out."
have ssconvert || note "ssconvert (Debian package gnumeric) is not installed: left out."
have soffice || note "soffice (Debian package libreoffice-calc-nogui) is not installed: left out."

echo
echo "Machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores; load average $(cut -d' ' -f1-3 /proc/loadavg)"
sizes="ours.xls $(($(stat -c %s "$ours_xls") / 1024)) KiB"
[ -f "$lo_xls" ] && sizes+=", lo.xls $(($(stat -c %s "$lo_xls") / 1024)) KiB"
echo "Data: runners.csv of $(wc -l <"$csv" | tr -d ' ') lines x 12 columns; $sizes"
echo
open_all "$ours_xls" ours
[ -f "$lo_xls" ] && open_all "$lo_xls" lo

echo "Save runners.csv"
measure save_ours "$runs" "$work/saved_ours.xls" "$ln40cli" csv2xls "$csv" "$work/saved_ours.xls"
if python_has xlwt; then
  measure save_xlwt "$slow_runs" "$work/saved_xlwt.xls" "$python" "$work/xlwt_from_csv.py" "$csv" "$work/saved_xlwt.xls"
fi
if have ssconvert; then
  measure save_gnumeric "$slow_runs" "$work/saved_gnumeric.xls" \
    ssconvert --export-type=Gnumeric_Excel:excel_biff8 "$csv" "$work/saved_gnumeric.xls"
fi

# The sparse file: the median time and the largest resident memory of RUNS runs.
sparse_seconds=""
sparse_kib=""
if [ -f "$corners" ]; then
  echo "Open corners.xls"
  "$ln40cli" xls2csv "$corners" "$work/corners.csv" >/dev/null
  sparse_times=()
  for ((i = 0; i < runs; ++i)); do
    /usr/bin/time -v "$ln40cli" xls2csv "$corners" "$work/corners.csv" 2>"$work/corners.time" >/dev/null
    sparse_times+=("$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (k = 1; k <= n; ++k) s = s * 60 + p[k]; print s }' "$work/corners.time")")
    kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/corners.time")
    if [ -z "$sparse_kib" ] || [ "$kib" -gt "$sparse_kib" ]; then sparse_kib=$kib; fi
  done
  sparse_seconds=$(printf '%s\n' "${sparse_times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
  sparse_mb=$(((sparse_kib * 1024 + 500000) / 1000000))
  printf '  %-24s %8.3f s  %d MB largest resident memory\n' ours_corners "$sparse_seconds" "$sparse_mb"
fi

# ---- the table --------------------------------------------------------------------------

# ratio PEER OURS: the peer's time over ours, or "-" when either is missing.
ratio() {
  if [ -n "${median[$1]:-}" ] && [ -n "${median[$2]:-}" ]; then
    echo "${median[$1]} / ${median[$2]}" | bc -l | xargs printf '%.1f'
  else
    echo "-"
  fi
}
seconds() { if [ -n "${median[$1]:-}" ]; then printf '%.3f s' "${median[$1]}"; else echo "not run"; fi; }
row() { echo "| $1 | $2 | $3 | $(seconds "$4") | $([ "$4" = "$5" ] && echo 1.0 || ratio "$4" "$5") |"; }

echo
echo "| Task | File | Tool | Time (median) | Peer / ours |"
echo "|---|---|---|---|---|"
for tag in ours lo; do
  [ "$tag" = lo ] && [ ! -f "$lo_xls" ] && continue
  file="$tag.xls ($([ "$tag" = ours ] && echo "our writer" || echo "LibreOffice"))"
  row open "$file" "ln40cli xls2csv (ours)" "ours_$tag" "ours_$tag"
  row open "$file" "python3-xlrd" "xlrd_$tag" "ours_$tag"
  row open "$file" "xls2csv (catdoc)" "catdoc_$tag" "ours_$tag"
  row open "$file" "ssconvert (Gnumeric)" "gnumeric_$tag" "ours_$tag"
  row open "$file" "soffice --convert-to csv (LibreOffice)" "lo_$tag" "ours_$tag"
done
row save runners.csv "ln40cli csv2xls (ours)" save_ours save_ours
row save runners.csv "python3-xlwt" save_xlwt save_ours
row save runners.csv "ssconvert (Gnumeric)" save_gnumeric save_ours
if [ -n "$sparse_seconds" ]; then
  printf '| open | corners.xls (4 cells, A1 to IV65536) | ln40cli xls2csv (ours) | %.3f s, %d MB memory | - |\n' \
    "$sparse_seconds" "$sparse_mb"
fi

# goal WHAT VALUE TARGET: VALUE at least TARGET.
goal() {
  local what=$1 value=$2 target=$3
  if [ "$value" = "-" ]; then
    echo "- $what: not measured"
  elif (($(echo "$value >= $target" | bc -l))); then
    echo "- $what: $value times (goal $target): met"
  else
    echo "- $what: $value times (goal $target): NOT met"
  fi
}
echo
echo "Goals:"
for tag in ours lo; do
  [ "$tag" = lo ] && [ ! -f "$lo_xls" ] && continue
  goal "open $tag.xls, python3-xlrd / ours" "$(ratio "xlrd_$tag" "ours_$tag")" 20
  goal "open $tag.xls, catdoc / ours" "$(ratio "catdoc_$tag" "ours_$tag")" 5
done
goal "save, python3-xlwt / ours" "$(ratio save_xlwt save_ours)" 20
if [ -n "$sparse_seconds" ]; then
  verdict=$( (($(echo "$sparse_seconds < 0.3" | bc -l))) && [ $((sparse_kib * 1024)) -lt 100000000 ] && echo met || echo "NOT met")
  printf -- '- open corners.xls: %.3f s and %d MB (goal under 0.3 s and 100 MB): %s\n' "$sparse_seconds" \
    "$sparse_mb" "$verdict"
else
  echo "- open corners.xls: not measured"
fi
if [ ${#notes[@]} -gt 0 ]; then
  echo
  echo "Notes:"
  printf -- '- %s\n' "${notes[@]}"
fi
