#include "reports/print_format.h"

#include <cctype>

namespace ln40 {
namespace {

void AppendNumber(std::string& out, int value, int digits) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  out += text;
}

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Upper(text[at + i]) != Upper(word[i])) return false;
  }
  return true;
}

bool HasMarker(std::string_view pattern) {
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (StartsWithNoCase(pattern, i, "am/pm") || StartsWithNoCase(pattern, i, "a/p") ||
        StartsWithNoCase(pattern, i, "ampm")) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string FormatPrintDateTime(std::string_view pattern, TDateTime value, const Locale& locale) {
  const DateParts date = DecodeDate(value);
  const TimeParts time = DecodeTime(value);
  const bool twelve_hour = HasMarker(pattern);
  const auto day_of_week = [&] {
    const long long day = static_cast<long long>(DateOf(value));
    return static_cast<int>(((day % 7) + 7 + 6) % 7);  // 1899-12-30 was a Saturday
  };

  std::string out;
  char last_letter = 0;
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    const char u = Upper(c);
    if (c == '\'' || c == '"') {
      const size_t end = pattern.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? pattern.size() : end;
      out += pattern.substr(i + 1, stop - i - 1);
      i = stop == pattern.size() ? stop : stop + 1;
      continue;
    }
    if (u == 'A') {
      const bool pm = time.hour >= 12;
      if (StartsWithNoCase(pattern, i, "am/pm")) {
        out += pattern.substr(i + (pm ? 3 : 0), 2);
        i += 5;
      } else if (StartsWithNoCase(pattern, i, "a/p")) {
        out += pattern[i + (pm ? 2 : 0)];
        i += 3;
      } else if (StartsWithNoCase(pattern, i, "ampm")) {
        out += pm ? locale.pmText : locale.amText;
        i += 4;
      } else {
        out += c;
        ++i;
      }
      continue;
    }
    size_t run = 1;
    while (i + run < pattern.size() && Upper(pattern[i + run]) == u) ++run;
    const int n = static_cast<int>(run);
    switch (u) {
      case 'D':
        if (n <= 2) AppendNumber(out, date.day, n);
        else if (n == 3) out += locale.shortDayNames[static_cast<size_t>(day_of_week())];
        else if (n == 4) out += locale.longDayNames[static_cast<size_t>(day_of_week())];
        else out += FormatDateTime(locale.shortDateFormat, value, locale);
        break;
      case 'M':
        if (last_letter == 'H') AppendNumber(out, time.minute, n >= 2 ? 2 : 1);
        else if (n <= 2) AppendNumber(out, date.month, n);
        else if (n == 3) out += locale.shortMonthNames[static_cast<size_t>(date.month - 1)];
        else out += locale.longMonthNames[static_cast<size_t>(date.month - 1)];
        break;
      case 'Y':
        if (n <= 2) AppendNumber(out, date.year % 100, 2);
        else AppendNumber(out, date.year, 4);
        break;
      case 'H': {
        int hour = time.hour;
        if (twelve_hour) hour = hour % 12 == 0 ? 12 : hour % 12;
        AppendNumber(out, hour, n >= 2 ? 2 : 1);
        break;
      }
      case 'N':
        AppendNumber(out, time.minute, n >= 2 ? 2 : 1);
        break;
      case 'S':
        AppendNumber(out, time.second, n >= 2 ? 2 : 1);
        break;
      case 'Z':
        AppendNumber(out, time.millisecond, n >= 3 ? 3 : 1);
        break;
      case 'T':
        out += FormatDateTime(n >= 2 ? locale.longTimeFormat : locale.shortTimeFormat, value, locale);
        break;
      case 'C':
        out += FormatDateTime(locale.shortDateFormat, value, locale);
        out += ' ';
        out += FormatDateTime(locale.longTimeFormat, value, locale);
        break;
      case '/':
        out.append(run, locale.dateSeparator);
        break;
      case ':':
        out.append(run, locale.timeSeparator);
        break;
      default:
        out.append(pattern.substr(i, run));
        break;
    }
    if (u >= 'A' && u <= 'Z') last_letter = u;
    i += run;
  }
  return out;
}

}  // namespace ln40
