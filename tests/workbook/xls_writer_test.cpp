// The workbook writer: the embedded empty workbook and worksheet, the records a save
// produces (SST with CONTINUE and EXTSST, MULRK, MULBLANK, RK or NUMBER, COLINFO,
// MERGEDCELLS, DIMENSIONS, row blocks, GUTS), the model operations and every error of the
// writer.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>

#include "cfb_test_support.h"
#include "text/error.h"
#include "biff_records.h"
#include "compound_file/ole2_storage.h"
#include "xls/xls_file.h"
#include "xls_model.h"
#include "xls_template.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using namespace test;
namespace rid = xls::rid;
using ::testing::ElementsAre;

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

std::vector<std::uint16_t> Ids(const std::vector<Rec>& records) {
  std::vector<std::uint16_t> ids;
  for (const Rec& record : records) ids.push_back(record.id);
  return ids;
}

// The records of the section (0: globals, 1: first sheet, ...) of a stream.
std::vector<Rec> Section(const std::vector<std::uint8_t>& stream, int index) {
  std::vector<Rec> section;
  int at = -1;
  for (const Rec& record : ListRecords(stream)) {
    if (record.id == rid::kBof) ++at;
    if (at == index) section.push_back(record);
  }
  return section;
}

std::vector<Rec> OfKind(const std::vector<Rec>& records, std::uint16_t id) {
  std::vector<Rec> found;
  for (const Rec& record : records) {
    if (record.id == id) found.push_back(record);
  }
  return found;
}

TXLSFile NewBook(int sheets = 1) {
  TXLSFile book;
  book.NewFile(sheets);
  return book;
}

// ---- the embedded resources ----

TEST(XlsTemplate, SizesAndLayoutOfTheEmbeddedWorkbook) {
  const std::vector<std::uint8_t> image = xls::EmptyWorkbookImage();
  EXPECT_EQ(image.size(), 13824u);
  EXPECT_EQ(xls::EmptyWorksheetRecords().size(), 243u);
  // Root class 00020820-0000-0000-C000-000000000046 in the first directory entry.
  const std::vector<std::uint8_t> clsid(image.begin() + 1024 + 80, image.begin() + 1024 + 96);
  EXPECT_EQ(clsid, (std::vector<std::uint8_t>{0x20, 0x08, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46}));
  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  std::vector<std::string> names;
  for (const TOle2Element& element : storage.ListElements()) {
    names.push_back(element.Name);
    EXPECT_EQ(element.Size, 4096u) << element.Name;
  }
  EXPECT_THAT(names, ElementsAre("Workbook", "\x05SummaryInformation", "\x05" "DocumentSummaryInformation"));
}

TEST(XlsTemplate, RecordsOfTheEmbeddedWorkbook) {
  const std::vector<std::uint8_t> stream = xls::EmptyWorkbookStream();
  ASSERT_EQ(stream.size(), 4096u);
  std::vector<std::uint16_t> expected = {rid::kBof, rid::kInterfaceHdr, rid::kMms, rid::kInterfaceEnd, rid::kWriteAccess,
                                         rid::kCodePage, rid::kDsf, rid::kExcel9File, rid::kTabId, rid::kFnGroupCount,
                                         rid::kWindowProtect, rid::kProtect, rid::kPassword, rid::kProt4Rev,
                                         rid::kProt4RevPass, rid::kWindow1, rid::kBackup, rid::kHideObj, rid::kDateMode,
                                         rid::kPrecision, rid::kRefreshAll, rid::kBookBool};
  expected.insert(expected.end(), 4, rid::kFont);
  expected.insert(expected.end(), 8, rid::kFormat);
  expected.insert(expected.end(), 21, rid::kXf);
  expected.insert(expected.end(), 6, rid::kStyle);
  for (std::uint16_t id : {rid::kUsesElfs, rid::kBoundSheet, rid::kCountry, rid::kRecalcId, rid::kSst, rid::kExtSst,
                           rid::kBookExt, rid::kEof}) {
    expected.push_back(id);
  }
  const std::vector<std::uint16_t> sheet = {rid::kBof, rid::kCalcMode, rid::kCalcCount, rid::kRefMode, rid::kIteration,
                                            rid::kDelta, rid::kSaveRecalc, rid::kPrintHeaders, rid::kPrintGridlines,
                                            rid::kGridSet, rid::kGuts, rid::kDefaultRowHeight, rid::kWsBool, rid::kHeader,
                                            rid::kFooter, rid::kHCenter, rid::kVCenter, rid::kSetup, rid::kDefColWidth,
                                            rid::kDimensions, rid::kWindow2, rid::kSelection, rid::kUnknown01EF, rid::kEof};
  EXPECT_EQ(Ids(Section(stream, 0)), expected);
  std::vector<std::uint16_t> with_index = sheet;
  with_index.insert(with_index.begin() + 1, rid::kIndex);
  EXPECT_EQ(Ids(Section(stream, 1)), with_index);
  EXPECT_EQ(Ids(ListRecords(xls::EmptyWorksheetRecords())), sheet);

  const std::vector<Rec> globals = Section(stream, 0);
  const std::vector<Rec> formats = OfKind(globals, rid::kFormat);
  std::vector<int> indices;
  for (const Rec& f : formats) indices.push_back(xls::Get16(f.data.data()));
  EXPECT_THAT(indices, ElementsAre(5, 6, 7, 8, 42, 41, 44, 43));
  const std::vector<Rec> styles = OfKind(globals, rid::kStyle);
  EXPECT_EQ(styles[0].data, (std::vector<std::uint8_t>{0x10, 0x80, 3, 0xFF}));
  EXPECT_EQ(styles[4].data, (std::vector<std::uint8_t>{0x00, 0x80, 0, 0xFF}));
  const std::vector<Rec> xfs = OfKind(globals, rid::kXf);
  EXPECT_EQ(xls::Get16(xfs[15].data.data() + 4), 0x0001);  // the default cell XF
  EXPECT_EQ(xls::Get16(xfs[16].data.data() + 2), 43);
  EXPECT_EQ(xfs[16].data[9], 0xF8);
  EXPECT_EQ(xfs[3].data[9], 0xF4);
  EXPECT_EQ(OfKind(globals, rid::kWriteAccess)[0].data.size(), 112u);
  EXPECT_EQ(OfKind(globals, rid::kBookExt)[0].data.size(), 21u);
  // The sheet's BOF is where BOUNDSHEET says.
  const std::uint32_t offset = xls::Get32(OfKind(globals, rid::kBoundSheet)[0].data.data());
  EXPECT_EQ(xls::Get16(stream.data() + offset), rid::kBof);
  EXPECT_EQ(xls::Get16(stream.data() + offset + 6), 0x0010);
  EXPECT_EQ(xls::Get16(OfKind(Section(stream, 1), rid::kWindow2)[0].data.data()), 0x06B6);
  EXPECT_EQ(xls::Get16(OfKind(ListRecords(xls::EmptyWorksheetRecords()), rid::kWindow2)[0].data.data()), 0x00B6);
}

