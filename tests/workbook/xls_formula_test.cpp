// The formula compiler: texts and the parsed-expression tokens they compile to
// ([MS-XLS] 2.5.198), the messages of rejected texts, and SetCellFormula.
#include <gtest/gtest.h>

#include <functional>

#include "text/codepage.h"
#include "text/error.h"
#include "biff_records.h"
#include "xls/xls_file.h"
#include "xls_formula.h"
#include "xls_model.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using namespace test;
using Bytes = std::vector<std::uint8_t>;

struct CompileCase {
  const char16_t* text;
  Bytes tokens;
};

Bytes Str(const std::string& text) {
  Bytes out = {0x17, static_cast<std::uint8_t>(text.size()), 0x00};
  for (char c : text) out.push_back(static_cast<std::uint8_t>(c));
  return out;
}

class Compiles : public ::testing::TestWithParam<CompileCase> {};

TEST_P(Compiles, ToTokens) {
  EXPECT_EQ(xls::CompileFormula(GetParam().text).Tokens, GetParam().tokens)
      << Cp1252ToUtf8(Utf16ToCp1252(GetParam().text));
}

const Bytes kRefA1 = {0x44, 0x00, 0x00, 0x00, 0xC0};
const Bytes kOne = {0x1E, 0x01, 0x00};
const Bytes kTwo = {0x1E, 0x02, 0x00};
const Bytes kThree = {0x1E, 0x03, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Texts, Compiles,
    ::testing::Values(
        CompileCase{u"=1", kOne},
        CompileCase{u"=1.5", Cat({{0x1F}, LeDouble(1.5)})},
        CompileCase{u"=70000", Cat({{0x1F}, LeDouble(70000)})},
        CompileCase{u"=2.5E-3", Cat({{0x1F}, LeDouble(0.0025)})},
        CompileCase{u"=\"a\"\"b\"", Str("a\"b")},
        CompileCase{u"=\"\u0416\"", {0x17, 0x01, 0x01, 0x16, 0x04}},
        CompileCase{u"=TRUE", {0x1D, 0x01}},
        CompileCase{u"=false", {0x1D, 0x00}},
        CompileCase{u"=#N/A", {0x1C, 0x2A}},
        CompileCase{u"=#div/0!", {0x1C, 0x07}},
        CompileCase{u"=A1", kRefA1},
        CompileCase{u"=$B$2", {0x44, 0x01, 0x00, 0x01, 0x00}},
        CompileCase{u"=A$1", {0x44, 0x00, 0x00, 0x00, 0x40}},
        CompileCase{u"=$A1", {0x44, 0x00, 0x00, 0x00, 0x80}},
        CompileCase{u"=iv65536", {0x44, 0xFF, 0xFF, 0xFF, 0xC0}},
        CompileCase{u"=A3:B1", {0x45, 0x00, 0x00, 0x02, 0x00, 0x00, 0xC0, 0x01, 0xC0}},
        CompileCase{u"=SUM(A1:A3)", {0x25, 0x00, 0x00, 0x02, 0x00, 0x00, 0xC0, 0x00, 0xC0, 0x42, 0x01, 0x04, 0x00}},
        CompileCase{u"=sum(a1;2)", Cat({{0x24, 0x00, 0x00, 0x00, 0xC0}, kTwo, {0x42, 0x02, 0x04, 0x00}})},
        CompileCase{u"=1+2*3", Cat({kOne, kTwo, kThree, {0x05, 0x03}})},
        CompileCase{u"=(1+2)*3", Cat({kOne, kTwo, {0x03, 0x15}, kThree, {0x05}})},
        CompileCase{u"=1-2-3", Cat({kOne, kTwo, {0x04}, kThree, {0x04}})},
        CompileCase{u"=6/2/3", Cat({{0x1E, 0x06, 0x00}, kTwo, {0x06}, kThree, {0x06}})},
        CompileCase{u"=-2^2", Cat({kTwo, {0x13}, kTwo, {0x07}})},
        CompileCase{u"=2^3^2", Cat({kTwo, kThree, {0x07}, kTwo, {0x07}})},
        CompileCase{u"=+1", Cat({kOne, {0x12}})},
        CompileCase{u"=50%", {0x1E, 0x32, 0x00, 0x14}},
        CompileCase{u"=1+2&\"x\"", Cat({kOne, kTwo, {0x03}, Str("x"), {0x08}})},
        CompileCase{u"=1&2=3", Cat({kOne, kTwo, {0x08}, kThree, {0x0B}})},
        CompileCase{u"=1<>2", Cat({kOne, kTwo, {0x0E}})},
        CompileCase{u"=1<=2", Cat({kOne, kTwo, {0x0A}})},
        CompileCase{u"=1>=2", Cat({kOne, kTwo, {0x0C}})},
        CompileCase{u"=1<2", Cat({kOne, kTwo, {0x09}})},
        CompileCase{u"=1>2", Cat({kOne, kTwo, {0x0D}})},
        CompileCase{u"= 1 +\t2 ", Cat({kOne, kTwo, {0x03}})},
        CompileCase{u"=IF(B1>2;\"yes\";\"no\")",
                    Cat({{0x44, 0x00, 0x00, 0x01, 0xC0}, kTwo, {0x0D}, Str("yes"), Str("no"), {0x42, 0x03, 0x01, 0x00}})},
        CompileCase{u"=IF(A1,,1)", Cat({kRefA1, {0x16}, kOne, {0x42, 0x03, 0x01, 0x00}})},
        CompileCase{u"=AVERAGE(A1:B2)", {0x25, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0, 0x01, 0xC0, 0x42, 0x01, 0x05, 0x00}},
        CompileCase{u"=MIN(1;2)", Cat({kOne, kTwo, {0x42, 0x02, 0x06, 0x00}})},
        CompileCase{u"=MAX(1)", Cat({kOne, {0x42, 0x01, 0x07, 0x00}})},
        CompileCase{u"=COUNT(A1)", {0x24, 0x00, 0x00, 0x00, 0xC0, 0x42, 0x01, 0x00, 0x00}},
        CompileCase{u"=COUNTA(A1:B2,C3)",
                    {0x25, 0x00, 0x00, 0x01, 0x00, 0x00, 0xC0, 0x01, 0xC0, 0x24, 0x02, 0x00, 0x02, 0xC0, 0x42, 0x02, 0xA9, 0x00}},
        CompileCase{u"=AND(TRUE;FALSE)", {0x1D, 0x01, 0x1D, 0x00, 0x42, 0x02, 0x24, 0x00}},
        CompileCase{u"=OR(1)", Cat({kOne, {0x42, 0x01, 0x25, 0x00}})},
        CompileCase{u"=NOT(1)", Cat({kOne, {0x41, 0x26, 0x00}})},
        CompileCase{u"=ROUND(A1;2)", Cat({kRefA1, kTwo, {0x41, 0x1B, 0x00}})},
        CompileCase{u"=ABS(-1)", Cat({kOne, {0x13, 0x41, 0x18, 0x00}})},
        CompileCase{u"=LEN(\"ab\")", Cat({Str("ab"), {0x41, 0x20, 0x00}})},
        CompileCase{u"=LEFT(\"ab\")", Cat({Str("ab"), {0x42, 0x01, 0x73, 0x00}})},
        CompileCase{u"=RIGHT(\"ab\";1)", Cat({Str("ab"), kOne, {0x42, 0x02, 0x74, 0x00}})},
        CompileCase{u"=MID(\"abc\";2;1)", Cat({Str("abc"), kTwo, kOne, {0x41, 0x1F, 0x00}})},
        CompileCase{u"=CONCATENATE(\"a\";\"b\")", Cat({Str("a"), Str("b"), {0x42, 0x02, 0x50, 0x01}})},
        CompileCase{u"=TODAY()", {0x19, 0x01, 0x00, 0x00, 0x41, 0xDD, 0x00}},
        CompileCase{u"=NOW()-TODAY()", {0x19, 0x01, 0x00, 0x00, 0x41, 0x4A, 0x00, 0x41, 0xDD, 0x00, 0x04}},
        CompileCase{u"=TIME(1;2;3)", Cat({kOne, kTwo, kThree, {0x41, 0x42, 0x00}})},
        CompileCase{u"=HOUR(A1)", Cat({kRefA1, {0x41, 0x47, 0x00}})},
        CompileCase{u"=MINUTE(A1)", Cat({kRefA1, {0x41, 0x48, 0x00}})},
        CompileCase{u"=SECOND(A1)", Cat({kRefA1, {0x41, 0x49, 0x00}})},
        CompileCase{u"=SUM()", {0x42, 0x00, 0x04, 0x00}}));

