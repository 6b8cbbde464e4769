// Reading cell texts as dates and times, and numbers with thousands separators, as the
// export turns table texts into typed cells.
#include <gtest/gtest.h>

#include <cmath>

#include "text/date_time.h"
#include "exchange/cell_from_text.h"
#include "exchange/date_time_text.h"
#include "text/codepage.h"
#include "xls/number_format.h"

namespace ln40 {
namespace {

constexpr int kYear = 2026;

double Day(int year, int month, int day) {
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeDate(year, month, day, value));
  return value;
}

double Time(int hour, int minute, int second) {
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeTime(hour, minute, second, 0, value));
  return value;
}

// Decimal comma, points between date parts: 12.30 is no number there.
Locale CommaLocale() {
  Locale locale = Locale::WorkedExample();
  locale.decimalSeparator = ',';
  locale.thousandsSeparator = ' ';
  return locale;
}

// A locale that writes times with points, whose own parser reads 12.30 as half past twelve.
Locale PointTimeLocale() {
  Locale locale = CommaLocale();
  locale.timeSeparator = '.';
  locale.shortTimeFormat = "HH.mm";
  return locale;
}

struct DateTimeCase {
  const char* text;
  Locale locale;
  std::u16string date_format;
  std::u16string time_format;
  bool reads;
  double value;
  std::u16string code;
};

TEST(ReadDateTimeText, ReadsDatesAndTimesAndRefusesDecimalLookingTexts) {
  const Locale worked = Locale::WorkedExample();
  const std::vector<DateTimeCase> cases = {
      {"12:34:56", worked, u"", u"hh:mm:ss", true, Time(12, 34, 56), u"hh:mm:ss"},
      {"8:05", worked, u"", u"hh:mm:ss", true, Time(8, 5, 0), u"hh:mm:ss"},
      {"08.12.2026", worked, u"", u"hh:mm:ss", true, 46364, u"dd.mm.yyyy"},
      {"08.12.2026 12:00", worked, u"", u"hh:mm:ss", true, 46364.5, u"dd.mm.yyyy hh:mm:ss"},
      {"1-2", worked, u"", u"hh:mm:ss", true, Day(kYear, 2, 1), u"dd.mm.yyyy"},
      {"8/12/26", worked, u"", u"hh:mm:ss", true, 46364, u"dd.mm.yyyy"},
      {"2026-12-08", worked, u"", u"hh:mm:ss", true, 46364, u"dd.mm.yyyy"},
      {"  8:05  ", worked, u"", u"", true, Time(8, 5, 0), u"HH:mm"},
      {"1:30 PM", worked, u"", u"h:mm AMPM", true, Time(13, 30, 0), u"h:mm AM/PM"},
      {"12:15am", worked, u"", u"hh:mm:ss", true, Time(0, 15, 0), u"hh:mm:ss"},
      {"24:00", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"12:60", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"12:5", worked, u"", u"hh:mm:ss", false, 0, u""},
      // Milliseconds are refused, so the text keeps them as a string.
      {"12:34:56.789", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"12.30", CommaLocale(), u"", u"hh:mm:ss", false, 0, u""},
      {"12.30", PointTimeLocale(), u"", u"", false, 0, u""},
      {"1.2.3", PointTimeLocale(), u"", u"", false, 0, u""},
      {"12.30.45", PointTimeLocale(), u"", u"", false, 0, u""},
      {"31.02.2026", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"abc", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"12", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"08.12.2026 12:00 x", worked, u"", u"hh:mm:ss", false, 0, u""},
      {"08.12.2026", worked, u"yyyy-mm-dd", u"hh:mm:ss", true, 46364, u"yyyy-mm-dd"},
  };
  for (const DateTimeCase& c : cases) {
    SCOPED_TRACE(c.text);
    double value = -1;
    std::u16string code;
    const bool reads = ReadDateTimeText(c.text, c.date_format, c.time_format, c.locale, kYear, value, code);
    EXPECT_EQ(reads, c.reads);
    if (reads && c.reads) {
      EXPECT_NEAR(value, c.value, 1e-9);
      EXPECT_EQ(code, c.code);
    }
  }
}

// The month is the workbook's lower-case m, as workbooks are written; minutes stay minutes
// after the hour. Each code shows the value as the locale's pattern would.
TEST(LocalePatternToFormatCode, TurnsLocalePatternsIntoNumberFormatCodes) {
  const struct {
    const char* pattern;
    std::u16string code;
    const char* shown;  // 2026-12-08 12:34:56.789 in the worked locale
  } cases[] = {
      {"dd.MM.yyyy", u"dd.mm.yyyy", "08.12.2026"},
      {"M/d/yy", u"m/d/yy", "12.8.26"},
      {"yyyy-MM-dd HH:mm", u"yyyy-mm-dd HH:mm", "2026-12-08 12:34"},
      {"h:mm AP", u"h:mm AM/PM", "12:34 PM"},
      {"HH:mm:ss.zzz", u"HH:mm:ss.000", "12:34:56.789"},
      {"d 'de' MMMM", u"d \"de\" mmmm", "8 de December"},
      {"d 'MM'", u"d \"MM\"", "8 MM"},
  };
  const TDateTime when = 46364 + (((12 * 60 + 34) * 60 + 56) * 1000 + 789) / 86400000.0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    const std::u16string code = LocalePatternToFormatCode(c.pattern);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(Utf16ToCp1252(FormatCellValue(CellValue::Number(when), code, Locale::WorkedExample())), c.shown);
  }
}

struct NumberCase {
  std::u16string text;
  bool reads;
  double value;
};

TEST(ReadNumberText, ReadsNumbersWithThousandsSeparatorsOnlyWhereTheyGroupByThree) {
  const Locale locale = CommaLocale();  // thousands blank, decimal comma
  const std::vector<NumberCase> cases = {
      {u"007", true, 7},          {u"1 234", true, 1234},       {u"1 23", false, 0},
      {u"12 345 678", true, 12345678}, {u"1 234,5", true, 1234.5},  {u"1 234,5 6", false, 0},
      {u" 1234", true, 1234},  // begins with the separator, which is a blank around the number
      {u"1 1 234", false, 0},  {u"1234 567", false, 0},
      {u"12,5", true, 12.5},      {u"-12,5", true, -12.5},      {u"+3", true, 3},
      {u"1e3", true, 1000},       {u"2,5E-1", true, 0.25},      {u"1E", false, 0},
      {u",5", true, 0.5},         {u"5,", true, 5},             {u",", false, 0},
      {u"1,2,3", false, 0},       {u"12.30", false, 0},         {u"", false, 0},
      {u"-", false, 0},           {u"0x10", false, 0},          {u"1e999", false, 0},
      {u"\t42\t", true, 42},      {u"4 2", false, 0},
  };
  for (const NumberCase& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    double value = -1;
    EXPECT_EQ(ReadNumberText(c.text, locale, value), c.reads);
    if (c.reads) {
      EXPECT_DOUBLE_EQ(value, c.value);
    }
  }
}

}  // namespace
}  // namespace ln40