TEST(XlsTemplate, SavedNewFileHasTheTemplatesGlobals) {
  TXLSFile book = NewBook();
  const std::vector<std::uint8_t> saved = WorkbookStreamOf(book.SaveToMemory());
  std::vector<Rec> template_globals = Section(xls::EmptyWorkbookStream(), 0);
  std::vector<Rec> globals = Section(saved, 0);
  template_globals.erase(std::remove_if(template_globals.begin(), template_globals.end(),
                                        [](const Rec& r) { return r.id == rid::kRecalcId; }),
                         template_globals.end());
  auto key = [](const Rec& r) { return std::make_pair(r.id, r.data); };
  auto sorted = [&](std::vector<Rec> records) {
    std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>> keys;
    for (const Rec& r : records) {
      keys.push_back(r.id == rid::kBoundSheet ? std::make_pair(r.id, std::vector<std::uint8_t>(r.data.begin() + 4, r.data.end()))
                                              : key(r));
    }
    std::sort(keys.begin(), keys.end());
    return keys;
  };
  EXPECT_EQ(sorted(globals), sorted(template_globals));
  EXPECT_EQ(OfKind(globals, rid::kSst)[0].data, Cat({Le32(0), Le32(0)}));
  EXPECT_EQ(OfKind(globals, rid::kExtSst)[0].data, Le16({8}));
  const std::vector<Rec> sheet = Section(saved, 1);
  EXPECT_EQ(OfKind(sheet, rid::kDimensions)[0].data, Cat({Le32(0), Le32(0), Le16({0, 1, 0})}));
  EXPECT_TRUE(OfKind(sheet, rid::kIndex).empty());
  // The summary streams go into every new file unchanged.
  TOle2Storage storage = TOle2Storage::OpenMemory(book.SaveToMemory());
  EXPECT_EQ(storage.OpenStream("\x05SummaryInformation").ReadAll(), xls::SummaryInformationStream());
  EXPECT_EQ(storage.OpenStream("\x05" "DocumentSummaryInformation").ReadAll(), xls::DocumentSummaryInformationStream());
}

// ---- shared strings ----

TEST(XlsWriter, EqualTextsShareOneEntryShortestFirst) {
  TXLSFile book = NewBook();
  book.SetCellValue(1, 1, CellValue::String(u"Løper"));
  book.SetCellValue(2, 1, CellValue::String(u"Bo"));
  book.SetCellValue(3, 1, CellValue::String(u"Løper"));
  book.SetCellValue(4, 1, CellValue::String(u"\u0416"));  // 16-bit, same size as "Bo" + 1
  const std::vector<Rec> globals = Section(book.WorkbookStream(), 0);
  const std::vector<std::uint8_t> sst = OfKind(globals, rid::kSst)[0].data;
  // Equal sizes order by the bytes from the count on: "\u0416" (count 1) before "Bo".
  EXPECT_EQ(sst, Cat({Le32(4), Le32(3), XlString(u"\u0416"), XlString(u"Bo"), XlString(u"Løper")}));
  const std::vector<Rec> cells = OfKind(Section(book.WorkbookStream(), 1), rid::kLabelSst);
  ASSERT_EQ(cells.size(), 4u);
  EXPECT_EQ(xls::Get32(cells[0].data.data() + 6), 2u);
  EXPECT_EQ(xls::Get32(cells[1].data.data() + 6), 1u);
  EXPECT_EQ(xls::Get32(cells[2].data.data() + 6), 2u);
  EXPECT_EQ(xls::Get32(cells[3].data.data() + 6), 0u);
  // Overwriting one of them counts its entry down; an entry without cells is not written.
  book.SetCellValue(2, 1, CellValue::Number(1));
  const std::vector<std::uint8_t> after = OfKind(Section(book.WorkbookStream(), 0), rid::kSst)[0].data;
  EXPECT_EQ(after, Cat({Le32(3), Le32(2), XlString(u"\u0416"), XlString(u"Løper")}));
}

