// Load-then-save of workbooks other programs wrote: every record the writer does not produce
// anew goes out byte for byte (compared section by section, a record with its CONTINUE
// records as one), the other streams of the file are kept, and every cell reads the same
// afterwards (formulas, saved to be calculated on opening, read #NULL!).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "cfb_test_support.h"
#include "biff_records.h"
#include "compound_file/ole2_storage.h"
#include "xls/xls_file.h"
#include "xls_model.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using namespace test;
namespace rid = xls::rid;

using Logical = std::pair<std::uint16_t, std::vector<std::uint8_t>>;

// The records the writer makes anew (or leaves out) instead of copying them.
bool Regenerated(std::uint16_t id) {
  static const std::set<std::uint16_t> kinds = {
      rid::kSst,      rid::kExtSst,   rid::kIndex,    rid::kDbCell,   rid::kDimensions, rid::kRow,
      rid::kLabelSst, rid::kNumber,   rid::kRk,       rid::kBlank,    rid::kBoolErr,    rid::kMulRk,
      rid::kMulBlank, rid::kFormula,  rid::kString,   rid::kShrFmla,  rid::kColInfo,    rid::kRecalcId,
      rid::kMsoDrawingSelection, rid::kXct, rid::kCrn};
  return kinds.count(id) != 0;
}

// Per section, the records (with their CONTINUE data appended) the writer copies, sorted;
// BOUNDSHEET without its stream offset.
std::vector<std::vector<Logical>> CopiedRecords(const std::vector<std::uint8_t>& stream) {
  std::vector<std::vector<Logical>> sections;
  std::vector<Logical> records;  // each with its CONTINUE data
  for (const Rec& record : ListRecords(stream)) {
    if (record.id == rid::kContinue && !records.empty()) {
      records.back().second.insert(records.back().second.end(), record.data.begin(), record.data.end());
      continue;
    }
    records.push_back({record.id, record.data});
  }
  // Sections from each top-level BOF to its EOF; embedded chart substreams stay with their
  // sheet.
  std::vector<Logical> section;
  int depth = 0;
  for (Logical& record : records) {
    if (record.first == rid::kBof) ++depth;
    if (!Regenerated(record.first)) {
      if (record.first == rid::kBoundSheet) record.second.erase(record.second.begin(), record.second.begin() + 4);
      section.push_back(record);
    }
    if (record.first == rid::kEof && --depth == 0) {
      std::sort(section.begin(), section.end());
      sections.push_back(std::move(section));
      section.clear();
    }
  }
  return sections;
}

class KeepsRecords : public ::testing::TestWithParam<const char*> {};

TEST_P(KeepsRecords, LoadThenSave) {
  const std::vector<std::uint8_t> original = test::ReadBytes(Fixture(GetParam()));
  TXLSFile book;
  book.OpenMemory(original);
  const std::vector<std::uint8_t> image = book.SaveToMemory();
  const std::vector<std::uint8_t> before = WorkbookStreamOf(original);
  const std::vector<std::uint8_t> after = WorkbookStreamOf(image);

  const auto kept_before = CopiedRecords(before);
  const auto kept_after = CopiedRecords(after);
  ASSERT_EQ(kept_before.size(), kept_after.size());
  for (std::size_t s = 0; s < kept_before.size(); ++s) {
    EXPECT_EQ(kept_before[s], kept_after[s]) << GetParam() << " section " << s;
  }

  // The other streams of the file, byte for byte.
  TOle2Storage a = TOle2Storage::OpenMemory(original);
  TOle2Storage b = TOle2Storage::OpenMemory(image);
  const TXlsStorageList other_a = ReadKeptElements(a);
  const TXlsStorageList other_b = ReadKeptElements(b);
  std::map<std::string, std::vector<std::uint8_t>> streams_a, streams_b;
  for (const TXlsStorage& e : other_a) {
    if (!e.Contents.empty()) streams_a[e.Name] = e.Contents;
  }
  for (const TXlsStorage& e : other_b) streams_b[e.Name] = e.Contents;
  EXPECT_EQ(streams_a, streams_b);

  // Every cell reads the same; formulas read #NULL! (to be calculated when opened).
  TXLSFile saved;
  saved.OpenMemory(image);
  ASSERT_EQ(saved.SheetCount(), book.SheetCount());
  for (int s = 1; s <= book.SheetCount(); ++s) {
    book.SetActiveSheet(s);
    saved.SetActiveSheet(s);
    EXPECT_EQ(saved.UsedRowCount(), book.UsedRowCount());
    EXPECT_EQ(saved.UsedColCount(), book.UsedColCount());
    EXPECT_EQ(saved.MergedRanges(), book.MergedRanges());
    const auto& sheet = static_cast<const xls::TWorkSheet&>(*book.Workbook().Sheets[s - 1]);
    for (std::size_t row = 0; row < sheet.Cells.size(); ++row) {
      for (const xls::TXlsCell& cell : sheet.Cells[row]) {
        const int r = static_cast<int>(row) + 1, c = cell.Col + 1;
        const TXlsCellValue x = book.GetCell(r, c);
        const TXlsCellValue y = saved.GetCell(r, c);
        EXPECT_EQ(y.XF, x.XF);
        if (cell.Kind == xls::TCellKind::Formula) {
          EXPECT_EQ(y.Value.text, u"#NULL!");
          continue;
        }
        EXPECT_EQ(y.Value.kind, x.Value.kind) << GetParam() << " R" << r << "C" << c;
        EXPECT_EQ(y.Value.text, x.Value.text);
        EXPECT_EQ(y.Value.number, x.Value.number);
        EXPECT_EQ(y.Value.boolean, x.Value.boolean);
      }
    }
    for (int col = 1; col <= 256; ++col) {
      EXPECT_EQ(saved.ColumnWidth(col), book.ColumnWidth(col));
      EXPECT_EQ(saved.ColumnFormat(col), book.ColumnFormat(col));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, KeepsRecords,
                         ::testing::Values("lo_types.xls", "lo_1904.xls", "gnumeric_types.xls", "xlwt_types.xls",
                                           "libreoffice_runners.xls", "gnumeric_runners.xls", "xlwt_runners.xls"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

TEST(KeepsRecords, ChangingOneCellLeavesTheRestAlone) {
  TXLSFile book;
  book.OpenFile(Fixture("lo_types.xls"));
  book.SetCellValue(2, 5, CellValue::String(u"endret"));
  TXLSFile saved;
  saved.OpenMemory(book.SaveToMemory());
  EXPECT_EQ(saved.GetCellValue(2, 5).text, u"endret");
  EXPECT_EQ(saved.GetCellValue(3, 5).number, 3.07);
  EXPECT_EQ(saved.GetCellValue(2, 1).text, u"Åse");
  saved.SetActiveSheet(2);
  EXPECT_EQ(saved.GetCellValue(1, 1).text, u"Tekst på ark to");
}

}  // namespace
}  // namespace ln40
