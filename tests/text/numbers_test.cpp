#include "text/numbers.h"

#include <gtest/gtest.h>

namespace ln40 {
namespace {

TEST(ReadInteger, AcceptsBlanksSignDecimalAndHex) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"001234", 1234}, {"000000", 0},          {"  12", 12},         {"+7", 7},
      {"-01", -1},      {"$1F", 31},            {"0x1f", 31},         {"-$10", -16},
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}, {"$FFFFFFFF", -1},
  };
  for (const auto& c : cases) {
    int32_t value = 0;
    EXPECT_TRUE(TryReadInteger(c.text, value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
}

TEST(ReadInteger, RejectsEverythingElse) {
  for (const char* text : {"", " ", "\r", "12\r", "12 ", "1 2", "+", "-", "$", "0x", "12a", "2147483648",
                           "-2147483649", "$100000000", "1.5", "--1"}) {
    int32_t value = 99;
    EXPECT_FALSE(TryReadInteger(text, value)) << '"' << text << '"';
  }
}

TEST(ReadDecimal, UsesTheLocaleSeparators) {
  Locale locale = Locale::WorkedExample();
  locale.decimalSeparator = ',';
  locale.thousandsSeparator = ' ';
  double value = 0;
  ASSERT_TRUE(TryReadDecimal("-1 234,5", locale, value));
  EXPECT_DOUBLE_EQ(value, -1234.5);
  ASSERT_TRUE(TryReadDecimal(",25", locale, value));
  EXPECT_DOUBLE_EQ(value, 0.25);
  for (const char* bad : {"", "-", "1.5", "1,2,3", " 1", "1 ", "1-", "abc"}) {
    EXPECT_FALSE(TryReadDecimal(bad, locale, value)) << bad;
  }
}

}  // namespace
}  // namespace ln40