TEST(XlsWriter, LongStringContinuesWithAnOptionByte) {
  TXLSFile book = NewBook();
  book.SetCellValue(1, 1, CellValue::String(std::u16string(9000, u'x')));
  const std::vector<Rec> globals = Section(book.WorkbookStream(), 0);
  auto sst = std::find_if(globals.begin(), globals.end(), [](const Rec& r) { return r.id == rid::kSst; });
  ASSERT_NE(sst, globals.end());
  EXPECT_EQ(sst->data.size(), 8224u);
  const Rec& next = *(sst + 1);
  ASSERT_EQ(next.id, rid::kContinue);
  EXPECT_EQ(next.data[0], 0);  // 8-bit characters go on
  EXPECT_EQ(next.data.size(), 1u + 9000 - (8224 - 8 - 3));
  EXPECT_EQ((sst + 2)->id, rid::kExtSst);
  TXLSFile again;
  again.OpenMemory(book.SaveToMemory());
  EXPECT_EQ(again.GetCellValue(1, 1).text, std::u16string(9000, u'x'));
}

TEST(XlsWriter, SixteenBitStringChunksChooseTheirWidth) {
  // 8200 x 'a' then 100 x U+0416: the SST record holds the a's as 8-bit characters (the
  // entry starts 8-bit), the CONTINUE the rest, again chosen by what fits best.
  TXLSFile book = NewBook();
  const std::u16string text = std::u16string(8200, u'a') + std::u16string(100, u'\u0416');
  book.SetCellValue(1, 1, CellValue::String(text));
  const std::vector<Rec> globals = Section(book.WorkbookStream(), 0);
  auto sst = std::find_if(globals.begin(), globals.end(), [](const Rec& r) { return r.id == rid::kSst; });
  EXPECT_EQ(sst->data[8 + 2], 0x00);  // the entry's own option byte: 8-bit first
  EXPECT_EQ((sst + 1)->data[0], 0x01);
  TXLSFile again;
  again.OpenMemory(book.SaveToMemory());
  EXPECT_EQ(again.GetCellValue(1, 1).text, text);
}

TEST(XlsWriter, ExtSstBucketsPointAtTheirEntries) {
  TXLSFile book = NewBook();
  for (int i = 0; i < 5000; ++i) book.SetCellValue(i + 1, 1, CellValue::String(u"String number " + std::u16string(1, u'A' + i % 26) + std::u16string(i / 26 + 1, u'z')));
  const std::vector<std::uint8_t> stream = book.WorkbookStream();
  const std::vector<Rec> globals = Section(stream, 0);
  const std::vector<std::uint8_t> ext = OfKind(globals, rid::kExtSst)[0].data;
  const int bucket = xls::Get16(ext.data());
  EXPECT_EQ(bucket, std::max(8, 5000 / 128 + 1));
  const std::size_t buckets = (5000 + bucket - 1) / bucket;
  ASSERT_EQ(ext.size(), 2 + 8 * buckets);
  for (std::size_t k = 0; k < buckets; ++k) {
    const std::uint32_t position = xls::Get32(ext.data() + 2 + 8 * k);
    const std::uint16_t offset = xls::Get16(ext.data() + 6 + 8 * k);
    // The record holding the entry starts `offset` bytes before it and is SST or CONTINUE.
    const std::uint16_t id = xls::Get16(stream.data() + position - offset);
    EXPECT_TRUE(id == rid::kSst || id == rid::kContinue) << k;
  }
}

// ---- cell records ----

TEST(XlsWriter, RkForms) {
  struct Case {
    double value;
    bool has;
    std::uint32_t rk;
  } cases[] = {{12, true, 0x40280000}, {123456789, true, 0x1D6F3456}, {3.07, true, 0x40733001}, {46364, true, 0x40E6A380},
               {0.5242592592592592, false, 0}, {-1, true, 0xBFF00000}, {-7, true, 0xC01C0000}, {-536870912, true, 0xC1C00000}, {-536870913, false, 0},
               {0.5, true, 0x3FE00000}, {536870912.0 * 4, true, 0x41E00000}, {1e300, false, 0},
               {0.1, true, 0x40240001}, {46364.5, true, 0x40E6A390},
               // x 100 gives the whole 10, but 10 / 100 is 0.1, another number: no RK form.
               {0.09999999999999999, false, 0}, {-3.07, true, 0xC0733001}, {1e-5, false, 0}};
  for (const Case& c : cases) {
    std::uint32_t rk = 0;
    EXPECT_EQ(xls::DoubleToRk(c.value, rk), c.has) << c.value;
    if (c.has) {
      EXPECT_EQ(rk, c.rk) << c.value;
      EXPECT_EQ(xls::RkToDouble(rk), c.value);
    }
  }
}

