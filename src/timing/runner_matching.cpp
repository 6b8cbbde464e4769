#include "timing/runner_matching.h"

#include "sheet/runner_sheet.h"
#include "text/date_time.h"

namespace ln40 {
namespace {

// The year a date without one falls in; the net time only compares such dates with each
// other, so any fixed year serves.
constexpr int kYearOfShortDates = 2000;

bool TryReadStamp(const std::string& text, const Locale& locale, TDateTime& value) {
  return TryReadDateTime(text, locale, kYearOfShortDates, value) || TryReadTimeOfDay(text, locale, value);
}

}  // namespace

void WriteNetTime(TGridTable& sheet, int row) {
  const Locale& locale = sheet.GetLocale();
  TDateTime start = 0;
  if (!TryReadStamp(sheet.Cell(runner_sheet::kStartTime, row), locale, start)) start = 0;
  TDateTime finish = 0;
  if (!TryReadStamp(sheet.Cell(runner_sheet::kFinish, row), locale, finish)) return;
  sheet.SetCell(runner_sheet::kNetTime, row, FormatTimeOfDay(finish - start, locale));
}

void TRunnerMatcher::MatchRunner(const ReaderMessage& message) {
  const int row = sheet_.FindInColumn(runner_sheet::kStartNumber, message.StartNumber);
  if (row != -1) {
    const std::string earlier = sheet_.Cell(runner_sheet::kFinish, row);
    sheet_.SetCell(runner_sheet::kFinish, row, message.TimeText);
    if (!earlier.empty() && earlier != message.TimeText && OnTimeReplaced) {
      OnTimeReplaced("Start number " + message.StartNumber + ": " + earlier + " replaced by " +
                     (message.TimeText.empty() ? std::string("an empty time") : message.TimeText));
    }
    WriteNetTime(sheet_, row);
    return;
  }
  if (!window_.InsertUnknownOn()) return;
  sheet_.AddRow();
  const int added = sheet_.RowCount() - 1;
  sheet_.SetCell(runner_sheet::kFirstName, added, "Unknown");
  sheet_.SetCell(runner_sheet::kLastName, added, "Runner");
  sheet_.SetCell(runner_sheet::kClass, added, "NOCLAS");
  sheet_.SetCell(runner_sheet::kStartNumber, added, message.StartNumber);
  sheet_.SetCell(runner_sheet::kStartTime, added, window_.ReaderNulltime());
  sheet_.SetCell(runner_sheet::kFinish, added, message.TimeText);
  WriteNetTime(sheet_, added);
}

}  // namespace ln40
