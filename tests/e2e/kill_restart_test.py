#!/usr/bin/env python3
"""A timing station killed at random instants and started again, while the reader sends.

ln40sim sends generated messages at the real 1200 baud pace (about 0.17 s a message), so
the kills fall inside messages. The station is killed with SIGKILL, started again with the
same command line on the same data folder and the same reader link (the simulator keeps the
reader alive and sends again what was not acknowledged), and at the end stopped cleanly.
Each kill comes at a random time after the start; some wait first for the journal to take in
a line and then kill at once (between a line's entry and its acknowledgement, or just after),
and for serve some fall around its first autosave tick or while an autosave is being written
(the runner sheet holds 3000 more runners, so that an autosave takes some time).
Then every message the simulator sent must be in the read-times table exactly once, in the
order sent, with the time it gives; Chronex.log and the BFG log must hold exactly one line
per message, in order; the runner sheet must be exactly what one uninterrupted run makes of
it: the finish time ("Inkomst") and net time ("Sluttid") of every runner whose start number
came, and one unknown runner for every message whose start number is not in the sheet.

    kill_restart_test.py serve CLI SIM [--kills K] [--messages N]
    kill_restart_test.py window CLI SIM LN40UTIL [--kills K] [--messages N]

serve:  ln40cli serve --sheet (odd start numbers, with start times) --autosave-every 2,
        milliseconds kept; the tables from --table and --sheet-out.
window: ln40util on Qt's offscreen platform with a settings file (autosave on, nulltime
        10:00:00), closed with SIGTERM at the end; the tables from the final autosave.xls
        (sheets "Excel" and "LN40", read with python3-xlrd by /usr/bin/python3; the test is
        skipped without it). The window has no option for a runner sheet: the data folder
        is prepared by `ln40cli serve --sheet` that is killed after its first autosave, so
        the window's first start restores that interrupted run, runner sheet included, and
        goes on with it, as a station taken over by the window would.

The kill instants come from a seed, printed at the start; LN40_KILL_SEED sets it. On a
failure the work folder is kept (its path and the seed are printed), with the journal listed
as journal.csv and each station run's stderr.
"""
import argparse
import csv
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

NULLTIME_S = 10 * 3600
DAY_MS = 24 * 3600 * 1000
SKIP = 77

XLS_DUMP = r"""
import json, sys
import xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
out = {}
for sheet in book.sheets():
    rows = []
    for r in range(sheet.nrows):
        row = []
        for cell in sheet.row(r):
            fmt = book.format_map[book.xf_list[cell.xf_index].format_key].format_str
            row.append([cell.ctype, cell.value, fmt])
        rows.append(row)
    out[sheet.name] = rows
json.dump(out, sys.stdout)
"""


# ---- what the messages must give --------------------------------------------------------

