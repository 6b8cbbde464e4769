// The scan of a workbook's first sheet against the full load: what the scan reads, it reads
// as the full load does; what it does not read, it leaves to the full load.
#include "xls_sheet_scan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <utility>

#include "cfb_test_support.h"
#include "text/error.h"
#include "biff_records.h"
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

bool SameValue(const CellValue& a, const CellValue& b) {
  if (a.kind != b.kind || a.text != b.text || a.boolean != b.boolean) return false;
  return a.number == b.number || (std::isnan(a.number) && std::isnan(b.number));
}

// Scans the workbook image; when the scan reads it, expects the full load's sheet count,
// used range, cells (value, XF and number format, in row order) and nothing more.
bool ScanAgreesWithFullLoad(const std::vector<std::uint8_t>& image, const std::string& what) {
  TOle2Storage storage = TOle2Storage::OpenMemory(image, what);
  TSheetScan scan;
  if (!scan.Scan(storage)) return false;
  TXLSFile book;
  book.OpenMemory(image, what);
  book.SetActiveSheet(1);
  EXPECT_EQ(scan.SheetCount(), book.SheetCount()) << what;
  EXPECT_EQ(scan.UsedRowCount(), book.UsedRowCount()) << what;
  EXPECT_EQ(scan.UsedColCount(), book.UsedColCount()) << what;

  std::map<std::pair<int, int>, std::pair<CellValue, int>> scanned;
  std::pair<int, int> last{0, 0};
  scan.ForEachCell([&](int row, int col, const CellValue& value, int xf) {
    EXPECT_LT(last, std::make_pair(row, col)) << what << ": out of order at " << row << "," << col;
    last = {row, col};
    scanned[{row, col}] = {value, xf};
    EXPECT_EQ(scan.NumberFormat(xf), book.NumberFormat(xf)) << what << ": XF " << xf;
  });
  std::size_t in_range = 0;
  for (const auto& [place, cell] : scanned) {
    const auto [row, col] = place;
    if (row > book.UsedRowCount() || col > book.UsedColCount()) continue;
    ++in_range;
    const TXlsCellValue full = book.GetCell(row, col);
    EXPECT_TRUE(SameValue(cell.first, full.Value)) << what << ": cell " << row << "," << col;
    EXPECT_EQ(cell.second, full.XF) << what << ": cell " << row << "," << col;
  }
  std::size_t with_value = 0;
  for (int row = 1; row <= book.UsedRowCount(); ++row) {
    for (int col = 1; col <= book.UsedColCount(); ++col) {
      if (book.GetCellValue(row, col).kind != CellValue::Kind::Empty) ++with_value;
    }
  }
  EXPECT_EQ(in_range, with_value) << what;
  return true;
}

Rec FormulaRec(int row, int col, std::vector<std::uint8_t> result, int xf = 15) {
  // The cached result, flags, chain and the tokens of =1.
  return {xls::rid::kFormula, Cat({Le16({row, col, xf}), std::move(result), Le16({0}), Le32(0), Le16({3}), {0x1E, 1, 0}})};
}
std::vector<std::uint8_t> ResultOf(int kind, int value) {  // kind 0 string, 1 boolean, 2 error
  return Cat({{static_cast<std::uint8_t>(kind), 0, static_cast<std::uint8_t>(value), 0, 0, 0}, Le16({0xFFFF})});
}
Rec StringRec(const std::u16string& text) { return {xls::rid::kString, XlString(text)}; }

// Every kind of cell record in one sheet, with a second sheet and rows without ROW records.
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
      test::NumberRec(3, 300 - 256, 7),  // a row without a ROW record, beyond the used range
  };
  return {{u"Runners", 0x0010, first}, {u"Other", 0x0010, {test::RowRec(0, 0, 1), test::LabelSstRec(0, 0, 0)}}};
}

TEST(SheetScanTest, ReadsEveryKindOfCellAsTheFullLoadDoes) {
  EXPECT_TRUE(ScanAgreesWithFullLoad(test::Container(test::HandWorkbook(EveryKindOfCell(), {u"A", u"Bjørn"})),
                                     "every kind"));
}

TEST(SheetScanTest, ReadsWorkbooksOfOurWriterAndOthers) {
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
  EXPECT_TRUE(ScanAgreesWithFullLoad(written.SaveToMemory(), "our writer"));

  // Fixtures from other programs: each is read alike or left to the full load.
  int scanned = 0;
  for (const auto& entry : std::filesystem::directory_iterator(LN40_XLS_FIXTURES)) {
    if (entry.path().extension() != ".xls") continue;
    const std::vector<std::uint8_t> image = test::ReadBytes(entry.path().string());
    try {
      TXLSFile probe;
      probe.OpenMemory(image);
    } catch (const Error&) {
      continue;  // a fixture of a damaged or older file
    }
    if (ScanAgreesWithFullLoad(image, entry.path().filename().string())) ++scanned;
  }
  EXPECT_GE(scanned, 3);
}

// What the scan leaves to the full load, each a change of the plain workbook that it reads.
TEST(SheetScanTest, LeavesAnythingUnusualToTheFullLoad) {
  const std::vector<Rec> plain = {test::RowRec(0, 0, 2), test::NumberRec(0, 0, 1), test::NumberRec(0, 1, 2)};
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
      {"a duplicated ROW", first_sheet({plain[0], plain[0], plain[1]}), {}},
      {"a column beyond the last", first_sheet({plain[0], test::NumberRec(0, 256, 1)}), {}},
      {"a string index beyond the table", first_sheet({plain[0], test::LabelSstRec(0, 0, 5)}), {}},
      {"a STRING without a formula", first_sheet({plain[0], plain[1], StringRec(u"x")}), {}},
      {"an embedded chart", first_sheet({plain[0], plain[1], {xls::rid::kBof, Le16({0x0600, 0x0020, 0, 0, 0, 0, 0, 0})}}),
       {}},
      {"a chart as the first sheet", {{u"Chart", 0x0020, {}}, {u"Sheet1", 0x0010, plain}}, {}},
      {"a damaged second sheet", {{u"Sheet1", 0x0010, plain}, {u"Sheet2", 0x0010, {{xls::rid::kRow, Le16({0})}}}}, {}},
      {"an encrypted workbook", first_sheet(plain), {{xls::rid::kFilePass, Le16({0})}}},
      {"two sheets of one name", {{u"Sheet1", 0x0010, plain}, {u"Sheet1", 0x0010, plain}}, {}},
  };
  TSheetScan scan;
  EXPECT_TRUE(scan.ScanStream(test::HandWorkbook(first_sheet(plain))));
  for (const Case& c : cases) {
    const std::vector<std::uint8_t> stream = test::HandWorkbook(c.sheets, {u"A"}, c.extra_globals);
    EXPECT_FALSE(scan.ScanStream(stream)) << c.what;
    EXPECT_EQ(scan.UsedRowCount(), 0) << c.what;
  }
}

// A text continued in a CONTINUE record is left to the full load too.
TEST(SheetScanTest, LeavesContinuedTextsToTheFullLoad) {
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
  TSheetScan scan;
  EXPECT_FALSE(scan.ScanStream(test::Stream(records)));
}

}  // namespace
}  // namespace ln40
