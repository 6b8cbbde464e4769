#include "text/codepage.h"

#include <gtest/gtest.h>

namespace ln40 {
namespace {

TEST(CodePage, EveryByteSurvivesUtf8AndUtf16RoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  EXPECT_EQ(Utf16ToCp1252(Cp1252ToUtf16(all)), all);
}

TEST(CodePage, ConvertsNorwegianLettersAndEuro) {
  EXPECT_EQ(Cp1252ToUtf8("Kj\xF8nn \x80"), "Kj\xC3\xB8nn \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252("L\xC3\xB8ype \xC3\x86\xC3\x98\xC3\x85"), "L\xF8ype \xC6\xD8\xC5");
  EXPECT_EQ(Cp1252ToUtf16("\x80\x9F"), std::u16string(u"\u20AC\u0178"));
}

TEST(CodePage, ReplacesWhatTheCodePageLacksAndBrokenUtf8) {
  EXPECT_EQ(Utf8ToCp1252("a\xE4\xB8\xAD" "b"), "a?b");          // CJK letter
  EXPECT_EQ(Utf8ToCp1252("a\xC3" "b", '\xBF'), "a\xBF" "b");    // cut sequence
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "??");                    // overlong
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "???");               // surrogate
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "?");             // beyond the basic plane
  EXPECT_EQ(Utf16ToCp1252(u"x\U0001F600y"), "x?y");
}

TEST(CodePage, TellsValidUtf8) {
  EXPECT_TRUE(IsValidUtf8("L\xC3\xB8ype \xE2\x82\xAC"));
  EXPECT_FALSE(IsValidUtf8("L\xF8ype"));
  EXPECT_FALSE(IsValidUtf8("\xC3"));
}

TEST(CodePage, UpperCasesWithTheCodePageLetters) {
  EXPECT_EQ(UpperCase("abc \xE6\xF8\xE5 \x9A\x9C\x9E\xFF"), "ABC \xC6\xD8\xC5 \x8A\x8C\x8E\x9F");
  // ß, the division sign and digits have no upper case.
  EXPECT_EQ(UpperCase("\xDF\xF7" "09"), "\xDF\xF7" "09");
}

}  // namespace
}  // namespace ln40
