#include "app/timing_session.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "sheet/runner_sheet.h"
#include "text/codepage.h"
#include "text/file_replace.h"
#include "text/regular_file.h"
#include "timing/options_reader_window.h"
#include "timing/read_times_table.h"
#include "timing/reader_message.h"
#include "exchange/autosave.h"
#include "exchange/autosave_rotation.h"
#include "exchange/workbook_commands.h"

namespace ln40 {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kDiscoveryInterval{3000};
constexpr milliseconds kWatchInterval{500};
constexpr milliseconds kJournalRetryInterval{2000};

bool IsControlLine(const std::string& line) { return IsAckMessage(line) || IsNakMessage(line); }

}  // namespace

// The window fields and message box the handler reads and writes: the options of the line
// being handled. While a restored line is handled again nothing reaches the front end.
class TimingSession::HandlerWindow : public OptionsReaderWindow, public MessageDialog {
 public:
  HandlerWindow(TimingSession& session, SessionFrontEnd& front, PortListControls& port_list)
      : session_(session), front_(front), port_list_(port_list) {}

  void Use(const StationOptions& line_options, bool live) {
    options = line_options;
    live_ = live;
  }
  bool Live() const { return live_; }

  void SetReaderNulltime(const std::string& text) override {
    options.nulltime = text;
    if (live_) front_.SetNulltime(text);
  }
  void ShowActivityLamp() override {
    if (live_) front_.ShowActivityLamp();
  }
  void SetTimeStatus(const std::string& text) override {
    if (live_) port_list_.SetTimeStatus(text);
  }
  void EnableConnectionWatch() override {
    if (live_) session_.watch_timer_->SetEnabled(true);
  }
  void DisableConnectionWatch() override {
    if (live_) session_.watch_timer_->SetEnabled(false);
  }
  void ShowMessage(const std::string& text) override {
    if (live_) front_.ShowMessage(text);
  }

 private:
  TimingSession& session_;
  SessionFrontEnd& front_;
  PortListControls& port_list_;
  bool live_ = true;
};

// The way back to the reader: the serial port, silent while restored lines are handled
// again. It notes whether the line being handled was acknowledged.
class TimingSession::PortSender : public ReaderLink {
 public:
  PortSender(TReaderLink& link, const HandlerWindow& window) : link_(link), window_(window) {}
  void BeginLine() { acknowledged_ = false; }
  bool Acknowledged() const { return acknowledged_; }
  void SendText(const std::string& text) override {
    if (!window_.Live()) return;
    link_.SendText(text);
    if (text == kAcknowledgement) acknowledged_ = true;
  }

 private:
  TReaderLink& link_;
  const HandlerWindow& window_;
  bool acknowledged_ = false;
};

// Discovery and the watch see the front end's port list and the session's own timers.
class TimingSession::TimerControls : public LinkControls {
 public:
  TimerControls(PortListControls& port_list, TimingSession& session) : port_list_(port_list), session_(session) {}
  void ClearPortList() override { port_list_.ClearPortList(); }
  void AddPortListEntry(const std::string& text) override { port_list_.AddPortListEntry(text); }
  int PortListCount() const override { return port_list_.PortListCount(); }
  std::string PortListEntry(int index) const override { return port_list_.PortListEntry(index); }
  int SelectedPortListEntry() const override { return port_list_.SelectedPortListEntry(); }
  void SelectPortListEntry(int index) override { port_list_.SelectPortListEntry(index); }
  std::string TimeStatus() const override { return port_list_.TimeStatus(); }
  void SetTimeStatus(const std::string& text) override { port_list_.SetTimeStatus(text); }
  void HideActivityLamp() override { port_list_.HideActivityLamp(); }
  void SetRetryTimerEnabled(bool enabled) override { session_.discovery_timer_->SetEnabled(enabled); }
  void SetWatchTimerEnabled(bool enabled) override { session_.watch_timer_->SetEnabled(enabled); }

