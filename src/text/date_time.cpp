#include "text/date_time.h"

#include <cmath>
#include <cstdint>

#include "text/codepage.h"

namespace ln40 {
namespace {

// Days from 1899-12-30 to 1970-01-01.
constexpr int64_t kUnixEpochDays = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

DateParts CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  DateParts parts;
  parts.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  parts.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  parts.year = static_cast<int>(yoe + era * 400 + (parts.month <= 2 ? 1 : 0));
  return parts;
}

// The value in whole milliseconds split into a day number and the time of day; the day
// truncates towards zero and the time of day is taken from the magnitude.
struct Stamp {
  int64_t day = 0;
  int64_t ms = 0;
};

Stamp ToStamp(TDateTime value) {
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) value = 0;  // beyond year 9999
  const auto total = static_cast<int64_t>(std::llround(value * kMsPerDay));
  Stamp stamp;
  stamp.day = total / kMsPerDay;
  stamp.ms = (total < 0 ? -total : total) % kMsPerDay;
  return stamp;
}

void AppendNumber(std::string& out, int value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (value < 0) out += '-';
  for (int i = static_cast<int>(digits.size()); i < width; ++i) out += '0';
  out += digits;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Reads up to max_digits decimal digits at text[pos]; false when there is none.
bool ReadDigits(std::string_view text, size_t& pos, int max_digits, int& value) {
  const size_t start = pos;
  value = 0;
  while (pos < text.size() && IsDigit(text[pos]) && static_cast<int>(pos - start) < max_digits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return pos > start;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (UpperCaseChar(text[i]) != UpperCaseChar(prefix[i])) return false;
  }
  return true;
}

enum class Marker { None, Am, Pm };

// Takes an AM/PM marker off the front of text: the locale's texts first, then AM and PM.
Marker TakeMarker(std::string_view& text, const Locale& locale) {
  const std::string_view candidates[][2] = {{locale.amText, locale.pmText}, {"AM", "PM"}};
  for (const auto& pair : candidates) {
    // The longer text first, so that "a.m." is not cut short by a marker "a".
    for (int i = 0; i < 2; ++i) {
      const int first = pair[0].size() >= pair[1].size() ? i : 1 - i;
      if (StartsWithNoCase(text, pair[first])) {
        text.remove_prefix(pair[first].size());
        return first == 0 ? Marker::Am : Marker::Pm;
      }
    }
  }
  return Marker::None;
}

// The order of day, month and year in a short date format, as the letters 'd', 'M', 'y'.
std::string DateOrder(const std::string& format) {
  std::string order;
  bool quoted = false;
  for (char c : format) {
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    const char letter = (c == 'm') ? 'M' : (c == 'Y' ? 'y' : (c == 'D' ? 'd' : c));
    if ((letter == 'd' || letter == 'M' || letter == 'y') && order.find(letter) == std::string::npos) {
      order += letter;
    }
  }
  return order.size() == 3 ? order : "dMy";
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return false;
  }
  result = static_cast<TDateTime>(DaysFromCivil(year, month, day) + kUnixEpochDays);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, TDateTime& result) {
  if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
      millisecond < 0 || millisecond >= 1000) {
    return false;
  }
  result = (((hour * 60 + minute) * 60 + second) * 1000.0 + millisecond) / kMsPerDay;
  return true;
}

DateParts DecodeDate(TDateTime value) { return CivilFromDays(ToStamp(value).day - kUnixEpochDays); }

TimeParts DecodeTime(TDateTime value) {
  const int64_t ms = ToStamp(value).ms;
  TimeParts parts;
  parts.hour = static_cast<int>(ms / 3600000);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.millisecond = static_cast<int>(ms % 1000);
  return parts;
}

TDateTime DateOf(TDateTime value) { return static_cast<TDateTime>(ToStamp(value).day); }