TEST(XlsWriter, MulRkMulBlankAndSingleRecords) {
  TXLSFile book = NewBook();
  for (int col = 1; col <= 12; ++col) book.SetCellValue(1, col, CellValue::Empty(), 16);
  book.SetCellValue(2, 1, CellValue::Number(1));
  book.SetCellValue(2, 2, CellValue::Number(2));
  book.SetCellValue(2, 3, CellValue::Number(3));
  book.SetCellValue(2, 5, CellValue::Number(46364));
  book.SetCellValue(3, 1, CellValue::Number(0.5242592592592592));
  book.SetCellValue(3, 2, CellValue::Boolean(true));
  book.SetCellValue(3, 4, CellValue::Empty(), 17);
  const std::vector<Rec> sheet = Section(book.WorkbookStream(), 1);
  const std::vector<Rec> mulblank = OfKind(sheet, rid::kMulBlank);
  ASSERT_EQ(mulblank.size(), 1u);
  EXPECT_EQ(mulblank[0].data, Cat({Le16({0, 0}), Le16({16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16}), Le16({11})}));
  const std::vector<Rec> mulrk = OfKind(sheet, rid::kMulRk);
  ASSERT_EQ(mulrk.size(), 1u);
  EXPECT_EQ(mulrk[0].data, Cat({Le16({1, 0, 15}), Le32(0x3FF00000), Le16({15}), Le32(0x40000000), Le16({15}),
                                Le32(0x40080000), Le16({2})}));
  EXPECT_EQ(OfKind(sheet, rid::kRk).size(), 1u);  // 46364, alone
  ASSERT_EQ(OfKind(sheet, rid::kNumber).size(), 1u);
  EXPECT_EQ(OfKind(sheet, rid::kNumber)[0].data, Cat({Le16({2, 0, 15}), LeDouble(0.5242592592592592)}));
  EXPECT_EQ(OfKind(sheet, rid::kBoolErr)[0].data, Cat({Le16({2, 1, 15}), {1, 0}}));
  EXPECT_EQ(OfKind(sheet, rid::kBlank)[0].data, Le16({2, 3, 17}));
}

TEST(XlsWriter, EmptyValueMakesABlankOnlyWithAnotherXf) {
  TXLSFile book = NewBook();
  book.SetCellValue(1, 1, CellValue::Empty());
  book.SetCellValue(1, 2, CellValue::String(u""));
  EXPECT_EQ(book.UsedRowCount(), 0);
  book.SetCellValue(1, 3, CellValue::Empty(), 16);
  EXPECT_EQ(book.CellFormatIndex(1, 3), 16);
  EXPECT_EQ(book.UsedRowCount(), 1);
  EXPECT_EQ(book.UsedColCount(), 3);
  // The XF of the cell replaced stays when none is given.
  book.SetCellValue(1, 3, CellValue::Number(5));
  EXPECT_EQ(book.CellFormatIndex(1, 3), 16);
}

TEST(XlsWriter, RowBookkeeping) {
  TXLSFile book = NewBook();
  book.SetCellValue(3, 5, CellValue::Number(1));
  EXPECT_EQ(book.UsedRowCount(), 3);
  EXPECT_EQ(book.UsedColCount(), 5);
  EXPECT_EQ(book.RowHeight(3), 255);
  EXPECT_EQ(book.RowHeight(2), -1);
  book.SetCellValue(3, 2, CellValue::Number(2));
  book.SetCellValue(10, 1, CellValue::String(u"x"));
  EXPECT_EQ(book.UsedRowCount(), 10);
  // Emptying the last row drops it and the rows before it that carry nothing.
  book.SetCellValue(10, 1, CellValue::Empty());
  EXPECT_EQ(book.UsedRowCount(), 3);
  book.SetRowHeight(6, 400);
  book.SetCellValue(8, 1, CellValue::Number(1));
  book.SetCellValue(8, 1, CellValue::Empty());
  EXPECT_EQ(book.UsedRowCount(), 6);  // row 6 keeps its custom height
  EXPECT_EQ(book.RowHeight(6), 400);
  book.SetCellValue(3, 5, CellValue::Empty());
  book.SetCellValue(3, 2, CellValue::Empty());
  EXPECT_EQ(book.RowHeight(3), -1);
  EXPECT_EQ(book.UsedRowCount(), 6);
  // The row's column range in the written ROW record.
  book.SetCellValue(2, 4, CellValue::Number(1));
  book.SetCellValue(2, 2, CellValue::Number(1));
  for (const Rec& row : OfKind(Section(book.WorkbookStream(), 1), rid::kRow)) {
    if (xls::Get16(row.data.data()) == 1) {
      EXPECT_EQ(xls::Get16(row.data.data() + 2), 0);
      EXPECT_EQ(xls::Get16(row.data.data() + 4), 4);
      EXPECT_EQ(row.data[13], 0x01);
      EXPECT_EQ(xls::Get16(row.data.data() + 14), 15);
    }
  }
}

