#pragma once
// TDateTime: days since 1899-12-30 as a double, the time of day in the fraction.
// Formatting and reading follow the regional settings of a Locale.
#include <string>
#include <string_view>

#include "text/locale.h"

namespace ln40 {

using TDateTime = double;

constexpr int kMsPerDay = 86400000;

struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
};

struct TimeParts {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);

// False for a day that does not exist (years 1 to 9999).
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
// False unless hour < 24, minute < 60, second < 60 and millisecond < 1000.
bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result);

// The value is first rounded to whole milliseconds; a negative value's time of day is
// taken from its magnitude, so the difference of two times reads as its size.
DateParts DecodeDate(TDateTime value);
TimeParts DecodeTime(TDateTime value);

// The date part alone (midnight of the value's day).
TDateTime DateOf(TDateTime value);

// Formats value with a pattern of the kind Locale describes.
std::string FormatDateTime(std::string_view pattern, TDateTime value, const Locale& locale);

// "hh:mm:ss": two-digit hours 00 to 23, so a difference of two times shows its size
// modulo 24 hours and fractions of a second are dropped.
std::string FormatTimeOfDay(TDateTime value, const Locale& locale);

// Reads a time of day: blanks around the text; hours, optionally the time separator and
// minutes, optionally the time separator and seconds, optionally the decimal separator and
// milliseconds; the locale's AM/PM marker (or AM/PM) before or after. Hours 0-23 (1-12 with
// a marker), minutes and seconds 0-59, milliseconds 0-999. Anything else fails.
bool TryReadTimeOfDay(std::string_view text, const Locale& locale, TDateTime& result);

// Reads a date in the order of the locale's short date format (day, month and year
// separated by the date separator). Two numbers mean day and month of default_year;
// a one- or two-digit year is taken within 50 years of default_year.
bool TryReadDate(std::string_view text, const Locale& locale, int default_year, TDateTime& result);

// A date, optionally followed by blanks and a time of day as TryReadTimeOfDay reads it.
bool TryReadDateTime(std::string_view text, const Locale& locale, int default_year,
                     TDateTime& result);

}  // namespace ln40