 private:
  PortListControls& port_list_;
  TimingSession& session_;
};

TimingSession::TimingSession(const SessionSetup& setup, SessionFrontEnd& front)
    : front_(front),
      folder_(setup.dataFolder),
      clock_(*setup.clock),
      locale_(setup.locale),
      timers_(*setup.timers),
      devices_(*setup.devices),
      reconnect_(setup.reconnect),
      clear_at_first_open_only_(setup.clearAtFirstOpenOnly),
      lock_(setup.dataFolder),
      port_list_(*setup.portList),
      handler_window_(std::make_unique<HandlerWindow>(*this, front, *setup.portList)),
      link_(*setup.events),
      sender_(std::make_unique<PortSender>(link_, *handler_window_)),
      station_(*handler_window_, *handler_window_, *sender_, line_clock_, setup.locale, setup.dataFolder,
               [&front](const std::string& text) { front.ShowStatus(text); }),
      journal_(setup.dataFolder) {
  station_.onTimeReplaced = [&front](const std::string& note) { front.ShowStatus(note); };
  runner_sheet_io_ = std::make_unique<TGridExcelIO>(station_.Sheet());
  read_times_io_ = std::make_unique<TGridExcelIO>(station_.ReadTimes());
  for (TGridExcelIO* exchange : {runner_sheet_io_.get(), read_times_io_.get()}) {
    exchange->SetLocale(setup.locale);
    exchange->SetClock(&clock_);
  }
  controls_ = std::make_unique<TimerControls>(port_list_, *this);
  discovery_timer_ = timers_.CreateTimer(kDiscoveryInterval, [this] { DiscoveryTick(); });
  watch_timer_ = timers_.CreateTimer(kWatchInterval, [this] { WatchTick(); });
  autosave_timer_ = timers_.CreateTimer(setup.autosaveInterval, [this] { AutosaveTick(); });
  journal_timer_ = timers_.CreateTimer(kJournalRetryInterval, [this] {
    journal_.Retry();
    ShowJournalState();
  });

  link_.BeforeOpen = [this] { BeforePortOpens(); };
  link_.OnPacket = [this](const std::string& line) { HandleLine(line); };
  link_.OnFragment = [this](const std::string& bytes) { KeepFragment(bytes); };
  link_.OnReceiveError = [this](const std::string& text) { front_.ShowStatus(text); };
  link_.Port().OnAfterOpen = [this] {
    // Only an open that succeeded counts: attempts on a port that is busy or not allowed
    // (tried again every 3 seconds) must not use up the restored race's protection.
    opened_once_ = true;
    front_.ShowActivityLamp();
  };
  link_.Port().OnError = [this](const ComErrors&) { port_list_.HideActivityLamp(); };
}

TimingSession::~TimingSession() {
  try {
    link_.SetConnected(false);
  } catch (...) {
  }
}

ReaderLink& TimingSession::Sender() { return *sender_; }

// ---- a line from the reader ------------------------------------------------------------