TEST(XlsWriter, DefaultXfComesFromRowThenColumn) {
  TXLSFile book = NewBook();
  book.SetColumnWidth(2, 3000);
  xls::TWorkSheet& sheet = static_cast<xls::TWorkSheet&>(*book.Workbook().Sheets[0]);
  sheet.Columns[1].Xf = 17;
  book.SetCellValue(1, 2, CellValue::Number(1));
  EXPECT_EQ(book.CellFormatIndex(1, 2), 17);
  book.SetCellValue(1, 2, CellValue::Empty(), 17);  // the default: no record
  EXPECT_EQ(book.CellFormatIndex(1, 2), -1);
}

TEST(XlsWriter, RowAndColumnOutOfRange) {
  TXLSFile book = NewBook();
  EXPECT_EQ(ErrorOf([&] { book.SetCellValue(0, 1, CellValue::Number(1)); }), "Invalid Row (-1)");
  EXPECT_EQ(ErrorOf([&] { book.SetCellValue(65537, 1, CellValue::Number(1)); }), "Invalid Row (65536)");
  EXPECT_EQ(ErrorOf([&] { book.SetCellValue(1, 257, CellValue::Number(1)); }), "Invalid Column (256)");
  EXPECT_EQ(ErrorOf([&] { book.SetCellFormula(1, 0, u"=1"); }), "Invalid Column (-1)");
  EXPECT_EQ(ErrorOf([&] { book.SetColumnWidth(0, 1); }), "Invalid Column (-1)");
  EXPECT_EQ(ErrorOf([&] { book.SetRowHeight(70000, 1); }), "Invalid Row (69999)");
  EXPECT_EQ(ErrorOf([&] { book.MergeCells(1, 1, 2, 300); }), "Invalid Column (299)");
  EXPECT_EQ(ErrorOf([&] { book.SetRowOutlineLevel(1, 0, 1); }), "Invalid Row (-1)");
  book.SetCellValue(65536, 256, CellValue::Number(1));
  EXPECT_EQ(book.UsedRowCount(), 65536);
  book.SetActiveSheet(2);
  EXPECT_EQ(ErrorOf([&] { book.SetCellValue(1, 1, CellValue::Number(1)); }),
            "The index \"2\" of the property \"ActiveSheet\" is not in the range 1-1");
}

TEST(XlsWriter, DimensionsAndRowBlocks) {
  TXLSFile book = NewBook();
  for (int row = 3; row <= 40; ++row) book.SetCellValue(row, 1 + row % 3, CellValue::Number(row));
  const std::vector<Rec> sheet = Section(book.WorkbookStream(), 1);
  EXPECT_EQ(OfKind(sheet, rid::kDimensions)[0].data, Cat({Le32(2), Le32(40), Le16({0, 3, 0})}));
  EXPECT_TRUE(OfKind(sheet, rid::kIndex).empty());
  EXPECT_TRUE(OfKind(sheet, rid::kDbCell).empty());
  // Blocks of 32 rows from row index 2: ROW records 2-33, their cells, ROW records 34-39,
  // their cells.
  std::vector<std::string> pattern;
  for (const Rec& record : sheet) {
    const char* kind = record.id == rid::kRow ? "R" : record.id == rid::kRk ? "C" : nullptr;
    if (kind && (pattern.empty() || pattern.back() != kind)) pattern.push_back(kind);
  }
  EXPECT_THAT(pattern, ElementsAre("R", "C", "R", "C"));
  EXPECT_EQ(OfKind(sheet, rid::kRow).size(), 38u);
}

TEST(XlsWriter, ColumnRecordsCoverRunsOfEqualColumns) {
  TXLSFile book = NewBook();
  for (int col = 1; col <= 3; ++col) book.SetColumnWidth(col, 2341);
  book.SetColumnWidth(5, 4000);
  book.SetColumnWidth(6, 4000);
  EXPECT_EQ(book.ColumnWidth(2), 2341);
  EXPECT_EQ(book.ColumnFormat(5), 15);
  const std::vector<Rec> colinfo = OfKind(Section(book.WorkbookStream(), 1), rid::kColInfo);
  ASSERT_EQ(colinfo.size(), 2u);
  EXPECT_EQ(colinfo[0].data, Le16({0, 2, 2341, 15, 0, 0}));
  EXPECT_EQ(colinfo[1].data, Le16({4, 5, 4000, 15, 0, 0}));
}

TEST(XlsWriter, MergedRangesInBlocksOf1027) {
  TXLSFile book = NewBook();
  for (int i = 0; i < 1030; ++i) book.MergeCells(2 * i + 1, 1, 2 * i + 2, 2);
  EXPECT_EQ(book.MergedRange(4, 2), (TXlsRange{3, 1, 4, 2}));
  const std::vector<Rec> merged = OfKind(Section(book.WorkbookStream(), 1), rid::kMergedCells);
  ASSERT_EQ(merged.size(), 2u);
  EXPECT_EQ(xls::Get16(merged[0].data.data()), 1027);
  EXPECT_EQ(merged[0].data.size(), 2u + 8 * 1027);
  EXPECT_EQ(merged[1].data, Cat({Le16({3}), Le16({2054, 2055, 0, 1}), Le16({2056, 2057, 0, 1}), Le16({2058, 2059, 0, 1})}));
}

