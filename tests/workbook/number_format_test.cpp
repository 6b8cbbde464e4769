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
      {0.9, u"h:mm AM/PM", "21:36 PM"},
      {46364, u"dd/mm/YYYY", "08.12.2026"},
      {1234.5, u"#,##0.00", "1 234,50"},
      {0.256, u"0%", "26%"},
      {-5, u"#,##0 _$;[Red]-#,##0 _$", "-5  "},
      {0.5, u"# ?" u"?/??", "0,5"},
      {7, u"", "7"},
      {time_12_34_56, u"mm:ss", "12:56"},          // no hour before: the month
      {time_12_34_56, u"[h]:mm:ss", ":12:56"},     // the bracket is skipped
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
      {0.75, u"h:mm a/p", "18:00 p"},
      {0.75, u"h:mm AM/PM", "18:00 PM"},
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

// A workbook in the 1904 date system counts its serials from 1904-01-01: its dates move by
// 1462 days, its times of day do not.
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
