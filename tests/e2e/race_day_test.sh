#!/usr/bin/env bash
# A race day through the command-line tool: 200 entries imported from the club system's file
# into a workbook, vacant places and a seeded start draw, a headless timing station fed by
# the simulated reader (finish times for those start numbers, unknown and repeated numbers,
# two lines lost on the way and sent again by the reader), then the result list. The places
# must be exactly the expected ones and both logs must hold every message once.
set -u
cli=$1
sim=$2
python=/usr/bin/python3
work=$(mktemp -d)
sim_pid=
serve_pid=
cleanup() {
  [ -n "$serve_pid" ] && kill "$serve_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/test_helpers.sh"

# --- The entry file: 200 runners in four classes --------------------------------------
"$python" - "$work/entries.xml" <<'EOF'
import sys
classes = [("H21", 60), ("D21", 50), ("H40", 50), ("D40", 40)]
clubs = ["IL Nord", "OK Sør", "Bækkelaget", "IL Vest"]
out = ['<?xml version="1.0" encoding="UTF-8"?>', "<EntryList>", "<Eventname>Vårløpet</Eventname>"]
n = 0
for klass, count in classes:
    for i in range(count):
        n += 1
        out += ["<SingleEntry>", '<EntryClass shortName="%s"/>' % klass,
                '<Person sex="%s" clubName="%s">' % ("F" if klass[0] == "D" else "M", clubs[n % 4]),
                "<PersonName><Family>Løper%03d</Family><Given>%s</Given></PersonName>" % (n, klass),
                '<Identity value="%d"/>' % (5000 + n), "</Person>", "</SingleEntry>"]
out.append("</EntryList>")
open(sys.argv[1], "w", encoding="utf-8").write("\n".join(out) + "\n")
EOF

"$cli" entries "$work/entries.xml" "$work/entries.xls" --race-out "$work/race.txt" 2> "$work/entries.err"
check "entries exits 0" test $? -eq 0
check "200 entries imported" grep -q 'Entries imported: 200' "$work/entries.err"
race=$(cat "$work/race.txt")
check "race name from the entry file" test "$race" = "Vårløpet"

# --- Start draw: vacant places before the classes, a repeatable draw ------------------
"$cli" assign "$work/entries.xls" "$work/startlist.xls" --vacant H21=2,D21=1,H40=3,D40=0 --seed 2026 \
  --nulltime 10:00:00 --locale nb-NO
check "assign exits 0" test $? -eq 0
"$cli" xls2csv "$work/startlist.xls" "$work/startlist.csv" --locale nb-NO
check "the start list workbook reads back" test $? -eq 0
check "206 rows: 200 runners and 6 vacant places" test "$(tail -n +2 "$work/startlist.csv" | wc -l)" -eq 206
check "start numbers 1 to 206" test "$(tail -n +2 "$work/startlist.csv" | cut -d, -f7 | sort -n | tr '\n' ' ')" = \
  "$(seq 1 206 | tr '\n' ' ')"

# --- What the reader will report, and what must come of it ----------------------------
# Every runner but a few who do not finish; some equal net times; three start numbers that
# are not in the sheet (one of them twice); five runners whose first time is replaced by a
# second one. The reader clock stands at zero at the nulltime 10:00:00.
"$python" - "$work" <<'EOF'
import csv, random, sys
work = sys.argv[1]
rows = list(csv.reader(open(work + "/startlist.csv", encoding="utf-8", newline="")))[1:]
def seconds(text):
    h, m, s = map(int, text.split(":"))
    return h * 3600 + m * 60 + s
def clock(text_seconds):
    ms = (text_seconds - 10 * 3600) * 1000
    return "%03d:%02d.%03d" % (ms // 60000, ms // 1000 % 60, ms % 1000)
def hms(s):
    return "%02d:%02d:%02d" % (s // 3600 % 24, s // 60 % 60, s % 60)
rng = random.Random(13)
runners = [r for r in rows if r[0]]
events = []  # (finish second, start number, order key)
final = {}   # start number -> (class, name, club, net seconds)
by_class = {}
for r in runners:
    if rng.random() < 0.06:
        continue  # did not finish
    start = seconds(r[8])
    net = rng.randint(20 * 60, 50 * 60)
    by_class.setdefault(r[2], []).append((r, start, net))
for klass, entries in by_class.items():
    # Equal net times: three pairs in every class.
    for i in range(3):
        a, b = entries[2 * i], entries[2 * i + 1]
        entries[2 * i + 1] = (b[0], b[1], a[2])
    for r, start, net in entries:
        events.append((start + net, int(r[6])))
        final[int(r[6])] = (klass, (r[0] + " " + r[1]).strip(), r[3], net)
# Five runners get an earlier wrong time first; the later message is the one that counts.
for number in sorted(final)[5:30:5]:
    finish = next(e[0] for e in events if e[1] == number)
    events.append((finish - 300, number))
# Unknown start numbers: the station adds them as unknown runners who started at the
# nulltime; 901 comes twice, the second time counts.
unknown = [(10 * 3600 + 1800, 900), (10 * 3600 + 2000, 901), (10 * 3600 + 2100, 901), (10 * 3600 + 2400, 950)]
events += unknown
for finish, number in unknown:
    final[number] = ("NOCLAS", "Unknown Runner", "", finish - 10 * 3600)
events.sort()
with open(work + "/script.txt", "w") as script, open(work + "/expected_bfg.txt", "w", encoding="cp1252") as bfg, \
        open(work + "/expected_chronex.txt", "w") as chronex:
    for i, (finish, number) in enumerate(events):
        kind = "AB"[i % 2]
        script.write("%s01%06d%s\n" % (kind, number, clock(finish)))
        bfg.write('"Vårløpet"|"%d"|"Runde 1"|"%s"|""|\n' % (number, hms(finish)))
        chronex.write('"%s","0","1","%d"\n' % (kind, number))
# The expected result list: by class, by net time, equal times share a place.
with open(work + "/expected_results.txt", "w", encoding="utf-8") as out:
    for klass in sorted({v[0] for v in final.values()}):
        ranked = sorted((v[3], v[1], v[2]) for v in final.values() if v[0] == klass)
        out.write("class %s\n" % klass)
        lines, place, previous = [], 0, None
        for i, (net, name, club) in enumerate(ranked):
            if net != previous:
                place = i + 1
            previous = net
            lines.append("%d|%s|%s|%s" % (place, name, club, hms(net)))
        out.write("".join(sorted(l + "\n" for l in lines)))
print(len(events), file=open(work + "/message_count.txt", "w"))
EOF
messages=$(cat "$work/message_count.txt")

# --- The race: the reader on a pseudo-terminal, the station without a screen ----------
"$sim" --fast --script "$work/script.txt" --drop 17,120 --ack-timeout 1500 --wait-for-program \
  --link "$work/reader" --sent "$work/sent.txt" --exit-when-done --linger 1000 \
  > "$work/sim.out" 2> "$work/sim.err" &
sim_pid=$!
wait_for 10 test -L "$work/reader" || { echo "FAILED: the simulator did not start"; exit 1; }
"$cli" serve --port "$work/reader" --sheet "$work/startlist.xls" --data-dir "$work/data" --nulltime 10:00:00 \
  --race "$race" --sub "Runde 1" --date 2026-05-02 --locale nb-NO --sheet-out "$work/final.csv" \
  --save "$work/final.xls" --table "$work/times.csv" < /dev/null 2> "$work/serve.err" &
serve_pid=$!
wait "$sim_pid"
check "the simulator ends once every message is acknowledged" test $? -eq 0
sim_pid=
kill -TERM "$serve_pid"
wait "$serve_pid"
check "serve stops cleanly on SIGTERM" test $? -eq 0
serve_pid=

summary=$(tail -n 1 "$work/sim.err")
echo "$summary"
check "every message sent once and acknowledged" grep -q "sent $messages, retried 2, .*acknowledged $messages," <<< "$summary"
check "the two lost lines were sent again" test "$(grep -c '^drop ' "$work/sent.txt") $(grep -c '^retry ' "$work/sent.txt")" = "2 2"
check "one status line per message" test "$(grep -c '^ln40cli: #' "$work/serve.err")" -eq "$messages"
check "status on connection and end" grep -q 'connected to' "$work/serve.err"

# --- Both logs hold every message exactly once ----------------------------------------
bfg=$(ls "$work/data"/BFG_*.log)
check "BFG log: every message once" cmp <(tr -d '\r' < "$bfg" | sort) <(sort "$work/expected_bfg.txt")
check "Chronex log: every message once" cmp <(tr -d '\r' < "$work/data/Chronex.log" | cut -d, -f1-4 | sort) \
  <(sort "$work/expected_chronex.txt")
check "read-times table: every message once" test "$(tail -n +3 "$work/times.csv" | wc -l)" -eq "$messages"

# --- The result list ------------------------------------------------------------------
"$cli" results "$work/final.csv" "$work/Results.htm" --race "$race" --locale nb-NO 2> "$work/results.err"
check "results exits 0" test $? -eq 0
parse_results() {
  "$python" - "$1" <<'EOF'
import re, sys
html = open(sys.argv[1], encoding="cp1252").read()
for row in re.findall(r"<tr>(.*?)</tr>", html, re.S)[1:]:
    cells = [re.sub(r"<[^>]*>", "", c).strip() for c in re.findall(r"<td[^>]*>(.*?)</td>", row, re.S)]
    if 'colspan' in row:
        print("class " + cells[1])
    elif cells[1]:
        print("|".join(cells[1:5]))
EOF
}
# Inside a class, runners with equal times may come in either order: compare each class's
# lines sorted, the classes in their order.
"$python" - "$work/expected_results.txt" <(parse_results "$work/Results.htm") > "$work/compare.txt" <<'EOF'
import sys
def blocks(path):
    out, current = [], None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("class "):
            current = [line, []]
            out.append(current)
        else:
            current[1].append(line)
    return [(c, sorted(lines)) for c, lines in out]
expected, actual = blocks(sys.argv[1]), blocks(sys.argv[2])
print("same" if expected == actual else "expected %r\nactual %r" % (expected, actual))
EOF
check "the result list has exactly the expected places" test "$(head -c 4 "$work/compare.txt")" = same
grep -q same "$work/compare.txt" || head -c 3000 "$work/compare.txt"
check "some places are shared" grep -q . <(grep -v '^class' "$work/expected_results.txt" | cut -d'|' -f1 | uniq -d)
check "unknown runners are listed under NOCLAS" \
  test "$(parse_results "$work/Results.htm" | sed -n '/^class NOCLAS/,$p' | tail -n +2 | tr '\n' ' ')" = \
  "1|Unknown Runner||00:30:00 2|Unknown Runner||00:35:00 3|Unknown Runner||00:40:00 "

# The saved workbook and the autosave hold the same sheet; the list from the workbook is
# the same page.
"$cli" results "$work/final.xls" "$work/Results_xls.htm" --race "$race" --locale nb-NO 2> /dev/null
check "the list from the saved workbook is the same" cmp "$work/Results.htm" "$work/Results_xls.htm"
check "autosave written at the end" test -s "$work/data/autosave.xls"
"$cli" xls2csv "$work/data/autosave.xls" "$work/autosave.csv" --locale nb-NO
check "the autosave holds the final sheet" cmp "$work/autosave.csv" "$work/final.csv"

echo "$passes passed, $failures failed"
test "$failures" -eq 0