TEST(XlsWriter, OutlineLevelsRecomputeGuts) {
  TXLSFile book = NewBook();
  book.SetRowOutlineLevel(2, 4, 1);
  book.SetRowOutlineLevel(3, 3, 2);
  EXPECT_EQ(book.RowOutlineLevel(3), 2);
  EXPECT_EQ(book.RowOutlineLevel(4), 1);
  const std::vector<Rec> sheet = Section(book.WorkbookStream(), 1);
  EXPECT_EQ(OfKind(sheet, rid::kGuts)[0].data, Le16({12 * 2 + 29, 0, 3, 0}));
  // A sheet without GUTS gets one before DEFAULTROWHEIGHT.
  xls::TWorkSheet& model = static_cast<xls::TWorkSheet&>(*book.Workbook().Sheets[0]);
  model.ListA.erase(std::remove_if(model.ListA.begin(), model.ListA.end(),
                                   [](const xls::TBaseRecord& r) { return r.Id == rid::kGuts; }),
                    model.ListA.end());
  book.SetRowOutlineLevel(5, 5, 1);
  const std::vector<std::uint16_t> ids = Ids(Section(book.WorkbookStream(), 1));
  const auto guts = std::find(ids.begin(), ids.end(), rid::kGuts);
  ASSERT_NE(guts, ids.end());
  EXPECT_EQ(*(guts + 1), rid::kDefaultRowHeight);
}

TEST(XlsWriter, AddFormatTwiceAddsOnce) {
  TXLSFile book = NewBook();
  const std::size_t xfs = book.Workbook().Globals.XFs.size();
  const std::size_t fonts = book.Workbook().Globals.Fonts.size();
  const std::size_t formats = book.Workbook().Globals.Formats.size();
  TCellFormat format;
  format.Font.Name = u"Tahoma";
  format.Font.Size20 = 165;
  format.Font.Bold = true;
  format.Font.ColorIndex = 1;
  format.NumberFormat = u"dd.MM.yyyy";
  format.FillPattern = 2;
  format.FillForeground = 19;
  format.HAlign = THAlign::Left;
  format.VAlign = TVAlign::Bottom;
  const int first = book.AddFormat(format);
  TCellFormat copy = format;
  book.AddFormat(TCellFormat{});
  const int second = book.AddFormat(copy);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, static_cast<int>(xfs));
  EXPECT_EQ(book.Workbook().Globals.Fonts.size(), fonts + 1);
  EXPECT_EQ(book.Workbook().Globals.Formats.size(), formats + 1);
  EXPECT_EQ(book.Workbook().Globals.Formats.back().Index, 164);  // the template's highest is 44
  const TCellFormat read = book.GetFormat(first);
  EXPECT_EQ(read.Font.Name, u"Tahoma");
  EXPECT_TRUE(read.Font.Bold);
  EXPECT_EQ(read.Font.ColorIndex, 1);
  EXPECT_EQ(read.NumberFormat, u"dd.MM.yyyy");
  EXPECT_EQ(read.FillPattern, 2);
  EXPECT_EQ(read.FillForeground, 19);
  EXPECT_EQ(read.HAlign, THAlign::Left);
  EXPECT_EQ(read.AttributeFlags, 0x3F);
  // The font record went in as the fifth: font index 5.
  EXPECT_EQ(xls::Get16(book.Workbook().Globals.XFs[first].data()), 5);
  // Built-in codes need no FORMAT record; the empty code is index 0.
  TCellFormat time;
  time.NumberFormat = u"hh:mm:ss";
  const int time_xf = book.AddFormat(time);
  EXPECT_EQ(xls::Get16(book.Workbook().Globals.XFs[time_xf].data() + 2), 21);
  EXPECT_EQ(book.Workbook().Globals.Formats.size(), formats + 1);
  TCellFormat other;
  other.NumberFormat = u"0.000";
  book.AddFormat(other);
  EXPECT_EQ(book.Workbook().Globals.Formats.back().Index, 165);
  // The first XF equal to the format is found, even with a copy of it further on.
  TCellFormat plain;
  const int plain_xf = book.AddFormat(plain);
  book.Workbook().Globals.XFs.push_back(book.Workbook().Globals.XFs[plain_xf]);
  book.AddFormat(other);
  EXPECT_EQ(book.AddFormat(plain), plain_xf);
}

TEST(XlsWriter, NearestColorIndex) {
  TXLSFile book = NewBook();
  EXPECT_EQ(book.NearestColorIndex({255, 255, 225}), 19);
  EXPECT_EQ(book.NearestColorIndex({0, 0, 0}), 1);
  EXPECT_EQ(book.NearestColorIndex({255, 255, 255}), 2);
  EXPECT_EQ(book.NearestColorIndex({255, 0, 0}), 3);
  EXPECT_EQ(book.NearestColorIndex({0, 0, 128}), 11);  // the first of two equal entries
  // Entry 56 (colour 63, 33 33 33) is never chosen: 52 (33 33 00) is the nearest after it.
  EXPECT_EQ(book.NearestColorIndex({0x33, 0x33, 0x33}), 52);
  EXPECT_EQ(book.NearestColorIndex({0x33, 0x33, 0x99}), 55);
}