std::string FormatDateTime(std::string_view pattern, TDateTime value, const Locale& locale) {
  const DateParts date = DecodeDate(value);
  const TimeParts time = DecodeTime(value);
  const int64_t day = ToStamp(value).day;
  const int day_of_week = static_cast<int>(((day % 7) + 7 + 6) % 7);  // 1899-12-30: Saturday

  // h and hh count 12 hours only when the pattern shows an AM/PM marker.
  bool twelve_hour = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == 'A' || pattern[i] == 'a') twelve_hour = true;
  }

  std::string out;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    size_t run = 1;
    while (i + run < pattern.size() && pattern[i + run] == c) ++run;
    switch (c) {
      case 'd':
        if (run == 1 || run == 2) AppendNumber(out, date.day, static_cast<int>(run));
        else out += run == 3 ? locale.shortDayNames[day_of_week] : locale.longDayNames[day_of_week];
        break;
      case 'M':
        if (run == 1 || run == 2) AppendNumber(out, date.month, static_cast<int>(run));
        else out += run == 3 ? locale.shortMonthNames[date.month - 1] : locale.longMonthNames[date.month - 1];
        break;
      case 'y':
        if (run <= 2) AppendNumber(out, date.year % 100, 2);
        else AppendNumber(out, date.year, 4);
        break;
      case 'H':
      case 'h': {
        int hour = time.hour;
        if (c == 'h' && twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(out, hour, run >= 2 ? 2 : 1);
        break;
      }
      case 'm':
        AppendNumber(out, time.minute, run >= 2 ? 2 : 1);
        break;
      case 's':
        AppendNumber(out, time.second, run >= 2 ? 2 : 1);
        break;
      case 'z':
        AppendNumber(out, time.millisecond, run >= 3 ? 3 : 1);
        break;
      case 'A':
      case 'a': {
        std::string marker = time.hour < 12 ? locale.amText : locale.pmText;
        if (c == 'a') {
          for (char& m : marker) m = (m >= 'A' && m <= 'Z') ? static_cast<char>(m + 32) : m;
        }
        out += marker;
        // "AP" and "ap" are one marker.
        if (i + run < pattern.size() && (pattern[i + run] == 'P' || pattern[i + run] == 'p')) ++run;
        break;
      }
      case 't':
        break;  // time zone: not shown
      case ':':
        out.append(run, locale.timeSeparator);
        break;
      case '/':
        out.append(run, locale.dateSeparator);
        break;
      case '\'': {
        // Quoted literal; '' inside or alone is one quote.
        size_t j = i + 1;
        if (j < pattern.size() && pattern[j] == '\'') {
          out += '\'';
          run = 2;
          break;
        }
        while (j < pattern.size()) {
          if (pattern[j] == '\'') {
            if (j + 1 < pattern.size() && pattern[j + 1] == '\'') {
              out += '\'';
              j += 2;
              continue;
            }
            break;
          }
          out += pattern[j++];
        }
        run = (j < pattern.size() ? j + 1 : j) - i;
        break;
      }
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

std::string FormatTimeOfDay(TDateTime value, const Locale& locale) {
  return FormatDateTime("hh:mm:ss", value, locale);
}

bool TryReadTimeOfDay(std::string_view text, const Locale& locale, TDateTime& result) {
  text = Trim(text);
  Marker marker = TakeMarker(text, locale);
  text = Trim(text);

  size_t pos = 0;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  if (!ReadDigits(text, pos, 4, hour)) return false;
  if (pos < text.size() && text[pos] == locale.timeSeparator) {
    ++pos;
    if (!ReadDigits(text, pos, 4, minute)) return false;
    if (pos < text.size() && text[pos] == locale.timeSeparator) {
      ++pos;
      if (!ReadDigits(text, pos, 4, second)) return false;
      if (pos < text.size() && text[pos] == locale.decimalSeparator) {
        ++pos;
        if (!ReadDigits(text, pos, 4, millisecond)) return false;
      }
    }
  }

  std::string_view rest = Trim(text.substr(pos));
  if (!rest.empty()) {
    if (marker != Marker::None) return false;
    marker = TakeMarker(rest, locale);
    if (marker == Marker::None || !Trim(rest).empty()) return false;
  }

  if (marker != Marker::None) {
    if (hour < 1 || hour > 12) return false;
    hour = hour % 12 + (marker == Marker::Pm ? 12 : 0);
  }
  return TryEncodeTime(hour, minute, second, millisecond, result);
}

bool TryReadDate(std::string_view text, const Locale& locale, int default_year, TDateTime& result) {
  text = Trim(text);
  int numbers[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int count = 0;
  size_t pos = 0;
  while (true) {
    if (count == 3) return false;
    const size_t start = pos;
    if (!ReadDigits(text, pos, 4, numbers[count])) return false;
    digits[count] = static_cast<int>(pos - start);
    ++count;
    if (pos == text.size()) break;
    if (text[pos] != locale.dateSeparator) return false;
    ++pos;
    if (pos == text.size() && count == 2) break;  // "8.12." names day and month
  }
  if (count < 2) return false;

  int day = 0, month = 0, year = default_year;
  int index = 0;
  for (char part : DateOrder(locale.shortDateFormat)) {
    if (part == 'y' && count == 2) continue;
    const int value = numbers[index];
    const int width = digits[index];
    ++index;
    if (part == 'd') day = value;
    if (part == 'M') month = value;
    if (part == 'y') {
      year = value;
      if (width <= 2) {
        // Within 50 years of the default year.
        const int pivot = default_year - 50;
        year += (pivot / 100) * 100;
        if (year < pivot) year += 100;
      }
    }
  }
  return TryEncodeDate(year, month, day, result);
}

bool TryReadDateTime(std::string_view text, const Locale& locale, int default_year, TDateTime& result) {
  text = Trim(text);
  const size_t blank = text.find_first_of(" \t");
  TDateTime date = 0;
  if (!TryReadDate(text.substr(0, blank), locale, default_year, date)) return false;
  TDateTime time = 0;
  if (blank != std::string_view::npos && !TryReadTimeOfDay(text.substr(blank), locale, time)) return false;
  result = date + time;
  return true;
}

}  // namespace ln40
