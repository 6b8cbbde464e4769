#include "workbook/number_format.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "text/codepage.h"
#include "text/date_time.h"

namespace ln40 {
namespace {

using Text = std::u16string;

Text Widen(const std::string& cp1252) { return Cp1252ToUtf16(cp1252); }

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

bool IsLiteralChar(char16_t c) {
  switch (c) {
    case u' ': case u'!': case u'$': case u'&': case u'\'': case u'(': case u')': case u'<':
    case u'=': case u'>': case u'^': case u'{': case u'}': case u'~': case 0xB4:
      return true;
    default:
      return false;
  }
}

bool IsDateTimeChar(char16_t c) {
  switch (Upper(c)) {
    case u'.': case u'/': case u':': case u'A': case u'C': case u'D': case u'H': case u'M':
    case u'N': case u'P': case u'Q': case u'S': case u'T': case u'W': case u'Y':
      return true;
    default:
      return false;
  }
}

bool IsNumberChar(char16_t c) {
  switch (c) {
    case u'#': case u'%': case u'+': case u',': case u'-': case u'.': case u'0': case u'E': case u'e':
      return true;
    default:
      return false;
  }
}

// The value's decimal digits rounded to 15 significant digits: digits without the point
// and the power of ten of the first digit. Zero gives "0" and exponent 0.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal ToDecimal(double magnitude) {
  Decimal decimal;
  if (magnitude == 0 || !std::isfinite(magnitude)) {
    decimal.digits.assign(1, '0');
    return decimal;
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
  const std::string text(buffer, result.ptr);  // d.dddddddddddddde±XX
  const size_t e = text.find('e');
  for (size_t i = 0; i < e; ++i) {
    if (text[i] != '.') decimal.digits += text[i];
  }
  decimal.exponent = std::stoi(text.substr(e + 1));
  while (decimal.digits.size() > 1 && decimal.digits.back() == '0') decimal.digits.pop_back();
  return decimal;
}

// Rounds half away from zero to `places` digits after the point; returns the integer and
// fraction digits (the fraction exactly `places` long).
void RoundFixed(const Decimal& decimal, int places, std::string& integer, std::string& fraction) {
  // Position of the digit after which we cut, counted in the digit string.
  std::string digits = decimal.digits;
  int point = decimal.exponent + 1;  // digits before the point
  if (point < 0) {
    digits.insert(0, static_cast<size_t>(-point), '0');
    point = 0;
  }
  if (static_cast<int>(digits.size()) < point + places + 1) digits.append(point + places + 1 - digits.size(), '0');
  const bool round_up = digits[point + places] >= '5';
  digits.resize(point + places);
  if (round_up) {
    int i = static_cast<int>(digits.size()) - 1;
    while (i >= 0 && digits[i] == '9') digits[i--] = '0';
    if (i >= 0) {
      ++digits[i];
    } else {
      digits.insert(digits.begin(), '1');
      ++point;
    }
  }
  integer = digits.substr(0, point);
  fraction = digits.substr(point);
  while (integer.size() > 1 && integer[0] == '0') integer.erase(0, 1);
  if (integer.empty()) integer = "0";
}

std::string GroupThousands(const std::string& digits, char separator) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

// Formats the number run `run` for `value` (already scaled for percent signs).
Text FormatDecimalRun(const Text& run, double value, const Locale& locale) {
  // Split the run: integer pattern, fraction pattern, exponent pattern.
  size_t exponent_at = Text::npos;
  for (size_t i = 0; i + 2 < run.size() + 1; ++i) {
    if ((run[i] == u'E' || run[i] == u'e') && i + 1 < run.size() && (run[i + 1] == u'+' || run[i + 1] == u'-') &&
        i + 2 < run.size() && run[i + 2] == u'0') {
      exponent_at = i;
      break;
    }
  }
  const Text mantissa = run.substr(0, exponent_at);
  const size_t point_at = mantissa.find(u'.');
  const Text integer_pattern = mantissa.substr(0, point_at);
  const Text fraction_pattern = point_at == Text::npos ? Text() : mantissa.substr(point_at + 1);
  const bool grouping = run.find(u',') != Text::npos;

  int integer_zeros = 0, integer_places = 0, fraction_zeros = 0, fraction_places = 0;
  for (char16_t c : integer_pattern) {
    if (c == u'0' || c == u'#') ++integer_places;
    if (c == u'0') ++integer_zeros;
  }
  for (char16_t c : fraction_pattern) {
    if (c == u'0' || c == u'#') {
      ++fraction_places;
      if (c == u'0') fraction_zeros = fraction_places;  // zeros count up to the last '0'
    }
  }

  const bool negative = value < 0;
  double magnitude = std::fabs(value);
  int exponent = 0;
  if (exponent_at != Text::npos && magnitude != 0) {
    const int integer_digits = std::max(1, integer_places);
    Decimal decimal = ToDecimal(magnitude);
    exponent = decimal.exponent - (integer_digits - 1);
    magnitude = magnitude / std::pow(10.0, exponent);
    // Rounding may carry into a new digit: 9.99 shown with one decimal is 10.0.
    std::string integer, fraction;
    RoundFixed(ToDecimal(magnitude), fraction_places, integer, fraction);
    if (static_cast<int>(integer.size()) > integer_digits) {
      ++exponent;
      magnitude /= 10;
    }
  }

  std::string integer, fraction;
  RoundFixed(ToDecimal(magnitude), fraction_places, integer, fraction);
  if (integer == "0" && integer_zeros == 0) integer.clear();
  if (static_cast<int>(integer.size()) < integer_zeros) integer.insert(0, integer_zeros - integer.size(), '0');
  while (static_cast<int>(fraction.size()) > fraction_zeros && !fraction.empty() && fraction.back() == '0') {
    fraction.pop_back();
  }
  if (grouping) integer = GroupThousands(integer, locale.thousandsSeparator);

  Text out;
  if (negative) out += u'-';
  // Characters of the integer pattern before its first digit place, the digits, then the
  // characters after it; likewise for the fraction.
  bool digits_written = false;
  for (char16_t c : integer_pattern) {
    if (c == u'0' || c == u'#') {
      if (!digits_written) out += Widen(integer);
      digits_written = true;
    } else if (c != u',') {
      out += c;
    }
  }
  if (!digits_written) out += Widen(integer);
  if (point_at != Text::npos) {
    out += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(locale.decimalSeparator)));
    bool fraction_written = false;
    for (char16_t c : fraction_pattern) {
      if (c == u'0' || c == u'#') {
        if (!fraction_written) out += Widen(fraction);
        fraction_written = true;
      } else if (c != u',' && c != u'.') {
        out += c;
      }
    }
  }
  if (exponent_at != Text::npos) {
    out += run[exponent_at];
    const bool plus_sign = run[exponent_at + 1] == u'+';
    if (exponent < 0) {
      out += u'-';
    } else if (plus_sign) {
      out += u'+';
    }
    int exponent_zeros = 0;
    size_t i = exponent_at + 2;
    for (; i < run.size() && run[i] == u'0'; ++i) ++exponent_zeros;
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (static_cast<int>(digits.size()) < exponent_zeros) digits.insert(0, exponent_zeros - digits.size(), '0');
    out += Widen(digits);
    for (; i < run.size(); ++i) {
      if (run[i] != u',') out += run[i];
    }
  }
  return out;
}

