#include "xls/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "text/codepage.h"
#include "text/date_time.h"

// A format code is taken apart once into sections (a date-time pattern, or steps of literal
// text, separators and digit patterns; for strings literal text and the cell's text) and kept in a small per-thread cache, since a workbook
// renders many cells with a handful of codes. Rendering then only runs the steps.
namespace ln40 {
namespace {

using Text = std::u16string;

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }
bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// A regional-settings character (Windows-1252) as UTF-16.
char16_t LocaleChar(char c) { return static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(c))); }

void AppendCp1252(Text& out, std::string_view text) {
  for (char c : text) out += LocaleChar(c);
}

void AppendAscii(Text& out, std::string_view ascii) { out.append(ascii.begin(), ascii.end()); }

// `n` in decimal; with `pad`, at least two characters ("07"). The digits go in with one
// append: this runs for every number and time a sheet shows.
void AppendInteger(Text& out, long long n, bool pad) {
  if (n >= 0 && n < 100 && (pad || n >= 10)) {  // the common case of times and dates
    const char16_t two[2] = {static_cast<char16_t>(u'0' + n / 10), static_cast<char16_t>(u'0' + n % 10)};
    out.append(two, 2);
    return;
  }
  char16_t digits[24];
  char16_t* const end = digits + sizeof digits / sizeof digits[0];
  char16_t* first = end;
  unsigned long long magnitude = n < 0 ? 0ull - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  do {
    *--first = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (pad && n >= 0 && end - first < 2) *--first = u'0';
  if (n < 0) *--first = u'-';
  out.append(first, static_cast<std::size_t>(end - first));
}

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

// ---- decimal digits ----

// The value's decimal digits rounded to 15 significant digits: digits without the point
// and the power of ten of the first digit. Zero gives "0" and exponent 0.
struct Decimal {
  std::array<char, 16> buffer{'0'};
  int count = 1;
  int exponent = 0;

  std::string_view Digits() const { return {buffer.data(), static_cast<std::size_t>(count)}; }
};

Decimal ToDecimal(double magnitude) {
  Decimal decimal;
  if (magnitude == 0 || !std::isfinite(magnitude)) return decimal;
  char text[32];  // d.dddddddddddddde±XX
  const char* end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 14).ptr;
  const char* p = text;
  decimal.count = 0;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.') decimal.buffer[decimal.count++] = *p;
  }
  const bool negative_exponent = p + 1 < end && p[1] == '-';
  std::from_chars(p + 2, end, decimal.exponent);
  if (negative_exponent) decimal.exponent = -decimal.exponent;
  while (decimal.count > 1 && decimal.buffer[decimal.count - 1] == '0') --decimal.count;
  return decimal;
}

// Rounds half away from zero to `places` digits after the point; returns the integer and
// fraction digits (the fraction exactly `places` long).
void RoundFixed(const Decimal& decimal, int places, std::string& integer, std::string& fraction) {
  // Position of the digit after which we cut, counted in the digit string.
  std::string digits(decimal.Digits());
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
  if (integer.empty()) integer.assign(1, '0');
}

std::string GroupThousands(const std::string& digits, char separator) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

// ---- digit patterns ----

// A run of number characters ("#,##0.00", "0.0E+00", "0%") taken apart: the digits are
// written at the first digit place of the integer and of the fraction pattern, with the
// pattern's other characters around them.
struct NumberPattern {
  int percents = 0;  // each '%' of the run scales the value by 100
  bool grouping = false;
  int integer_zeros = 0, integer_places = 0, fraction_zeros = 0, fraction_places = 0;
  Text integer_before, integer_after;  // integer pattern characters around the digits
  bool has_point = false;
  Text fraction_before, fraction_after;
  bool scientific = false;
  char16_t exponent_letter = u'E';
  bool exponent_plus = false;
  int exponent_zeros = 0;
  Text exponent_after;
};

