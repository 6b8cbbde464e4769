// The reader of an import (TWorkbookReader) against the full load (TXLSFile): one record
// decoder under both, so every workbook reads alike, usual or not, and a damaged one is
// refused by both with the same message.
#include "xls/workbook_reader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "biff_records.h"
#include "cfb_test_support.h"
#include "reader_agreement.h"
#include "xls/xls_file.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using test::Cat;
using test::HandSheet;
using test::Le16;
using test::Le32;
using test::LeDouble;
using test::Rec;
using test::XlString;

Rec FormulaRec(int row, int col, std::vector<std::uint8_t> result, int xf = 15) {
  // The cached result, flags, chain and the tokens of =1.
  return {xls::rid::kFormula, Cat({Le16({row, col, xf}), std::move(result), Le16({0}), Le32(0), Le16({3}), {0x1E, 1, 0}})};
}
std::vector<std::uint8_t> ResultOf(int kind, int value) {  // kind 0 string, 1 boolean, 2 error
  return Cat({{static_cast<std::uint8_t>(kind), 0, static_cast<std::uint8_t>(value), 0, 0, 0}, Le16({0xFFFF})});
}
Rec StringRec(const std::u16string& text) { return {xls::rid::kString, XlString(text)}; }

// Every kind of cell record in one sheet, with a second sheet and a cell without a ROW
// record.
std::vector<HandSheet> EveryKindOfCell() {
  const std::vector<Rec> first = {
      test::RowRec(0, 0, 6),
      test::RowRec(1, 0, 4),
      test::RowRec(2, 0, 5),
      test::LabelSstRec(0, 0, 1),
      test::NumberRec(0, 1, 0.4173611111, 16),
      test::RkRec(0, 2, (1234 << 2) | 2),
      {xls::rid::kLabel, Cat({Le16({0, 3, 15}), XlString(u"Løper")})},
      {xls::rid::kBoolErr, Cat({Le16({0, 4, 15}), {1, 0}})},
      {xls::rid::kBoolErr, Cat({Le16({0, 5, 15}), {0x07, 1}})},
      {xls::rid::kBlank, Le16({0, 6, 15})},
      {xls::rid::kMulRk, Cat({Le16({1, 0, 15}), Le32((5 << 2) | 2), Le16({16}), Le32((6 << 2) | 3), Le16({1})})},
      {xls::rid::kMulBlank, Le16({1, 2, 15, 15, 3})},
      FormulaRec(1, 4, LeDouble(2.5)),
      FormulaRec(2, 0, ResultOf(0, 0)),
      StringRec(u"text of a formula"),
      FormulaRec(2, 1, ResultOf(1, 1)),
      FormulaRec(2, 2, ResultOf(2, 0x2A)),
      FormulaRec(2, 3, ResultOf(0, 0)),  // a string result without its STRING record
      {xls::rid::kRString, Cat({Le16({2, 4, 15}), XlString(u"rich"), Le16({0})})},
      test::NumberRec(3, 300 - 256, 7),  // a row without a ROW record
  };
  return {{u"Runners", 0x0010, first}, {u"Other", 0x0010, {test::RowRec(0, 0, 1), test::LabelSstRec(0, 0, 0)}}};
}

std::string Differ(const std::vector<std::uint8_t>& stream) {
  return test::ReaderAndFullLoadDiffer(test::Container(stream));
}

TEST(WorkbookReader, ReadsEveryKindOfCellAsTheFullLoadDoes) {
  const std::vector<std::uint8_t> image = test::Container(test::HandWorkbook(EveryKindOfCell(), {u"A", u"Bjørn"}));
  EXPECT_EQ(test::ReaderAndFullLoadDiffer(image), "");
  TWorkbookReader reader;
  reader.OpenMemory(image);
  EXPECT_EQ(reader.SheetCount(), 2);
  EXPECT_EQ(reader.SheetName(2), u"Other");
  EXPECT_EQ(reader.UsedRowCount(1), 4);
  EXPECT_EQ(reader.UsedColCount(1), 45);
}

TEST(WorkbookReader, ReadsWorkbooksOfOurWriterAndOthersAsTheFullLoadDoes) {
  TXLSFile written;
  written.NewFile(2);
  written.SetActiveSheet(1);
  TCellFormat time_format;
  time_format.NumberFormat = u"hh:mm:ss";
  const int time_xf = written.AddFormat(time_format);
  for (int row = 1; row <= 300; ++row) {
    written.SetCellValue(row, 1, CellValue::String(u"Runner " + std::u16string(1, u'A' + row % 26)));
    written.SetCellValue(row, 2, CellValue::Number(100 + row));
    written.SetCellValue(row, 3, CellValue::Number(0.4 + row / 86400.0), time_xf);
    if (row % 7 == 0) written.SetCellValue(row, 4, CellValue::Boolean(true));
  }
  written.SetCellFormula(2, 5, u"=B1+B2");
  written.MergeCells(2, 6, 3, 7);
  EXPECT_EQ(test::ReaderAndFullLoadDiffer(written.SaveToMemory()), "");

  // Fixtures from other programs; an older one is refused by both alike.
  for (const auto& entry : std::filesystem::directory_iterator(LN40_XLS_FIXTURES)) {
    if (entry.path().extension() != ".xls") continue;
    EXPECT_EQ(test::ReaderAndFullLoadDiffer(test::ReadBytes(entry.path().string())), "") << entry.path().filename();
  }
}