struct RejectCase {
  const char16_t* text;
  std::string message;
};

class Rejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(Rejects, WithTheCompilersMessage) {
  try {
    xls::CompileFormula(GetParam().text);
    FAIL() << "compiled: " << GetParam().message;
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Rejects,
    ::testing::Values(
        RejectCase{u"1+2", "Formula must start with \"=\": \"1+2\""},
        RejectCase{u"", "Formula must start with \"=\": \"\""},
        RejectCase{u"=", "Unexpected end of formula: \"=\""},
        RejectCase{u"=1+", "Unexpected end of formula: \"=1+\""},
        RejectCase{u"=1+*2", "Unexpected char \"*\" at pos 4 on formula: \"=1+*2\""},
        RejectCase{u"=1 2", "Unexpected char \"2\" at pos 4 on formula: \"=1 2\""},
        RejectCase{u"=1)", "Unexpected char \")\" at pos 3 on formula: \"=1)\""},
        RejectCase{u"=1E", "Unexpected char \"E\" at pos 3 on formula: \"=1E\""},
        RejectCase{u"=#FOO", "Unexpected char \"#\" at pos 2 on formula: \"=#FOO\""},
        RejectCase{u"=\"abc", "Unterminated string on formula: \"=\"abc\""},
        RejectCase{u"=SUM(1,2", "Missing closing parentheses on formula: \"=SUM(1,2\""},
        RejectCase{u"=(1+2", "Missing closing parentheses on formula: \"=(1+2\""},
        RejectCase{u"=FOO(1)", "Function not found: \"FOO\" on formula \"=FOO(1)\""},
        RejectCase{u"=Navn", "Unexpected Identifier: \"Navn\" on formula \"=Navn\""},
        RejectCase{u"=ROUND(1)", "Invalid number of parameters to function \"ROUND\": Expected 2 and found 1"},
        RejectCase{u"=IF(1;2;3;4)", "Invalid number of parameters to function \"IF\": Expected 3 and found 4"},
        RejectCase{u"=TODAY(1)", "Invalid number of parameters to function \"TODAY\": Expected 0 and found 1"},
        RejectCase{u"=A70000", "Formula can't be evaluated: \"=A70000\""},
        RejectCase{u"=IW1", "Formula can't be evaluated: \"=IW1\""},
        RejectCase{u"={1;2}", "Writing array formulas is not yet supported"},
        RejectCase{u"=SUM({1;2})", "Writing array formulas is not yet supported"},
        RejectCase{u"='Ark 1", "String expected"},
        RejectCase{u"='Ark 1'!A1", "Unexpected char \"!\" at pos 9 on formula: \"='Ark 1'!A1\""}));

TEST(FormulaCompiler, TooLongFormulas) {
  std::u16string text = u"=1";
  for (int i = 0; i < 400; ++i) text += u"+1";
  EXPECT_NO_THROW(xls::CompileFormula(text));  // 3 + 400 x 4 bytes of tokens
  EXPECT_NO_THROW(xls::CompileFormula(u"=" + std::u16string(60, u'(') + u"1" + std::u16string(60, u')')));
  std::u16string longer = u"=1";
  for (int i = 0; i < 500; ++i) longer += u"+1";
  EXPECT_THROW(
      {
        try {
          xls::CompileFormula(longer);
        } catch (const Error& error) {
          EXPECT_EQ(std::string(error.what()), "Formula too long: \"" + Utf16ToCp1252(longer) + "\"");
          throw;
        }
      },
      Error);
  const std::u16string deep = u"=" + std::u16string(300, u'(') + u"1" + std::u16string(300, u')');
  try {
    xls::CompileFormula(deep);
    FAIL();
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Formula too long: ", 0), 0u);
  }
  std::u16string string_text = u"=\"" + std::u16string(256, u'a') + u"\"";
  try {
    xls::CompileFormula(string_text);
    FAIL();
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("Formula too long: ", 0), 0u);
  }
}

