#pragma once
// The comparison rule used wherever the system orders rows: how two cell texts compare is
// decided by the first of the two (number, date, date with time, time of day, or text),
// with the locale's separators.
//
// The rule is not a strict weak ordering: a column that mixes numbers, times and texts can
// make it intransitive ("5" before "" before "-5" before "5" ...). Code that sorts with it
// must use an algorithm that stays within bounds for any comparator (TGridTable does).
#include <string_view>

#include "text/locale.h"

namespace ln40 {

// Negative when a sorts before b in ascending order, 0 when equal, positive after.
int CompareCellTexts(std::string_view a, std::string_view b, const Locale& locale);

// The building blocks of CompareCellTexts, public so that a sort can classify and read each
// cell once instead of on every comparison.

// What the text of the first cell of a pair makes of the comparison.
enum class CellClass : unsigned char {
  Number,    // digits, one decimal separator, one thousands separator (not first), a leading minus
  Date,      // date separator at the 2nd or 3rd character, not last, digits either side
  DateTime,  // a date whose text holds the time separator somewhere
  Time,      // time separator at the 2nd or 3rd character, not last, digits either side
  Text,      // anything else, the empty text included: unsigned byte order
};

CellClass ClassifyCellText(std::string_view text, const Locale& locale);

// Year given to a date text without a year ("24.12") when it is read for comparison, and the
// pivot of two-digit years (1950 to 2049). Fixed rather than taken from the clock so that a
// sort gives the same order whenever it runs.
constexpr int kCompareDefaultYear = 2000;

// The value of `text` read the way `cls` reads it: the decimal number, the date, the date
// with time or the time of day. A text that does not read that way (the empty text
// included) counts as 0. Text has no value: 0.
double ReadCellValue(CellClass cls, std::string_view text, const Locale& locale);

// Byte-wise order of two texts: bytes compared unsigned (upper-case letters before
// lower-case ones, æ ø å after z), a text before every longer text it starts.
int CompareBytes(std::string_view a, std::string_view b);

}  // namespace ln40
