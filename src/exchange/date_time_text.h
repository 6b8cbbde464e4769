#pragma once
// Reading a cell text as a date, a time of day or both, for the export of table texts into
// typed workbook cells, and the number format code such a cell is shown with.
//
// The parser accepts, around optional blanks:
//   a date     in the order of the locale's short date format, its parts separated by the
//              locale's date separator, "/" or "-" (8.12.2026, 8-12-2026, 1-2); two parts
//              name day and month of `default_year`; a two-digit year lies within 50 years
//              of it; a four-digit first part reads year-month-day (2026-12-08);
//   a time     hours (one or two digits), the time separator (the locale's or ":"), two
//              digit minutes, optionally a separator and two-digit seconds, optionally the
//              locale's morning/afternoon text or AM/PM, with or without a blank before it;
//   both       a date, blanks, a time.
// Fractions of a second are refused on purpose: such a text stays a string and so keeps
// its milliseconds, where a time cell shown as "hh:mm:ss" would drop them.
#include <string>
#include <string_view>

#include "text/date_time.h"
#include "text/locale.h"

namespace ln40 {

// The parser alone: the day number of a text as described above (days since 1899-12-30,
// the time of day in the fraction). Windows-1252 text.
bool ParseDateTimeText(std::string_view text, const Locale& locale, int default_year, TDateTime& value);

// A date or time pattern of the locale ("dd.MM.yyyy", "h:mm AP") as a workbook number
// format code ("dd.mm.yyyy", "h:mm AM/PM"): the month letter M becomes the workbook's
// lower-case m, quoted literals become double-quoted, the AP marker becomes AM/PM,
// milliseconds become zeros (fractions of a second).
std::u16string LocalePatternToFormatCode(std::string_view pattern);

// Whether `text` reads as a date, a time or both, and the code to show it with: the date
// code (`date_format`, or the locale's short date format when empty) when the text names a
// date, followed by a blank and the time code (`time_format`, or the locale's short time
// format) when it names a time. Texts such as 12.30 or 1.2.3 that read as a time of day
// without a date are refused, so that decimal-looking texts never become times.
bool ReadDateTimeText(std::string_view text, const std::u16string& date_format, const std::u16string& time_format,
                      const Locale& locale, int default_year, TDateTime& value, std::u16string& format_code);

}  // namespace ln40
