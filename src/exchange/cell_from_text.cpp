#include "exchange/cell_from_text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "exchange/date_time_text.h"
#include "text/codepage.h"

namespace ln40 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The text without thousands separators when they group the integer part by three; the
// text itself otherwise.
std::string WithoutThousandsSeparators(std::string_view text, char thousands, char decimal) {
  const size_t point = text.find(decimal);
  const size_t integer_end = point == std::string_view::npos ? text.size() : point;
  if (point != std::string_view::npos && text.find(thousands, point) != std::string_view::npos) {
    return std::string(text);
  }
  if (!text.empty() && text.front() == thousands) return std::string(text);
  // Every 4th character from the right of the integer part must be a separator, and no
  // separator may stand elsewhere: "4 2" or "1 1 234" are texts, not 42 or 11234.
  for (size_t back = 1; back <= integer_end; ++back) {
    const bool separator = text[integer_end - back] == thousands;
    if (separator != (back % 4 == 0)) return std::string(text);
  }
  std::string cleaned;
  cleaned.reserve(text.size());
  for (char c : text) {
    if (c != thousands) cleaned += c;
  }
  return cleaned;
}

// A decimal number as a whole: blanks, sign, digits with at most one separator, exponent.
bool ParseDecimal(std::string_view text, char decimal, double& value) {
  size_t pos = 0;
  const size_t size = text.size();
  while (pos < size && IsBlank(text[pos])) ++pos;
  const size_t start = pos;
  if (pos < size && (text[pos] == '+' || text[pos] == '-')) ++pos;
  size_t digits = 0;
  while (pos < size && IsDigit(text[pos])) {
    ++pos;
    ++digits;
  }
  bool whole = true;  // no separator, no exponent
  if (pos < size && text[pos] == decimal) {
    whole = false;
    ++pos;
    while (pos < size && IsDigit(text[pos])) {
      ++pos;
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (pos < size && (text[pos] == 'E' || text[pos] == 'e')) {
    whole = false;
    ++pos;
    if (pos < size && (text[pos] == '+' || text[pos] == '-')) ++pos;
    size_t exponent_digits = 0;
    while (pos < size && IsDigit(text[pos])) {
      ++pos;
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  const std::string_view number = text.substr(start, pos - start);
  while (pos < size && IsBlank(text[pos])) ++pos;
  if (pos != size) return false;
  double parsed = 0;
  if (whole && number.size() <= 15) {
    // Whole numbers of up to 15 digits (start and chip numbers) are exact as doubles and are
    // read without the general conversion.
    for (char c : number) {
      if (IsDigit(c)) parsed = parsed * 10 + (c - '0');
    }
    if (number.front() == '-') parsed = -parsed;
  } else {
    std::string plain(number);
    if (!whole) std::replace(plain.begin(), plain.end(), decimal, '.');
    parsed = std::strtod(plain.c_str(), nullptr);
  }
  // A number beyond the double range is no number a cell can hold.
  if (!std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool EqualsUpper(std::string_view text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
    if (c != word[i]) return false;
  }
  return true;
}

// A date or time has a digit and a separator; most texts lack one and need no closer look.
bool MayBeDateTimeText(std::string_view text, const Locale& locale) {
  bool digit = false, separator = false;
  for (char c : text) {
    digit = digit || IsDigit(c);
    separator = separator || c == ':' || c == '.' || c == '/' || c == '-' || c == locale.dateSeparator ||
                c == locale.timeSeparator;
  }
  return digit && separator;
}

// The Windows-1252 form of a UTF-16 text; false when a character is outside the code page.
bool ToCp1252(const std::u16string& text, std::string& narrow) {
  narrow.clear();
  narrow.reserve(text.size());
  for (char16_t c : text) {
    char byte = 0;
    if (!CodePointToCp1252(c, byte)) return false;
    narrow += byte;
  }
  return true;
}

}  // namespace

bool ReadNumberText(std::string_view text, const Locale& locale, double& value) {
  const char decimal = locale.decimalSeparator;
  const char thousands = locale.thousandsSeparator;
  // Most texts that are no number show it at their first character; spare them the rest.
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  const char c = text[first];
  if (!IsDigit(c) && c != '+' && c != '-' && c != decimal && c != thousands) return false;
  if (text.find(thousands) == std::string_view::npos) return ParseDecimal(text, decimal, value);
  return ParseDecimal(WithoutThousandsSeparators(text, thousands, decimal), decimal, value);
}

bool ReadNumberText(const std::u16string& text, const Locale& locale, double& value) {
  std::string narrow;
  return ToCp1252(text, narrow) && ReadNumberText(narrow, locale, value);
}

// ---- TCellTextWriter -------------------------------------------------------------------

TCellTextWriter::TCellTextWriter(TXLSFile& book, TCellTextRules rules) : book_(book), rules_(std::move(rules)) {
  string_.kind = CellValue::Kind::String;
  // The locale's formats, made once rather than for every date or time.
  if (rules_.DateFormat.empty()) rules_.DateFormat = LocalePatternToFormatCode(rules_.Locale->shortDateFormat);
  if (rules_.TimeFormat.empty()) rules_.TimeFormat = LocalePatternToFormatCode(rules_.Locale->shortTimeFormat);
}

int TCellTextWriter::AddFormat(const TCellFormat& format) {
  return rules_.AddFormat ? rules_.AddFormat(book_, format) : book_.AddFormat(format);
}

void TCellTextWriter::Set(int row, int col, std::string_view text, const TCellFormat* format) {
  const int xf = format ? AddFormat(*format) : -1;
  if (SetTyped(row, col, text, format, xf)) return;
  if (text.empty()) {
    book_.SetCellValue(row, col, CellValue::Empty(), xf);
    return;
  }
  string_.text.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    string_.text[i] = static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(text[i])));
  }
  book_.SetCellValue(row, col, string_, xf);
}

void TCellTextWriter::Set(int row, int col, const std::u16string& text, const TCellFormat* format) {
  const int xf = format ? AddFormat(*format) : -1;
  std::string narrow;
  if (ToCp1252(text, narrow) && SetTyped(row, col, narrow, format, xf)) return;
  book_.SetCellValue(row, col, text.empty() ? CellValue::Empty() : CellValue::String(text), xf);
}

bool TCellTextWriter::SetTyped(int row, int col, std::string_view text, const TCellFormat* format, int xf) {
  const Locale& locale = *rules_.Locale;
  double number = 0;
  if (ReadNumberText(text, locale, number)) {
    book_.SetCellValue(row, col, CellValue::Number(number), xf);
    return true;
  }
  if (EqualsUpper(text, "FALSE") || EqualsUpper(text, "TRUE")) {
    book_.SetCellValue(row, col, CellValue::Boolean(EqualsUpper(text, "TRUE")), xf);
    return true;
  }
  TDateTime when = 0;
  if (MayBeDateTimeText(text, locale) &&
      ReadDateTimeText(text, rules_.DateFormat, rules_.TimeFormat, locale, rules_.DefaultYear, when, code_)) {
    // A workbook in the 1904 date system counts its days from 1904-01-01; a date before
    // that has no serial there and stays text. A time of day alone is the same in both.
    if (book_.Dates() == DateSystem::d1904 && when >= 1) {
      constexpr double kDays1904 = 1462;  // from 1899-12-30 to 1904-01-01
      if (when < kDays1904) return false;
      when -= kDays1904;
    }
    book_.SetCellValue(row, col, CellValue::Number(when), DateTimeXfOf(row, col, format, xf, code_));
    return true;
  }
  return false;
}

int TCellTextWriter::DateTimeXfOf(int row, int col, const TCellFormat* format, int xf, const std::u16string& code) {
  if (!format) {
    const int present = book_.CellFormatIndex(row, col);
    xf = present >= 0 ? present : 0;
  }
  // The format an XF decodes to is the one it was added for, so the XF with the code is
  // made once per XF and code.
  for (const DateTimeXf& known : date_time_xfs_) {
    if (known.Xf == xf && known.Code == code) return known.DatedXf;
  }
  TCellFormat dated = format ? *format : book_.GetFormat(xf);
  dated.NumberFormat = code;
  const int dated_xf = AddFormat(dated);
  date_time_xfs_.push_back({xf, code, dated_xf});
  return dated_xf;
}

}  // namespace ln40
