#!/usr/bin/env bash
# A timing station stopped cleanly and started again on the same data folder: the second
# start is a new run (an empty read-times table, the runner sheet as loaded), and its
# autosaves must not carry away what the first run left. The first run's autosave.xls and
# autosave.bak stay in the folder under dated names (autosave-YYYY-MM-DD-HHMM.xls, the time
# each file was written), as workbooks that open into the first run's runner sheet with its
# times, while autosave.xls goes on with the new run. `ln40cli journal` lists both runs.
set -u
cli=$1
sim=$2
work=$(mktemp -d)
data=$work/data
sim_pid=
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/test_helpers.sh"

# The start list: six runners, start numbers 1 to 6.
printf 'Fornavn,Etternavn,Klasse,Klubb,Kj\xc3\xb8nn,L\xc3\xb8ype,Startnr,Brikkenr,Starttid,Kid,Inkomst,Sluttid\r\n' \
  > "$work/runners.csv"
for n in 1 2 3 4 5 6; do
  printf 'Kari%d,Dahl,H21,IL Nord,K,1,%d,,10:%02d:00,,,\r\n' "$n" "$n" "$n" >> "$work/runners.csv"
done
"$cli" csv2xls "$work/runners.csv" "$work/runners.xls" --locale nb-NO
check "the start list workbook is made" test $? -eq 0
# The first run's reader reports start numbers 1, 3 and 5; the second run's 2 and 4.
printf 'A01000001031:02.000\nA01000003032:03.000\nA01000005033:04.000\n' > "$work/run1.txt"
printf 'A01000002041:00.000\nA01000004042:00.000\n' > "$work/run2.txt"

# run_station N SIGNAL [OPTION...]: serve on the data folder with the OPTIONs, the reader
# sending run N's script; serve runs until the reader has every acknowledgement and
# `until_done` succeeds, then is stopped by SIGNAL. `before_reader` runs between the
# start of serve and that of the reader.
run_station() {
  local n=$1 signal=$2; shift 2
  "$cli" serve --port "$work/reader" --data-dir "$data" --sheet "$work/runners.xls" --nulltime 10:00:00 \
    --locale nb-NO --sheet-out "$work/sheet$n.csv" --table "$work/table$n.csv" "$@" \
    < /dev/null 2> "$work/serve$n.err" &
  serve_pid=$!
  before_reader
  "$sim" --script "$work/run$n.txt" --fast --wait-for-program --link "$work/reader" --sent "$work/sent$n.txt" \
    --exit-when-done --linger 200 > /dev/null 2> "$work/sim$n.err" &
  sim_pid=$!
  check "run $n: the reader has its acknowledgements" wait_for 20 gone "$sim_pid"
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid"
  sim_pid=
  check "run $n: autosave ticks pass" wait_for 20 until_done
  kill "-$signal" "$serve_pid"
  wait "$serve_pid"
  check "run $n: serve stops cleanly on SIG$signal" test $? -eq 0
  serve_pid=
}
same() { cmp -s "$1" "$2"; }
inode() { stat -c %i "$1" 2>/dev/null; }

# --- Run 1: serve waits for the reader (--reconnect) and autosaves every 2 s; once the
# first tick has saved the tables without times the reader sends three; Ctrl+C. So
# autosave.bak usually holds the tables without times (unless a tick came between the
# last time and the stop) and autosave.xls the three times. ---------------------------------
before_reader() { check "run 1: the first autosave tick" wait_for 20 test -f "$data/autosave.xls"; }
until_done() { true; }
run_station 1 INT --reconnect --autosave-every 2
cp "$data/autosave.xls" "$work/run1.xls"
[ -f "$data/autosave.bak" ] && cp "$data/autosave.bak" "$work/run1.bak"
check "run 1: the runner sheet got its three times" \
  test "$(tail -n +2 "$work/sheet1.csv" | awk -F, '$11 != ""' | cut -d, -f7 | tr -d '\r\n')" = 135

# --- Run 2: a new run; several autosave ticks (autosave.bak is the new run's and
# autosave.xls was replaced once more), then SIGTERM. ---------------------------------------
before_reader() { true; }
tick_seen=
until_done() {
  [ -f "$data/autosave.bak" ] || return 1
  same "$data/autosave.bak" "$work/run1.xls" && return 1
  [ -f "$work/run1.bak" ] && same "$data/autosave.bak" "$work/run1.bak" && return 1
  [ -n "$tick_seen" ] || tick_seen=$(inode "$data/autosave.xls")
  [ "$(inode "$data/autosave.xls")" != "$tick_seen" ]
}
run_station 2 TERM --autosave-every 1