NumberPattern ParseNumberPattern(const Text& run) {
  NumberPattern pattern;
  for (char16_t c : run) {
    if (c == u'%') ++pattern.percents;
  }
  // Split the run: integer pattern, fraction pattern, exponent pattern.
  size_t exponent_at = Text::npos;
  for (size_t i = 0; i + 2 < run.size(); ++i) {
    if ((run[i] == u'E' || run[i] == u'e') && (run[i + 1] == u'+' || run[i + 1] == u'-') && run[i + 2] == u'0') {
      exponent_at = i;
      break;
    }
  }
  const Text mantissa = run.substr(0, exponent_at);
  const size_t point_at = mantissa.find(u'.');
  const Text integer_pattern = mantissa.substr(0, point_at);
  const Text fraction_pattern = point_at == Text::npos ? Text() : mantissa.substr(point_at + 1);
  pattern.grouping = run.find(u',') != Text::npos;
  pattern.has_point = point_at != Text::npos;

  bool digits_seen = false;
  for (char16_t c : integer_pattern) {
    if (c == u'0' || c == u'#') {
      ++pattern.integer_places;
      if (c == u'0') ++pattern.integer_zeros;
      digits_seen = true;
    } else if (c != u',') {
      (digits_seen ? pattern.integer_after : pattern.integer_before) += c;
    }
  }
  digits_seen = false;
  for (char16_t c : fraction_pattern) {
    if (c == u'0' || c == u'#') {
      ++pattern.fraction_places;
      if (c == u'0') pattern.fraction_zeros = pattern.fraction_places;  // zeros count up to the last '0'
      digits_seen = true;
    } else if (c != u',' && c != u'.') {
      (digits_seen ? pattern.fraction_after : pattern.fraction_before) += c;
    }
  }
  if (exponent_at != Text::npos) {
    pattern.scientific = true;
    pattern.exponent_letter = run[exponent_at];
    pattern.exponent_plus = run[exponent_at + 1] == u'+';
    size_t i = exponent_at + 2;
    for (; i < run.size() && run[i] == u'0'; ++i) ++pattern.exponent_zeros;
    for (; i < run.size(); ++i) {
      if (run[i] != u',') pattern.exponent_after += run[i];
    }
  }
  return pattern;
}

// Appends `value` (already scaled for percent signs) as the pattern shows it.
void AppendNumber(const NumberPattern& pattern, double value, const Locale& locale, Text& out) {
  const bool negative = value < 0;
  double magnitude = std::fabs(value);
  int exponent = 0;
  std::string integer, fraction;
  if (pattern.scientific && magnitude != 0) {
    const int integer_digits = std::max(1, pattern.integer_places);
    exponent = ToDecimal(magnitude).exponent - (integer_digits - 1);
    magnitude = magnitude / std::pow(10.0, exponent);
    // Rounding may carry into a new digit: 9.99 shown with one decimal is 10.0.
    RoundFixed(ToDecimal(magnitude), pattern.fraction_places, integer, fraction);
    if (static_cast<int>(integer.size()) > integer_digits) {
      ++exponent;
      magnitude /= 10;
    }
  }

  RoundFixed(ToDecimal(magnitude), pattern.fraction_places, integer, fraction);
  if (integer == "0" && pattern.integer_zeros == 0) integer.clear();
  if (static_cast<int>(integer.size()) < pattern.integer_zeros) {
    integer.insert(0, pattern.integer_zeros - integer.size(), '0');
  }
  while (static_cast<int>(fraction.size()) > pattern.fraction_zeros && !fraction.empty() && fraction.back() == '0') {
    fraction.pop_back();
  }
  if (pattern.grouping) integer = GroupThousands(integer, locale.thousandsSeparator);

  if (negative) out += u'-';
  out += pattern.integer_before;
  AppendCp1252(out, integer);
  out += pattern.integer_after;
  if (pattern.has_point) {
    out += LocaleChar(locale.decimalSeparator);
    out += pattern.fraction_before;
    AppendCp1252(out, fraction);
    out += pattern.fraction_after;
  }
  if (pattern.scientific) {
    out += pattern.exponent_letter;
    if (exponent < 0) {
      out += u'-';
    } else if (pattern.exponent_plus) {
      out += u'+';
    }
    const std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (static_cast<int>(digits.size()) < pattern.exponent_zeros) out.append(pattern.exponent_zeros - digits.size(), u'0');
    AppendAscii(out, digits);
    out += pattern.exponent_after;
  }
}

