#include "exchange/cell_from_text.h"

#include <cmath>
#include <cstdlib>

#include "text/codepage.h"
#include "exchange/date_time_text.h"

namespace ln40 {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

char16_t Wide(char c) { return static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(c))); }

// The text without thousands separators when they group the integer part by three; the
// text itself otherwise.
std::u16string WithoutThousandsSeparators(std::u16string_view text, char16_t thousands, char16_t decimal) {
  const size_t point = text.find(decimal);
  const size_t integer_end = point == std::u16string_view::npos ? text.size() : point;
  if (point != std::u16string_view::npos && text.find(thousands, point) != std::u16string_view::npos) {
    return std::u16string(text);
  }
  if (!text.empty() && text.front() == thousands) return std::u16string(text);
  // Every 4th character from the right of the integer part must be a separator, and no
  // separator may stand elsewhere: "4 2" or "1 1 234" are texts, not 42 or 11234.
  for (size_t back = 1; back <= integer_end; ++back) {
    const bool separator = text[integer_end - back] == thousands;
    if (separator != (back % 4 == 0)) return std::u16string(text);
  }
  std::u16string cleaned;
  cleaned.reserve(text.size());
  for (char16_t c : text) {
    if (c != thousands) cleaned += c;
  }
  return cleaned;
}

// A decimal number as a whole: blanks, sign, digits with at most one separator, exponent.
bool ParseDecimal(std::u16string_view text, char16_t decimal, double& value) {
  size_t pos = 0;
  const size_t size = text.size();
  while (pos < size && IsBlank(text[pos])) ++pos;
  // Most texts that are no number show it at once; spare them the rest.
  if (pos == size || !(IsDigit(text[pos]) || text[pos] == u'+' || text[pos] == u'-' || text[pos] == decimal)) {
    return false;
  }
  std::string plain;
  plain.reserve(size);
  if (text[pos] == u'+' || text[pos] == u'-') plain += static_cast<char>(text[pos++]);
  size_t digits = 0;
  while (pos < size && IsDigit(text[pos])) {
    plain += static_cast<char>(text[pos++]);
    ++digits;
  }
  if (pos < size && text[pos] == decimal) {
    plain += '.';
    ++pos;
    while (pos < size && IsDigit(text[pos])) {
      plain += static_cast<char>(text[pos++]);
      ++digits;
    }
  }
  if (digits == 0) return false;
  if (pos < size && (text[pos] == u'E' || text[pos] == u'e')) {
    plain += 'e';
    ++pos;
    if (pos < size && (text[pos] == u'+' || text[pos] == u'-')) plain += static_cast<char>(text[pos++]);
    size_t exponent_digits = 0;
    while (pos < size && IsDigit(text[pos])) {
      plain += static_cast<char>(text[pos++]);
      ++exponent_digits;
    }
    if (exponent_digits == 0) return false;
  }
  while (pos < size && IsBlank(text[pos])) ++pos;
  if (pos != size) return false;
  // Whole numbers of up to 15 digits (start and chip numbers) are exact as doubles and are
  // read without the general conversion.
  const bool whole = plain.size() <= 15 && plain.find_first_of(".e") == std::string::npos;
  double parsed = 0;
  if (whole) {
    for (char c : plain) {
      if (c >= '0' && c <= '9') parsed = parsed * 10 + (c - '0');
    }
    if (plain[0] == '-') parsed = -parsed;
  } else {
    parsed = std::strtod(plain.c_str(), nullptr);
  }
  // A number beyond the double range is no number a cell can hold.
  if (!std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

bool EqualsUpper(const std::u16string& text, const char16_t* word) {
  size_t i = 0;
  for (; word[i] != 0; ++i) {
    if (i >= text.size()) return false;
    char16_t c = text[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    if (c != word[i]) return false;
  }
  return i == text.size();
}

// A date or time has a digit and a separator; most texts lack one and need no closer look.
bool MayBeDateTimeText(const std::u16string& text, const Locale& locale) {
  bool digit = false, separator = false;
  const char16_t date = Wide(locale.dateSeparator), time = Wide(locale.timeSeparator);
  for (char16_t c : text) {
    digit = digit || IsDigit(c);
    separator = separator || c == u':' || c == u'.' || c == u'/' || c == u'-' || c == date || c == time;
  }
  return digit && separator;
}

}  // namespace

bool ReadNumberText(const std::u16string& text, const Locale& locale, double& value) {
  const char16_t decimal = Wide(locale.decimalSeparator);
  const char16_t thousands = Wide(locale.thousandsSeparator);
  if (text.find(thousands) == std::u16string::npos) return ParseDecimal(text, decimal, value);
  return ParseDecimal(WithoutThousandsSeparators(text, thousands, decimal), decimal, value);
}

void SetCellFromText(TXLSFile& book, int row, int col, const std::u16string& text, const TCellFormat* format,
                     const std::u16string& date_format, const std::u16string& time_format, const TCellTextRules& rules) {
  const Locale& locale = *rules.Locale;
  const auto add_format = [&](const TCellFormat& f) {
    return rules.AddFormat ? rules.AddFormat(book, f) : book.AddFormat(f);
  };
  const int xf = format ? add_format(*format) : -1;

  double number = 0;
  if (ReadNumberText(text, locale, number)) {
    book.SetCellValue(row, col, CellValue::Number(number), xf);
    return;
  }
  if (EqualsUpper(text, u"FALSE") || EqualsUpper(text, u"TRUE")) {
    book.SetCellValue(row, col, CellValue::Boolean(EqualsUpper(text, u"TRUE")), xf);
    return;
  }
  TDateTime when = 0;
  std::u16string code;
  if (MayBeDateTimeText(text, locale) &&
      ReadDateTimeText(Utf16ToCp1252(text), date_format, time_format, locale, rules.DefaultYear, when, code)) {
    TCellFormat dated;
    if (format) {
      dated = *format;
    } else {
      const int present = book.CellFormatIndex(row, col);
      dated = book.GetFormat(present >= 0 ? present : 0);
    }
    dated.NumberFormat = code;
    book.SetCellValue(row, col, CellValue::Number(when), add_format(dated));
    return;
  }
  book.SetCellValue(row, col, text.empty() ? CellValue::Empty() : CellValue::String(text), xf);
}

}  // namespace ln40
