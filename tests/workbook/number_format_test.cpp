#include "xls/number_format.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "text/codepage.h"

namespace ln40 {
namespace {

// Decimal comma, blank as thousands separator, ":" and "." as time and date separators.
Locale WorkedLocale() {
  Locale locale = Locale::WorkedExample();
  locale.decimalSeparator = ',';
  locale.thousandsSeparator = ' ';
  locale.amText = "AM";
  locale.pmText = "PM";
  return locale;
}

std::string Show(const CellValue& value, const std::u16string& code, const Locale& locale = WorkedLocale()) {
  return Utf16ToCp1252(FormatCellValue(value, code, locale));
}

TEST(NumberFormat, RendersTheWorkedForms) {
  const double time_12_34_56 = (12 * 3600 + 34 * 60 + 56) / 86400.0;
  const struct {
    double value;
    const char16_t* code;
    const char* text;
  } cases[] = {
      {time_12_34_56, u"hh:mm:ss", "12:34:56"},
      {0.9, u"h:mm AM/PM", "9:36 PM"},
      {46364, u"dd/mm/YYYY", "08.12.2026"},
      {1234.5, u"#,##0.00", "1 234,50"},
      {0.256, u"0%", "26%"},
      {-5, u"#,##0 _$;[Red]-#,##0 _$", "-5  "},
      {0.5, u"# ?" u"?/??", "0,5"},
      {7, u"", "7"},
      {time_12_34_56, u"mm:ss", "34:56"},          // before seconds: the minutes
      {time_12_34_56, u"[h]:mm:ss", "12:34:56"},   // elapsed hours
      {time_12_34_56, u"hh mm", "12 34"},          // the hour mark reaches the next run
      {time_12_34_56 + 46364, u"hh mm mm", "12 34 12"},
      {5, u"0?", "5"},                             // "?" stops: plain text
      {5, u"0@", "5"},
      {0, u"0;-0;\"zero\"", "zero"},
      {0, u"0.0;-0.0", "0,0"},
      {-1.5, u"0.00", "-1,50"},
      {1234567.891, u"#,##0", "1 234 568"},
      {0.125, u"0.00", "0,13"},                    // half away from zero
      {2.5, u"0", "3"},
      {-2.5, u"0", "-3"},
      {12345.678, u"0.00E+00", "1,23E+04"},
      {0.00012, u"0.0E-00", "1,2E-04"},
      {9.99, u"0.0E+0", "1,0E+1"},
      {0.5, u"#.##", ",5"},
      {42, u"[$kr-414] #,##0", "kr 42"},
      {42, u"\"Start \"0", "Start 42"},
      {42, u"\\#0", "#42"},
      {46364, u"dddd d. mmmm yyyy", "Tuesday 8. December 2026"},
      {46364, u"ddd mmm yy", "Tue Dec 26"},
      {0.75, u"h:mm a/p", "6:00 p"},
      {0.75, u"h:mm AM/PM", "6:00 PM"},
      {0.75, u"h:mmAM/PM", "6:00PM"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Show(CellValue::Number(c.value), c.code), c.text) << Utf16ToCp1252(c.code) << " " << c.value;
  }
}

TEST(NumberFormat, StringsBooleansAndEmptyCells) {
  EXPECT_EQ(Show(CellValue::String(u"abc"), u"@"), "abc");
  EXPECT_EQ(Show(CellValue::String(u"abc"), u"0.00"), "abc");
  EXPECT_EQ(Show(CellValue::String(u"abc"), u"0;0;0;\"<\"@\">\""), "<abc>");
  EXPECT_EQ(Show(CellValue::String(u"abc"), u"\"x\"@?"), "abc");  // a round consumes nothing
  EXPECT_EQ(Show(CellValue::Boolean(true), u""), "True");
  EXPECT_EQ(Show(CellValue::Boolean(true), u"0"), "TRUE");
  EXPECT_EQ(Show(CellValue::Boolean(false), u"General"), "FALSE");
  EXPECT_EQ(Show(CellValue::Empty(), u"0.00"), "");
}

TEST(NumberFormat, PlainTextOfNumbers) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {7, "7"},           {-7.25, "-7,25"},       {0.1 + 0.2, "0,3"},     {0.0001, "0,0001"},
      {0.00001, "1E-5"},  {0.000015, "1,5E-5"},   {1e15, "1E15"},         {123456789012345.0, "123456789012345"},
      {1.0 / 3, "0,333333333333333"},             {0, "0"},                {46364.524259259, "46364,524259259"},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(CellValue::Number(c.value), u""), c.text) << c.value;
}

