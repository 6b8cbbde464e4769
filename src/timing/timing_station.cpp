#include "timing/timing_station.h"

#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"

namespace ln40 {

TTimingStation::TTimingStation(ReaderWindow& window, MessageDialog& dialog, ReaderLink& link, const Clock& clock,
                               const Locale& locale, const std::string& data_folder,
                               std::function<void(const std::string&)> status)
    : window_(window),
      dialog_(dialog),
      handler_(read_times_, window, dialog, link, clock, locale),
      matcher_(sheet_, window),
      logs_(data_folder, std::move(status)) {
  matcher_.OnTimeReplaced = [this](const std::string& note) {
    if (log_appends_ && onTimeReplaced) onTimeReplaced(note);
  };
  read_times_.SetLocale(locale);
  sheet_.SetLocale(locale);
  SetUpReadTimesTable(read_times_);
  SetUpRunnerSheet(sheet_);
  MessageEffects& effects = handler_.Effects();
  effects.matchRunner = [this](const ReaderMessage& message) { matcher_.MatchRunner(message); };
  effects.appendChronexLine = [this](const ReaderMessage& message) {
    if (log_appends_) logs_.AppendChronexLine(message);
  };
  effects.appendBfgLine = [this](const ReaderMessage& message) {
    if (log_appends_) logs_.AppendBfgLine(message, window_.RaceName(), window_.SubName());
  };
}

void TTimingStation::BeforePortOpens(bool clear_read_times) {
  ClearReadTimesOnOpen(read_times_, clear_read_times);
  logs_.CreateLogFiles(window_.RaceName(), window_.SubName(), dialog_);
}

}  // namespace ln40
