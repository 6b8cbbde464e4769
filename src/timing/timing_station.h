#pragma once
// Everything a reader message touches, wired together: the read-times table, the runner
// sheet, the message handler, runner matching and the two logs. The window (or a front end
// without one) owns one station and hands it every line the reader sends.
#include <functional>
#include <string>

#include "table/grid_table.h"
#include "timing/message_handler.h"
#include "timing/runner_matching.h"
#include "timing/timing_logs.h"

namespace ln40 {

class TTimingStation {
 public:
  // `data_folder` holds the logs; `status` receives texts for the window's status line (a
  // log that cannot be written).
  TTimingStation(ReaderWindow& window, MessageDialog& dialog, ReaderLink& link, const Clock& clock,
                 const Locale& locale, const std::string& data_folder, std::function<void(const std::string&)> status);

  TGridTable& ReadTimes() { return read_times_; }
  TGridTable& Sheet() { return sheet_; }
  TReaderMessageHandler& Handler() { return handler_; }
  TTimingLogs& Logs() { return logs_; }

  // Runs before the serial port opens: the read-times table is cleared when "Clear data "
  // is checked, then missing log files are created.
  void BeforePortOpens(bool clear_read_times);

  void HandleReaderMessage(const std::string& text) { handler_.HandleReaderMessage(text); }

  // A finish time replaced a different earlier one of the same runner: the note for the
  // status line (TRunnerMatcher::OnTimeReplaced). Not said for lines handled again.
  std::function<void(const std::string& note)> onTimeReplaced;

  // Off while lines that are already in the logs are handled again (a run restored from
  // its journal); the log boxes still decide when on. The notes of replaced finish times
  // were said the first time too, and are not said again while it is off.
  void SetLogAppendsEnabled(bool enabled) { log_appends_ = enabled; }

 private:
  ReaderWindow& window_;
  MessageDialog& dialog_;
  TGridTable read_times_;
  TGridTable sheet_;
  TReaderMessageHandler handler_;
  TRunnerMatcher matcher_;
  TTimingLogs logs_;
  bool log_appends_ = true;
};

}  // namespace ln40
