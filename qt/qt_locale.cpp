#include "qt/qt_locale.h"

#include <QLocale>
#include <QString>

#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {
namespace {

std::string ToText(const QString& text) { return Utf16ToCp1252(text.toStdU16String()); }

char FirstChar(const QString& text, char fallback) {
  const std::string converted = ToText(text);
  return converted.empty() ? fallback : converted.front();
}

// Qt's long time format ends with the time zone ("HH:mm:ss t"); the system shows none.
std::string WithoutTimeZone(std::string pattern) {
  std::string out;
  bool quoted = false;
  for (char c : pattern) {
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == 't') continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

}  // namespace

char PatternSeparator(const std::string& pattern, char fallback) {
  bool quoted = false;
  for (char c : pattern) {
    if (c == '\'') {
      quoted = !quoted;
      continue;
    }
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!quoted && !letter && c != ' ') return c;
  }
  return fallback;
}

Locale LocaleFromQt(const QLocale& qt) {
  Locale locale = Locale::WorkedExample();
  locale.shortDateFormat = ToText(qt.dateFormat(QLocale::ShortFormat));
  locale.longTimeFormat = WithoutTimeZone(ToText(qt.timeFormat(QLocale::LongFormat)));
  locale.shortTimeFormat = WithoutTimeZone(ToText(qt.timeFormat(QLocale::ShortFormat)));
  locale.dateSeparator = PatternSeparator(locale.shortDateFormat, '.');
  locale.timeSeparator = PatternSeparator(locale.longTimeFormat, ':');
  locale.decimalSeparator = FirstChar(qt.decimalPoint(), '.');
  locale.thousandsSeparator = FirstChar(qt.groupSeparator(), ',');
  // Qt has no list separator; where the comma is the decimal separator lists use ';'.
  locale.listSeparator = locale.decimalSeparator == ',' ? ';' : ',';
  locale.amText = ToText(qt.amText());
  locale.pmText = ToText(qt.pmText());
  for (int i = 0; i < 7; ++i) {
    const int qt_day = i == 0 ? 7 : i;  // Qt counts Monday as 1, Sunday as 7
    locale.shortDayNames[i] = ToText(qt.dayName(qt_day, QLocale::ShortFormat));
    locale.longDayNames[i] = ToText(qt.dayName(qt_day, QLocale::LongFormat));
  }
  for (int i = 0; i < 12; ++i) {
    locale.shortMonthNames[i] = ToText(qt.monthName(i + 1, QLocale::ShortFormat));
    locale.longMonthNames[i] = ToText(qt.monthName(i + 1, QLocale::LongFormat));
  }
  return locale;
}

Locale SystemLocale() { return LocaleFromQt(QLocale::system()); }

Locale NamedLocale(const std::string& name) {
  QString qt_name = QString::fromStdString(name);
  qt_name.replace('-', '_');
  const QLocale qt(qt_name);
  if (qt.language() == QLocale::C && name != "C" && name != "POSIX") throw Error("Unknown locale: " + name);
  return LocaleFromQt(qt);
}

}  // namespace ln40