TEST(FormulaCompiler, SetCellFormulaStoresAFormulaRecord) {
  TXLSFile book;
  book.NewFile(1);
  book.SetCellValue(2, 3, CellValue::Number(5), 16);
  book.SetCellFormula(2, 3, u"=SUM(A1:A3)");
  EXPECT_EQ(book.CellFormatIndex(2, 3), 16);
  EXPECT_EQ(book.GetCellValue(2, 3).number, 0);
  bool found = false;
  for (const Rec& record : ListRecords(book.WorkbookStream())) {
    if (record.id != xls::rid::kFormula) continue;
    found = true;
    EXPECT_EQ(record.data, Cat({Le16({1, 2, 16}), LeDouble(0), Le16({0}), Le32(0), Le16({13}),
                                {0x25, 0x00, 0x00, 0x02, 0x00, 0x00, 0xC0, 0x00, 0xC0, 0x42, 0x01, 0x04, 0x00}}));
  }
  EXPECT_TRUE(found);
  // A rejected text leaves the cell as it was.
  EXPECT_THROW(book.SetCellFormula(2, 3, u"=SUM("), Error);
  EXPECT_EQ(book.GetCellValue(2, 3).number, 0);
  EXPECT_EQ(book.UsedRowCount(), 2);
}

}  // namespace
}  // namespace ln40