// ---- literals ----

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

// ---- dates and times ----

bool StartsWithUpper(const Text& s, size_t pos, std::u16string_view upper) {
  if (s.size() - pos < upper.size()) return false;
  for (size_t i = 0; i < upper.size(); ++i) {
    if (Upper(s[pos + i]) != upper[i]) return false;
  }
  return true;
}

// The unit of an elapsed count at `pos` ("[h]", "[mm]", "[ss]": H, M or S) and its length
// in letters; 0 when there is none.
char16_t ElapsedUnit(const Text& s, size_t pos, size_t& letters) {
  if (pos >= s.size() || s[pos] != u'[') return 0;
  const char16_t unit = pos + 1 < s.size() ? Upper(s[pos + 1]) : 0;
  if (unit != u'H' && unit != u'M' && unit != u'S') return 0;
  letters = 1;
  while (pos + 1 + letters < s.size() && Upper(s[pos + 1 + letters]) == unit) ++letters;
  return pos + 1 + letters < s.size() && s[pos + 1 + letters] == u']' ? unit : 0;
}

// Whether a section shows a date or a time: it holds a day, month, year, hour, minute or
// second code, an elapsed count, AM/PM or A/P outside literal text and brackets.
bool HasDateTimeCode(const Text& s) {
  Text skipped;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t letters = 0;
    if (ElapsedUnit(s, pos, letters) != 0) return true;
    if (BracketStep(s, pos, skipped) || LiteralStep(s, pos, skipped)) continue;
    switch (Upper(s[pos])) {
      case u'C': case u'D': case u'H': case u'M': case u'N': case u'S': case u'T': case u'Y':
        return true;
      case u'A':
        if (StartsWithUpper(s, pos, u"AMPM") || StartsWithUpper(s, pos, u"A/P")) return true;
        break;
      default:
        break;
    }
    ++pos;
  }
  return false;
}

// One code of a date-time pattern: a letter (or another date-time character) repeated
// `count` times, an elapsed count, the fraction of a second after seconds (".0" to
// ".000"), AM/PM, A/P, or literal text.
struct DateTimeCode {
  enum class Kind : std::uint8_t { Letters, Elapsed, SecondFraction, AmPm, AOrP, Literal };
  Kind kind = Kind::Letters;
  char16_t upper = 0;        // the character in upper case; of an elapsed count its unit
  char16_t written = 0;      // as written; of A/P the A
  char16_t written_pm = 0;   // of A/P the P
  std::size_t count = 1;     // letters; of a fraction its digits
  bool minutes = false;      // an m or mm that shows minutes, not the month
  bool twelve_hour = false;  // an hour in a section that holds AM/PM or A/P
  Text literal;
};

bool IsHourCode(const DateTimeCode& code) {
  return (code.kind == DateTimeCode::Kind::Letters || code.kind == DateTimeCode::Kind::Elapsed) && code.upper == u'H';
}

bool IsSecondCode(const DateTimeCode& code) {
  return (code.kind == DateTimeCode::Kind::Letters || code.kind == DateTimeCode::Kind::Elapsed) && code.upper == u'S';
}

// The codes of a whole date-time section, or of a run of date-time characters in a number
// section (separators and letters that show nothing of the value there).
struct DateTimePattern {
  std::vector<DateTimeCode> codes;
  bool shows_date = false;  // a day, month or year code: the date is decoded only then
  int fraction_digits = 0;  // of the finest fraction of a second shown
};

