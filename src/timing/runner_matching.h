#pragma once
// Fills a reader time into the runner sheet: the runner whose start number matches gets
// its finish time ("Inkomst") and net time ("Sluttid"); an unknown start number becomes a
// new runner while "Insert unknown #" is checked, so that no time is lost.
#include <functional>
#include <string>

#include "table/grid_table.h"
#include "timing/message_handler.h"
#include "timing/reader_message.h"

namespace ln40 {

class TRunnerMatcher {
 public:
  TRunnerMatcher(TGridTable& sheet, const ReaderWindow& window) : sheet_(sheet), window_(window) {}

  // Runs for every data message, whatever its kind.
  void MatchRunner(const ReaderMessage& message);

  // A time replaced a different earlier finish time of the same runner (a second pass of
  // the finish, a mistyped start number): the note for the status line, "Start number 12:
  // 10:32:10 replaced by 10:45:01". The read-times table keeps both lines.
  std::function<void(const std::string& note)> OnTimeReplaced;

 private:
  TGridTable& sheet_;
  const ReaderWindow& window_;
};

// Sluttid := Inkomst - Starttid on `row`, both read as a date and time or a time of day.
// An unreadable Starttid counts as 0; an unreadable Inkomst leaves Sluttid as it was.
void WriteNetTime(TGridTable& sheet, int row);

}  // namespace ln40
