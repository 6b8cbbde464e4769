#pragma once
// The timing session: the one working station a front end gets, the window's controller
// and `ln40cli serve` alike. It owns the reader link (serial port and framer), the timing
// station (both tables, the message handler, runner matching, the logs), the way back to
// the reader, the discovery, watch and autosave timers, the journal and the lock on the
// data folder. Journal, recovery, live results and the event database plug in here, never
// into a front end.
//
// The road of a line: framer -> journal (made durable) -> handler (read-times table,
// runner sheet, logs) -> acknowledgement "+\r". A run that did not end cleanly is restored
// at the next Start from the newest autosave of that run and the journal's lines after it.
//
// Everything runs on the event thread. Not thread-safe.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/data_folder_lock.h"
#include "journal/journal.h"
#include "link/event_thread.h"
#include "link/event_timers.h"
#include "link/reader_discovery.h"
#include "link/reader_link.h"
#include "text/clock.h"
#include "text/locale.h"
#include "timing/resend_request.h"
#include "timing/station_options.h"
#include "timing/timing_station.h"
#include "exchange/grid_excel_io.h"

namespace ln40 {

// What the session needs of its front end: the options as the user has them now and the
// places where it says what happens. (The port list and the time status field are
// SessionSetup::portList.)
class SessionFrontEnd {
 public:
  virtual ~SessionFrontEnd() = default;
  // Taken for every line the reader sends, and when the port opens.
  virtual StationOptions Options() const = 0;
  // The reader nulltime could not be read and was set back to "00:00:00".
  virtual void SetNulltime(const std::string& text) = 0;
  // A modal message (a nulltime that cannot be read, a log that cannot be created).
  virtual void ShowMessage(const std::string& text) = 0;
  // A passing note on the status line; never a modal box, which would stall the reception.
  virtual void ShowStatus(const std::string& text) = 0;
  // A warning that stays until the empty text clears it (the journal cannot be written).
  virtual void ShowWarning(const std::string& text) = 0;
  virtual void ShowActivityLamp() = 0;
  virtual void SetAutosaveIndicator(bool shown) = 0;
  // A line was handled: the tables may have changed.
  virtual void LineHandled(const std::string& line) = 0;
  // The tables were restored or replaced as a whole.
  virtual void TablesReplaced() {}
};

struct SessionSetup {
  std::string dataFolder;  // the program's folder, UTF-8, with a trailing "/"
  const Clock* clock = nullptr;
  Locale locale;
  EventThread* events = nullptr;
  EventTimers* timers = nullptr;
  SerialDeviceSource* devices = nullptr;
  // The port list, "Time status" field and activity lamp discovery and the watch show.
  PortListControls* portList = nullptr;
  std::chrono::milliseconds autosaveInterval{60000};
  // The headless station's rule beyond the window's: a lost line is opened again by
  // itself every second (the same port when one was given, else whatever discovery finds).
  bool reconnect = false;
  // "Clear data" empties the read-times table at the first open only, so that a
  // reconnection in the middle of a race keeps the times read so far.
  bool clearAtFirstOpenOnly = false;
};

class TimingSession {
 public:
  // Takes the data folder's lock: throws Error "The folder ... is in use by another
  // ln40util (pid N)" when another station works there.
  TimingSession(const SessionSetup& setup, SessionFrontEnd& front);
  // Closes the port; the final autosave and the close mark are Stop's.
  ~TimingSession();
  TimingSession(const TimingSession&) = delete;
  TimingSession& operator=(const TimingSession&) = delete;

  // Opens the journal; after a run that did not end cleanly, restores the tables from its
  // newest autosave and the journal's lines after it (without acknowledgements and without
  // appending to the logs again) and says so on the status line. Call once, after the
  // front end has put in what a new run starts with (serve's --sheet), before the port opens.
  void Start();
  // The clean end: the final autosave when `autosave`, the close mark in the journal, the
  // port closed. Returns what the user must hear, empty when all went well: a failed final
  // autosave (the journal keeps the run), or a journal that could not be written, when both
  // tables are saved to a rescue file outside the data folder (ln40util-rescue-....xls in
  // the home folder, else /var/tmp or /tmp) and the text names it.
  std::string Stop(bool autosave);

