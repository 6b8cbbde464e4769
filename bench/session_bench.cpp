// A reader line through the whole station with the journal on, its data folder on this
// machine's disk: the time from the CR a reader writes on a real pseudo-terminal to the
// acknowledgement it reads back, through a TimingSession in this process and through
// `ln40cli serve` as the user runs it; and the journal's durable commit on its own.
//
// Each latency benchmark plays the reader on the master side of a pseudo-terminal: it writes
// one line, waits for "+\r", and only then writes the next, as the reader does. It answers
// the station's connection probe "?\r" with "-\r" when one comes, as the reader does too (the
// answer is a line of its own, journaled like any other). Every line's time is kept; the
// counters give the median, the 99th percentile and the largest.
//
// The data folder is made under $LN40_BENCH_DATA_DIR, else /var/tmp. A file system held in
// memory (tmpfs, ramfs) would time no disk at all and is refused; the label names the file
// system and the device the folder is on.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/timing_session.h"
#include "journal/journal.h"
#include "journal/journal_reader.h"
#include "link/event_loop.h"
#include "text/clock.h"
#include "text/locale.h"

namespace {

using namespace ln40;
using Steady = std::chrono::steady_clock;

// ---- the data folder on the disk -----------------------------------------------------------

// The mount a path is on, from /proc/self/mounts: the longest mount point above it.
struct MountOf {
  std::string device;
  std::string point;
  std::string type;
};

MountOf FindMount(const std::string& path) {
  MountOf best;
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    MountOf mount;
    fields >> mount.device >> mount.point >> mount.type;
    const bool above = path == mount.point || mount.point == "/" ||
                       (path.starts_with(mount.point) && path[mount.point.size()] == '/');
    if (above && mount.point.size() >= best.point.size()) best = mount;
  }
  return best;
}

// A fresh folder on a disk file system, removed with everything in it at the end.
class DiskFolder {
 public:
  DiskFolder() {
    const char* base = std::getenv("LN40_BENCH_DATA_DIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/var/tmp") + "/ln40_bench_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      error_ = "cannot make a folder in " + pattern;
      return;
    }
    path_ = std::filesystem::canonical(pattern).string();
    struct statfs status {};
    const MountOf mount = FindMount(path_);
    if (::statfs(path_.c_str(), &status) != 0) {
      error_ = "statfs failed on " + path_;
    } else if (status.f_type == TMPFS_MAGIC || status.f_type == RAMFS_MAGIC || mount.type == "tmpfs" ||
               mount.type == "ramfs") {
      error_ = path_ + " is on " + mount.type + ", in memory: set LN40_BENCH_DATA_DIR to a folder on a disk";
    }
    where_ = mount.type + " on " + mount.device + ", " + path_;
  }
  ~DiskFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  DiskFolder(const DiskFolder&) = delete;
  DiskFolder& operator=(const DiskFolder&) = delete;

  const std::string& path() const { return path_; }
  // Empty when the folder is usable.
  const std::string& error() const { return error_; }
  // "ext4 on /dev/vda, /var/tmp/ln40_bench_abc123", for the label.
  const std::string& where() const { return where_; }

 private:
  std::string path_;
  std::string error_;
  std::string where_;
};

// ---- the reader -------------------------------------------------------------------------

// A data message as the reader sends it: kind, channel, start number, reader clock, CR.
std::string ReaderLine(int index) {
  char text[32];
  const int number = index % 500 + 1;
  const int clock_ms = 600000 + index * 1370;
  std::snprintf(text, sizeof text, "A01%06d%03d:%02d.%03d\r", number, clock_ms / 60000 % 1000, clock_ms / 1000 % 60,
                clock_ms % 1000);
  return text;
}

