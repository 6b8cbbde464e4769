#!/usr/bin/env bash
# ln40cli serve while its data folder cannot be written, on real file systems the test
# mounts: a small tmpfs that fills up (a filler file written while serve runs, removed
# later), and an ext4 image that turns read-only under the running station as on a disk
# error (errors=remount-ro and the kernel's trigger_fs_error). A folder that became
# read-only that way does not come back; the operator's remedy is a working disk mounted on
# the folder, and the station must then write there the whole journal, the lines from
# before the failure as well as those it kept in memory. In both cases: every message is
# acknowledged while the folder cannot be written (none is sent twice), the warning shows
# on stderr until the journal is written again, and the journal then holds every line in
# order, once, acknowledged and handled. The logs lose the lines the disk has no room for
# (each reported), but every line they hold is whole: none is cut short or glued to the next.
# Needs root for the mounts; without them the test is skipped (status 77).
set -u
cli=$1
sim=$2
work=$(mktemp -d)
sim_pid=
serve_pid=
mounts=()  # mount points, one entry per mount, unmounted last first
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null && wait "$serve_pid"
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid"
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}"; done
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/test_helpers.sh"
# whole_lines FILE PATTERN: every line of FILE ends in CR LF and matches the extended regular
# expression PATTERN whole.
whole_lines() {
  [ ! -s "$1" ] || [ "$(tail -c 2 "$1" | od -An -c | tr -d ' ')" = '\r\n' ] || return 1
  LC_ALL=C awk -v pattern="^($2)\r\$" '$0 !~ pattern { exit 1 }' "$1"
}
mount_tmpfs() {  # mount_tmpfs DIR: a 8 MB tmpfs on DIR
  mkdir -p "$1" && mount -t tmpfs -o size=8m tmpfs "$1" 2> "$work/mount.err" && mounts+=("$1")
}

# station NAME DATA BREAK REPAIR REASON: a reader sending 40 messages and serve on the data
# folder DATA. After 8 messages BREAK makes the folder unwritable; serve must warn with
# REASON. After 5 more messages REPAIR makes it writable again.
station() {
  local name=$1 data=$2 break=$3 repair=$4 reason=$5 dir=$work/$1
  mkdir -p "$dir"
  echo "--- $name"
  "$sim" --fast --count 40 --rate 10 --seed 5 --wait-for-program --link "$dir/reader" --sent "$dir/sent.txt" \
    --exit-when-done --linger 300 > /dev/null 2> "$dir/sim.err" &
  sim_pid=$!
  wait_for 10 test -L "$dir/reader"
  "$cli" serve --port "$dir/reader" --data-dir "$data" --nulltime 10:00:00 --locale nb-NO --autosave-every 1 \
    --table "$dir/table.csv" --sheet-out "$dir/sheet.csv" < /dev/null 2> "$dir/serve.err" &
  serve_pid=$!
  handled() { [ "$(grep -c '^ln40cli: #' "$dir/serve.err")" -ge "$1" ]; }
  local warning="ln40cli: warning: The journal $data/journal.sqlite cannot be written: $reason."
  local written_again='ln40cli: The journal is written again; no line was lost'

  check "$name: 8 messages handled while the folder can be written" wait_for 20 handled 8
  check "$name: the folder made unwritable" "$break"
  check "$name: the warning shows" wait_for 10 grep -qF "$warning" "$dir/serve.err"
  check "$name: messages go on being handled" \
    wait_for 20 handled $(($(grep -c '^ln40cli: #' "$dir/serve.err") + 5))
  check "$name: the folder made writable again" "$repair"
  check "$name: the journal is written again" wait_for 10 grep -qF "$written_again" "$dir/serve.err"
  check "$name: the reader has all its acknowledgements" wait_for 30 gone "$sim_pid"
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid"
  sim_pid=
  kill -TERM "$serve_pid"
  wait "$serve_pid"
  check "$name: serve stops cleanly" test $? -eq 0
  serve_pid=

  check "$name: every message acknowledged at the first sending" \
    grep -q '^ln40sim: sent 40, retried 0, .*acknowledged 40,' "$dir/sim.err"
  check "$name: the warning stayed while 5 or more messages came, until the journal was written again" \
    awk -v warning="$warning" -v again="$written_again" '
      index($0, warning) == 1 && !seen { seen = 1 }
      seen && /^ln40cli: #/ { messages++ }
      $0 == again && seen { ok = messages >= 5; exit }
      END { exit !ok }' "$dir/serve.err"
  grep '^send ' "$dir/sent.txt" | cut -c6- > "$dir/sent_once.txt"
  check "$name: 40 distinct messages sent" test "$(sort -u "$dir/sent_once.txt" | wc -l)" -eq 40
  tr -d '\r' < "$dir/table.csv" | sed -n '3,$p' | awk -F, '{print $NF}' | tr -d '"' > "$dir/in_table.txt"
  check "$name: the read-times table holds every message once, in order" cmp -s "$dir/in_table.txt" "$dir/sent_once.txt"
  # Journal columns: sequence,run,arrival,kind,line,acknowledged,handled. The reader's
  # answers to the probes ("-") are journaled too; the data messages are compared.
  "$cli" journal "$data" > "$dir/journal.csv"
  check "$name: the journal can be listed" test $? -eq 0
  tr -d '\r' < "$dir/journal.csv" | tail -n +2 | awk -F, '$5 != "-"' | cut -d, -f4- > "$dir/journaled.txt"
  sed 's/.*/message,&,yes,yes/' "$dir/sent_once.txt" > "$dir/expected_journal.txt"
  check "$name: the journal holds every message in order, once, acknowledged and handled" \
    cmp "$dir/journaled.txt" "$dir/expected_journal.txt"
  check "$name: the journal's sequence numbers rise without gaps" \
    awk -F, 'NR > 1 && $1 != NR - 1 { exit 1 }' "$dir/journal.csv"
  check "$name: the autosave is written again, with the runner sheet at the end" \
    cmp -s <("$cli" xls2csv "$data/autosave.xls" --locale nb-NO) "$dir/sheet.csv"
  check "$name: every line of Chronex.log is whole" \
    whole_lines "$data/Chronex.log" '("[A-F]","[0-9]","[0-9]","[0-9]*","[^"]*","[^"]*",00000,0000,0000)?'
  check "$name: every line of the BFG log is whole" \
    whole_lines "$(echo "$data"/BFG_*.log)" '"Test race"[|]"[0-9]*"[|]"10[.]10[.]04"[|]"[^"]*"[|]""[|]'
}

