#include "table/cell_compare.h"

#include <cstring>

#include "text/date_time.h"
#include "text/numbers.h"

namespace ln40 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsNumberText(std::string_view text, const Locale& locale) {
  if (text.empty()) return false;
  int decimals = 0;
  int thousands = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) continue;
    if (c == '-') {
      if (i != 0) return false;
    } else if (c == locale.decimalSeparator) {
      if (++decimals > 1) return false;
    } else if (c == locale.thousandsSeparator) {
      if (i == 0 || ++thousands > 1) return false;
    } else {
      return false;
    }
  }
  return true;
}

// The first `separator` sits at the 2nd or 3rd character and is not the last character.
// Returns its position, or 0 when it does not.
size_t SeparatorPosition(std::string_view text, char separator) {
  const size_t pos = text.find(separator);
  if (pos != 1 && pos != 2) return 0;
  if (pos + 1 >= text.size()) return 0;
  return pos;
}

bool DigitsAround(std::string_view text, size_t pos) {
  return IsDigit(text[pos - 1]) && IsDigit(text[pos + 1]);
}

}  // namespace

CellClass ClassifyCellText(std::string_view text, const Locale& locale) {
  if (IsNumberText(text, locale)) return CellClass::Number;
  if (const size_t pos = SeparatorPosition(text, locale.dateSeparator); pos != 0) {
    // A date separator in date position decides: a date, or text when no digits surround it.
    if (!DigitsAround(text, pos)) return CellClass::Text;
    return text.find(locale.timeSeparator) != std::string_view::npos ? CellClass::DateTime
                                                                      : CellClass::Date;
  }
  if (const size_t pos = SeparatorPosition(text, locale.timeSeparator); pos != 0) {
    return DigitsAround(text, pos) ? CellClass::Time : CellClass::Text;
  }
  return CellClass::Text;
}

double ReadCellValue(CellClass cls, std::string_view text, const Locale& locale) {
  double value = 0;
  bool ok = false;
  switch (cls) {
    case CellClass::Number:
      ok = TryReadDecimal(text, locale, value);
      break;
    case CellClass::Date:
      ok = TryReadDate(text, locale, kCompareDefaultYear, value);
      break;
    case CellClass::DateTime:
      ok = TryReadDateTime(text, locale, kCompareDefaultYear, value);
      break;
    case CellClass::Time:
      ok = TryReadTimeOfDay(text, locale, value);
      break;
    case CellClass::Text:
      break;
  }
  return ok ? value : 0.0;
}

int CompareBytes(std::string_view a, std::string_view b) {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  // memcmp compares as unsigned char, which puts the bytes above 0x7F after 'z'.
  if (common != 0) {
    const int result = std::memcmp(a.data(), b.data(), common);
    if (result != 0) return result < 0 ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareCellTexts(std::string_view a, std::string_view b, const Locale& locale) {
  const CellClass cls = ClassifyCellText(a, locale);
  if (cls == CellClass::Text) return CompareBytes(a, b);
  const double va = ReadCellValue(cls, a, locale);
  const double vb = ReadCellValue(cls, b, locale);
  return (va > vb) - (va < vb);
}

}  // namespace ln40
