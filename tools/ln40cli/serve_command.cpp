// ln40cli serve: a timing station without a screen. It opens the reader's port (or finds it),
// handles and acknowledges every line, matches runners, writes both logs and watches the
// connection, until SIGINT or SIGTERM.
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <thread>

#include "app/timing_session.h"
#include "commands.h"
#include "link/discovery_sysfs.h"
#include "link/event_loop.h"
#include "station_options.h"
#include "text/codepage.h"
#include "text/error.h"
#include "exchange/autosave_rotation.h"

namespace ln40::cli {

const std::string kServeHelp = std::string(
    "Usage: ln40cli serve [--port DEV] [options]\n"
    "A timing station without a screen: opens the reader's port (DEV, e.g. ttyUSB0 or\n"
    "/dev/pts/3; without --port the reader is looked for as the program does at start-up),\n"
    "handles and acknowledges every line, matches runners, writes both logs and probes the\n"
    "reader every 500 ms. One status line per message and per connection change goes to\n"
    "stderr. SIGINT or SIGTERM (Ctrl+C) stops it; the tables are then written.\n"
    "Commands on stdin: \"resend N\" asks the reader to send its last N messages again,\n"
    "\"quit\" stops.\n"
    "\n"
    "Every line is written to the journal (journal.sqlite in the program's folder) before\n"
    "it is acknowledged. Both tables are autosaved every minute and at the end into\n"
    "autosave.xls, the previous autosave kept as autosave.bak; the first autosave of a new\n"
    "run keeps the previous run's files as autosave-YYYY-MM-DD-HHMM.xls. A run that did not\n"
    "end cleanly (killed, power cut) is restored at the next start from its autosave and\n"
    "the journal. One station per folder: a second one is refused. --clear acts at the\n"
    "first open only: a reconnection keeps the times read so far.\n"
    "\n"
    "  --port DEV            the reader's serial port\n"
    "  --reconnect           when the line is lost (or the port cannot be opened at the\n"
    "                        start), open it again by itself every second; without\n"
    "                        --port the reader is looked for again\n"
    "  --autosave-every S    seconds between autosaves (default 60; 0: no autosave)\n") + StationOptionsHelp();

namespace {

void Status(const std::string& text) { std::cerr << "ln40cli: " << ConsoleText(text) << std::endl; }

// The runner a time went to, for the status line: " - Kari Dahl (H21) 00:31:02". Matching
// leaves the sheet's current row on the runner it found; an unknown runner it added is the
// last row.
std::string MatchedRunnerText(TGridTable& sheet, const ReaderMessage& message) {
  if (message.StartNumber.empty()) return "";
  for (const int row : {sheet.Row(), sheet.RowCount() - 1}) {
    if (row < 1 || row >= sheet.RowCount() || sheet.Cell(6, row) != message.StartNumber) continue;
    std::string name = sheet.Cell(0, row);
    if (!name.empty() && !sheet.Cell(1, row).empty()) name += ' ';
    name += sheet.Cell(1, row);
    return " - " + name + " (" + sheet.Cell(2, row) + ") " + sheet.Cell(11, row);
  }
  return " - not in the runner sheet";
}

// The station's front end on stderr: one line per message, per connection change and per
// note; the options are those of the command line, the port list a plain list.
class ConsoleFrontEnd : public SessionFrontEnd, public PortListControls {
 public:
  explicit ConsoleFrontEnd(StationOptions options) : options_(std::move(options)) {}
  void Attach(TimingSession& session) { session_ = &session; }

  StationOptions Options() const override { return options_; }
  void SetNulltime(const std::string& text) override { options_.nulltime = text; }
  void ShowMessage(const std::string& text) override { Status(text); }
  void ShowStatus(const std::string& text) override { Status(text); }
  void ShowWarning(const std::string& text) override {
    if (!text.empty()) Status("warning: " + text);
  }
  void ShowActivityLamp() override {}
  void SetAutosaveIndicator(bool) override {}
  void LineHandled(const std::string& line) override {
    if (!session_ || line.size() <= 2) return;
    TGridTable& read_times = session_->ReadTimes();
    if (read_times.RowCount() == rows_seen_) return;  // the line added no row
    rows_seen_ = read_times.RowCount();
    const ReaderMessage& message = session_->Station().Handler().LastMessage();
    Status("#" + read_times.Cell(0, read_times.RowCount() - 1) + " " + message.Kind + " " + message.StartNumber + " " +
           message.TimeText + MatchedRunnerText(session_->Sheet(), message));
  }
  void TablesReplaced() override {
    if (session_) rows_seen_ = session_->ReadTimes().RowCount();
  }

  void ClearPortList() override {
    entries_.clear();
    selected_ = -1;
  }
  void AddPortListEntry(const std::string& text) override { entries_.push_back(text); }
  int PortListCount() const override { return static_cast<int>(entries_.size()); }
  std::string PortListEntry(int index) const override { return entries_.at(static_cast<size_t>(index)); }
  int SelectedPortListEntry() const override { return selected_; }
  void SelectPortListEntry(int index) override { selected_ = index; }
  std::string TimeStatus() const override { return status_; }
  void SetTimeStatus(const std::string& text) override {
    if ((text == kDisconnected || text == kUnitRemoved) && text != status_) Status(text);
    status_ = text;
  }
  void HideActivityLamp() override {}

