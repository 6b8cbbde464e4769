#pragma once
// Regional settings as a plain value. The program fills one from the system (or a named
// locale) at its edge; tests use WorkedExample(). Nothing in src/ reads the process locale.
// All texts are Windows-1252.
#include <array>
#include <string>

namespace ln40 {

struct Locale {
  // Patterns use d dd ddd dddd, M MM MMM MMMM, yy yyyy, H HH (h hh: 12-hour when an AP
  // marker is present), m mm, s ss, z zzz, AP ap; ':' stands for timeSeparator and '/'
  // for dateSeparator; text in single quotes is literal.
  std::string shortDateFormat = "dd.MM.yyyy";
  std::string longTimeFormat = "HH:mm:ss";
  std::string shortTimeFormat = "HH:mm";
  char dateSeparator = '.';
  char timeSeparator = ':';
  char decimalSeparator = '.';
  char thousandsSeparator = '\xA0';  // no-break space
  char listSeparator = ';';
  std::string amText = "AM";
  std::string pmText = "PM";
  std::array<std::string, 7> shortDayNames;  // Sunday first
  std::array<std::string, 7> longDayNames;
  std::array<std::string, 12> shortMonthNames;  // January first
  std::array<std::string, 12> longMonthNames;

  // dd.MM.yyyy, HH:mm:ss, date separator '.', time separator ':', decimal separator '.',
  // list separator ';', English day and month names: the settings the tests assume.
  static Locale WorkedExample();
};

}  // namespace ln40
