#pragma once
// Storing a table text in a workbook cell as the typed value it reads as: a number, a
// boolean, a date or time with its number format, or a string. The one conversion from the
// tables' texts to workbook values, used by the export and by the delimited-text import.
#include <functional>
#include <string>

#include "text/locale.h"
#include "xls/xls_file.h"
#include "xls/xls_format.h"

namespace ln40 {

// Reads a number the way the export does: blanks around it, an optional sign, digits with
// at most one decimal separator, an optional exponent (E or e, optional sign, digits).
// Thousands separators are removed first when they stand exactly every three digits of the
// integer part ("1 234" reads 1234, "1 23" does not read).
bool ReadNumberText(const std::u16string& text, const Locale& locale, double& value);

// What SetCellFromText needs besides the cell: the regional settings, the year of dates
// written without one, and how a format becomes an XF index (TXLSFile::AddFormat unless a
// caller supplies a cache in front of it).
struct TCellTextRules {
  const ln40::Locale* Locale = nullptr;
  int DefaultYear = 2000;
  std::function<int(TXLSFile&, const TCellFormat&)> AddFormat;
};

// Stores `text` in the cell (1-based row and column), trying in turn: number, TRUE/FALSE
// (any case), date or time (date_time_text.h; empty date and time formats stand for the
// locale's short formats), string. With `format` the cell gets that format; without it the
// cell keeps its XF, and a date or time takes the cell's present format (XF 0's for a cell
// without a record) with the date-time number format. An empty text stores no string: a
// BLANK record when the cell's XF differs from the default of its position, else nothing.
void SetCellFromText(TXLSFile& book, int row, int col, const std::u16string& text, const TCellFormat* format,
                     const std::u16string& date_format, const std::u16string& time_format, const TCellTextRules& rules);

}  // namespace ln40