// Takes the code at `pos`, a date-time character.
void TakeDateTimeCode(const Text& s, size_t& pos, std::vector<DateTimeCode>& codes) {
  DateTimeCode code;
  const char16_t c = s[pos];
  if (StartsWithUpper(s, pos, u"AMPM")) {
    code.kind = DateTimeCode::Kind::AmPm;
    pos += 4;
  } else if (StartsWithUpper(s, pos, u"A/P")) {
    code.kind = DateTimeCode::Kind::AOrP;
    code.written = c;
    code.written_pm = s[pos + 2];
    pos += 3;
  } else if (c == u'.' && pos + 1 < s.size() && s[pos + 1] == u'0' && !codes.empty() && IsSecondCode(codes.back())) {
    code.kind = DateTimeCode::Kind::SecondFraction;
    code.count = 0;
    for (++pos; pos < s.size() && s[pos] == u'0'; ++pos) ++code.count;
    code.count = std::min<std::size_t>(code.count, 3);  // milliseconds are the finest
  } else {
    code.upper = Upper(c);
    code.written = c;
    while (IsLetter(c) && pos + code.count < s.size() && Upper(s[pos + code.count]) == code.upper) ++code.count;
    pos += code.count;
  }
  codes.push_back(std::move(code));
}

// Whether the next code that is not literal text or a separator is a seconds code.
bool SecondsFollow(const std::vector<DateTimeCode>& codes, size_t i) {
  for (++i; i < codes.size(); ++i) {
    const DateTimeCode& code = codes[i];
    if (IsSecondCode(code)) return true;
    const bool separator = code.kind == DateTimeCode::Kind::Letters && !IsLetter(code.upper);
    if (code.kind != DateTimeCode::Kind::Literal && !separator) return false;
  }
  return false;
}

// An m or mm shows minutes after an hour (the hour waits for the next m, whatever lies
// between) or before seconds (with only literal text and separators between); elsewhere, and
// as mmm or longer, the month.
void MarkMinutes(std::vector<DateTimeCode>& codes) {
  bool after_hour = false;
  for (size_t i = 0; i < codes.size(); ++i) {
    DateTimeCode& code = codes[i];
    if (IsHourCode(code)) {
      after_hour = true;
    } else if (code.kind == DateTimeCode::Kind::Letters && code.upper == u'M') {
      code.minutes = code.count <= 2 && (after_hour || SecondsFollow(codes, i));
      after_hour = false;
    }
  }
}

// A date-time section taken apart: every character is a code or literal text. "-", ",",
// "%" and the other number characters print as they stand, digit places ("0", "#", "?")
// print nothing: such a section shows a date, never the serial number as well. An AM/PM
// or A/P code makes every hour of its section 12-hour, as spreadsheets show "h:mm AM/PM"
// ("9:36 PM"). False when a character is neither code nor literal.
bool ParseDateTimeSection(const Text& s, DateTimePattern& pattern) {
  std::vector<DateTimeCode>& codes = pattern.codes;
  Text literal;
  const auto add_literal = [&] {
    if (literal.empty()) return;
    DateTimeCode code;
    code.kind = DateTimeCode::Kind::Literal;
    code.literal = std::move(literal);
    codes.push_back(std::move(code));
    literal.clear();
  };
  size_t pos = SkipColourTag(s);
  while (pos < s.size()) {
    const char16_t c = s[pos];
    if (IsDateTimeChar(c)) {
      add_literal();
      TakeDateTimeCode(s, pos, codes);
      continue;
    }
    size_t letters = 0;
    if (const char16_t unit = ElapsedUnit(s, pos, letters)) {
      add_literal();
      DateTimeCode code;
      code.kind = DateTimeCode::Kind::Elapsed;
      code.upper = unit;
      code.count = letters;
      codes.push_back(std::move(code));
      pos += letters + 2;
    } else if (BracketStep(s, pos, literal) || LiteralStep(s, pos, literal)) {
    } else if (c == u'0' || c == u'#' || c == u'?') {
      ++pos;
    } else if (IsNumberChar(c)) {
      literal += c;
      ++pos;
    } else {
      return false;
    }
  }
  add_literal();

  const auto is_am_pm = [](const DateTimeCode& code) {
    return code.kind == DateTimeCode::Kind::AmPm || code.kind == DateTimeCode::Kind::AOrP;
  };
  if (std::any_of(codes.begin(), codes.end(), is_am_pm)) {
    for (DateTimeCode& code : codes) {
      if (code.kind == DateTimeCode::Kind::Letters && code.upper == u'H') code.twelve_hour = true;
    }
  }
  MarkMinutes(codes);
  for (const DateTimeCode& code : codes) {
    if (code.kind == DateTimeCode::Kind::SecondFraction) {
      pattern.fraction_digits = std::max(pattern.fraction_digits, static_cast<int>(code.count));
    } else if (code.kind == DateTimeCode::Kind::Letters) {
      const char16_t u = code.upper;
      if (u == u'D' || u == u'Y' || u == u'C' || (u == u'M' && !code.minutes)) pattern.shows_date = true;
    }
  }
  return true;
}