  TGridTable& ReadTimes() { return station_.ReadTimes(); }
  TGridTable& Sheet() { return station_.Sheet(); }
  TTimingStation& Station() { return station_; }
  TReaderLink& Link() { return link_; }
  TGridExcelIO& RunnerSheetIO() { return *runner_sheet_io_; }
  TGridExcelIO& ReadTimesIO() { return *read_times_io_; }
  Journal& RunJournal() { return journal_; }
  const std::string& DataFolder() const { return folder_; }
  // The way back to the reader (the re-send request writes there).
  ReaderLink& Sender();

  // The port: discovery (fills the port list, connects an LN40 or the first port), a
  // chosen port, the toolbar's search and start/stop. Errors of an open are thrown.
  void Discover();
  void SearchReaders();
  void ChoosePort(int index);
  void StartStop();
  // Opens a port by name (serve --port); with `reconnect` a failure is retried by the watch.
  void OpenPort(const std::string& port);
  // "Get data again": the re-send request of the last messages.
  void RequestResend(InputDialog& input);

  // The discovery timer (3 s while no port is found, or the port found cannot be opened)
  // runs this; unless it is set, Discover() with its error said by SayDiscoveryError.
  std::function<void()> onDiscoveryTick;
  // Says a failed discovery's error on the status line unless it was the last one said, so
  // a port that stays busy is not reported again at every retry.
  void SayDiscoveryError(const std::string& text);

  // Flags as at program start; the window's start-up routine runs it.
  void ResetDecoderFlags();
  // Millisecond mode now (it is also taken from the options of each line).
  void SetKeepMilliseconds(bool keep);
  // The minute autosave timer on or off.
  void SetAutosaveEnabled(bool enabled);
  bool AutosaveEnabled() const;
  // One autosave of both tables now; throws on failure (the timer and the close ignore it).
  void Autosave();

  // The timers' ticks, for front ends and tests that drive them by hand.
  void DiscoveryTick();
  void WatchTick();
  void AutosaveTick();

  // Lines handled and restored since the session began, for the status lines.
  int RestoredCount() const { return restored_count_; }

 private:
  class HandlerWindow;
  class PortSender;
  class TimerControls;

  void HandleLine(const std::string& line);
  void KeepFragment(const std::string& bytes);
  void BeforePortOpens();
  void Recover(std::int64_t run);
  void ReplayLine(const JournalLine& line);
  void RewriteRestoredReadTimes(const std::vector<JournalLine>& lines, std::int64_t through_sequence);
  void KeepPreviousAutosaves();
  std::string SaveRescueCopy();
  void ShowJournalState();
  void TryReconnect();
  std::int64_t FileSize(const std::string& path) const;

  SessionFrontEnd& front_;
  std::string folder_;
  const Clock& clock_;
  Locale locale_;
  EventTimers& timers_;
  SerialDeviceSource& devices_;
  bool reconnect_;
  bool clear_at_first_open_only_;
  DataFolderLock lock_;
  PortListControls& port_list_;
  FixedClock line_clock_{0};  // the arrival time of the line being handled
  std::unique_ptr<HandlerWindow> handler_window_;
  TReaderLink link_;
  std::unique_ptr<PortSender> sender_;
  TTimingStation station_;
  std::unique_ptr<TGridExcelIO> runner_sheet_io_;
  std::unique_ptr<TGridExcelIO> read_times_io_;
  Journal journal_;
  std::unique_ptr<TimerControls> controls_;
  std::unique_ptr<EventTimer> discovery_timer_;
  std::unique_ptr<EventTimer> watch_timer_;
  std::unique_ptr<EventTimer> autosave_timer_;
  std::unique_ptr<EventTimer> journal_timer_;

  bool started_ = false;
  bool opened_once_ = false;
  bool recovered_ = false;
  bool previous_autosaves_kept_ = false;
  std::optional<std::string> repeat_candidate_;  // the last journaled line, not acknowledged
  std::string shown_warning_;
  int restored_count_ = 0;
  // Reconnection of the headless station.
  std::optional<std::string> fixed_port_;
  int disconnected_ticks_ = 0;
  std::string last_reconnect_error_;
  std::string last_discovery_error_;
};

}  // namespace ln40