Text LocaleText(const std::string& text) { return Widen(text); }

// Formats one date-time run (after the hour-mark rewrite) for value v.
Text FormatDateTimeRun(const Text& run, double value, const Locale& locale) {
  const DateParts date = DecodeDate(value);
  const TimeParts time = DecodeTime(value);
  const int day = static_cast<int>(DateOf(value));
  const int day_of_week = ((day % 7) + 7 + 6) % 7;  // 1899-12-30 was a Saturday

  // 12-hour clock when the run holds an AM/PM code.
  Text upper;
  for (char16_t c : run) upper += Upper(c);
  const bool twelve_hour = upper.find(u"AMPM") != Text::npos || upper.find(u"A/P") != Text::npos;

  const auto number = [](int n, bool pad) {
    std::string digits = std::to_string(n);
    if (pad && digits.size() < 2) digits.insert(0, "0");
    return Widen(digits);
  };

  Text out;
  bool after_hour = false;  // an h code with only non-letters since
  size_t i = 0;
  while (i < run.size()) {
    const char16_t c = run[i];
    const char16_t u = Upper(c);
    size_t count = 1;
    while (i + count < run.size() && Upper(run[i + count]) == u && IsLetter(c)) ++count;
    if (upper.compare(i, 4, u"AMPM") == 0) {
      out += LocaleText(time.hour < 12 ? locale.amText : locale.pmText);
      i += 4;
      after_hour = false;
      continue;
    }
    if (upper.compare(i, 3, u"A/P") == 0) {
      const bool pm = time.hour >= 12;
      const char16_t written = pm ? run[i + 2] : run[i];
      out += written;
      i += 3;
      after_hour = false;
      continue;
    }
    switch (u) {
      case u'D':
        if (count <= 2) out += number(date.day, count == 2);
        else if (count == 3) out += LocaleText(locale.shortDayNames[day_of_week]);
        else if (count == 4) out += LocaleText(locale.longDayNames[day_of_week]);
        else out += LocaleText(FormatDateTime(locale.shortDateFormat, value, locale));
        break;
      case u'M':
        if (count <= 2 && after_hour) out += number(time.minute, count == 2);
        else if (count <= 2) out += number(date.month, count == 2);
        else if (count == 3) out += LocaleText(locale.shortMonthNames[date.month - 1]);
        else out += LocaleText(locale.longMonthNames[date.month - 1]);
        break;
      case u'Y':
        out += count <= 2 ? number(date.year % 100, true) : Widen(std::to_string(date.year));
        break;
      case u'H': {
        int hour = time.hour;
        if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
        out += number(hour, count >= 2);
        break;
      }
      case u'N':
        out += number(time.minute, count >= 2);
        break;
      case u'S':
        out += number(time.second, count >= 2);
        break;
      case u'T':
        out += LocaleText(FormatDateTime(count >= 2 ? locale.longTimeFormat : locale.shortTimeFormat, value, locale));
        break;
      case u'C':
        out += LocaleText(FormatDateTime(locale.shortDateFormat + " " + locale.longTimeFormat, value, locale));
        break;
      case u'/':
        out += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(locale.dateSeparator)));
        break;
      case u':':
        out += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(locale.timeSeparator)));
        break;
      default:
        out.append(count, c);
        break;
    }
    if (u == u'H') {
      after_hour = true;
    } else if (IsLetter(c)) {
      after_hour = false;
    }
    i += count;
  }
  return out;
}