// Days from 1899-12-30 to 1904-01-01: a 1904-system serial plus this is a 1900-system one.
constexpr long long kDays1904 = 1462;
// 10000-01-01 in the 1900 system: no date of it or later can be shown.
constexpr double kFirstDayAfterYear9999 = 2958466;

// What a date-time pattern shows of a value: the value in whole milliseconds (rounded, as
// the date and time functions round), cut to the finest fraction of a second the pattern
// shows, so that seconds, minutes and days never show more than has passed.
struct ShownDateTime {
  long long total_ms = 0;  // the whole value, for elapsed counts
  long long day = 0;       // in the 1900 system, for date codes
  int ms_of_day = 0;
  DateParts date;
  int day_of_week = 0;  // 0 Sunday

  double DateValue() const { return static_cast<double>(day) + static_cast<double>(ms_of_day) / kMsPerDay; }
};

// False for a value no date or time can show: negative, or beyond the year 9999.
bool ShowDateTime(const DateTimePattern& pattern, double value, DateSystem date_system, ShownDateTime& shown) {
  const long long offset = date_system == DateSystem::d1904 ? kDays1904 : 0;
  if (!std::isfinite(value) || value < 0 || value + static_cast<double>(offset) >= kFirstDayAfterYear9999) return false;
  static constexpr long long kUnitMs[] = {1000, 100, 10, 1};
  shown.total_ms = std::llround(value * kMsPerDay);
  shown.total_ms -= shown.total_ms % kUnitMs[pattern.fraction_digits];
  shown.day = shown.total_ms / kMsPerDay + offset;
  shown.ms_of_day = static_cast<int>(shown.total_ms % kMsPerDay);
  if (pattern.shows_date) {
    shown.date = DecodeDate(static_cast<double>(shown.day));
    shown.day_of_week = static_cast<int>((shown.day + 6) % 7);  // 1899-12-30 was a Saturday
  }
  return true;
}

// `n` with at least `width` digits.
void AppendPadded(Text& out, long long n, std::size_t width) {
  if (width <= 2) {
    AppendInteger(out, n, width == 2);
    return;
  }
  const std::size_t start = out.size();
  AppendInteger(out, n, false);
  const std::size_t digits = out.size() - start;
  if (digits < width) out.insert(start, width - digits, u'0');
}