// The general format ("" or a code such as "General" that no step can take) shows the plain
// text: whole numbers take a shortcut that must give what the 15-digit path gives.
TEST(NumberFormat, GeneralFormatOfEdgeNumbers) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {999999999999999.0, "999999999999999"},  {-999999999999999.0, "-999999999999999"},
      {1e15, "1E15"},                          {-1e15, "-1E15"},
      {123456789012345.6, "123456789012346"},  {-0.0, "0"},
      {0.0001, "0,0001"},                      {0.00009999999999999999, "1E-4"},
      {-0.00012345, "-0,00012345"},            {1234.5, "1234,5"},
      {5000001, "5000001"},                    {1.0 / 86400, "1,15740740740741E-5"},
      {1e300, "1E300"},                        {-2.5e-300, "-2,5E-300"},
      {4503599627370497.0, "4,5035996273705E15"}, {99999.999999999999, "100000"},
      {1e14 + 0.5, "100000000000000"},         {-2147483649.0, "-2147483649"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Show(CellValue::Number(c.value), u""), c.text) << c.value;
    EXPECT_EQ(Show(CellValue::Number(c.value), u"General"), c.text) << c.value;
  }
}

// Date and time sections as spreadsheets show them: "-", "," and blanks between the parts
// are literal text, digit places print nothing of the serial, m before seconds is minutes,
// elapsed counts in brackets show all hours, minutes or seconds; seconds and their fractions
// are cut, not rounded up; a negative value or a day past the year 9999 shows "####".
TEST(NumberFormat, ShowsDatesAndTimesAsSpreadsheetsDo) {
  const double time_12_34_56 = (12 * 3600 + 34 * 60 + 56) / 86400.0;
  const double d_28_30_45 = (28 * 3600 + 30 * 60 + 45) / 86400.0;  // 1.18802083...
  const double noon_567 = 0.5 + 0.5678 / 86400;                     // 12:00:00.5678
  const struct {
    double value;
    const char16_t* code;
    const char* text;
  } cases[] = {
      {37075, u"d-mmm-yy", "3-Jul-01"},
      {37075, u"d-mmm", "3-Jul"},
      {37075, u"mmm-yy", "Jul-01"},
      {37075, u"yyyy-mm-dd", "2001-07-03"},
      {37075.5, u"m/d/yy h:mm", "7.3.01 12:00"},     // "/" is the date separator
      {37075, u"d,mmm yyyy", "3,Jul 2001"},
      {37075, u"yyyy #0 ?", "2001  "},                // digit places print nothing
      {37075, u"[$-409]d-mmm-yy;@", "3-Jul-01"},
      {37075, u"[Red]dd.mm.yyyy", "03.07.2001"},
      {37075.25, u"dd.mm.yyyy \"at\" h AM/PM", "03.07.2001 at 6 AM"},
      {time_12_34_56, u"m:s", "34:56"},
      {37075 + time_12_34_56, u"dd mm ss", "03 34 56"},
      {time_12_34_56, u"h d m", "12 30 34"},          // the hour waits for the next m
      {46364 + time_12_34_56, u"hh:mmm", "12:Dec"},   // mmm is always the month
      {46364 + time_12_34_56, u"hh:nn", "12:34"},
      {d_28_30_45, u"[h]:mm:ss", "28:30:45"},
      {1.18802083333, u"[h]:mm:ss", "28:30:45"},
      {d_28_30_45, u"[hh]:mm", "28:30"},
      {d_28_30_45, u"[H]", "28"},
      {d_28_30_45, u"[mm]:ss", "1710:45"},
      {d_28_30_45, u"[m]", "1710"},
      {d_28_30_45, u"[ss]", "102645"},
      {d_28_30_45, u"[s].00", "102645,00"},
      {1.0 / 24, u"[hhh]:mm", "001:00"},
      {noon_567, u"hh:mm:ss.000", "12:00:00,568"},
      {noon_567, u"hh:mm:ss.00", "12:00:00,56"},
      {noon_567, u"mm:ss.0", "00:00,5"},
      {noon_567, u"hh:mm:ss", "12:00:00"},
      {0.99999999, u"yyyy-mm-dd hh:mm:ss", "1899-12-30 23:59:59"},
      {0.99999999, u"[s]", "86399"},
      {-0.5, u"hh:mm", "####"},
      {-1.5, u"[h]:mm", "####"},
      {-1.5, u"[h]:mm;-[h]:mm", "####"},
      {-37075, u"yyyy-mm-dd", "####"},
      {-5, u"yyyy;0", "5"},                           // a number section for negatives
      {2958465.5, u"yyyy-mm-dd", "9999-12-31"},
      {2958466, u"yyyy-mm-dd", "####"},
      {0.5, u"General", "0,5"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Show(CellValue::Number(c.value), c.code), c.text) << Utf16ToCp1252(c.code) << " " << c.value;
  }
}

