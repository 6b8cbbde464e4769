#include "workbook/number_format.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ln40