void AppendDateTime(const DateTimePattern& pattern, const ShownDateTime& shown, const Locale& locale, Text& out) {
  const DateParts& date = shown.date;
  const int hour = shown.ms_of_day / 3600000;
  const int minute = shown.ms_of_day / 60000 % 60;
  const int second = shown.ms_of_day / 1000 % 60;
  for (const DateTimeCode& code : pattern.codes) {
    const std::size_t count = code.count;
    switch (code.kind) {
      case DateTimeCode::Kind::Literal:
        out += code.literal;
        continue;
      case DateTimeCode::Kind::AmPm:
        AppendCp1252(out, hour < 12 ? locale.amText : locale.pmText);
        continue;
      case DateTimeCode::Kind::AOrP:
        out += hour >= 12 ? code.written_pm : code.written;
        continue;
      case DateTimeCode::Kind::Elapsed: {
        const long long unit_ms = code.upper == u'H' ? 3600000 : code.upper == u'M' ? 60000 : 1000;
        AppendPadded(out, shown.total_ms / unit_ms, count);
        continue;
      }
      case DateTimeCode::Kind::SecondFraction: {
        out += LocaleChar(locale.decimalSeparator);
        int digits = shown.ms_of_day % 1000;
        char16_t text[3];
        for (int i = 2; i >= 0; --i, digits /= 10) text[i] = static_cast<char16_t>(u'0' + digits % 10);
        out.append(text, count);
        continue;
      }
      case DateTimeCode::Kind::Letters:
        break;
    }
    switch (code.upper) {
      case u'D':
        if (count <= 2) AppendInteger(out, date.day, count == 2);
        else if (count == 3) AppendCp1252(out, locale.shortDayNames[shown.day_of_week]);
        else if (count == 4) AppendCp1252(out, locale.longDayNames[shown.day_of_week]);
        else AppendCp1252(out, FormatDateTime(locale.shortDateFormat, shown.DateValue(), locale));
        break;
      case u'M':
        if (code.minutes) AppendInteger(out, minute, count == 2);
        else if (count <= 2) AppendInteger(out, date.month, count == 2);
        else if (count == 3) AppendCp1252(out, locale.shortMonthNames[date.month - 1]);
        else AppendCp1252(out, locale.longMonthNames[date.month - 1]);
        break;
      case u'Y':
        if (count <= 2) AppendInteger(out, date.year % 100, true);
        else AppendInteger(out, date.year, false);
        break;
      case u'H':
        AppendInteger(out, code.twelve_hour ? (hour % 12 == 0 ? 12 : hour % 12) : hour, count >= 2);
        break;
      case u'N':
        AppendInteger(out, minute, count >= 2);
        break;
      case u'S':
        AppendInteger(out, second, count >= 2);
        break;
      case u'T':
        AppendCp1252(out, FormatDateTime(count >= 2 ? locale.longTimeFormat : locale.shortTimeFormat, shown.DateValue(), locale));
        break;
      case u'C':
        AppendCp1252(out, FormatDateTime(locale.shortDateFormat + " " + locale.longTimeFormat, shown.DateValue(), locale));
        break;
      case u'/':
        out += LocaleChar(locale.dateSeparator);
        break;
      case u':':
        out += LocaleChar(locale.timeSeparator);
        break;
      default:
        out.append(count, code.written);
        break;
    }
  }
}

// ---- sections ----

struct CellText {};  // the "@" of a text section

// What a section shows: a date-time pattern, or literal text, separators and digit patterns,
// for a number; literal text and the cell's text for a string. A section that has a
// character no step takes cannot render: the value is then shown as plain text.
struct Section {
  bool shows_date_time = false;  // the number steps are one date-time pattern
  std::vector<std::variant<Text, DateTimePattern, NumberPattern>> number_steps;
  bool renders_number = true;
  std::vector<std::variant<Text, CellText>> text_steps;
  bool renders_text = true;
  bool has_at = false;
};

// Appends a literal step, joined to a literal before it.
template <typename Steps>
void AddLiteral(Steps& steps, Text& literal) {
  if (literal.empty()) return;
  if (!steps.empty()) {
    if (Text* last = std::get_if<Text>(&steps.back())) {
      *last += literal;
      literal.clear();
      return;
    }
  }
  steps.emplace_back(std::move(literal));
  literal.clear();
}

// The number steps: rounds of a bracket, a literal, a run of date-time characters (here only
// separators and letters that show nothing of the value) and a number run; a round that
// takes nothing stops the section.
void ParseNumberSteps(const Text& s, Section& section) {
  Text literal;
  size_t pos = SkipColourTag(s);
  while (pos < s.size()) {
    const size_t round_start = pos;
    BracketStep(s, pos, literal);
    LiteralStep(s, pos, literal);
    if (pos < s.size() && IsDateTimeChar(s[pos])) {
      DateTimePattern run;
      while (pos < s.size() && IsDateTimeChar(s[pos])) TakeDateTimeCode(s, pos, run.codes);
      AddLiteral(section.number_steps, literal);
      section.number_steps.emplace_back(std::move(run));
    }
    if (pos < s.size() && IsNumberChar(s[pos])) {
      size_t end = pos;
      while (end < s.size() && IsNumberChar(s[end])) ++end;
      AddLiteral(section.number_steps, literal);
      section.number_steps.emplace_back(ParseNumberPattern(s.substr(pos, end - pos)));
      pos = end;
    }
    if (pos == round_start) {
      section.renders_number = false;
      section.number_steps.clear();
      return;
    }
  }
  AddLiteral(section.number_steps, literal);
}