// ---- sheets ----

TEST(XlsWriter, InsertedSheetsGetUniqueNames) {
  TXLSFile book = NewBook(3);
  EXPECT_EQ(book.SheetName(1), u"Sheet1");
  EXPECT_EQ(book.SheetName(2), u"Sheet");
  EXPECT_EQ(book.SheetName(3), u"Sheet2");
  book.InsertSheets(2, 2);
  EXPECT_EQ(book.SheetCount(), 5);
  EXPECT_EQ(book.SheetName(2), u"Sheet3");
  EXPECT_EQ(book.SheetName(3), u"Sheet4");
  EXPECT_EQ(book.SheetName(4), u"Sheet");
  book.InsertSheets(99, 1);
  EXPECT_EQ(book.SheetName(6), u"Sheet5");
  book.SetActiveSheet(6);
  book.SetActiveSheetName(u"LN40");
  EXPECT_EQ(book.ActiveSheetName(), u"LN40");
  book.SetActiveSheetName(u"LN40");
  EXPECT_EQ(ErrorOf([&] { book.SetActiveSheetName(u"Sheet1"); }), "Sheet name already exists: Sheet1");
  book.SetActiveSheetName(u"sheet1");  // names compare case-sensitively
  TXLSFile again;
  again.OpenMemory(book.SaveToMemory());
  EXPECT_EQ(again.SheetName(6), u"sheet1");
  EXPECT_EQ(again.SheetCount(), 6);
}

TEST(XlsWriter, InsertSheetsMovesSheetReferences) {
  const Rec name{rid::kName, Cat({Le16({0x0020}), {0, 1}, Le16({0, 0, 2}), {0, 0, 0, 0}, {0x00, 0x06}})};  // _FilterDatabase-like, sheet 2
  const Rec supbook{rid::kSupBook, Le16({2, 0x0401})};
  const Rec externsheet{rid::kExternSheet, Le16({2, 0, 1, 1, 0, 0, 0})};
  std::vector<Rec> records = ListRecords(HandWorkbook({{u"A", 0x10, {}}, {u"B", 0x10, {}}}));
  auto eof = std::find_if(records.begin(), records.end(), [](const Rec& r) { return r.id == rid::kEof; });
  records.insert(eof, {supbook, externsheet, name});
  TXLSFile book;
  book.OpenMemory(Container(Stream(records)));
  book.InsertSheets(2, 3);
  const std::vector<Rec> globals = Section(book.WorkbookStream(), 0);
  EXPECT_EQ(OfKind(globals, rid::kSupBook)[0].data, Le16({5, 0x0401}));
  EXPECT_EQ(OfKind(globals, rid::kExternSheet)[0].data, Le16({2, 0, 4, 4, 0, 0, 0}));
  EXPECT_EQ(xls::Get16(OfKind(globals, rid::kName)[0].data.data() + 8), 5);
}

TEST(XlsWriter, SelectSheetSetsWindowFlags) {
  TXLSFile book = NewBook(3);
  book.SelectSheet(2);
  const std::vector<std::uint8_t> stream = book.WorkbookStream();
  EXPECT_EQ(xls::Get16(OfKind(Section(stream, 1), rid::kWindow2)[0].data.data()) & 0x0600, 0);
  EXPECT_EQ(xls::Get16(OfKind(Section(stream, 2), rid::kWindow2)[0].data.data()) & 0x0600, 0x0600);
  EXPECT_EQ(xls::Get16(OfKind(Section(stream, 3), rid::kWindow2)[0].data.data()) & 0x0600, 0);
  const std::vector<std::uint8_t> window1 = OfKind(Section(stream, 0), rid::kWindow1)[0].data;
  EXPECT_EQ(xls::Get16(window1.data() + 10), 1);
  EXPECT_EQ(xls::Get16(window1.data() + 12), 0);
  EXPECT_EQ(xls::Get16(window1.data() + 14), 1);
  TXLSFile again;
  again.OpenMemory(book.SaveToMemory());
  EXPECT_EQ(again.ActiveSheet(), 2);
}

TEST(XlsWriter, ClearSheetEmptiesTheActiveSheet) {
  TXLSFile book = NewBook(2);
  book.SetActiveSheet(2);
  book.SetCellValue(1, 1, CellValue::String(u"borte"));
  book.SetColumnWidth(1, 5000);
  book.MergeCells(1, 1, 2, 2);
  book.SetActiveSheet(1);
  book.SetCellValue(1, 1, CellValue::String(u"blir"));
  book.SetActiveSheet(2);
  book.ClearSheet();
  EXPECT_EQ(book.UsedRowCount(), 0);
  EXPECT_EQ(book.ColumnWidth(1), -1);
  EXPECT_TRUE(book.MergedRanges().empty());
  EXPECT_EQ(book.SheetName(2), u"Sheet");
  const std::vector<std::uint8_t> stream = book.WorkbookStream();
  EXPECT_EQ(OfKind(Section(stream, 0), rid::kSst)[0].data, Cat({Le32(1), Le32(1), XlString(u"blir")}));
  EXPECT_EQ(xls::Get16(OfKind(Section(stream, 2), rid::kWindow2)[0].data.data()) & 0x0600, 0x0600);
}

