#include "table/cell_compare.h"

#include <gtest/gtest.h>

#include <string>

namespace ln40 {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

struct ClassCase {
  std::string text;
  CellClass expected;
};

TEST(ClassifyCellText, DecidesByTheLocaleSeparators) {
  const Locale locale = Locale::WorkedExample();  // date '.', time ':', decimal '.', thousands NBSP
  const ClassCase cases[] = {
      {"123", CellClass::Number},
      {"-1.5", CellClass::Number},
      {"1\xA0" "000", CellClass::Number},
      {"1.", CellClass::Number},  // one decimal separator, even at the end
      {"-", CellClass::Number},   // reads as nothing, but the characters make it a number
      {"\xA0" "1", CellClass::Text},  // thousands separator first
      {"1-2", CellClass::Text},       // minus not first
      {"--1", CellClass::Text},
      {"1\xA0" "0\xA0" "0", CellClass::Text},  // thousands separator twice
      {"", CellClass::Text},
      {"1.2.3", CellClass::Date},  // two decimal separators: no number, then a date
      {"24.12", CellClass::Number},  // one separator: a decimal number, not a date
      {"24.12.", CellClass::Date},
      {"24.12.2020", CellClass::Date},
      {"24.12.2020 10:00", CellClass::DateTime},
      {"a.b", CellClass::Text},         // date position without digits: text, no time check
      {"a.5:00", CellClass::Text},
      {"123.4.5", CellClass::Text},     // date separator at the 4th character
      {"9:05:00", CellClass::Time},
      {"10:00", CellClass::Time},
      {"123:45", CellClass::Text},      // time separator too far in
      {"10:", CellClass::Text},         // separator is the last character
      {"1:a", CellClass::Text},
      {"Ola", CellClass::Text},
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(ClassifyCellText(c.text, locale), c.expected) << '"' << c.text << '"';
  }
}

struct CompareCase {
  std::string a;
  std::string b;
  int expected;  // sign
};

TEST(CompareCellTexts, FollowsTheClassOfTheFirstCell) {
  const Locale locale = Locale::WorkedExample();
  const CompareCase cases[] = {
      // times: one or two hour digits alike
      {"9:05:00", "10:00:00", -1},
      {"10:00:00", "9:05:00", 1},
      {"9:05", "09:05:00", 0},
      {"9:05:00", "10", -1},        // the second cell is read as a time too
      {"25:00", "00:00:01", -1},    // an unreadable time counts as 00:00:00
      // numbers
      {"10", "9", 1},
      {"-3", "2", -1},
      {"1.5", "1.25", 1},
      {"1\xA0" "000", "999", 1},
      {"5", "", 1},                 // an empty cell counts as 0
      {"-3", "", -1},
      {"5", "abc", 1},              // unreadable counts as 0
      {"-", ".", 0},                // two unreadable numbers compare equal
      // dates: day before month, compared as points in time
      {"02.01.2020", "01.02.2020", -1},
      {"24.12.", "01.01.2001", -1},  // no year: the fixed year 2000
      {"31.12.99", "01.01.2000", -1},  // two-digit years around 2000
      {"01.01.2020 10:00", "01.01.2020 09:00", 1},
      {"01.01.2020 10:00", "01.01.2020", 1},
      {"31.02.2020", "01.01.1900", -1},  // no such day: day zero
      // text: unsigned bytes
      {"B", "b", -1},
      {"b", "\xC5", -1},             // Å after the ASCII letters
      {"z", "\xE6", -1},             // æ after z
      {"\xE6", "\xF8", -1},          // æ before ø
      {"ab", "abc", -1},
      {"", "", 0},
      {"", "a", -1},
      {"Ola", "Ola", 0},
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(Sign(CompareCellTexts(c.a, c.b, locale)), c.expected)
        << '"' << c.a << "\" vs \"" << c.b << '"';
  }
}

TEST(CompareCellTexts, OrderDependsOnWhichCellComesFirst) {
  // Text first compares bytes ('a' > '5'); number first reads "abc" as 0.
  const Locale locale = Locale::WorkedExample();
  EXPECT_GT(CompareCellTexts("abc", "5", locale), 0);
  EXPECT_GT(CompareCellTexts("5", "abc", locale), 0);
}

TEST(CompareCellTexts, UsesTheLocaleSeparators) {
  Locale locale = Locale::WorkedExample();
  EXPECT_EQ(ClassifyCellText("1,5", locale), CellClass::Text);
  locale.decimalSeparator = ',';
  locale.thousandsSeparator = '.';
  locale.dateSeparator = '/';
  locale.shortDateFormat = "MM/dd/yyyy";
  EXPECT_GT(CompareCellTexts("1,5", "1,25", locale), 0);
  EXPECT_GT(CompareCellTexts("1.000", "999", locale), 0);
  EXPECT_LT(CompareCellTexts("01/02/2020", "02/01/2020", locale), 0);  // month first
}

}  // namespace
}  // namespace ln40