void ParseTextSteps(const Text& s, Section& section) {
  Text literal;
  size_t pos = SkipColourTag(s);
  while (pos < s.size()) {
    const size_t round_start = pos;
    BracketStep(s, pos, literal);
    LiteralStep(s, pos, literal);
    if (pos < s.size() && s[pos] == u'@') {
      AddLiteral(section.text_steps, literal);
      section.text_steps.emplace_back(CellText{});
      ++pos;
    }
    if (pos == round_start) {
      section.renders_text = false;
      section.text_steps.clear();
      return;
    }
  }
  AddLiteral(section.text_steps, literal);
}

// What a date or time format shows of a value it cannot show, as spreadsheets fill such a
// cell with "#".
constexpr std::u16string_view kNoDateTime = u"####";

bool RenderNumber(const Section& section, double value, DateSystem date_system, const Locale& locale, Text& out) {
  if (!section.renders_number) return false;
  if (section.shows_date_time) {
    const DateTimePattern& pattern = std::get<DateTimePattern>(section.number_steps.front());
    ShownDateTime shown;
    if (ShowDateTime(pattern, value, date_system, shown)) {
      AppendDateTime(pattern, shown, locale, out);
    } else {
      out += kNoDateTime;
    }
    return true;
  }
  for (const auto& step : section.number_steps) {
    if (const Text* literal = std::get_if<Text>(&step)) {
      out += *literal;
    } else if (const DateTimePattern* run = std::get_if<DateTimePattern>(&step)) {
      AppendDateTime(*run, ShownDateTime{}, locale, out);  // separators only: nothing of the value
    } else {
      const NumberPattern& pattern = std::get<NumberPattern>(step);
      double scaled = value;
      for (int i = 0; i < pattern.percents; ++i) scaled *= 100;
      AppendNumber(pattern, scaled, locale, out);
    }
  }
  return true;
}

