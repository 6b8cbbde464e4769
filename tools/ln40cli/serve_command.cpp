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

#include "commands.h"
#include "link/discovery_sysfs.h"
#include "link/event_loop.h"
#include "link/reader_discovery.h"
#include "link/reader_link.h"
#include "station_options.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/numbers.h"
#include "timing/resend_request.h"
#include "workbook/autosave.h"
#include "workbook/autosave_rotation.h"
#include "workbook/grid_excel_io.h"

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
    "Both tables are autosaved every minute and at the end into autosave.xls in the\n"
    "program's folder, the previous autosave kept as autosave.bak. --clear acts at the first\n"
    "open only: a reconnection keeps the times read so far.\n"
    "\n"
    "  --port DEV            the reader's serial port\n"
    "  --reconnect           when the line is lost (or the port cannot be opened at the\n"
    "                        start), open it again by itself every second; without\n"
    "                        --port the reader is looked for again\n"
    "  --autosave-every S    seconds between autosaves (default 60; 0: no autosave)\n") + kStationOptionsHelp;

namespace {

void Status(const std::string& text) { std::cerr << "ln40cli: " << Cp1252ToUtf8(text) << std::endl; }

// The acknowledgements and probes go out through the serial port.
class PortSender : public ReaderLink {
 public:
  explicit PortSender(TReaderLink& link) : link_(link) {}
  void SendText(const std::string& text) override { link_.SendText(text); }

 private:
  TReaderLink& link_;
};

// The port list, timers and status field of the window, kept as plain values; changes of
// the line's state are printed.
class ConsoleLinkControls : public LinkControls {
 public:
  ConsoleLinkControls(TEventLoop& loop, int retry_timer, int watch_timer)
      : loop_(loop), retry_timer_(retry_timer), watch_timer_(watch_timer) {}

  void ClearPortList() override {
    entries_.clear();
    selected_ = -1;
  }
  void AddPortListEntry(const std::string& text) override { entries_.push_back(text); }
  int PortListCount() const override { return static_cast<int>(entries_.size()); }
  std::string PortListEntry(int index) const override { return entries_.at(static_cast<size_t>(index)); }
  int SelectedPortListEntry() const override { return selected_; }
  void SelectPortListEntry(int index) override { selected_ = index; }
  void SetRetryTimerEnabled(bool enabled) override { loop_.SetTimerEnabled(retry_timer_, enabled); }
  void SetWatchTimerEnabled(bool enabled) override { loop_.SetTimerEnabled(watch_timer_, enabled); }
  std::string TimeStatus() const override { return status_; }
  void SetTimeStatus(const std::string& text) override {
    if ((text == kDisconnected || text == kUnitRemoved) && text != status_) Status(text);
    status_ = text;
  }
  void HideActivityLamp() override {}

 private:
  TEventLoop& loop_;
  int retry_timer_;
  int watch_timer_;
  std::vector<std::string> entries_;
  int selected_ = -1;
  std::string status_ = "?";
};

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
  TReaderLink link(loop);
  PortSender sender(link);
  ConsoleDialog dialog;
  TTimingStation station(setup.window, dialog, sender, *setup.clock, setup.locale, setup.folder, Status);
  PrepareStation(line, setup, station);
  // "Clear data " empties the table at the first open only: a reconnection in the middle of
  // a race must not throw away the times read so far.
  bool clear = line.Has("clear");
  link.BeforeOpen = [&] {
    station.BeforePortOpens(clear);
    clear = false;
  };
  link.OnPacket = [&](const std::string& packet) {
    station.HandleReaderMessage(packet);
    const ReaderMessage& message = station.Handler().LastMessage();
    if (packet.size() > 2) {
      Status("#" + station.ReadTimes().Cell(0, station.ReadTimes().RowCount() - 1) + " " + message.Kind + " " +
             message.StartNumber + " " + message.TimeText + MatchedRunnerText(station.Sheet(), message));
    }
  };
  link.OnReceiveError = [](const std::string& text) { Status(text); };

