#pragma once
// What one worksheet of an Excel 97-2003 workbook holds, and the messages that refuse a file
// or a table beyond it. Imports check a file's extent before they size a table, so that no
// file can make the program allocate more than a sheet could ever hold; exports check a
// table before they write, so that a save too large for its sheet fails with a message that
// names the limit instead of half-way through the cells.
#include <cstdint>
#include <string>

namespace ln40 {

inline constexpr int kSheetMaxRows = 65536;   // sheet rows 1 to 65,536
inline constexpr int kSheetMaxColumns = 256;  // sheet columns A to IV

// The rows and columns a file or a table spans.
struct TSheetExtent {
  std::int64_t Rows = 0;
  std::int64_t Cols = 0;
};

// Whether `extent` fits one worksheet.
bool FitsOneSheet(TSheetExtent extent);

// A count with a comma between thousands, as the messages write it: 20,001.
std::string CountText(std::int64_t count);

// `subject` + " has 20,001 columns; a worksheet holds at most 256." when the columns are too
// many, else the same of the rows ("... has 70,000 rows; a worksheet holds at most 65,536.").
std::string BeyondOneSheetMessage(const std::string& subject, TSheetExtent extent);

}  // namespace ln40