bool RenderText(const Section& section, const Text& text, Text& out) {
  if (!section.renders_text) return false;
  for (const auto& step : section.text_steps) {
    if (const Text* literal = std::get_if<Text>(&step)) {
      out += *literal;
    } else {
      out += text;
    }
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

// A format code taken apart: its sections split at every ";".
struct ParsedFormat {
  std::vector<Section> sections;
};

ParsedFormat ParseFormat(const Text& format_code) {
  std::vector<Text> texts(1);
  for (char16_t c : JoinAmPm(format_code)) {
    if (c == u';') {
      texts.emplace_back();
    } else {
      texts.back() += c;
    }
  }
  ParsedFormat format;
  format.sections.resize(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    Section& section = format.sections[i];
    DateTimePattern date_time;
    if (!HasDateTimeCode(texts[i])) {
      ParseNumberSteps(texts[i], section);
    } else if (ParseDateTimeSection(texts[i], date_time)) {
      section.shows_date_time = true;
      section.number_steps.emplace_back(std::move(date_time));
    } else {
      section.renders_number = false;
    }
    ParseTextSteps(texts[i], section);
    section.has_at = texts[i].find(u'@') != Text::npos;
  }
  return format;
}

// The parsed form of a code, from a small cache of this thread's recently used codes.
const ParsedFormat& Parsed(const Text& format_code) {
  constexpr size_t kCacheSize = 16;
  struct Entry {
    Text code;
    std::unique_ptr<ParsedFormat> format;
  };
  thread_local std::vector<Entry> cache;
  thread_local size_t last = 0;      // the entry found last, tried first
  thread_local size_t replace = 0;   // the next entry to give up when the cache is full
  if (last < cache.size() && cache[last].code == format_code) return *cache[last].format;
  for (size_t i = 0; i < cache.size(); ++i) {
    if (cache[i].code == format_code) {
      last = i;
      return *cache[i].format;
    }
  }
  auto format = std::make_unique<ParsedFormat>(ParseFormat(format_code));
  if (cache.size() < kCacheSize) {
    last = cache.size();
    cache.push_back({format_code, std::move(format)});
  } else {
    last = replace;
    replace = (replace + 1) % kCacheSize;
    cache[last] = {format_code, std::move(format)};
  }
  return *cache[last].format;
}

}  // namespace

namespace {

// PlainTextOfValue appended to `out`.
void AppendPlainValue(const CellValue& value, const Locale& locale, Text& out) {
  switch (value.kind) {
    case CellValue::Kind::Empty: return;
    case CellValue::Kind::String: out += value.text; return;
    case CellValue::Kind::Boolean: out += value.boolean ? u"True" : u"False"; return;
    case CellValue::Kind::Number: break;
  }
  const double v = value.number;
  if (std::isnan(v)) {
    out += u"NAN";
    return;
  }
  if (std::isinf(v)) {
    out += v < 0 ? u"-INF" : u"INF";
    return;
  }
  if (v == 0) {
    out += u'0';
    return;
  }
  // A whole number below 10^15 has all its digits among the 15 significant ones.
  if (std::fabs(v) < 1e15 && v == std::trunc(v)) {
    AppendInteger(out, static_cast<long long>(v), false);
    return;
  }
  const Decimal decimal = ToDecimal(std::fabs(v));
  const char16_t separator = LocaleChar(locale.decimalSeparator);
  if (v < 0) out += u'-';
  const std::string_view d = decimal.Digits();
  if (decimal.exponent < 15 && std::fabs(v) >= 0.0001) {
    if (decimal.exponent < 0) {
      out += u'0';
      out += separator;
      out.append(static_cast<size_t>(-decimal.exponent - 1), u'0');
      AppendAscii(out, d);
    } else {
      const size_t point = static_cast<size_t>(decimal.exponent) + 1;
      AppendAscii(out, d.substr(0, point));
      if (d.size() < point) out.append(point - d.size(), u'0');
      if (d.size() > point) {
        out += separator;
        AppendAscii(out, d.substr(point));
      }
    }
    return;
  }
  out += static_cast<char16_t>(d[0]);
  if (d.size() > 1) {
    out += separator;
    AppendAscii(out, d.substr(1));
  }
  out += u'E';
  AppendInteger(out, decimal.exponent, false);
}

}  // namespace

std::u16string PlainTextOfValue(const CellValue& value, const Locale& locale) {
  Text out;
  AppendPlainValue(value, locale, out);
  return out;
}

void FormatCellValue(const CellValue& value, const std::u16string& format_code, const Locale& locale,
                     std::u16string& into, DateSystem date_system) {
  into.clear();
  if (format_code.empty()) {
    AppendPlainValue(value, locale, into);
    return;
  }
  switch (value.kind) {
    case CellValue::Kind::Empty:
      return;
    case CellValue::Kind::Boolean:
      into = value.boolean ? u"TRUE" : u"FALSE";
      return;
    case CellValue::Kind::String:
    case CellValue::Kind::Number:
      break;
  }
  const std::vector<Section>& sections = Parsed(format_code).sections;
  if (value.kind == CellValue::Kind::String) {
    const Section* text_section = sections.size() >= 4 ? &sections[3] : sections[0].has_at ? &sections[0] : nullptr;
    if (!text_section || !RenderText(*text_section, value.text, into)) into = value.text;
    return;
  }
  const double v = value.number;
  const Section* chosen = &sections[0];
  double shown = v;
  if (v < 0 && sections.size() >= 2) {
    chosen = &sections[1];
    shown = -v;
  } else if (v == 0 && sections.size() >= 3) {
    chosen = &sections[2];
  }
  if (chosen->shows_date_time && v < 0) {  // whichever section shows it
    into = kNoDateTime;
    return;
  }
  if (!RenderNumber(*chosen, shown, date_system, locale, into)) {
    into.clear();
    AppendPlainValue(value, locale, into);
  }
}

std::u16string FormatCellValue(const CellValue& value, const std::u16string& format_code, const Locale& locale,
                               DateSystem date_system) {
  // Built in this thread's buffer, which keeps its capacity, and copied out once.
  thread_local Text out;
  FormatCellValue(value, format_code, locale, out, date_system);
  return out;
}

}  // namespace ln40
