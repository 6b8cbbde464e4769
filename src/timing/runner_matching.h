#pragma once
// Fills a reader time into the runner sheet: the runner whose start number matches gets
// its finish time ("Inkomst") and net time ("Sluttid"); an unknown start number becomes a
// new runner while "Insert unknown #" is checked, so that no time is lost.
#include "table/grid_table.h"
#include "timing/message_handler.h"
#include "timing/reader_message.h"

namespace ln40 {

class TRunnerMatcher {
 public:
  TRunnerMatcher(TGridTable& sheet, const ReaderWindow& window) : sheet_(sheet), window_(window) {}

  // Runs for every data message, whatever its kind.
  void MatchRunner(const ReaderMessage& message);

 private:
  TGridTable& sheet_;
  const ReaderWindow& window_;
};

// Sluttid := Inkomst - Starttid on `row`, both read as a date and time or a time of day.
// An unreadable Starttid counts as 0; an unreadable Inkomst leaves Sluttid as it was.
void WriteNetTime(TGridTable& sheet, int row);

}  // namespace ln40