check "run 2 began with an empty read-times table" \
  test "$(tr -d '\r' < "$work/table2.csv" | sed -n '3,$p' | awk -F, '{print $2}' | tr '\n' ' ')" = "2 4 "
check "run 2 is a run of its own in the journal" \
  test "$("$cli" journal "$data" | tr -d '\r' | awk -F, '$5 != "-" && NR > 1 {print $2 ":" substr($5, 4, 6) + 0}' |
        tr '\n' ' ')" = "1:1 1:3 1:5 2:2 2:4 "
check "run 2 said it kept the previous run's autosave" \
  grep -Eq "^ln40cli: Kept the previous run's autosave as autosave-[0-9-]+\.xls" "$work/serve2.err"

# The dated files: each named for the time it was written, each one of run 1's files.
dated=()
for file in "$data"/autosave-*.xls; do [ -f "$file" ] && dated+=("$file"); done
echo "dated files: ${dated[*]##*/}"
check "the previous run's autosaves are kept under dated names" test "${#dated[@]}" -ge 1
named_for_its_time() {
  local name=${1##*/}
  [[ $name =~ ^autosave-([0-9]{4}-[0-9]{2}-[0-9]{2}-[0-9]{4})(-[0-9]+)?\.xls$ ]] &&
    [ "${BASH_REMATCH[1]}" = "$(date -r "$1" +%Y-%m-%d-%H%M)" ]
}
one_of_run_1() { same "$1" "$work/run1.xls" || { [ -f "$work/run1.bak" ] && same "$1" "$work/run1.bak"; }; }
for file in "${dated[@]}"; do
  check "${file##*/} is named for the time it was written" named_for_its_time "$file"
  check "${file##*/} is one of the previous run's files" one_of_run_1 "$file"
done
kept_as() {  # kept_as FILE: the dated file with FILE's bytes
  local file
  for file in "${dated[@]}"; do same "$file" "$1" && { echo "$file"; return 0; }; done
  return 1
}
kept_final=$(kept_as "$work/run1.xls")
check "run 1's last autosave.xls is kept" test -n "$kept_final"
if [ -f "$work/run1.bak" ]; then
  check "run 1's autosave.bak is kept" eval 'kept_as "$work/run1.bak" > /dev/null'
fi
if [ -n "$kept_final" ]; then
  check "it opens into run 1's runner sheet with its times" \
    cmp <("$cli" xls2csv "$kept_final" --locale nb-NO) "$work/sheet1.csv"
fi
check "autosave.xls holds the new run's runner sheet" \
  cmp <("$cli" xls2csv "$data/autosave.xls" --locale nb-NO) "$work/sheet2.csv"
check "the new run's runner sheet has its own two times only" \
  test "$(tail -n +2 "$work/sheet2.csv" | awk -F, '$11 != ""' | cut -d, -f7 | tr -d '\r\n')" = 24

# The journal of the folder: both runs' messages as CSV, and as the raw stream that feed
# handles into the same read-times table the runs had.
"$cli" journal "$data" > "$work/journal.csv"
check "ln40cli journal lists the folder's journal" test $? -eq 0
check "it lists run 1's and run 2's messages, acknowledged and handled" \
  test "$(grep -E '^[0-9]+,[12],[^,]*,message,[ABCDF]' "$work/journal.csv" | cut -d, -f2,5-7 | tr -d '\r' | tr '\n' ' ')" \
  = "1,A01000001031:02.000,yes,yes 1,A01000003032:03.000,yes,yes 1,A01000005033:04.000,yes,yes 2,A01000002041:00.000,yes,yes 2,A01000004042:00.000,yes,yes "
"$cli" journal "$data" --raw --run 2 | "$cli" feed --nulltime 10:00:00 --locale nb-NO --data-dir "$work/feed" \
  --table "$work/fed2.csv"
check "journal --raw --run 2 fed again gives run 2's read-times table" \
  cmp <(cut -d, -f1-5 "$work/fed2.csv") <(cut -d, -f1-5 "$work/table2.csv")

echo "$passes passed, $failures failed"
test "$failures" -eq 0