// Skips a leading colour tag: [Black] [Cyan] [Blue] [Green] [Magenta] [Red] [White] [Yellow].
size_t SkipColourTag(const Text& section) {
  if (section.empty() || section[0] != u'[') return 0;
  const size_t close = section.find(u']');
  if (close == Text::npos) return 0;
  static const Text kColours[] = {u"Black", u"Cyan", u"Blue", u"Green", u"Magenta", u"Red", u"White", u"Yellow"};
  const Text name = section.substr(1, close - 1);
  for (const Text& colour : kColours) {
    if (name == colour) return close + 1;
  }
  return 0;
}

// The bracket step: "[$text-...]" appends text; any "[...]" is skipped. False when the
// position holds no "[" or no "]" follows.
bool BracketStep(const Text& s, size_t& pos, Text& out) {
  if (pos >= s.size() || s[pos] != u'[') return false;
  const size_t close = s.find(u']', pos);
  if (close == Text::npos) return false;
  if (pos + 1 < s.size() && s[pos + 1] == u'$') {
    size_t end = pos + 2;
    while (end < s.size() && s[end] != u'-' && s[end] != u']') ++end;
    out += s.substr(pos + 2, end - (pos + 2));
  }
  pos = close + 1;
  return true;
}

bool LiteralStep(const Text& s, size_t& pos, Text& out) {
  if (pos >= s.size()) return false;
  const char16_t c = s[pos];
  if (IsLiteralChar(c)) {
    out += c;
    pos += 1;
  } else if (c == u'\\' || c == u'*') {
    if (pos + 1 < s.size()) out += s[pos + 1];
    pos += 2;
  } else if (c == u'_') {
    if (pos + 1 < s.size()) out += u' ';
    pos += 2;
  } else if (c == u'"') {
    const size_t close = s.find(u'"', pos + 1);
    out += s.substr(pos + 1, close == Text::npos ? Text::npos : close - pos - 1);
    pos = close == Text::npos ? s.size() : close + 1;
  } else {
    return false;
  }
  return true;
}

bool RenderNumberSection(const Text& s, double value, const Locale& locale, Text& out) {
  size_t pos = SkipColourTag(s);
  bool hour_mark = false;
  while (pos < s.size()) {
    const size_t round_start = pos;
    BracketStep(s, pos, out);
    LiteralStep(s, pos, out);
    if (pos < s.size() && IsDateTimeChar(s[pos])) {
      size_t end = pos;
      while (end < s.size() && IsDateTimeChar(s[end])) ++end;
      Text run = s.substr(pos, end - pos);
      for (size_t i = 0; i < run.size(); ++i) {
        const char16_t u = Upper(run[i]);
        if (u == u'H') {
          hour_mark = true;
        } else if (u == u'M' && hour_mark) {
          while (i < run.size() && Upper(run[i]) == u'M') run[i++] = u'n';
          --i;
          hour_mark = false;
        }
      }
      out += FormatDateTimeRun(run, value, locale);
      pos = end;
    }
    if (pos < s.size() && IsNumberChar(s[pos])) {
      size_t end = pos;
      double scaled = value;
      while (end < s.size() && IsNumberChar(s[end])) {
        if (s[end] == u'%') scaled *= 100;
        ++end;
      }
      out += FormatDecimalRun(s.substr(pos, end - pos), scaled, locale);
      pos = end;
    }
    if (pos == round_start) return false;
  }
  return true;
}