# --- A full disk ---------------------------------------------------------------------------
full=$work/full
if ! mount_tmpfs "$full"; then
  echo "SKIPPED: cannot mount a tmpfs: $(cat "$work/mount.err")"
  exit 77
fi
fill_disk() {  # until nothing is left
  dd if=/dev/zero of="$full/filler" bs=64k 2> /dev/null
  test "$(df --output=avail "$full" | tail -n 1)" -eq 0
}
free_disk() { rm "$full/filler"; }
station full-disk "$full" fill_disk free_disk 'No space left on device'

# --- A folder turning read-only -------------------------------------------------------------
ext=$work/ext
truncate -s 16M "$work/ext4.img"
mkdir -p "$ext"
skipped=
if ! mkfs.ext4 -q -F "$work/ext4.img" > "$work/mount.err" 2>&1 ||
   ! mount -o loop,errors=remount-ro "$work/ext4.img" "$ext" >> "$work/mount.err" 2>&1; then
  skipped="cannot mount an ext4 image: $(cat "$work/mount.err")"
else
  mounts+=("$ext")
  device=$(basename "$(readlink "/sys/dev/block/$(mountpoint -d "$ext")")")
  trigger=/sys/fs/ext4/$device/trigger_fs_error
  [ -w "$trigger" ] || skipped="no $trigger to turn the file system read-only"
fi
if [ -z "$skipped" ]; then
  # The kernel's answer to a disk error: read-only at once, under the open files.
  fail_disk() { echo "disk error (test)" > "$trigger"; }
  # The operator mounts a working disk on the folder; the broken one stays underneath
  # until the station lets go of its files.
  mount_working_disk() { mount_tmpfs "$ext"; }
  station read-only "$ext" fail_disk mount_working_disk 'Read-only file system'
  check "read-only: the journal was written again complete on the new disk" \
    grep -q "^ln40cli: The journal $ext/journal.sqlite was removed while in use. It was written again complete.$" \
    "$work/read-only/serve.err"
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] || exit 1
if [ -n "$skipped" ]; then
  echo "SKIPPED (the read-only folder): $skipped"
  exit 77
fi