  SysfsSerialDevices devices = SysfsSerialDevices::FromSystem();
  const auto port = line.Value("port");
  const bool reconnect = line.Has("reconnect");
  int retry_timer = 0;
  int watch_timer = 0;
  std::unique_ptr<ConsoleLinkControls> controls;
  int ticks = 0;
  std::string last_reconnect_error;
  // The headless station's own rule beyond the window's: a lost line is opened again by
  // itself, the same port with --port, else whatever discovery finds.
  const auto try_reconnect = [&] {
    try {
      if (port) {
        link.SetConnected(true);
        controls->SetWatchTimerEnabled(true);
      } else {
        controls->ClearPortList();
        ReaderDiscovery(devices, *controls, link);
      }
    } catch (const std::exception& error) {
      // Said once per outage; the same failure every second would bury the log.
      if (error.what() != last_reconnect_error) Status(error.what());
      last_reconnect_error = error.what();
      return;
    }
    if (link.Connected()) {
      last_reconnect_error.clear();
      // The next loss is a change again, even when the first probe already fails.
      controls->SetTimeStatus("?");
      Status("reconnected to " + link.Port().Port());
    }
  };
  retry_timer = loop.AddTimer(std::chrono::milliseconds(3000), [&] {
    controls->ClearPortList();
    try {
      ReaderDiscovery(devices, *controls, link);
    } catch (const std::exception& error) {
      Status(error.what());
    }
    if (link.Connected()) Status("connected to " + link.Port().Port());
  });
  watch_timer = loop.AddTimer(std::chrono::milliseconds(500), [&] {
    WatchTick(*controls, link);
    if (link.Connected() || !reconnect) {
      ticks = 0;
      return;
    }
    if (++ticks % 2 == 0) try_reconnect();
  });
  controls = std::make_unique<ConsoleLinkControls>(loop, retry_timer, watch_timer);

  const auto autosave = [&](bool at_end) {
    try {
      AutosaveTables(setup.folder, TGridExcelIO(station.Sheet()), TGridExcelIO(station.ReadTimes()));
      if (at_end) Status("autosaved to " + Utf8ToCp1252(AutosaveFilesIn(setup.folder).file));
    } catch (const std::exception& error) {
      // The window says nothing here; a station without a screen has only this line.
      Status(std::string("autosave failed: ") + error.what());
    }
  };
  if (autosave_seconds > 0) {
    loop.SetTimerEnabled(loop.AddTimer(std::chrono::seconds(autosave_seconds), [&] { autosave(false); }), true);
  }

  if (port) {
    link.SetPort(*port);
    try {
      link.SetConnected(true);
    } catch (const std::exception& error) {
      if (!reconnect) throw;
      // A station may be started before the reader is plugged in.
      Status(error.what());
      last_reconnect_error = error.what();
    }
    controls->SetWatchTimerEnabled(true);
  } else {
    ReaderDiscovery(devices, *controls, link);
    if (!link.Connected()) Status("no serial port found; looking again every 3 seconds");
  }
  if (link.Connected()) Status("connected to " + link.Port().Port());

  // Two helper threads, joined before the station goes away: one waits for the stop
  // signals, one reads commands from stdin. Both look at `stopping` between short waits.
  std::atomic<bool> stopping{false};
  std::thread signal_thread([&loop, &stopping, stop_signals] {
    const timespec pause{0, 200 * 1000 * 1000};
    while (!stopping) {
      if (sigtimedwait(&stop_signals, nullptr, &pause) > 0) loop.Quit();
    }
  });
  std::thread command_thread([&] {
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
        loop.Post([&link, &station, &setup, count_text] {
          FixedCountInput input(count_text);
          PortSender sender(link);
          try {
            RequestResend(input, sender, station.Handler().Flags(), setup.window);
            Status("re-send of " + count_text + " messages requested");
          } catch (const std::exception& error) {
            Status(error.what());
          }
        });
      }
    }
  });

  try {
    loop.Run();
  } catch (...) {
    stopping = true;
    signal_thread.join();
    command_thread.join();
    throw;
  }
  stopping = true;
  signal_thread.join();
  command_thread.join();
  try {
    link.SetConnected(false);
  } catch (const std::exception&) {
  }
  if (autosave_seconds > 0) autosave(true);
  WriteStationResults(line, station, false);
  Status("stopped after " + std::to_string(station.ReadTimes().RowCount() - 2) + " rows");
  return 0;
}

}  // namespace ln40::cli