void TimingSession::HandleLine(const std::string& line) {
  const TDateTime arrival = clock_.Now();
  const StationOptions options = front_.Options();
  if (repeat_candidate_ && !IsControlLine(line)) {
    const bool repeated = *repeat_candidate_ == line;
    repeat_candidate_.reset();
    if (repeated) {
      // The reader never had the acknowledgement of the last line before the restart and
      // sends it again: it is in the tables and logs already.
      JournalLine entry;
      entry.arrival = arrival;
      entry.bytes = line;
      entry.kind = JournalLineKind::Repeat;
      entry.options = options;
      const LineHandle handle = journal_.Append(std::move(entry));
      ShowJournalState();
      handler_window_->Use(options, true);
      sender_->BeginLine();
      if (!station_.Handler().Flags().AckSuppressed) sender_->SendText(kAcknowledgement);
      journal_.MarkDone(handle, sender_->Acknowledged());
      front_.ShowStatus("The reader sent its last message again after the restart; acknowledged, not counted twice");
      return;
    }
  }

  JournalLine entry;
  entry.arrival = arrival;
  entry.bytes = line;
  entry.options = options;
  if (options.chronexLog) entry.chronexSizeBefore = FileSize(station_.Logs().ChronexPath());
  if (options.bfgLog) entry.bfgSizeBefore = FileSize(station_.Logs().BfgPath(options.raceName, options.subName));
  // Durable before anything of the line happens, above all before its acknowledgement.
  const LineHandle handle = journal_.Append(std::move(entry));
  ShowJournalState();

  handler_window_->Use(options, true);
  line_clock_.Set(arrival);
  station_.Handler().SetMillisecondMode(options.keepMilliseconds);
  sender_->BeginLine();
  try {
    station_.HandleReaderMessage(line);
  } catch (...) {
    journal_.MarkDone(handle, sender_->Acknowledged());
    throw;
  }
  journal_.MarkDone(handle, sender_->Acknowledged());
  front_.LineHandled(line);
}

void TimingSession::KeepFragment(const std::string& bytes) {
  JournalLine entry;
  entry.arrival = clock_.Now();
  entry.bytes = bytes;
  entry.kind = JournalLineKind::Fragment;
  entry.options = front_.Options();
  journal_.Append(std::move(entry));
  ShowJournalState();
  front_.ShowStatus("The end of a message already on the line when the port opened was not acknowledged; "
                    "the reader sends it again");
}

std::int64_t TimingSession::FileSize(const std::string& path) const {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return -1;
  return static_cast<std::int64_t>(status.st_size);
}

void TimingSession::BeforePortOpens() {
  const StationOptions options = front_.Options();
  handler_window_->Use(options, true);
  bool clear = options.clearOnOpen;
  // A reconnection of the headless station in the middle of a race keeps the times read so
  // far, and so does the first open after a restored run: the race goes on.
  if ((clear_at_first_open_only_ && opened_once_) || (recovered_ && !opened_once_)) clear = false;
  station_.BeforePortOpens(clear);
  if (clear) front_.TablesReplaced();
}

// ---- start, recovery, stop ---------------------------------------------------------------

void TimingSession::Start() {
  if (started_) return;
  started_ = true;
  const Journal::RunStart run = journal_.Start(clock_.Now());
  if (run.resumed) Recover(run.run);
  ShowJournalState();
}

void TimingSession::Recover(std::int64_t run) {
  // The newest autosave of this run: autosave.xls, else autosave.bak (a tick may have died
  // between its two renames). One of another run is not this run's state.
  // The run's lines, read once: those up to the autosave rewrite its read-times rows, those
  // after it are handled again.
  const std::vector<JournalLine> lines = journal_.LinesOfRun(run, 0);
  std::int64_t after = 0;
  bool from_autosave = false;
  const AutosaveFiles files = AutosaveFilesIn(folder_);
  for (const std::string& path : {files.file, files.backup}) {
    const std::optional<std::string> bytes = ReadRegularFile(path);
    if (!bytes) continue;
    const std::optional<std::int64_t> sequence = journal_.AutosaveSequence(run, Fingerprint(*bytes));
    if (!sequence) continue;
    try {
      RestoreBothTables({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()}, *runner_sheet_io_,
                        *read_times_io_);
    } catch (const std::exception&) {
      continue;
    }
    RestoreRunnerSheetColumns(Sheet(), RunnerSheetHeadings());
    if (ReadTimes().ColCount() < read_times::kColumnCount) ReadTimes().SetColCount(read_times::kColumnCount);
    ReadTimes().SetColumnHeaders(ReadTimesHeadings());
    RewriteRestoredReadTimes(lines, *sequence);
    after = *sequence;
    from_autosave = true;
    break;
  }

  const JournalLine* last_message = nullptr;
  station_.SetLogAppendsEnabled(false);
  for (const JournalLine& line : lines) {
    if (line.kind != JournalLineKind::Fragment && !IsControlLine(line.bytes)) last_message = &line;
    // Fragments and repeats were never handled; control lines are, but are no times.
    if (line.sequence <= after || line.kind != JournalLineKind::Message) continue;
    ReplayLine(line);
    if (!IsControlLine(line.bytes)) ++restored_count_;
  }
  station_.SetLogAppendsEnabled(true);
  station_.Handler().Flags().AckSuppressed = false;
  handler_window_->Use(front_.Options(), true);
  // The reader sends a line again when its acknowledgement never came, also when the line
  // was already a repeat whose acknowledgement the kill cut off, and also when it came
  // before the autosave (a restart that autosaved and died before the reader's retry).
  if (last_message && !last_message->acknowledged) {
    repeat_candidate_ = last_message->bytes;
  }
  recovered_ = true;
  front_.TablesReplaced();
  front_.ShowStatus(from_autosave ? "Restored " + std::to_string(restored_count_) +
                                        " times received after the last autosave"
                                  : "Restored " + std::to_string(restored_count_) +
                                        " times received before the interruption");
}