bool RenderTextSection(const Text& s, const Text& text, Text& out) {
  size_t pos = SkipColourTag(s);
  while (pos < s.size()) {
    const size_t round_start = pos;
    BracketStep(s, pos, out);
    LiteralStep(s, pos, out);
    if (pos < s.size() && s[pos] == u'@') {
      out += text;
      ++pos;
    }
    if (pos == round_start) return false;
  }
  return true;
}

// "AM/PM" in any case and outside quotes becomes "AMPM".
Text JoinAmPm(const Text& code) {
  Text out;
  bool quoted = false;
  for (size_t i = 0; i < code.size(); ++i) {
    if (code[i] == u'"') quoted = !quoted;
    if (!quoted && i + 5 <= code.size() && Upper(code[i]) == u'A' && Upper(code[i + 1]) == u'M' &&
        code[i + 2] == u'/' && Upper(code[i + 3]) == u'P' && Upper(code[i + 4]) == u'M') {
      out += u"AMPM";
      i += 4;
      continue;
    }
    out += code[i];
  }
  return out;
}

}  // namespace

std::u16string PlainTextOfValue(const CellValue& value, const Locale& locale) {
  switch (value.kind) {
    case CellValue::Kind::Empty: return {};
    case CellValue::Kind::String: return value.text;
    case CellValue::Kind::Boolean: return value.boolean ? u"True" : u"False";
    case CellValue::Kind::Number: break;
  }
  const double v = value.number;
  if (std::isnan(v)) return u"NAN";
  if (std::isinf(v)) return v < 0 ? u"-INF" : u"INF";
  const Decimal decimal = ToDecimal(std::fabs(v));
  const char16_t separator = static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(locale.decimalSeparator)));
  Text out;
  if (v < 0) out += u'-';
  const std::string& d = decimal.digits;
  if (v == 0) return u"0";
  if (decimal.exponent < 15 && std::fabs(v) >= 0.0001) {
    if (decimal.exponent < 0) {
      out += u'0';
      out += separator;
      out.append(static_cast<size_t>(-decimal.exponent - 1), u'0');
      out += Widen(d);
    } else {
      const size_t point = static_cast<size_t>(decimal.exponent) + 1;
      out += Widen(d.substr(0, point));
      if (d.size() < point) out.append(point - d.size(), u'0');
      if (d.size() > point) {
        out += separator;
        out += Widen(d.substr(point));
      }
    }
    return out;
  }
  out += static_cast<char16_t>(d[0]);
  if (d.size() > 1) {
    out += separator;
    out += Widen(d.substr(1));
  }
  out += u'E';
  out += Widen(std::to_string(decimal.exponent));
  return out;
}

std::u16string FormatCellValue(const CellValue& value, const std::u16string& format_code, const Locale& locale) {
  if (format_code.empty()) return PlainTextOfValue(value, locale);
  const Text code = JoinAmPm(format_code);
  std::vector<Text> sections(1);
  for (char16_t c : code) {
    if (c == u';') {
      sections.emplace_back();
    } else {
      sections.back() += c;
    }
  }
  const auto section = [&](size_t n) -> const Text& { return n <= sections.size() ? sections[n - 1] : sections[0]; };

  switch (value.kind) {
    case CellValue::Kind::Empty:
      return {};
    case CellValue::Kind::Boolean:
      return value.boolean ? u"TRUE" : u"FALSE";
    case CellValue::Kind::String: {
      Text out;
      if (sections.size() >= 4) {
        return RenderTextSection(sections[3], value.text, out) ? out : value.text;
      }
      if (sections[0].find(u'@') != Text::npos) {
        return RenderTextSection(sections[0], value.text, out) ? out : value.text;
      }
      return value.text;
    }
    case CellValue::Kind::Number:
      break;
  }
  const double v = value.number;
  const Text* chosen = &section(1);
  double shown = v;
  if (v < 0 && sections.size() >= 2) {
    chosen = &sections[1];
    shown = -v;
  } else if (v == 0 && sections.size() >= 3) {
    chosen = &sections[2];
  }
  Text out;
  if (!RenderNumberSection(*chosen, shown, locale, out)) return PlainTextOfValue(value, locale);
  return out;
}

}  // namespace ln40