def hms(ms, keep_ms=False):
    ms %= DAY_MS
    text = "%02d:%02d:%02d" % (ms // 3600000, ms // 60000 % 60, ms // 1000 % 60)
    return text + (".%03d" % (ms % 1000) if keep_ms else "")


class Message:
    """A generated message, e.g. A01000007000:03.752, and what the station makes of it."""

    def __init__(self, text, keep_ms):
        self.text = text
        self.kind = text[0]
        self.n = int(text[3:9])
        self.clock = text[9:19]
        clock_ms = (int(text[9:12]) * 60 + int(text[13:15])) * 1000 + int(text[16:19])
        # Without millisecond mode the time of day is the nulltime plus whole seconds.
        self.time_ms = NULLTIME_S * 1000 + (clock_ms if keep_ms else clock_ms // 1000 * 1000)
        self.time_text = hms(self.time_ms, keep_ms)
        self.start_number = str(self.n) if self.kind in "AB" else ""


def runner_start_ms(n):
    return (9 * 3600 + n * 37 % 3600) * 1000


def net_time(finish_ms, start_ms):
    return hms(abs(finish_ms - start_ms))


# Runners whose start numbers never come: they make each autosave long enough (some tens of
# milliseconds) for kills to fall inside its writing.
EXTRA_RUNNERS = 3000


def initial_sheet(messages_count):
    """The runner sheet given to serve --sheet: the odd start numbers, with start times."""
    rows = []
    for n in range(1, messages_count + 1, 2):
        rows.append(["Runner%d" % n, "Odd", "H21" if n % 4 == 1 else "D21", "IL Kill", "", "", str(n), "",
                     hms(runner_start_ms(n)), "", "", ""])
    for n in range(100001, 100001 + EXTRA_RUNNERS):
        rows.append(["Runner%d" % n, "Absent", "H50", "IL Kill", "", "", str(n), "", hms(runner_start_ms(n)), "",
                     "", ""])
    return rows


def expected_sheet(messages, messages_count):
    """The runner sheet after one uninterrupted run over `messages`."""
    rows = initial_sheet(messages_count)
    by_number = {int(row[6]): row for row in rows}
    for m in messages:
        row = by_number.get(m.n) if m.start_number else None
        if row is not None:
            row[10] = m.time_text
            row[11] = net_time(m.time_ms, runner_start_ms(m.n))
        else:
            rows.append(["Unknown", "Runner", "NOCLAS", "", "", "", m.start_number, "", hms(NULLTIME_S * 1000), "",
                         m.time_text, net_time(m.time_ms, NULLTIME_S * 1000)])
    return rows


# ---- reading what the station left --------------------------------------------------------

def read_lines(path):
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        return [line.rstrip(b"\r\n").decode("cp1252", "replace") for line in f]


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        return list(csv.reader(f))


def cell_text(cell):
    """A workbook cell as the station's table shows it: numbers as integers, times as hh:mm:ss."""
    ctype, value, fmt = cell
    if ctype in (0, 6):  # empty, blank
        return ""
    if ctype == 1:
        return value
    if ctype in (2, 3):
        if ctype == 3 or "h" in fmt.lower():
            return hms(int(round(value * 86400 * 1000)) // 1000 * 1000)
        return str(int(value)) if value == int(value) else repr(value)
    return str(value)


def read_workbook(path):
    dump = subprocess.run(["/usr/bin/python3", "-c", XLS_DUMP, path], capture_output=True, text=True)
    if dump.returncode != 0:
        raise RuntimeError(dump.stderr.strip())
    sheets = json.loads(dump.stdout)
    return {name: [[cell_text(c) for c in row] for row in rows] for name, rows in sheets.items()}


# ---- the test -----------------------------------------------------------------------------

class Test:
    def __init__(self, args):
        self.args = args
        self.front = args.front
        env_seed = os.environ.get("LN40_KILL_SEED")
        self.seed = int(env_seed) if env_seed else random.SystemRandom().randrange(1, 1 << 31)
        self.rng = random.Random(self.seed)
        self.work = tempfile.mkdtemp(prefix="ln40kill.")
        self.data = os.path.join(self.work, "data")
        self.reader = os.path.join(self.work, "reader")
        self.sent_path = os.path.join(self.work, "sent.txt")
        self.results = []
        self.sim = None
        self.station = None
        self.runs = []  # (delay or None, exit status)
        self.keep_ms = self.front == "serve"
        if self.front == "serve":
            self.race, self.sub = "Kill race", "Heat 1"
        else:
            self.race, self.sub = "Test race", "10.10.04"

    def check(self, name, ok, detail=""):
        self.results.append(bool(ok))
        print(("ok: " if ok else "FAILED: ") + name + ("" if ok or not detail else " (%s)" % detail), flush=True)
        return ok

    # -- processes --

    def start_simulator(self):
        err = open(os.path.join(self.work, "sim.err"), "w")
        # Messages back to back at 1200 baud; the simulator ends once every one is acknowledged.
        self.sim = subprocess.Popen(
            [self.args.sim, "--count", str(self.args.messages), "--seed", str(self.seed), "--rate", "0",
             "--wait-for-program", "--link", self.reader, "--sent", self.sent_path, "--exit-when-done"],
            stdout=subprocess.DEVNULL, stderr=err)
        err.close()
        deadline = time.monotonic() + 10
        while not os.path.islink(self.reader):
            if time.monotonic() > deadline or self.sim.poll() is not None:
                raise RuntimeError("the simulator did not start")
            time.sleep(0.05)

    def station_command(self):
        if self.front == "serve":
            return [self.args.cli, "serve", "--port", self.reader, "--reconnect", "--sheet",
                    os.path.join(self.work, "sheet.csv"), "--data-dir", self.data, "--nulltime", "10:00:00", "--ms",
                    "--locale", "nb-NO", "--decimal-separator", ".", "--race", self.race, "--sub", self.sub,
                    "--autosave-every", "2", "--table", os.path.join(self.work, "table.csv"), "--sheet-out",
                    os.path.join(self.work, "sheet_out.csv")], None
        env = dict(os.environ)
        env.update({"QT_QPA_PLATFORM": "offscreen", "LN40UTIL_SETTINGS": os.path.join(self.work, "ln40util.conf"),
                    "LN40UTIL_EXTRA_PORTS": "ln40=" + self.reader, "HOME": self.work,
                    "XDG_CONFIG_HOME": os.path.join(self.work, "config"),
                    "XDG_DATA_HOME": os.path.join(self.work, "share"),
                    "XDG_RUNTIME_DIR": os.path.join(self.work, "runtime")})
        return [self.args.window, "--data-dir", self.data, "--locale", "nb-NO"], env

    def start_station(self):
        command, env = self.station_command()
        err = open(os.path.join(self.work, "run%02d.err" % len(self.runs)), "w")
        self.station = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=err, stderr=err, env=env)
        err.close()

    def kill_instant(self):
        """How the next run is killed: (seconds after its start, "write" for inside the next
        autosave's writing or "line" for as soon as the journal takes in a line, and a
        random wait after that)."""
        choice = self.rng.random()
        if choice < 0.2:
            # Between a line's entry in the journal and its acknowledgement, or just after.
            return "line", self.rng.uniform(0.5, 2.5)
        if self.front == "serve" and choice < 0.35:
            return "write", self.rng.uniform(0, 0.02)
        if self.front == "serve" and choice < 0.5:
            # Around the run's first autosave tick, two seconds after it started.
            return self.rng.uniform(1.85, 2.35), 0
        return self.rng.uniform(0.05, 4.5 if self.front == "serve" else 3.5), 0

    def wait_for_autosave_writing(self, timeout):
        # The run's own temporary files ("autosave.xls.tmp<pid>-<n>"); a killed run leaves
        # its own behind.
        prefixes = tuple("autosave.%s.tmp%d-" % (ext, self.station.pid) for ext in ("xls", "bak"))
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.station.poll() is None:
            if any(name.startswith(prefixes) for name in os.listdir(self.data)):
                return True
            time.sleep(0.001)
        return False

    def wait_for_journal_growth(self, timeout):
        """Until the journal's write-ahead log changes: a line (or its acknowledgement, or an
        autosave) has been written to it."""
        wal = os.path.join(self.data, "journal.sqlite-wal")

        def state():
            try:
                info = os.stat(wal)
                return info.st_size, info.st_mtime_ns
            except OSError:
                return None
        before = state()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.station.poll() is None:
            if state() != before:
                return True
            time.sleep(0.0002)
        return False

    def wait_for_connection(self, timeout):
        """Until the run has opened the port (its journal run has begun)."""
        path = os.path.join(self.work, "run%02d.err" % len(self.runs))
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.station.poll() is None:
            if any("connected to" in line for line in read_lines(path)):
                return
            time.sleep(0.02)

    def prepare(self):
        os.makedirs(self.data)
        os.makedirs(os.path.join(self.work, "runtime"), mode=0o700)
        with open(os.path.join(self.work, "sheet.csv"), "wb") as f:
            heading = ["Fornavn", "Etternavn", "Klasse", "Klubb", "Kj\xf8nn", "L\xf8ype", "Startnr", "Brikkenr",
                       "Starttid", "Kid", "Inkomst", "Sluttid"]
            for row in [heading] + initial_sheet(self.args.messages):
                f.write((";".join(row) + "\r\n").encode("cp1252"))
        if self.front == "window":
            with open(os.path.join(self.work, "ln40util.conf"), "w") as f:
                f.write('cbtidel=dword:00000000\ncbautosave=dword:00000001\ncbclear=dword:00000000\n'
                        'cbchronex=dword:00000001\ncbbfg=dword:00000001\nMaskEditEx1=sz:"10:00:00"\n'
                        'Edit3=sz:"%s"\nEdit2=sz:"%s"\ncbtrim=dword:00000001\ncbinsert=dword:00000001\n'
                        % (self.race, self.sub))
            self.seed_runner_sheet()

    def seed_runner_sheet(self):
        """An interrupted serve run holding the runner sheet in its first autosave."""
        err_path = os.path.join(self.work, "seed.err")
        with open(err_path, "w") as err:
            seed = subprocess.Popen(
                [self.args.cli, "serve", "--port", os.path.join(self.work, "no-reader"), "--reconnect", "--sheet",
                 os.path.join(self.work, "sheet.csv"), "--data-dir", self.data, "--nulltime", "10:00:00",
                 "--locale", "nb-NO", "--race", self.race, "--sub", self.sub, "--autosave-every", "1"],
                stdin=subprocess.DEVNULL, stderr=err)
        autosave = os.path.join(self.data, "autosave.xls")
        deadline = time.monotonic() + 30
        while not os.path.exists(autosave) and seed.poll() is None and time.monotonic() < deadline:
            time.sleep(0.05)
        seed.send_signal(signal.SIGKILL)
        seed.wait()
        if not os.path.exists(autosave):
            raise RuntimeError("the serve run that brings the runner sheet wrote no autosave: "
                               + " ".join(read_lines(err_path)))

    def run(self):
        print("kill test (%s): %d kills, %d messages, seed %d (LN40_KILL_SEED), work folder %s"
              % (self.front, self.args.kills, self.args.messages, self.seed, self.work), flush=True)
        self.prepare()
        self.start_simulator()
        began = time.monotonic()
        writes_hit = 0
        for _ in range(self.args.kills):
            delay, extra = self.kill_instant()
            self.start_station()
            if not self.runs and self.front == "serve":
                # The first run is killed only after it has begun the journal's run, so
                # that every later start has a run to restore.
                self.wait_for_connection(30)
            if delay == "write":
                writes_hit += self.wait_for_autosave_writing(10)
                time.sleep(extra)
            elif delay == "line":
                time.sleep(extra)  # the restored run's own entries are written first
                self.wait_for_journal_growth(10)
            else:
                time.sleep(delay)
            if self.station.poll() is None:
                self.station.send_signal(signal.SIGKILL)
            self.runs.append((delay, self.station.wait()))
        killed_at = time.monotonic() - began
        sim_running_at_last_kill = self.sim.poll() is None

        self.start_station()
        try:
            sim_status = self.sim.wait(timeout=60 + self.args.messages)
        except subprocess.TimeoutExpired:
            sim_status = None
        time.sleep(0.3)  # the last line's status on its way to stderr
        self.station.send_signal(signal.SIGTERM)
        try:
            status = self.station.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.station.kill()
            status = self.station.wait()
        self.runs.append((None, status))
        if writes_hit:
            print("%d kills while an autosave was being written" % writes_hit)
        print("kills done after %.1f s%s; all messages acknowledged after %.1f s"
              % (killed_at, "" if sim_running_at_last_kill else " (the reader had finished before the last kill)",
                 time.monotonic() - began), flush=True)
        self.check("the reader had every message acknowledged", sim_status == 0,
                   "simulator %s" % ("still running" if sim_status is None else "status %d" % sim_status))
        if sim_status is None:
            self.sim.terminate()
            self.sim.wait()
        summary = read_lines(os.path.join(self.work, "sim.err"))
        print(summary[-1] if summary else "(no simulator summary)")
        self.check_runs(status)
        self.check_tables_and_logs()

    # -- checks --

    def check_runs(self, final_status):
        early = [(i, d, s) for i, (d, s) in enumerate(self.runs[:-1]) if s != -signal.SIGKILL]
        self.check("every station run lived until it was killed", not early,
                   "runs that ended by themselves (run, delay, status): %s" % early[:5])
        self.check("the last run stopped cleanly on SIGTERM", final_status == 0, "status %s" % final_status)
        if self.front == "serve":
            # Every run after a kill that got as far as opening the port had restored the
            # interrupted run first.
            not_restored = []
            for i in range(1, len(self.runs)):
                err = "\n".join(read_lines(os.path.join(self.work, "run%02d.err" % i)))
                if "connected to" in err and "Restored " not in err.partition("connected to")[0]:
                    not_restored.append(i)
            self.check("every start after a kill restored the run before it opened the port", not not_restored,
                       "runs %s" % not_restored[:10])
            from_autosave = sum("after the last autosave" in "\n".join(read_lines(os.path.join(
                self.work, "run%02d.err" % i))) for i in range(1, len(self.runs)))
            print("restored from an autosave and the journal: %d of %d starts" % (from_autosave, len(self.runs) - 1))

    def check_tables_and_logs(self):
        sent = read_lines(self.sent_path)
        texts = [line[5:] for line in sent if line.startswith("send ")]
        retries = sum(line.startswith("retry ") for line in sent)
        print("sent %d messages, %d sent again for want of an acknowledgement" % (len(texts), retries))
        self.check("the reader sent every message once as new", len(texts) == self.args.messages and
                   len(set(texts)) == len(texts), "%d sent, %d distinct" % (len(texts), len(set(texts))))
        messages = [Message(t, self.keep_ms) for t in texts]

        # The journal, for the record and for a look after a failure.
        journal = subprocess.run([self.args.cli, "journal", self.data], capture_output=True, text=True)
        with open(os.path.join(self.work, "journal.csv"), "w") as f:
            f.write(journal.stdout)
        entries = list(csv.reader(journal.stdout.splitlines()))[1:]
        kinds = {}
        for entry in entries:
            kinds[entry[3]] = kinds.get(entry[3], 0) + 1
        print("journal:", ", ".join("%d %s" % (count, kind) for kind, count in sorted(kinds.items())))
        journaled = {}
        for entry in entries:
            if entry[3] == "message":
                journaled[entry[4]] = journaled.get(entry[4], 0) + 1
        twice = [t for t in texts if journaled.get(t, 0) != 1]
        self.check("the journal holds every message once as a message (fragments and repeats aside)",
                   journal.returncode == 0 and not twice, "%s" % [(t, journaled.get(t, 0)) for t in twice[:5]])

        if self.front == "serve":
            table = [row[:6] for row in read_csv(os.path.join(self.work, "table.csv"))[2:]]
            sheet = read_csv(os.path.join(self.work, "sheet_out.csv"))[1:]
        else:
            try:
                book = read_workbook(os.path.join(self.data, "autosave.xls"))
            except (RuntimeError, OSError, ValueError) as error:
                self.check("the final autosave reads back", False, str(error))
                return
            table = [row[:6] for row in book.get("Excel", [])[1:]]
            sheet = [row[:12] + [""] * (12 - len(row)) for row in book.get("LN40", [])]

        # The read-times table: each message once, in the order sent, numbered from 1. The
        # Data column holds the message with its CR (restored rows too), which a workbook,
        # the window's autosave, stores without.
        cr = "\r" if self.front == "serve" else ""
        expected = [[str(i + 1), m.start_number, m.clock, m.time_text, m.text + cr] for i, m in enumerate(messages)]
        actual = [[row[0], row[1], row[3], row[4], row[5]] for row in table]
        self.check("the read-times table holds every message exactly once, in order, with its time",
                   actual == expected, first_difference(actual, expected))

        bfg_name = "BFG_%s_%s.log" % (self.race, self.sub)
        logs = sorted(f for f in os.listdir(self.data) if f.endswith(".log"))
        self.check("the two logs and no other", logs == sorted([bfg_name, "Chronex.log"]), "%s" % logs)
        bfg = read_lines(os.path.join(self.data, bfg_name))
        expected_bfg = ['"%s"|"%s"|"%s"|"%s"|""|' % (self.race, m.start_number, self.sub, m.time_text)
                        for m in messages]
        self.check("the BFG log has exactly one line per message, in order", bfg == expected_bfg,
                   first_difference(bfg, expected_bfg))
        chronex = [line.split('","')[:4] for line in read_lines(os.path.join(self.data, "Chronex.log"))]
        chronex = [[fields[0].lstrip('"')] + fields[1:] for fields in chronex]
        expected_chronex = [[m.kind, "0", "1", m.start_number] for m in messages]
        self.check("Chronex.log has exactly one line per message, in order", chronex == expected_chronex,
                   first_difference(chronex, expected_chronex))

        # The runner sheet: finish and net time of every runner whose number came, one
        # unknown runner per message whose start number is not in the sheet.
        expected_rows = expected_sheet(messages, self.args.messages)
        self.check("the runner sheet is what one uninterrupted run makes of it", sheet == expected_rows,
                   first_difference(sheet, expected_rows))
        matched = sum(1 for row in sheet if row[2] != "NOCLAS" and row[10])
        print("runner sheet: %d runners with their finish and net time, %d unknown runners added"
              % (matched, sum(1 for row in sheet if row[2] == "NOCLAS")))

    def finish(self):
        for process in (self.station, self.sim):
            if process is not None and process.poll() is None:
                process.kill()
                process.wait()
        passed = sum(self.results)
        failed = len(self.results) - passed
        print("%d passed, %d failed" % (passed, failed))
        if failed == 0 and self.results:
            shutil.rmtree(self.work, ignore_errors=True)
            return 0
        print("kill test FAILED with seed %d (LN40_KILL_SEED=%d); work folder kept: %s"
              % (self.seed, self.seed, self.work))
        print("kill delays (s) and exit statuses of the station runs: %s"
              % ", ".join("%s:%s" % ("end" if d is None else d if isinstance(d, str) else "%.2f" % d, s)
                        for d, s in self.runs))
        return 1


def first_difference(actual, expected):
    for i, (a, e) in enumerate(zip(actual, expected)):
        if a != e:
            return "first difference at %d: %r, expected %r" % (i, a, e)
    if len(actual) != len(expected):
        return "%d rows, expected %d" % (len(actual), len(expected))
    return ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("front", choices=["serve", "window"])
    parser.add_argument("cli")
    parser.add_argument("sim")
    parser.add_argument("window", nargs="?")
    parser.add_argument("--kills", type=int, default=5)
    parser.add_argument("--messages", type=int, default=40)
    args = parser.parse_args()
    for name in ("cli", "sim", "window"):
        if getattr(args, name):
            setattr(args, name, os.path.abspath(getattr(args, name)))
    if args.front == "window":
        if not args.window:
            parser.error("window wants the path of ln40util")
        probe = subprocess.run(["/usr/bin/python3", "-c", "import xlrd"], capture_output=True)
        if probe.returncode != 0:
            print("SKIP: /usr/bin/python3 with python3-xlrd is needed to read the window's autosave")
            return SKIP
    test = Test(args)
    try:
        test.run()
    except Exception as error:  # noqa: BLE001 - reported as a failure with the folder kept
        test.check("the test ran to the end", False, "%s: %s" % (type(error).__name__, error))
    return test.finish()


if __name__ == "__main__":
    sys.exit(main())