// The autosave keeps the read-times table as typed workbook cells, which do not keep all of
// a text: the CR that ends a reader line, the milliseconds of a time, the leading zeros of a
// start number. The journal has the lines themselves. They are handled again into a table
// of their own, and the restored rows are written again from it, from the last row back,
// as long as each row holds the line the journal has at its place (rows the user removed,
// or a table cleared at an open, end the rewriting there).
void TimingSession::RewriteRestoredReadTimes(const std::vector<JournalLine>& lines, std::int64_t through_sequence) {
  TGridTable lines_table;
  lines_table.SetLocale(locale_);
  SetUpReadTimesTable(lines_table);
  OptionsReaderWindow window;
  struct Silent : MessageDialog, ReaderLink {
    void ShowMessage(const std::string&) override {}
    void SendText(const std::string&) override {}
  } silent;
  FixedClock arrival{0};
  TReaderMessageHandler handler(lines_table, window, silent, silent, arrival, locale_);
  for (const JournalLine& line : lines) {
    if (line.sequence > through_sequence) break;
    if (line.kind != JournalLineKind::Message || IsControlLine(line.bytes)) continue;
    window.options = line.options;
    arrival.Set(line.arrival);
    handler.SetMillisecondMode(line.options.keepMilliseconds);
    try {
      handler.HandleReaderMessage(line.bytes);
    } catch (const std::exception&) {
    }
  }
  TGridTable& restored = ReadTimes();
  for (int row = restored.RowCount() - 1, from = lines_table.RowCount() - 1; row >= 2 && from >= 2; --row, --from) {
    std::string saved_data = lines_table.Cell(read_times::kData, from);
    std::erase(saved_data, '\r');
    std::erase(saved_data, '\n');
    if (restored.Cell(read_times::kData, row) != saved_data) break;
    // The number stays: it counts the rows since the table was last cleared.
    for (int col = 0; col < read_times::kColumnCount; ++col) {
      if (col != read_times::kNumber) restored.SetCell(col, row, lines_table.Cell(col, from));
    }
  }
}

void TimingSession::ReplayLine(const JournalLine& line) {
  handler_window_->Use(line.options, false);
  line_clock_.Set(line.arrival);
  station_.Handler().SetMillisecondMode(line.options.keepMilliseconds);
  try {
    station_.HandleReaderMessage(line.bytes);
  } catch (const std::exception&) {
    // Nothing goes to the reader here; the tables hold what the line gave.
  }
  if (line.handled || IsControlLine(line.bytes)) return;
  // The run stopped while this line was being handled: its log lines are appended unless
  // the logs grew past where they stood before it.
  const ReaderMessage& message = station_.Handler().LastMessage();
  TTimingLogs& logs = station_.Logs();
  const StationOptions& options = line.options;
  if (options.chronexLog && FileSize(logs.ChronexPath()) <= line.chronexSizeBefore) {
    logs.AppendChronexLine(message);
  }
  if (options.bfgLog && FileSize(logs.BfgPath(options.raceName, options.subName)) <= line.bfgSizeBefore) {
    logs.AppendBfgLine(message, options.raceName, options.subName);
  }
}