// The reader's end of a pseudo-terminal. The station opens the slave by its name; no slave
// descriptor is kept here, so the station's port is the one that holds the line.
class ReaderEnd {
 public:
  ReaderEnd() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    ::close(slave);
    path_ = name;
  }
  ~ReaderEnd() {
    if (master_ >= 0) ::close(master_);
  }
  ReaderEnd(const ReaderEnd&) = delete;
  ReaderEnd& operator=(const ReaderEnd&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  int probes_answered() const { return probes_answered_; }

  // Waits for the station's first probe: the port is open and the line has been quiet since
  // (the watch probes 500 ms after the open), so the first line is taken whole.
  bool WaitForFirstProbe(std::chrono::milliseconds within) {
    const auto deadline = Steady::now() + within;
    while (probes_answered_ == 0) {
      if (!ReadSome(deadline)) return false;
    }
    return true;
  }

  // Writes `line` and reads until its acknowledgement. The time from the write of the line
  // (its CR is its last byte) to the read of the acknowledgement's CR, in microseconds;
  // nullopt when none came within `within`.
  std::optional<double> Send(const std::string& line, std::chrono::milliseconds within) {
    acknowledged_ = false;
    const auto start = Steady::now();
    if (!WriteAll(line)) return std::nullopt;
    const auto deadline = start + within;
    while (!acknowledged_) {
      if (!ReadSome(deadline)) return std::nullopt;
    }
    return std::chrono::duration<double, std::micro>(acknowledged_at_ - start).count();
  }

 private:
  bool WriteAll(const std::string& bytes) {
    return ::write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads one block and acts on every whole reply in it; false at the deadline.
  bool ReadSome(Steady::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    if (left <= 0) return false;
    pollfd in{master_, POLLIN, 0};
    const int ready = ::poll(&in, 1, static_cast<int>(left));
    if (ready < 0) return errno == EINTR;
    if (ready == 0) return false;
    if ((in.revents & POLLIN) == 0) {
      // No slave is open yet (the station is still starting): the master only reports the
      // hang-up. Look again shortly.
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      return true;
    }
    char buffer[256];
    const ssize_t count = ::read(master_, buffer, sizeof buffer);
    const auto now = Steady::now();
    if (count <= 0) return true;
    received_.append(buffer, static_cast<size_t>(count));
    for (size_t end = received_.find('\r'); end != std::string::npos; end = received_.find('\r')) {
      const std::string reply = received_.substr(0, end + 1);
      received_.erase(0, end + 1);
      if (reply == "+\r") {
        acknowledged_ = true;
        acknowledged_at_ = now;
      } else if (reply == "?\r") {
        WriteAll("-\r");
        ++probes_answered_;
      }
    }
    return true;
  }

  int master_ = -1;
  std::string path_;
  std::string received_;
  bool acknowledged_ = false;
  Steady::time_point acknowledged_at_;
  int probes_answered_ = 0;
};

// Median, 99th percentile (nearest rank) and largest of the times, as counters.
void ReportPercentiles(benchmark::State& state, std::vector<double> times_us, const std::string& prefix = "") {
  if (times_us.empty()) return;
  std::sort(times_us.begin(), times_us.end());
  const auto rank = [&](double fraction) {
    const size_t index = static_cast<size_t>(std::ceil(fraction * static_cast<double>(times_us.size())));
    return times_us[std::clamp<size_t>(index, 1, times_us.size()) - 1];
  };
  state.counters[prefix + "median_us"] = rank(0.5);
  state.counters[prefix + "p99_us"] = rank(0.99);
  state.counters[prefix + "max_us"] = times_us.back();
}

constexpr int kLines = 1000;
constexpr std::chrono::milliseconds kAcknowledgementWait{5000};

// ---- a TimingSession in this process ------------------------------------------------------

class FakeSerialDevices : public SerialDeviceSource {
 public:
  std::optional<std::vector<SerialDevice>> ListDevices() override { return std::vector<SerialDevice>{}; }
};

// The front end a headless station has, with nothing to show: the default options, a plain
// port list, and the journal's warning kept so the benchmark can tell it failed.
class QuietFrontEnd : public SessionFrontEnd, public PortListControls {
 public:
  StationOptions Options() const override { return options_; }
  void SetNulltime(const std::string& text) override { options_.nulltime = text; }
  void ShowMessage(const std::string&) override {}
  void ShowStatus(const std::string&) override {}
  void ShowWarning(const std::string& text) override { warning_ = text; }
  void ShowActivityLamp() override {}
  void SetAutosaveIndicator(bool) override {}
  void LineHandled(const std::string&) override {}

  void ClearPortList() override { entries_.clear(); }
  void AddPortListEntry(const std::string& text) override { entries_.push_back(text); }
  int PortListCount() const override { return static_cast<int>(entries_.size()); }
  std::string PortListEntry(int index) const override { return entries_.at(static_cast<size_t>(index)); }
  int SelectedPortListEntry() const override { return selected_; }
  void SelectPortListEntry(int index) override { selected_ = index; }
  std::string TimeStatus() const override { return status_; }
  void SetTimeStatus(const std::string& text) override { status_ = text; }
  void HideActivityLamp() override {}

  const std::string& warning() const { return warning_; }

 private:
  StationOptions options_;
  std::string warning_;
  std::vector<std::string> entries_;
  int selected_ = -1;
  std::string status_ = "?";
};

// One line per benchmark iteration, each timed from its CR to the acknowledgement; the
// first line without one ends the measuring with `error`.
void SendTimedLines(benchmark::State& state, ReaderEnd& reader, std::vector<double>& latencies, std::string& error) {
  int index = 0;
  for (auto _ : state) {
    if (!error.empty()) continue;
    const std::optional<double> latency = reader.Send(ReaderLine(index++), kAcknowledgementWait);
    if (!latency) {
      error = "no acknowledgement within 5 s";
      continue;
    }
    latencies.push_back(*latency);
  }
}

// The session is built as `ln40cli serve` builds it (minute autosave on, --clear at the first
// open only), its event loop on a thread of its own.
void BM_SessionAcknowledgement(benchmark::State& state) {
  DiskFolder folder;
  if (!folder.error().empty()) {
    state.SkipWithError(folder.error().c_str());
    return;
  }
  ReaderEnd reader;
  if (!reader.ok()) {
    state.SkipWithError("openpty failed");
    return;
  }
  SystemClock clock;
  TEventLoop loop;
  FakeSerialDevices devices;
  QuietFrontEnd front;
  SessionSetup setup;
  setup.dataFolder = folder.path() + "/";
  setup.clock = &clock;
  setup.locale = Locale::WorkedExample();
  setup.events = &loop;
  setup.timers = &loop;
  setup.devices = &devices;
  setup.portList = &front;
  setup.clearAtFirstOpenOnly = true;
  TimingSession session(setup, front);
  session.Start();
  session.SetAutosaveEnabled(true);
  session.OpenPort(reader.path());
  std::thread program([&] { loop.Run(); });

  std::vector<double> latencies;
  latencies.reserve(kLines);
  std::string error;
  if (!reader.WaitForFirstProbe(std::chrono::milliseconds(5000))) error = "the session never probed the reader";
  SendTimedLines(state, reader, latencies, error);
  Journal::StorageModes storage;
  loop.Post([&] {
    storage = session.RunJournal().Storage();
    session.Stop(false);
    loop.Quit();
  });
  program.join();

  if (!error.empty()) state.SkipWithError(error.c_str());
  if (!front.warning().empty()) state.SkipWithError(("journal: " + front.warning()).c_str());
  if (storage.journalMode != "wal" || storage.synchronous != "full") {
    state.SkipWithError(("journal kept as " + storage.journalMode + "/" + storage.synchronous).c_str());
  }
  ReportPercentiles(state, latencies);
  state.counters["probes"] = reader.probes_answered();
  state.SetLabel(folder.where());
}
BENCHMARK(BM_SessionAcknowledgement)->Iterations(kLines)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---- the journal's commit alone -------------------------------------------------------------

JournalLine LineToJournal(int index) {
  JournalLine line;
  line.arrival = 45000.5 + index / 86400.0;
  line.bytes = ReaderLine(index);
  line.chronexSizeBefore = 30 * index;
  line.bfgSizeBefore = 60 * index;
  return line;
}

// Append (one transaction made durable) and, with Arg 1, MarkDone after it as the session
// does once a line is handled. Each call is timed on its own.
void BM_JournalAppend(benchmark::State& state) {
  const bool mark_done = state.range(0) != 0;
  DiskFolder folder;
  if (!folder.error().empty()) {
    state.SkipWithError(folder.error().c_str());
    return;
  }
  std::vector<double> appends, marks;
  appends.reserve(kLines);
  marks.reserve(kLines);
  {
    Journal journal(folder.path());
    journal.Start(45000.5);
    int index = 0;
    for (auto _ : state) {
      const auto start = Steady::now();
      const LineHandle handle = journal.Append(LineToJournal(index++));
      const auto appended = Steady::now();
      if (mark_done) journal.MarkDone(handle, true);
      const auto done = Steady::now();
      appends.push_back(std::chrono::duration<double, std::micro>(appended - start).count());
      if (mark_done) marks.push_back(std::chrono::duration<double, std::micro>(done - appended).count());
    }
    if (!journal.Healthy()) state.SkipWithError(("journal: " + journal.Problem()).c_str());
    const Journal::StorageModes storage = journal.Storage();
    if (storage.journalMode != "wal" || storage.synchronous != "full") {
      state.SkipWithError(("journal kept as " + storage.journalMode + "/" + storage.synchronous).c_str());
    }
  }
  ReportPercentiles(state, appends, "append_");
  if (mark_done) ReportPercentiles(state, marks, "done_");
  state.SetLabel(folder.where());
}
BENCHMARK(BM_JournalAppend)->ArgName("mark_done")->Arg(0)->Arg(1)->Iterations(kLines)->Unit(benchmark::kMicrosecond)->UseRealTime();

// ---- ln40cli serve, as the user runs it ------------------------------------------------------

// `ln40cli serve --port PTY --data-dir FOLDER` in a process of its own (its status lines go to
// a file beside the data folder), timed from outside by the reader on the pseudo-terminal.
// SIGTERM stops it as Ctrl+C does, with the final autosave.
void BM_ServeAcknowledgement(benchmark::State& state) {
  DiskFolder folder;
  if (!folder.error().empty()) {
    state.SkipWithError(folder.error().c_str());
    return;
  }
  ReaderEnd reader;
  if (!reader.ok()) {
    state.SkipWithError("openpty failed");
    return;
  }
  const std::string data = folder.path() + "/data";
  const std::string console = folder.path() + "/serve.err";
  const pid_t serve = ::fork();
  if (serve == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int err = ::open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || err < 0) ::_exit(127);
    ::dup2(in, STDIN_FILENO);
    ::dup2(err, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    ::execl(LN40CLI_PATH, "ln40cli", "serve", "--port", reader.path().c_str(), "--data-dir", data.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (serve < 0) {
    state.SkipWithError("fork failed");
    return;
  }

  std::vector<double> latencies;
  latencies.reserve(kLines);
  std::string error;
  if (!reader.WaitForFirstProbe(std::chrono::milliseconds(10000))) error = "ln40cli serve never probed the reader";
  SendTimedLines(state, reader, latencies, error);
  ::kill(serve, SIGTERM);
  int status = 0;
  ::waitpid(serve, &status, 0);
  if (error.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) error = "ln40cli serve did not stop cleanly";
  if (error.empty()) {
    // The journal was on: every acknowledged line is in it, marked acknowledged.
    try {
      JournalReader journal(data);
      int acknowledged = 0;
      journal.ForEachLine([&](const JournalLine& line) {
        if (line.kind == JournalLineKind::Message && line.acknowledged && line.bytes.size() > 2) ++acknowledged;
      });
      if (acknowledged != static_cast<int>(latencies.size())) {
        error = "the journal holds " + std::to_string(acknowledged) + " acknowledged messages, not " +
                std::to_string(latencies.size());
      }
    } catch (const std::exception& failure) {
      error = std::string("journal: ") + failure.what();
    }
  }
  if (error.empty()) {
    std::ifstream log(console);
    for (std::string line; std::getline(log, line);) {
      if (line.find("warning:") != std::string::npos) {
        error = line;
        break;
      }
    }
  }
  if (!error.empty()) state.SkipWithError(error.c_str());
  ReportPercentiles(state, latencies);
  state.counters["probes"] = reader.probes_answered();
  state.SetLabel(folder.where());
}
BENCHMARK(BM_ServeAcknowledgement)->Iterations(kLines)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
