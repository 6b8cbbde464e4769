#pragma once
// Storing a table text in a workbook cell as the typed value it reads as: a number, a
// boolean, a date or time with its number format, or a string. The one conversion from the
// tables' texts to workbook values, used by the export and by the delimited-text import.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/locale.h"
#include "xls/xls_file.h"
#include "xls/xls_format.h"

namespace ln40 {

// Reads a number the way the export does: blanks around it, an optional sign, digits with
// at most one decimal separator, an optional exponent (E or e, optional sign, digits).
// Thousands separators are removed first when they stand exactly every three digits of the
// integer part ("1 234" reads 1234, "1 23" does not read). Windows-1252 text; the UTF-16
// form reads the same, a character outside the code page making it no number.
bool ReadNumberText(std::string_view text, const Locale& locale, double& value);
bool ReadNumberText(const std::u16string& text, const Locale& locale, double& value);

// What the texts of one run of cells share besides their cells: the regional settings, the
// year of dates written without one, the date and time formats (empty ones stand for the
// locale's short formats), and how a format becomes an XF index (TXLSFile::AddFormat unless
// a caller supplies a cache in front of it).
struct TCellTextRules {
  const ln40::Locale* Locale = nullptr;
  int DefaultYear = 2000;
  std::u16string DateFormat;
  std::u16string TimeFormat;
  std::function<int(TXLSFile&, const TCellFormat&)> AddFormat;
};

// Stores texts in the cells of one workbook, trying in turn: number, TRUE/FALSE (any case),
// date or time (date_time_text.h), string. With a format the cell gets that format; without
// one the cell keeps its XF, and a date or time takes the cell's present format (XF 0's for
// a cell without a record) with the date-time number format. An empty text stores no
// string: a BLANK record when the cell's XF differs from the default of its position, else
// nothing.
//
// A writer is made for a run of cells (an export, an import) and keeps what they share: the
// XFs made for dates and times, and room for the text of a string cell, so that a cell
// costs no allocation of its own. Not thread-safe.
class TCellTextWriter {
 public:
  TCellTextWriter(TXLSFile& book, TCellTextRules rules);

  // Stores a table text (Windows-1252) in the cell (1-based row and column).
  void Set(int row, int col, std::string_view text, const TCellFormat* format);
  // The same for a text in UTF-16; one with characters outside the code page is a string.
  void Set(int row, int col, const std::u16string& text, const TCellFormat* format);

 private:
  int AddFormat(const TCellFormat& format);
  // Stores `text` if it reads as a number, a boolean, a date or a time; false if not.
  bool SetTyped(int row, int col, std::string_view text, const TCellFormat* format, int xf);
  // The XF of a date or time cell: its format (`format`, else the XF `xf` the cell has or
  // 0) with the number format `code`.
  int DateTimeXfOf(int row, int col, const TCellFormat* format, int xf, const std::u16string& code);

  TXLSFile& book_;
  TCellTextRules rules_;
  CellValue string_;  // a string cell's value, its room reused
  std::u16string code_;
  // The date-time XFs made so far: a run of cells has a few.
  struct DateTimeXf {
    int Xf;               // of the format it was made from
    std::u16string Code;  // the number format it has instead
    int DatedXf;
  };
  std::vector<DateTimeXf> date_time_xfs_;
};

}  // namespace ln40