std::string TimingSession::Stop(bool autosave) {
  std::string autosave_error;
  if (autosave) {
    try {
      Autosave();
    } catch (const std::exception& failure) {
      autosave_error = failure.what();
    }
  }
  journal_.Retry();
  try {
    link_.SetConnected(false);
  } catch (...) {
  }
  if (journal_.Healthy()) {
    // Without its final autosave the run is not closed: the next start restores it from
    // the journal.
    if (autosave_error.empty()) journal_.CloseRun(clock_.Now());
    return autosave_error.empty() ? std::string()
                                  : "The final autosave failed: " + autosave_error +
                                        ". The journal keeps the run; the next start restores it.";
  }
  // Lines the journal could not write are only in memory now, and so are the tables when
  // the autosave failed too: both tables go to a file outside the data folder.
  const std::string rescue = SaveRescueCopy();
  std::string text = "The journal could not be written (" + journal_.Problem() + ")";
  if (!autosave_error.empty()) text += " and the final autosave failed (" + autosave_error + ")";
  if (rescue.empty()) return text + ". No copy of the tables could be written anywhere: save them before closing.";
  return text + ". Both tables were saved to " + Utf8ToCp1252(rescue) + ".";
}

std::string TimingSession::SaveRescueCopy() {
  const std::vector<std::uint8_t> image = BothTablesImage(*runner_sheet_io_, *read_times_io_);
  const DateParts date = DecodeDate(clock_.Now());
  const TimeParts time = DecodeTime(clock_.Now());
  char name[64];
  std::snprintf(name, sizeof name, "ln40util-rescue-%04d-%02d-%02d-%02d%02d%02d.xls", date.year, date.month, date.day,
                time.hour, time.minute, time.second);
  std::vector<std::string> folders;
  if (const char* home = std::getenv("HOME"); home && *home) folders.push_back(home);
  folders.insert(folders.end(), {"/var/tmp", "/tmp"});
  for (const std::string& folder : folders) {
    const std::string path = folder + "/" + name;
    try {
      WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
      return path;
    } catch (const std::exception&) {
    }
  }
  return {};
}

// ---- autosave --------------------------------------------------------------------------

void TimingSession::SetAutosaveEnabled(bool enabled) { autosave_timer_->SetEnabled(enabled); }

bool TimingSession::AutosaveEnabled() const { return autosave_timer_->Enabled(); }

void TimingSession::KeepPreviousAutosaves() {
  const std::int64_t run = journal_.CurrentRun();
  const std::vector<std::string> kept = KeepPreviousRunAutosaves(AutosaveFilesIn(folder_), [&](const std::string& path) {
    // A file that cannot be read cannot be shown to be this run's: it is kept.
    const std::optional<std::string> bytes = ReadRegularFile(path);
    return !bytes || !journal_.AutosaveSequence(run, Fingerprint(*bytes));
  });
  if (kept.empty()) return;
  std::string names;
  for (const std::string& name : kept) names += (names.empty() ? "" : ", ") + name;
  front_.ShowStatus("Kept the previous run's autosave as " + names);
}

void TimingSession::Autosave() {
  // The first autosave of a run never overwrites what an earlier run left.
  if (!previous_autosaves_kept_) {
    KeepPreviousAutosaves();
    previous_autosaves_kept_ = true;
  }
  const std::vector<std::uint8_t> image = BothTablesImage(*runner_sheet_io_, *read_times_io_);
  journal_.RecordAutosave(Fingerprint({reinterpret_cast<const char*>(image.data()), image.size()}), clock_.Now());
  WriteAutosave(folder_, image);
}