 private:
  StationOptions options_;
  TimingSession* session_ = nullptr;
  int rows_seen_ = 0;
  std::vector<std::string> entries_;
  int selected_ = -1;
  std::string status_ = "?";
};

int ParseAutosaveSeconds(const std::string& text) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) {
    throw Error("Invalid --autosave-every: " + Utf8ToCp1252(text) + " (seconds, 0 for none)");
  }
  return std::stoi(text);
}

class FixedCountInput : public InputDialog {
 public:
  explicit FixedCountInput(std::string count) : count_(std::move(count)) {}
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    value = count_;
    return true;
  }

 private:
  std::string count_;
};

// Reads "resend N" and "quit" from stdin until `stopping`; the commands run on the loop.
void ReadCommands(TEventLoop& loop, TimingSession& session, const std::atomic<bool>& stopping) {
  std::string pending;
  while (!stopping) {
    pollfd in{STDIN_FILENO, POLLIN, 0};
    if (::poll(&in, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) return;  // no more commands
    pending.append(buffer, static_cast<size_t>(count));
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      const std::string command = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (command == "quit") loop.Quit();
      if (command.rfind("resend", 0) != 0) continue;
      const std::string count_text = command.size() > 7 ? command.substr(7) : "9999";
      loop.Post([&session, count_text] {
        FixedCountInput input(count_text);
        try {
          session.RequestResend(input);
          Status("re-send of " + count_text + " messages requested");
        } catch (const std::exception& error) {
          Status(error.what());
        }
      });
    }
  }
}

}  // namespace

int RunServe(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  AddStationOptions(option_spec);
  option_spec.with_value.insert({"port", "autosave-every"});
  option_spec.switches.insert("reconnect");
  const CommandLine line(args, option_spec);
  if (!line.Positional().empty()) throw Error("serve takes no file arguments");
  const int autosave_seconds = ParseAutosaveSeconds(line.Value("autosave-every").value_or("60"));

  // SIGINT and SIGTERM are taken by one thread and turned into a quit on the event loop;
  // every thread started from here on inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  StationSetup setup;
  BuildStationSetup(line, setup);
  TEventLoop loop;
  SysfsSerialDevices devices = SysfsSerialDevices::FromSystem();
  ConsoleFrontEnd front(setup.options);
  SessionSetup session_setup;
  session_setup.dataFolder = setup.folder;
  session_setup.clock = setup.clock.get();
  session_setup.locale = setup.locale;
  session_setup.events = &loop;
  session_setup.timers = &loop;
  session_setup.devices = &devices;
  session_setup.portList = &front;
  if (autosave_seconds > 0) session_setup.autosaveInterval = std::chrono::seconds(autosave_seconds);
  session_setup.reconnect = line.Has("reconnect");
  session_setup.clearAtFirstOpenOnly = true;
  TimingSession session(session_setup, front);
  front.Attach(session);

  LoadStationSheet(line, session.Sheet());
  session.Start();
  front.TablesReplaced();
  session.SetKeepMilliseconds(setup.options.keepMilliseconds);
  session.SetAutosaveEnabled(autosave_seconds > 0);
  if (const auto port = line.Value("port")) {
    session.OpenPort(*port);
  } else {
    bool found = true;
    try {
      session.Discover();
      found = session.Link().Connected();
    } catch (const std::exception& error) {
      // The reader found cannot be opened yet: with --reconnect it is tried again every 3
      // seconds, and the error is not said again at every try.
      if (!session_setup.reconnect) throw;
      session.SayDiscoveryError(error.what());
    }
    if (!found) Status("no serial port found; looking again every 3 seconds");
  }
  if (session.Link().Connected()) Status("connected to " + session.Link().Port().Port());

  // Two helper threads, joined before the session goes away: one waits for the stop
  // signals, one reads commands from stdin. Both look at `stopping` between short waits.
  std::atomic<bool> stopping{false};
  std::thread signal_thread([&loop, &stopping, stop_signals] {
    const timespec pause{0, 200 * 1000 * 1000};
    while (!stopping) {
      if (sigtimedwait(&stop_signals, nullptr, &pause) > 0) loop.Quit();
    }
  });
  std::thread command_thread([&] { ReadCommands(loop, session, stopping); });
  const auto join_helpers = [&] {
    stopping = true;
    signal_thread.join();
    command_thread.join();
  };
  try {
    loop.Run();
  } catch (...) {
    join_helpers();
    throw;
  }
  join_helpers();

  const std::string trouble = session.Stop(autosave_seconds > 0);
  if (!trouble.empty()) {
    Status(trouble);
  } else if (autosave_seconds > 0) {
    Status("autosaved to " + Utf8ToCp1252(AutosaveFilesIn(setup.folder).file));
  }
  OutputWrites outputs;
  WriteStationResults(line, session.Sheet(), session.ReadTimes(), false, outputs);
  Status("stopped after " + std::to_string(session.ReadTimes().RowCount() - 2) + " rows");
  // Times that are not safe on the disk, or an output not written, make the stop a failure
  // scripts can see.
  return session.RunJournal().Healthy() && !outputs.Failed() ? 0 : 1;
}

}  // namespace ln40::cli
