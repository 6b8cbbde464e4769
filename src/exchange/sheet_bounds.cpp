#include "exchange/sheet_bounds.h"

namespace ln40 {

bool FitsOneSheet(TSheetExtent extent) { return extent.Rows <= kSheetMaxRows && extent.Cols <= kSheetMaxColumns; }

std::string CountText(std::int64_t count) {
  std::string digits = std::to_string(count);
  const std::size_t first = count < 0 ? 1 : 0;  // the first digit
  for (std::size_t at = digits.size(); at > first + 3; at -= 3) digits.insert(at - 3, 1, ',');
  return digits;
}

std::string BeyondOneSheetMessage(const std::string& subject, TSheetExtent extent) {
  if (extent.Cols > kSheetMaxColumns) {
    return subject + " has " + CountText(extent.Cols) + " columns; a worksheet holds at most " +
           CountText(kSheetMaxColumns) + ".";
  }
  return subject + " has " + CountText(extent.Rows) + " rows; a worksheet holds at most " + CountText(kSheetMaxRows) +
         ".";
}

}  // namespace ln40