// What is out of the ordinary reads alike, and damage ends in the same message.
TEST(WorkbookReader, ReadsUnusualAndDamagedWorkbooksAsTheFullLoadDoes) {
  const std::vector<Rec> plain = {test::RowRec(0, 0, 2), test::NumberRec(0, 0, 1), test::NumberRec(0, 1, 2)};
  const Rec shared_formula{xls::rid::kShrFmla, Cat({Le16({0, 0}), {0, 0, 0, 1}, Le16({1}), {0x1E}})};
  struct Case {
    const char* what;
    std::vector<HandSheet> sheets;
    std::vector<Rec> extra_globals;
  };
  const auto first_sheet = [&](std::vector<Rec> records) {
    return std::vector<HandSheet>{{u"Sheet1", 0x0010, std::move(records)}};
  };
  const std::vector<Case> cases = {
      {"merged cells", first_sheet({plain[0], plain[1], plain[2], {xls::rid::kMergedCells, Le16({1, 0, 0, 0, 1})}}), {}},
      {"cells out of order", first_sheet({plain[0], plain[2], plain[1]}), {}},
      {"one place twice", first_sheet({plain[0], plain[1], plain[1]}), {}},
      {"a value, then a blank at its place", first_sheet({plain[0], plain[1], {xls::rid::kBlank, Le16({0, 0, 15})}}), {}},
      {"a duplicated ROW", first_sheet({plain[0], plain[0], plain[1]}), {}},
      {"a column beyond the last", first_sheet({plain[0], test::NumberRec(0, 256, 1)}), {}},
      {"a string index beyond the table", first_sheet({plain[0], test::LabelSstRec(0, 0, 5)}), {}},
      {"a STRING without a formula", first_sheet({plain[0], plain[1], StringRec(u"x")}), {}},
      {"a formula, its shared formula and STRING", first_sheet({plain[0], FormulaRec(0, 0, ResultOf(0, 0)), shared_formula, StringRec(u"x")}), {}},
      {"a formula replaced before its shared formula", first_sheet({plain[0], FormulaRec(0, 0, ResultOf(0, 0)), plain[1], shared_formula}), {}},
      {"an embedded chart without its OBJ",
       first_sheet({plain[0], plain[1], {xls::rid::kBof, Le16({0x0600, 0x0020, 0, 0, 0, 0, 0, 0})}}), {}},
      {"a chart as the first sheet", {{u"Chart", 0x0020, {}}, {u"Sheet1", 0x0010, plain}}, {}},
      {"a damaged second sheet", {{u"Sheet1", 0x0010, plain}, {u"Sheet2", 0x0010, {{xls::rid::kRow, Le16({0})}}}}, {}},
      {"an encrypted workbook", first_sheet(plain), {{xls::rid::kFilePass, Le16({0})}}},
      {"two sheets of one name", {{u"Sheet1", 0x0010, plain}, {u"Sheet1", 0x0010, plain}}, {}},
      {"no sheets", {}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Differ(test::HandWorkbook(c.sheets, {u"A"}, c.extra_globals)), "") << c.what;
}

// A text continued in a CONTINUE record reads whole in both.
TEST(WorkbookReader, ReadsContinuedTextsAsTheFullLoadDoes) {
  std::vector<std::uint8_t> stream = test::HandWorkbook(
      {{u"Sheet1", 0x0010, {test::RowRec(0, 0, 1), {xls::rid::kLabel, Cat({Le16({0, 0, 15}), XlString(u"ab")})}}}});
  // Split the label's characters: the CONTINUE carries the option byte and the last one.
  std::vector<Rec> records = test::ListRecords(stream);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].id != xls::rid::kLabel) continue;
    records[i].data.pop_back();
    records.insert(records.begin() + static_cast<std::ptrdiff_t>(i) + 1, Rec{xls::rid::kContinue, {0, 'b'}});
    break;
  }
  EXPECT_EQ(Differ(test::Stream(records)), "");
  TXLSFile book;
  book.OpenMemory(test::Container(test::Stream(records)));
  EXPECT_EQ(book.GetCellValue(1, 1).text, u"ab");
}

}  // namespace
}  // namespace ln40
