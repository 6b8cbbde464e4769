#include "exchange/date_time_text.h"

#include <array>
#include <cmath>
#include <optional>
#include <vector>

#include "text/codepage.h"

namespace ln40 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// The blank-separated parts of a text; false when there are more than `parts` can hold.
struct Parts {
  std::array<std::string_view, 3> items;
  size_t count = 0;
  size_t size() const { return count; }
  bool empty() const { return count == 0; }
  std::string_view operator[](size_t i) const { return items[i]; }
};

bool SplitAtBlanks(std::string_view text, Parts& parts) {
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    if (pos > start) {
      if (parts.count == parts.items.size()) return false;
      parts.items[parts.count++] = text.substr(start, pos - start);
    }
  }
  return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (UpperCaseChar(a[i]) != UpperCaseChar(b[i])) return false;
  }
  return true;
}

enum class Marker { Am, Pm };

std::optional<Marker> ReadMarker(std::string_view text, const Locale& locale) {
  if (text.empty()) return std::nullopt;
  if (EqualsIgnoringCase(text, locale.amText) || EqualsIgnoringCase(text, "AM")) return Marker::Am;
  if (EqualsIgnoringCase(text, locale.pmText) || EqualsIgnoringCase(text, "PM")) return Marker::Pm;
  return std::nullopt;
}

// Exactly `min` to `max` digits at `pos`.
bool ReadNumber(std::string_view text, size_t& pos, size_t min, size_t max, int& value) {
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && IsDigit(text[pos]) && pos - start < max) value = value * 10 + (text[pos++] - '0');
  return pos - start >= min && (pos == text.size() || !IsDigit(text[pos]));
}

bool IsTimeSeparator(char c, const Locale& locale) { return c == ':' || c == locale.timeSeparator; }
bool IsDateSeparator(char c, const Locale& locale) { return c == '/' || c == '-' || c == locale.dateSeparator; }

// h:mm, h:mm:ss, hh:mm, hh:mm:ss, with a morning/afternoon marker attached or as the next
// part.
bool ReadTime(std::string_view text, std::optional<std::string_view> marker_part, const Locale& locale,
              TDateTime& value) {
  size_t pos = 0;
  int hour = 0, minute = 0, second = 0;
  if (!ReadNumber(text, pos, 1, 2, hour)) return false;
  if (pos == text.size() || !IsTimeSeparator(text[pos], locale)) return false;
  ++pos;
  if (!ReadNumber(text, pos, 2, 2, minute)) return false;
  if (pos < text.size() && IsTimeSeparator(text[pos], locale)) {
    ++pos;
    if (!ReadNumber(text, pos, 2, 2, second)) return false;
  }
  std::optional<Marker> marker;
  if (pos < text.size()) {
    marker = ReadMarker(text.substr(pos), locale);
    if (!marker) return false;
  }
  if (marker_part) {
    if (marker) return false;
    marker = ReadMarker(*marker_part, locale);
    if (!marker) return false;
  }
  if (marker) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (*marker == Marker::Pm ? 12 : 0);
  }
  return TryEncodeTime(hour, minute, second, 0, value);
}

bool ReadDate(std::string_view text, const Locale& locale, int default_year, TDateTime& value) {
  // Every separator the text may use becomes the locale's, so one reader of the locale's
  // order serves all; a character the locale's reader would not take fails there.
  std::string normal(text);
  bool has_separator = false;
  for (char& c : normal) {
    if (IsDateSeparator(c, locale)) {
      c = locale.dateSeparator;
      has_separator = true;
    } else if (!IsDigit(c)) {
      return false;
    }
  }
  if (!has_separator) return false;
  // Year first, as the ISO form writes it.
  size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (ReadNumber(normal, pos, 4, 4, year) && pos < normal.size()) {
    ++pos;
    if (!ReadNumber(normal, pos, 1, 2, month) || pos >= normal.size()) return false;
    ++pos;
    if (!ReadNumber(normal, pos, 1, 2, day) || pos != normal.size()) return false;
    return TryEncodeDate(year, month, day, value);
  }
  return TryReadDate(normal, locale, default_year, value);
}