void TimingSession::AutosaveTick() {
  front_.SetAutosaveIndicator(true);
  try {
    Autosave();
  } catch (const std::exception& error) {
    // The minute autosave never stops the station; the next tick tries again.
    front_.ShowStatus(std::string("Autosave failed: ") + error.what());
  }
  front_.SetAutosaveIndicator(false);
}

// ---- the journal's state ---------------------------------------------------------------

void TimingSession::ShowJournalState() {
  for (const std::string& notice : journal_.TakeNotices()) front_.ShowStatus(notice);
  const std::string warning = journal_.Healthy() ? std::string() : journal_.Problem();
  if (warning == shown_warning_) return;
  if (warning.empty()) front_.ShowStatus("The journal is written again; no line was lost");
  shown_warning_ = warning;
  front_.ShowWarning(warning);
  journal_timer_->SetEnabled(!warning.empty());
}

// ---- the port --------------------------------------------------------------------------

void TimingSession::Discover() {
  controls_->ClearPortList();
  ReaderDiscovery(devices_, *controls_, link_);
}

void TimingSession::SearchReaders() { ln40::SearchReaders(devices_, *controls_, link_); }

void TimingSession::ChoosePort(int index) { ln40::ChoosePort(*controls_, link_, index); }

void TimingSession::StartStop() { StartStopCommunication(*controls_, link_); }

void TimingSession::OpenPort(const std::string& port) {
  fixed_port_ = port;
  link_.SetPort(port);
  try {
    link_.SetConnected(true);
  } catch (const std::exception& error) {
    if (!reconnect_) throw;
    // A station may be started before the reader is plugged in.
    front_.ShowStatus(error.what());
    last_reconnect_error_ = error.what();
  }
  controls_->SetWatchTimerEnabled(true);
}

void TimingSession::RequestResend(InputDialog& input) {
  handler_window_->Use(front_.Options(), true);
  ln40::RequestResend(input, *sender_, station_.Handler().Flags(), *handler_window_);
}

void TimingSession::ResetDecoderFlags() { station_.Handler().ResetForStartUp(); }

void TimingSession::SetKeepMilliseconds(bool keep) { station_.Handler().SetMillisecondMode(keep); }

void TimingSession::DiscoveryTick() {
  if (onDiscoveryTick) {
    onDiscoveryTick();
    return;
  }
  try {
    Discover();
  } catch (const std::exception& error) {
    SayDiscoveryError(error.what());
    return;
  }
  last_discovery_error_.clear();
  if (link_.Connected()) front_.ShowStatus("connected to " + link_.Port().Port());
}

void TimingSession::SayDiscoveryError(const std::string& text) {
  if (text != last_discovery_error_) front_.ShowStatus(text);
  last_discovery_error_ = text;
}

void TimingSession::WatchTick() {
  ln40::WatchTick(*controls_, link_);
  if (link_.Connected() || !reconnect_) {
    disconnected_ticks_ = 0;
    return;
  }
  // Every second tick: a lost line is opened again once a second.
  if (++disconnected_ticks_ % 2 == 0) TryReconnect();
}

void TimingSession::TryReconnect() {
  try {
    if (fixed_port_) {
      link_.SetConnected(true);
      controls_->SetWatchTimerEnabled(true);
    } else {
      Discover();
    }
  } catch (const std::exception& error) {
    // Said once per outage; the same failure every second would bury the log.
    if (error.what() != last_reconnect_error_) front_.ShowStatus(error.what());
    last_reconnect_error_ = error.what();
    return;
  }
  if (link_.Connected()) {
    last_reconnect_error_.clear();
    // The next loss is a change again, even when the first probe already fails.
    port_list_.SetTimeStatus("?");
    front_.ShowStatus("reconnected to " + link_.Port().Port());
  }
}

}  // namespace ln40
