#pragma once
// Rendering a workbook cell the way its number format code shows it: sections, colour and
// currency tags, quoted and escaped literals, date and time codes (elapsed [h] [m] [s] and
// fractions of a second too) and digit patterns. A section with a date or time code shows
// a date or time only: its other characters are literal text, its digit places show
// nothing, and a value no date can show (negative, or past the year 9999) shows "####". A
// code it cannot follow falls back to the plain text of the value. Never fails.
#include <string>
#include <variant>

#include "text/locale.h"

namespace ln40 {

// A cell's value: empty, a number (dates and times are numbers), a string or a boolean.
struct CellValue {
  enum class Kind { Empty, Number, String, Boolean };
  Kind kind = Kind::Empty;
  double number = 0;
  std::u16string text;
  bool boolean = false;

  static CellValue Empty() { return {}; }
  static CellValue Number(double value) { return {Kind::Number, value, {}, false}; }
  static CellValue String(std::u16string value) { return {Kind::String, 0, std::move(value), false}; }
  static CellValue Boolean(bool value) { return {Kind::Boolean, 0, {}, value}; }
};

// The value as text without a format: a number in its shortest form with up to 15
// significant digits (scientific beyond 15 integer digits or below 0.0001), a boolean as
// True or False.
std::u16string PlainTextOfValue(const CellValue& value, const Locale& locale);

// The day a workbook's date serials count from ([MS-XLS] Date1904 record): in the 1900
// system serial 1 is 1900-01-01 (serials are days since 1899-12-30 from March 1900 on); in
// the 1904 system of older Mac workbooks serial 0 is 1904-01-01, 1462 days later. Only the
// date parts of a format follow it; times of day and elapsed hours, minutes and seconds do
// not.
enum class DateSystem { d1900, d1904 };

// The value as `format_code` shows it; the empty code is the general format.
std::u16string FormatCellValue(const CellValue& value, const std::u16string& format_code, const Locale& locale,
                               DateSystem date_system = DateSystem::d1900);
// The same into `into` (not the value's own text), whose room is reused: for rendering
// many cells.
void FormatCellValue(const CellValue& value, const std::u16string& format_code, const Locale& locale,
                     std::u16string& into, DateSystem date_system = DateSystem::d1900);

}  // namespace ln40