bool IsNonNegativeInteger(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// `code` with every "AMPM" outside double quotes, in any case, spelled "AM/PM", appended to
// `out`.
void AppendSpelledOutAmPm(std::u16string& out, const std::u16string& code) {
  bool quoted = false;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i] == u'"') quoted = !quoted;
    if (!quoted && (code[i] == u'A' || code[i] == u'a') && i + 4 <= code.size()) {
      bool match = true;
      const char16_t* word = u"AMPM";
      for (size_t k = 0; k < 4 && match; ++k) {
        char16_t c = code[i + k];
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
        match = c == word[k];
      }
      if (match) {
        out += u"AM/PM";
        i += 3;
        continue;
      }
    }
    out += code[i];
  }
}

// Whether the text is two or three whole numbers joined by points (12.30, 1.2.3), or more
// whose first three are: a decimal number or a version rather than a time.
bool IsNumbersWithPoints(std::string_view text) {
  size_t pieces = 0;
  size_t start = 0;
  bool whole = true;  // the pieces so far, at most three, are whole numbers
  while (true) {
    const size_t point = text.find('.', start);
    const std::string_view piece =
        text.substr(start, point == std::string_view::npos ? std::string_view::npos : point - start);
    if (++pieces <= 3) whole = whole && IsNonNegativeInteger(piece);
    if (point == std::string_view::npos) break;
    start = point + 1;
  }
  return pieces >= 2 && whole;
}

}  // namespace

bool ParseDateTimeText(std::string_view text, const Locale& locale, int default_year, TDateTime& value) {
  Parts parts;
  if (!SplitAtBlanks(text, parts) || parts.empty()) return false;
  const auto has_time_separator = [&](std::string_view part) {
    for (char c : part) {
      if (IsTimeSeparator(c, locale)) return true;
    }
    return false;
  };
  TDateTime date = 0, time = 0;
  size_t next = 0;
  if (!has_time_separator(parts[0])) {
    if (!ReadDate(parts[0], locale, default_year, date)) return false;
    next = 1;
  }
  if (next < parts.size()) {
    const std::optional<std::string_view> marker =
        next + 2 == parts.size() ? std::optional<std::string_view>(parts[next + 1]) : std::nullopt;
    if (next + 2 < parts.size()) return false;
    if (!ReadTime(parts[next], marker, locale, time)) return false;
  }
  value = date + time;
  return true;
}

std::u16string LocalePatternToFormatCode(std::string_view pattern) {
  std::u16string code;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '\'') {
      const size_t end = pattern.find('\'', i + 1);
      const std::string_view literal = pattern.substr(i + 1, end == std::string_view::npos ? std::string_view::npos : end - i - 1);
      code += u'"';
      code += Cp1252ToUtf16(literal);
      code += u'"';
      if (end == std::string_view::npos) break;
      i = end;
    } else if ((c == 'A' || c == 'a') && i + 1 < pattern.size() && (pattern[i + 1] == 'P' || pattern[i + 1] == 'p')) {
      code += u"AM/PM";
      ++i;
    } else if (c == 'z') {
      code += u'0';
    } else if (c == 'M') {
      // The month in the lower case that workbooks are written with; the locale's minutes
      // ("mm") follow an hour, which keeps them minutes in the workbook code.
      code += u'm';
    } else {
      code += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(c)));
    }
  }
  return code;
}

bool ReadDateTimeText(std::string_view text, const std::u16string& date_format, const std::u16string& time_format,
                      const Locale& locale, int default_year, TDateTime& value, std::u16string& format_code) {
  TDateTime parsed = 0;
  if (!ParseDateTimeText(text, locale, default_year, parsed)) return false;

  // A value without a day that the text wrote with points (12.30, 1.2.3) is a decimal
  // number or a version, not a time.
  if (std::trunc(parsed) == 0 && IsNumbersWithPoints(text)) return false;

  bool names_date = false, names_time = false;
  for (char c : text) {
    if (c == '.' || c == '/' || c == '-' || c == locale.dateSeparator) names_date = true;
    if (c == ':' || c == locale.timeSeparator) names_time = true;
  }
  const bool has_date = names_date && std::trunc(parsed) > 0;
  const bool has_time = names_time;
  if (!has_date && !has_time) return false;

  format_code.clear();
  if (has_date) format_code = date_format.empty() ? LocalePatternToFormatCode(locale.shortDateFormat) : date_format;
  if (has_date && has_time) format_code += u' ';
  if (has_time) {
    AppendSpelledOutAmPm(format_code,
                         time_format.empty() ? LocalePatternToFormatCode(locale.shortTimeFormat) : time_format);
  }
  value = parsed;
  return true;
}

}  // namespace ln40