// A workbook in the 1904 date system counts its serials from 1904-01-01: its dates move by
// 1462 days, its times of day and elapsed times do not.
TEST(NumberFormat, DatesOfThe1904DateSystem) {
  const Locale locale = WorkedLocale();
  const struct {
    double value;
    const char16_t* code;
    const char* text;
  } cases[] = {
      {0, u"yyyy-mm-dd", "1904-01-01"},
      {44902.75, u"dd.mm.yyyy hh:mm", "08.12.2026 18:00"},
      {44902.75, u"ddd", "Tue"},
      {44902.75, u"hh:mm:ss", "18:00:00"},
      {1.5, u"[h]:mm", "36:00"},  // elapsed time is no date
      {-0.5, u"hh:mm", "####"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToCp1252(FormatCellValue(CellValue::Number(c.value), c.code, locale, DateSystem::d1904)), c.text)
        << Utf16ToCp1252(c.code);
  }
  EXPECT_EQ(Show(CellValue::Number(46364), u"dd.mm.yyyy"), "08.12.2026");  // the 1900 system by default
}

// Codes are taken apart once and kept per thread; the regional settings are applied at each
// rendering, and more codes than the cache holds still render each as its own.
TEST(NumberFormat, ReusedCodesRenderAsFresh) {
  Locale comma = WorkedLocale();
  Locale point = Locale::WorkedExample();
  point.thousandsSeparator = ',';
  const std::u16string codes[] = {
      u"0.00",  u"#,##0.0", u"hh:mm:ss", u"0%",    u"0.0E+00", u"dd/mm/YYYY", u"@",    u"\\#0",  u"0;-0;z", u"[Red]0",
      u"mm:ss", u"h:mm AM/PM", u"#.##",  u"000",   u"\"x\"@",  u"yyyy",       u"General", u"0.000", u"d",   u"# ?\?"};
  const CellValue value = CellValue::Number(1234.5678);
  std::vector<std::string> first;
  for (const auto& code : codes) first.push_back(Show(value, code, comma));
  for (int pass = 0; pass < 3; ++pass) {
    for (std::size_t i = 0; i < std::size(codes); ++i) EXPECT_EQ(Show(value, codes[i], comma), first[i]) << i;
  }
  EXPECT_EQ(Show(value, u"#,##0.0", comma), "1 234,6");
  EXPECT_EQ(Show(value, u"#,##0.0", point), "1,234.6");
  EXPECT_EQ(Show(value, u"#,##0.0", comma), "1 234,6");
}

}  // namespace
}  // namespace ln40