TEST(XlsWriter, HiddenAndVisibleSheetsAtSave) {
  TXLSFile book = NewBook(3);
  book.SelectSheet(1);
  auto& bound = book.Workbook().Globals.Sheets;
  bound[0].Record.Data[4] = 1;  // sheet 1 hidden, and selected
  EXPECT_EQ(ErrorOf([&] { book.WorkbookStream(); }), "To save this file, you must select a visible sheet");
  book.SelectSheet(2);
  const std::vector<std::uint8_t> window1 = OfKind(Section(book.WorkbookStream(), 0), rid::kWindow1)[0].data;
  EXPECT_EQ(xls::Get16(window1.data() + 12), 1);  // the first visible sheet is the first tab
  book.SelectSheet(4);
  bound[1].Record.Data[4] = 2;
  bound[2].Record.Data[4] = 1;
  EXPECT_EQ(ErrorOf([&] { book.WorkbookStream(); }), "There are not visible sheets on the file");
}

TEST(XlsWriter, SheetCountMustMatchBoundSheets) {
  TXLSFile book = NewBook(2);
  book.Workbook().Sheets.pop_back();
  EXPECT_EQ(ErrorOf([&] { book.WorkbookStream(); }), "Error reading Excel records. File invalid");
}

// A row list shorter than the cells' rows (never so after a load or a change through
// TXLSFile) is refused rather than written with cells lost.
TEST(XlsWriter, CellsBeyondTheRowListAreRefused) {
  TXLSFile book;
  book.OpenMemory(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), NumberRec(0, 0, 1), NumberRec(3, 0, 2)}}})));
  EXPECT_EQ(ErrorOf([&] { book.WorkbookStream(); }), "(no error)");
  static_cast<xls::TWorkSheet&>(*book.Workbook().Sheets[0]).Rows.resize(1);
  EXPECT_EQ(ErrorOf([&] { book.WorkbookStream(); }), "Number of ROW record is not the same that the cell count");
}

TEST(XlsWriter, CodeNamesForMacroWorkbooks) {
  TXLSFile book = NewBook(3);
  book.SetActiveSheet(2);
  book.SetActiveSheetName(u"LN40");
  book.SetActiveSheet(3);
  book.SetActiveSheetName(u"Excel");
  book.Workbook().Globals.HasMacros = true;
  book.Workbook().Globals.CodeName = u"excel0";
  const std::vector<std::uint8_t> stream = book.WorkbookStream();
  std::vector<std::u16string> names;
  for (int s = 1; s <= 3; ++s) {
    const std::vector<Rec> code = OfKind(Section(stream, s), rid::kCodeName);
    ASSERT_EQ(code.size(), 1u);
    std::u16string name;
    for (std::size_t i = 3; i < code[0].data.size(); ++i) name += static_cast<char16_t>(code[0].data[i]);
    names.push_back(name);
  }
  EXPECT_THAT(names, ElementsAre(u"Sheet1", u"LN40", u"Excel1"));
}

// ---- saving ----

TEST(XlsWriter, SaveNeverReplacesAFile) {
  test::TempFolder folder;
  const std::string path = folder.File("race.xls");
  TXLSFile book = NewBook();
  book.SetCellValue(1, 1, CellValue::Number(7));
  book.SaveFile(path);
  EXPECT_EQ(ErrorOf([&] { book.SaveFile(path); }),
            "Can't write to file \"" + path + "\". Check it is not in use by another user");
  TXLSFile read;
  read.OpenFile(path);
  EXPECT_EQ(read.GetCellValue(1, 1).number, 7);
  const std::string nowhere = folder.File("missing/race.xls");
  EXPECT_EQ(ErrorOf([&] { book.SaveFile(nowhere); }), "Error writing output file");
  // Nothing is left behind by a failed save.
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++files;
  EXPECT_EQ(files, 1u);
}

TEST(XlsWriter, ValuesReadBackAfterSave) {
  TXLSFile book = NewBook();
  const std::vector<std::pair<int, CellValue>> values = {
      {1, CellValue::String(u"Åse Ødegård")}, {2, CellValue::String(u"\u03A9\u041B")}, {3, CellValue::Number(-2.75)},
      {4, CellValue::Number(1e-300)},           {5, CellValue::Boolean(false)},         {6, CellValue::Number(65536)}};
  for (const auto& [col, value] : values) book.SetCellValue(4, col, value);
  TXLSFile again;
  again.OpenMemory(book.SaveToMemory());
  for (const auto& [col, value] : values) {
    const CellValue read = again.GetCellValue(4, col);
    EXPECT_EQ(read.kind, value.kind) << col;
    EXPECT_EQ(read.text, value.text) << col;
    EXPECT_EQ(read.number, value.number) << col;
    EXPECT_EQ(read.boolean, value.boolean) << col;
  }
}

}  // namespace
}  // namespace ln40
