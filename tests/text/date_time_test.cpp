#include "text/date_time.h"

#include <gtest/gtest.h>

namespace ln40 {
namespace {

TDateTime Date(int y, int m, int d) {
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeDate(y, m, d, value));
  return value;
}

TDateTime Time(int h, int m, int s, int ms = 0) {
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeTime(h, m, s, ms, value));
  return value;
}

TEST(DateTime, EncodesDaysSince1899_12_30) {
  EXPECT_EQ(Date(1899, 12, 30), 0);
  EXPECT_EQ(Date(1900, 3, 1), 61);
  EXPECT_EQ(Date(2026, 12, 8), 46364);
  TDateTime value = 0;
  EXPECT_FALSE(TryEncodeDate(2026, 2, 29, value));
  EXPECT_TRUE(TryEncodeDate(2028, 2, 29, value));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, value));
  EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, value));
  EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, value));
}

TEST(DateTime, DecodesRoundingToMilliseconds) {
  const TDateTime value = Date(2026, 12, 8) + Time(23, 59, 59, 999);
  const DateParts date = DecodeDate(value);
  const TimeParts time = DecodeTime(value);
  EXPECT_EQ(date.year, 2026);
  EXPECT_EQ(date.month, 12);
  EXPECT_EQ(date.day, 8);
  EXPECT_EQ(time.hour, 23);
  EXPECT_EQ(time.millisecond, 999);
  // A negative difference shows its size.
  EXPECT_EQ(DecodeTime(Time(10, 0, 0) - Time(10, 5, 0)).minute, 5);
}

TEST(DateTime, FormatsPatterns) {
  const Locale locale = Locale::WorkedExample();
  const TDateTime value = Date(2026, 12, 8) + Time(9, 5, 7, 45);
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"dd.MM.yyyy", "08.12.2026"},
      {"d.M.yy", "8.12.26"},
      {"dddd d MMMM", "Tuesday 8 December"},
      {"ddd MMM", "Tue Dec"},
      {"HH:mm:ss", "09:05:07"},
      {"hh:mm:ss.zzz", "09:05:07.045"},
      {"h:mm AP", "9:05 AM"},
      {"dd.MM.yyyy,zzz", "08.12.2026,045"},
      {"HH:mm:ss t", "09:05:07 "},
      {"'at' HH 'o''clock'", "at 09 o'clock"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.pattern, value, locale), c.text) << c.pattern;

  Locale dotted = locale;
  dotted.timeSeparator = '.';
  dotted.dateSeparator = '-';
  EXPECT_EQ(FormatDateTime("hh:mm yyyy/MM", value, dotted), "09.05 2026-12");
  EXPECT_EQ(FormatDateTime("h:mm ap", Date(2026, 1, 1) + Time(12, 30, 0), locale), "12:30 pm");
}

TEST(DateTime, FormatsTimeOfDayModulo24Hours) {
  const Locale locale = Locale::WorkedExample();
  EXPECT_EQ(FormatTimeOfDay(Time(10, 25, 30) - Time(10, 0, 0), locale), "00:25:30");
  EXPECT_EQ(FormatTimeOfDay(Time(10, 0, 0) - Time(10, 5, 0), locale), "00:05:00");
  EXPECT_EQ(FormatTimeOfDay(1.5 + Time(0, 0, 1, 999), locale), "12:00:01");
}

TEST(DateTime, ReadsTimesOfDay) {
  const Locale locale = Locale::WorkedExample();
  const struct {
    const char* text;
    int h, m, s, ms;
  } good[] = {
      {"10:00:00", 10, 0, 0, 0}, {"9:05:00", 9, 5, 0, 0}, {"12:30", 12, 30, 0, 0},
      {" 7 ", 7, 0, 0, 0},       {"23:59:59.999", 23, 59, 59, 999}, {"1:02:03 PM", 13, 2, 3, 0},
      {"am 12:15", 0, 15, 0, 0}, {"12:00 pm", 12, 0, 0, 0},
  };
  for (const auto& c : good) {
    TDateTime value = -1;
    ASSERT_TRUE(TryReadTimeOfDay(c.text, locale, value)) << c.text;
    EXPECT_EQ(value, Time(c.h, c.m, c.s, c.ms)) << c.text;
  }
  for (const char* bad : {"", "25:00:00", "24:00", "10:60", "10:00:60", "10:00:00.1000", "13:00 PM", "0 AM",
                          "10:", "10:00:", "abc", "10.00.00", "10:00 x", "AM 10 PM", "1:2:3:4"}) {
    TDateTime value = 0;
    EXPECT_FALSE(TryReadTimeOfDay(bad, locale, value)) << bad;
  }
}

TEST(DateTime, ReadsDatesInTheOrderOfTheShortDateFormat) {
  Locale locale = Locale::WorkedExample();
  TDateTime value = 0;
  ASSERT_TRUE(TryReadDate("08.12.2026", locale, 2000, value));
  EXPECT_EQ(value, Date(2026, 12, 8));
  ASSERT_TRUE(TryReadDate("8.12.", locale, 2026, value));
  EXPECT_EQ(value, Date(2026, 12, 8));
  ASSERT_TRUE(TryReadDate("8.12.26", locale, 2026, value));
  EXPECT_EQ(value, Date(2026, 12, 8));
  ASSERT_TRUE(TryReadDate("1.1.99", locale, 2026, value));
  EXPECT_EQ(value, Date(1999, 1, 1));
  ASSERT_TRUE(TryReadDateTime("08.12.2026 10:12:34", locale, 2000, value));
  EXPECT_EQ(value, Date(2026, 12, 8) + Time(10, 12, 34));
  EXPECT_FALSE(TryReadDate("31.02.2026", locale, 2000, value));
  EXPECT_FALSE(TryReadDate("8", locale, 2000, value));
  EXPECT_FALSE(TryReadDate("8.12.2026.1", locale, 2000, value));

  locale.shortDateFormat = "M/d/yyyy";
  locale.dateSeparator = '/';
  ASSERT_TRUE(TryReadDate("12/8/2026", locale, 2000, value));
  EXPECT_EQ(value, Date(2026, 12, 8));
}

}  // namespace
}  // namespace ln40
