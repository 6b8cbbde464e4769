// The workbook reader: the fixtures of other programs, cell values of every record kind,
// strings across CONTINUE records, shared formulas, formats, and the errors of damaged,
// encrypted and older files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>

#include "cfb_test_support.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/locale.h"
#include "biff_records.h"
#include "compound_file/ole2_storage.h"
#include "xls/xls_file.h"
#include "xls_model.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using namespace test;
namespace rid = xls::rid;

std::string Utf8(const std::u16string& text) { return Cp1252ToUtf8(Utf16ToCp1252(text)); }

// The cell as the worked-example locale shows it with its own format, in the workbook's date
// system.
std::u16string Shown(const TXLSFile& book, int row, int col) {
  const TXlsCellValue cell = book.GetCell(row, col);
  return FormatCellValue(cell.Value, book.GetFormat(cell.XF).NumberFormat, Locale::WorkedExample(), book.Dates());
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

TXLSFile Open(const std::vector<std::uint8_t>& image) {
  TXLSFile book;
  book.OpenMemory(image);
  return book;
}

// ---- fixtures of other programs ----

struct FixtureCell {
  int sheet, row, col;
  std::u16string shown;
};

struct FixtureCase {
  const char* file;
  std::vector<std::u16string> sheets;
  int rows, cols;  // of sheet 1
  std::vector<FixtureCell> cells;
  std::vector<TXlsRange> merged;  // of sheet 1
};

class ReadsFixture : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ReadsFixture, CellsAsTheProgramWroteThem) {
  const FixtureCase& c = GetParam();
  TXLSFile book;
  book.OpenFile(Fixture(c.file));
  ASSERT_EQ(book.SheetCount(), static_cast<int>(c.sheets.size()));
  for (std::size_t i = 0; i < c.sheets.size(); ++i) EXPECT_EQ(book.SheetName(static_cast<int>(i) + 1), c.sheets[i]);
  EXPECT_EQ(book.ActiveSheet(), 1);
  EXPECT_EQ(book.UsedRowCount(), c.rows);
  EXPECT_EQ(book.UsedColCount(), c.cols);
  EXPECT_EQ(book.MergedRanges(), c.merged);
  for (const FixtureCell& cell : c.cells) {
    book.SetActiveSheet(cell.sheet);
    EXPECT_EQ(Utf8(Shown(book, cell.row, cell.col)), Utf8(cell.shown))
        << c.file << " sheet " << cell.sheet << " R" << cell.row << "C" << cell.col;
  }
}

const std::vector<FixtureCell> kTypesCells = {
    {1, 1, 1, u"Fornavn"},
    {1, 2, 1, u"Åse"},
    {1, 2, 2, u"Ødegård"},
    {1, 2, 3, u"12:34:56"},
    {1, 3, 3, u"08:05:00"},
    {1, 2, 4, u"08.12.2026"},
    {1, 2, 5, u"12"},
    {1, 3, 5, u"3.07"},
    {1, 4, 5, u"123456789"},
    {1, 5, 5, u"-1.2345E-5"},
    {1, 2, 7, u"#DIV/0!"},
    {1, 3, 7, u"#N/A"},
    {1, 4, 7, u"#VALUE!"},
    {1, 2, 8, u"Åse Ødegård"},                 // formula with a string result (STRING)
    {1, 4, 8, u"\u03A9mega \u041B\u0438\u0441\u0442 Æsøy"},  // 16-bit characters
    {1, 2, 9, u"24"},                          // shared formula, its stored number
    {1, 4, 9, u"246913578"},
    {1, 6, 1, u"Sammenslått"},
    {1, 6, 3, u"1E20"},
    {1, 7, 3, u"linje1\nlinje2"},
    {1, 8, 1, u""},
    {2, 1, 1, u"Tekst på ark to"},
    {2, 1, 2, u"42"},
};

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ReadsFixture,
    ::testing::Values(
        FixtureCase{"lo_types.xls", {u"Løpere", u"Andre ark"}, 7, 9, kTypesCells,
                    {{6, 1, 7, 2}, {6, 4, 6, 6}}},
        FixtureCase{"gnumeric_types.xls", {u"Løpere", u"Andre ark"}, 7, 9, kTypesCells,
                    {{6, 1, 7, 2}, {6, 4, 6, 6}}},
        FixtureCase{"xlwt_types.xls",
                    {u"Typer"},
                    11,
                    9,
                    {{1, 1, 1, u"Navn"},
                     {1, 2, 1, u"Åse Ødegård"},
                     {1, 3, 1, u"\u03A9mega"},
                     {1, 2, 2, u"12"},          // RK integer
                     {1, 3, 2, u"3.07"},        // RK divided by 100
                     {1, 4, 2, u"123456789"},   // RK integer
                     {1, 5, 2, u"-1.5"},        // RK double
                     {1, 2, 3, u"TRUE"},        // BOOLERR with the code "General"
                     {1, 3, 3, u"FALSE"},
                     {1, 2, 4, u"08.12.2026"},
                     {1, 2, 5, u"12:34:56"},
                     {1, 7, 1, u""},            // formula, string result without STRING
                     {1, 7, 2, u""},
                     {1, 8, 1, u"#N/A"},        // BOOLERR errors
                     {1, 8, 2, u"#DIV/0!"},
                     {1, 9, 1, u"Sammenslått"},
                     {1, 11, 1, u"0.524259259259259"},
                     {1, 11, 2, u"1E-5"},
                     {1, 11, 3, u"-123"},       // MULRK
                     {1, 11, 9, u"8000"}},
                    {{9, 1, 10, 3}}},
        // Serials counted from 1904 (DATEMODE 1): the date as it was written.
        FixtureCase{"lo_1904.xls", {u"Datoer"}, 1, 2, {{1, 1, 1, u"08.12.2026"}, {1, 1, 2, u"1"}}, {}},
        FixtureCase{"libreoffice_runners.xls", {u"runners"}, 301, 4,
                    {{1, 1, 1, u"First name"}, {1, 301, 4, u"400"}}, {}},
        FixtureCase{"gnumeric_runners.xls", {u"runners.csv"}, 301, 4,
                    {{1, 1, 1, u"First name"}, {1, 301, 4, u"400"}}, {}},
        FixtureCase{"xlwt_runners.xls", {u"LN40"}, 21, 4, {{1, 21, 1, u"Runner20"}}, {}}),
    [](const auto& info) {
      std::string name = info.param.file;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

// The date system is read from DATEMODE and goes back with the workbook; a new workbook
// counts from 1900.
TEST(XlsReader, DateSystemIsReadAndKeptWhenSaved) {
  TXLSFile book;
  book.OpenFile(Fixture("lo_1904.xls"));
  EXPECT_EQ(book.Dates(), DateSystem::d1904);
  book.SetCellValue(2, 1, CellValue::String(u"changed"));
  const TXLSFile saved = Open(book.SaveToMemory());
  EXPECT_EQ(saved.Dates(), DateSystem::d1904);
  EXPECT_EQ(Utf8(Shown(saved, 1, 1)), "08.12.2026");
  int date_modes = 0;
  for (const Rec& record : ListRecords(WorkbookStreamOf(book.SaveToMemory()))) {
    if (record.id != rid::kDateMode) continue;
    ++date_modes;
    EXPECT_EQ(record.data, Le16({1}));
  }
  EXPECT_EQ(date_modes, 1);
  TXLSFile fresh;
  fresh.NewFile(1);
  EXPECT_EQ(fresh.Dates(), DateSystem::d1900);
}

TEST(XlsReader, LongStringAcrossSstContinueReadsWhole) {
  TXLSFile book;
  book.OpenFile(Fixture("xlwt_types.xls"));
  EXPECT_EQ(book.GetCellValue(6, 1).text, std::u16string(9000, u'x'));
}

TEST(XlsReader, FormatsOfFixtureCells) {
  TXLSFile book;
  book.OpenFile(Fixture("xlwt_types.xls"));
  const TCellFormat header = book.GetFormat(book.CellFormatIndex(1, 1));
  EXPECT_TRUE(header.Font.Bold);
  EXPECT_TRUE(header.Font.Italic);
  EXPECT_EQ(header.HAlign, THAlign::Center);
  EXPECT_EQ(book.GetFormat(book.CellFormatIndex(2, 4)).NumberFormat, u"DD.MM.YYYY");
  EXPECT_EQ(book.ColumnWidth(1), 6000);
}

// The workbook stream is parsed where it lies in the container when its sectors follow one
// another, else from a copy: a stream scattered over the file must read the same.
TEST(XlsReader, WorkbookStreamReadsTheSameInOneRunAndScattered) {
  TXLSFile written;
  written.NewFile(1);
  for (int row = 1; row <= 300; ++row) {
    written.SetCellValue(row, 1, CellValue::String(u"Runner " + Cp1252ToUtf16(std::to_string(row))));
    written.SetCellValue(row, 2, CellValue::Number(row * 1.5));
  }
  TOle2Storage storage = TOle2Storage::OpenMemory(written.SaveToMemory());
  const std::vector<std::uint8_t> stream = storage.OpenStream("Workbook").ReadAll();
  ASSERT_GT(stream.size(), 4096u);  // in sectors, not in the mini stream
  for (const bool scattered : {false, true}) {
    TestLayout layout;
    layout.entries = {{u"Root Entry", 5, kNone, kNone, 1, {}}, {u"Workbook", 2, kNone, kNone, kNone, stream}};
    layout.reverse_chains = scattered;
    TXLSFile book;
    book.OpenMemory(BuildTestImage(layout).bytes);
    for (const int row : {1, 150, 300}) {
      EXPECT_EQ(book.GetCellValue(row, 1).text, u"Runner " + Cp1252ToUtf16(std::to_string(row))) << scattered;
      EXPECT_EQ(book.GetCellValue(row, 2).number, row * 1.5) << scattered;
    }
  }
}

// Reading many cells into one reused value gives every cell what reading each afresh gives,
// whatever kind of cell came before it.
TEST(XlsReader, CellsReadIntoAReusedValueAreTheSame) {
  for (const char* file : {"xlwt_types.xls", "lo_types.xls", "gnumeric_types.xls", "lo_1904.xls"}) {
    TXLSFile book;
    book.OpenFile(Fixture(file));
    TXlsCellValue reused;
    for (int row = 1; row <= book.UsedRowCount(); ++row) {
      for (int col = 1; col <= std::max(book.UsedColCount(), 1); ++col) {
        const TXlsCellValue fresh = book.GetCell(row, col);
        book.GetCell(row, col, reused);
        EXPECT_EQ(reused.XF, fresh.XF) << file << " " << row << "," << col;
        EXPECT_EQ(reused.Value.kind, fresh.Value.kind) << file << " " << row << "," << col;
        EXPECT_EQ(reused.Value.text, fresh.Value.text) << file << " " << row << "," << col;
        EXPECT_EQ(reused.Value.boolean, fresh.Value.boolean) << file << " " << row << "," << col;
        if (!std::isnan(fresh.Value.number)) {
          EXPECT_EQ(reused.Value.number, fresh.Value.number) << file;
        }
      }
    }
  }
}

TEST(XlsReader, FileNameWithoutExtensionFindsTheXlsFile) {
  test::TempFolder folder;
  const std::vector<std::uint8_t> bytes = test::ReadBytes(Fixture("lo_1904.xls"));
  test::WriteBytes(folder.File("race.xls"), bytes);
  TXLSFile book;
  book.OpenFile(folder.File("race"));
  EXPECT_EQ(book.SheetName(1), u"Datoer");
  const std::string missing = folder.File("nothing");
  EXPECT_EQ(ErrorOf([&] { book.OpenFile(missing); }), "Can't find the file \"" + missing + "\"");
}

// ---- older and encrypted files ----

TEST(XlsReader, Excel95FileIsRefusedAsSuch) {
  TXLSFile book;
  EXPECT_EQ(ErrorOf([&] { book.OpenFile(Fixture("gnumeric_biff7.xls")); }),
            "\"" + Fixture("gnumeric_biff7.xls") +
                "\" is an Excel 5.0/95 workbook; save it as Excel 97-2003 or newer and open it again");
}

TEST(XlsReader, Excel95RecordsInAWorkbookStreamAreRefused) {
  TOle2Storage storage = TOle2Storage::OpenFile(Fixture("gnumeric_biff7.xls"));
  const std::vector<std::uint8_t> book_stream = storage.OpenStream("Book").ReadAll();
  EXPECT_EQ(ErrorOf([&] { Open(Container(book_stream)); }),
            "\"(memory)\" is an Excel 5.0/95 workbook; save it as Excel 97-2003 or newer and open it again");
}

TEST(XlsReader, PasswordProtectedWorkbookIsRefused) {
  // A FILEPASS record ([MS-XLS] 2.4.117, RC4 CryptoAPI header) right after the globals BOF.
  std::vector<Rec> records = ListRecords(WorkbookStreamOf(test::ReadBytes(Fixture("lo_types.xls"))));
  records.insert(records.begin() + 1, Rec{rid::kFilePass, Cat({Le16({1, 2, 2}), std::vector<std::uint8_t>(48, 0x5A)})});
  EXPECT_EQ(ErrorOf([&] { Open(Container(Stream(records))); }), "File is password protected");
}

// ---- hand-built streams: values of every record kind ----

struct RkCase {
  std::uint32_t rk;
  double value;
};

class RkValue : public ::testing::TestWithParam<RkCase> {};

TEST_P(RkValue, DecodesAsPublished) {
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), RkRec(0, 0, GetParam().rk)}}})));
  const CellValue value = book.GetCellValue(1, 1);
  ASSERT_EQ(value.kind, CellValue::Kind::Number);
  EXPECT_EQ(value.number, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Published, RkValue,
                         ::testing::Values(RkCase{0x40280000, 12}, RkCase{0x000001EE, 123}, RkCase{0x000004CF, 3.07},
                                           RkCase{0xFFFFFFFE, -1}, RkCase{0x3FF00001, 0.01},
                                           RkCase{0xC0280000, -12}, RkCase{0x00000002, 0},
                                           RkCase{0x7FFFFFFE, 536870911}, RkCase{0x80000002, -536870912}));

struct BoolErrCase {
  int value;
  int error;
  CellValue expected;
};

class BoolErrValue : public ::testing::TestWithParam<BoolErrCase> {};

TEST_P(BoolErrValue, BooleanOrErrorText) {
  const auto& c = GetParam();
  const Rec boolerr{rid::kBoolErr, Cat({Le16({0, 0, 15}), {static_cast<std::uint8_t>(c.value), static_cast<std::uint8_t>(c.error)}})};
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), boolerr}}})));
  const CellValue value = book.GetCellValue(1, 1);
  EXPECT_EQ(value.kind, c.expected.kind);
  EXPECT_EQ(value.boolean, c.expected.boolean);
  EXPECT_EQ(Utf8(value.text), Utf8(c.expected.text));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, BoolErrValue,
    ::testing::Values(BoolErrCase{0, 0, CellValue::Boolean(false)}, BoolErrCase{1, 0, CellValue::Boolean(true)},
                      BoolErrCase{7, 0, CellValue::Boolean(true)}, BoolErrCase{0x00, 1, CellValue::String(u"#NULL!")},
                      BoolErrCase{0x07, 1, CellValue::String(u"#DIV/0!")},
                      BoolErrCase{0x0F, 1, CellValue::String(u"#VALUE!")},
                      BoolErrCase{0x17, 1, CellValue::String(u"#REF!")},
                      BoolErrCase{0x1D, 1, CellValue::String(u"#NAME?")},
                      BoolErrCase{0x24, 1, CellValue::String(u"#NUM!")},
                      BoolErrCase{0x2A, 1, CellValue::String(u"#N/A")},
                      BoolErrCase{0x99, 1, CellValue::String(u"#NULL!")}));

Rec Formula(int row, int col, std::vector<std::uint8_t> result, std::vector<std::uint8_t> tokens = {0x1E, 0x01, 0x00}) {
  return {rid::kFormula, Cat({Le16({row, col, 15}), result, Le16({0x0000}), Le32(0xDEADBEEF),
                              Le16({static_cast<int>(tokens.size())}), tokens})};
}

std::vector<std::uint8_t> Special(int kind, int value) { return {static_cast<std::uint8_t>(kind), 0, static_cast<std::uint8_t>(value), 0, 0, 0, 0xFF, 0xFF}; }

struct FormulaCase {
  const char* name;
  std::vector<Rec> records;
  CellValue expected;
};

class FormulaResult : public ::testing::TestWithParam<FormulaCase> {};

TEST_P(FormulaResult, StoredResult) {
  std::vector<Rec> records = {RowRec(0, 0, 1)};
  records.insert(records.end(), GetParam().records.begin(), GetParam().records.end());
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, records}})));
  const CellValue value = book.GetCellValue(1, 1);
  EXPECT_EQ(value.kind, GetParam().expected.kind) << GetParam().name;
  EXPECT_EQ(value.number, GetParam().expected.number);
  EXPECT_EQ(value.boolean, GetParam().expected.boolean);
  EXPECT_EQ(Utf8(value.text), Utf8(GetParam().expected.text));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FormulaResult,
    ::testing::Values(
        FormulaCase{"number", {Formula(0, 0, LeDouble(2.5))}, CellValue::Number(2.5)},
        FormulaCase{"string", {Formula(0, 0, Special(0, 0)), Rec{rid::kString, XlString(u"Ølen")}}, CellValue::String(u"Ølen")},
        FormulaCase{"string, 16-bit", {Formula(0, 0, Special(0, 0)), Rec{rid::kString, XlString(u"\u0416")}}, CellValue::String(u"\u0416")},
        FormulaCase{"string without STRING", {Formula(0, 0, Special(0, 0))}, CellValue::String(u"")},
        FormulaCase{"boolean true", {Formula(0, 0, Special(1, 1))}, CellValue::Boolean(true)},
        FormulaCase{"boolean other", {Formula(0, 0, Special(1, 2))}, CellValue::Boolean(false)},
        FormulaCase{"error", {Formula(0, 0, Special(2, 0x2A))}, CellValue::String(u"#N/A")},
        FormulaCase{"unknown error", {Formula(0, 0, Special(2, 0x55))}, CellValue::Empty()},
        FormulaCase{"empty", {Formula(0, 0, Special(3, 0))}, CellValue::Empty()},
        FormulaCase{"string split over CONTINUE",
                    {Formula(0, 0, Special(0, 0)), Rec{rid::kString, Cat({Le16({4}), {0x00}, {'A', 'B'}})},
                     Rec{rid::kContinue, Cat({{0x01}, Le16({0x0416, 0x0417})})}},
                    CellValue::String(u"AB\u0416\u0417")}),
    [](const auto& info) {
      std::string name = info.param.name;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

TEST(XlsReader, FormulaIsPreparedForRecalculationOnSave) {
  TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), Formula(0, 0, LeDouble(2.5))}}})));
  for (const Rec& record : ListRecords(book.WorkbookStream())) {
    if (record.id != rid::kFormula) continue;
    // #NULL! as the result, calculate-on-load set, the 4 bytes after the flags zeroed.
    EXPECT_EQ(std::vector<std::uint8_t>(record.data.begin() + 6, record.data.begin() + 14),
              (std::vector<std::uint8_t>{2, 0, 0, 0, 0, 0, 0xFF, 0xFF}));
    EXPECT_EQ(record.data[14] & 0x02, 0x02);
    EXPECT_EQ(xls::Get32(record.data.data() + 16), 0u);
    return;
  }
  FAIL() << "no FORMULA written";
}

TEST(XlsReader, SharedFormulaIsExpandedIntoItsCells) {
  // B1:B3 share =A1*2 ([MS-XLS] 2.4.260): PtgRefN with a column offset of -1 and row 0.
  const std::vector<std::uint8_t> exp = {0x01, 0x00, 0x00, 0x01, 0x00};  // PtgExp to B1
  const std::vector<std::uint8_t> shared = {0x4C, 0x00, 0x00, 0xFF, 0xC0, 0x1E, 0x02, 0x00, 0x05};
  std::vector<Rec> records = {RowRec(0, 0, 2), RowRec(1, 0, 2), RowRec(2, 0, 2)};
  for (int row = 0; row < 3; ++row) {
    records.push_back(Formula(row, 1, LeDouble(2.0 * (row + 1)), exp));
    if (row == 0) {
      records.push_back({rid::kShrFmla, Cat({Le16({0, 2}), {1, 1, 0, 3}, Le16({static_cast<int>(shared.size())}), shared})});
    }
  }
  TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, records}})));
  EXPECT_EQ(book.GetCellValue(3, 2).number, 6);
  int row = 0;
  for (const Rec& record : ListRecords(book.WorkbookStream())) {
    ASSERT_NE(record.id, rid::kShrFmla);
    if (record.id != rid::kFormula) continue;
    // PtgRefV to A(row+1), both parts relative, then 2 and *.
    const std::vector<std::uint8_t> tokens(record.data.begin() + 22, record.data.end());
    EXPECT_EQ(tokens, (std::vector<std::uint8_t>{0x44, static_cast<std::uint8_t>(row), 0x00, 0x00, 0xC0, 0x1E, 0x02, 0x00, 0x05}))
        << "row " << row;
    EXPECT_EQ(record.data[14] & 0x08, 0) << "still marked shared";
    ++row;
  }
  EXPECT_EQ(row, 3);
}

TEST(XlsReader, SharedFormulaThatCannotBeExpandedIsKept) {
  // A token the walker does not know (0x18): the cells keep their PtgExp, and the SHRFMLA
  // goes back after the first formula.
  const std::vector<std::uint8_t> exp = {0x01, 0x00, 0x00, 0x01, 0x00};
  const std::vector<std::uint8_t> shared = {0x18, 0x01, 0x00, 0x00};
  const Rec shrfmla{rid::kShrFmla, Cat({Le16({0, 1}), {1, 1, 0, 2}, Le16({static_cast<int>(shared.size())}), shared})};
  TXLSFile book = Open(Container(HandWorkbook(
      {{u"A", 0x10, {RowRec(0, 0, 2), RowRec(1, 0, 2), Formula(0, 1, LeDouble(1), exp), shrfmla, Formula(1, 1, LeDouble(2), exp)}}})));
  std::vector<Rec> written;
  for (const Rec& record : ListRecords(book.WorkbookStream())) {
    if (record.id == rid::kFormula || record.id == rid::kShrFmla) written.push_back(record);
  }
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].id, rid::kFormula);
  EXPECT_EQ(written[1].id, rid::kShrFmla);
  EXPECT_EQ(written[1].data, shrfmla.data);
  EXPECT_EQ(std::vector<std::uint8_t>(written[2].data.begin() + 22, written[2].data.end()), exp);
}

TEST(XlsReader, StringAndSharedFormulaNeedAFormulaBefore) {
  const std::vector<std::vector<Rec>> cases = {
      {RowRec(0, 0, 1), Rec{rid::kString, XlString(u"x")}},
      {RowRec(0, 0, 1), NumberRec(0, 0, 1), Rec{rid::kString, XlString(u"x")}},
      {RowRec(0, 0, 1), Rec{rid::kShrFmla, Cat({Le16({0, 0}), {0, 0, 0, 1}, Le16({1}), {0x1E}})}},
      {RowRec(0, 0, 1), Rec{rid::kArray, std::vector<std::uint8_t>(14, 0)}},
  };
  for (const auto& records : cases) {
    EXPECT_EQ(ErrorOf([&] { Open(Container(HandWorkbook({{u"A", 0x10, records}}))); }), xls::kFileInvalidMessage);
  }
}

TEST(XlsReader, ArrayRecordStaysWithItsFormula) {
  const Rec array{rid::kArray, Cat({Le16({0, 0}), {0, 0}, Le16({0}), Le32(0), Le16({3}), {0x1E, 0x07, 0x00}})};
  TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), Formula(0, 0, LeDouble(7)), array}}})));
  EXPECT_EQ(book.GetCellValue(1, 1).number, 7);
  std::vector<std::uint16_t> ids;
  for (const Rec& record : ListRecords(book.WorkbookStream())) ids.push_back(record.id);
  const auto formula = std::find(ids.begin(), ids.end(), rid::kFormula);
  ASSERT_NE(formula, ids.end());
  EXPECT_EQ(*(formula + 1), rid::kArray);
}

TEST(XlsReader, MulRkAndMulBlankBecomeCells) {
  const Rec mulrk{rid::kMulRk, Cat({Le16({0, 1}), Le16({15}), Le32(0x40280000), Le16({16}), Le32(0x000004CF), Le16({2})})};
  const Rec mulblank{rid::kMulBlank, Cat({Le16({1, 0, 15, 15, 17, 2})})};
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 3), RowRec(1, 0, 3), mulrk, mulblank}}})));
  EXPECT_EQ(book.GetCellValue(1, 2).number, 12);
  EXPECT_EQ(book.GetCellValue(1, 3).number, 3.07);
  EXPECT_EQ(book.CellFormatIndex(1, 3), 16);
  EXPECT_EQ(book.GetCellValue(1, 1).kind, CellValue::Kind::Empty);
  EXPECT_EQ(book.CellFormatIndex(1, 1), -1);
  EXPECT_EQ(book.CellFormatIndex(2, 3), 17);
  EXPECT_EQ(book.GetCellValue(2, 3).kind, CellValue::Kind::Empty);
}

// The used range is where the cells are: some writers give no ROW records, or ROW records
// whose column range is 0 or 1 whatever the row holds.
TEST(XlsReader, UsedRangeComesFromTheCellsNotTheRowRecords) {
  struct Case {
    const char* what;
    std::vector<Rec> records;
    int rows, cols;
  };
  const std::vector<Case> cases = {
      {"no ROW records", {NumberRec(0, 0, 1), NumberRec(4, 2, 5)}, 5, 3},
      {"ROW records of no columns", {RowRec(0, 0, 0), RowRec(1, 0, 0), NumberRec(0, 0, 1), NumberRec(1, 3, 2)}, 2, 4},
      {"ROW records of one column", {RowRec(0, 0, 1), NumberRec(0, 0, 1), NumberRec(0, 5, 2)}, 1, 6},
      {"ROW records beyond the cells", {RowRec(0, 0, 9), RowRec(3, 0, 9), NumberRec(0, 1, 1)}, 4, 2},
      {"ROW records only", {RowRec(2, 0, 4)}, 3, 0},
  };
  for (const Case& c : cases) {
    TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, c.records}})));
    EXPECT_EQ(book.UsedRowCount(), c.rows) << c.what;
    EXPECT_EQ(book.UsedColCount(), c.cols) << c.what;
    // Saved back as it was read, and read again alike.
    const TXLSFile saved = Open(book.SaveToMemory());
    EXPECT_EQ(saved.UsedRowCount(), c.rows) << c.what;
    EXPECT_EQ(saved.UsedColCount(), c.cols) << c.what;
  }
}

// Some writers give a row two ROW records: the later one counts, as in other readers.
TEST(XlsReader, RepeatedRowRecordTheLaterOneCounts) {
  const Rec taller{rid::kRow, Le16({0, 0, 2, 400, 0, 0, 0x0140, 15})};
  TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 2), NumberRec(0, 0, 1), taller, NumberRec(0, 1, 2)}}})));
  EXPECT_EQ(book.RowHeight(1), 400);
  EXPECT_EQ(book.GetCellValue(1, 2).number, 2);
  const std::vector<Rec> rows = [&] {
    std::vector<Rec> found;
    for (const Rec& record : ListRecords(book.WorkbookStream())) {
      if (record.id == rid::kRow) found.push_back(record);
    }
    return found;
  }();
  ASSERT_EQ(rows.size(), 1u);  // written back once
  EXPECT_EQ(xls::Get16(rows[0].data.data() + 6), 400);
}

TEST(XlsReader, RStringCellReadsEmpty) {
  const Rec rstring{rid::kRString, Cat({Le16({0, 0, 15, 1}), {0, 'x'}, Le16({0})})};
  TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), rstring}}})));
  EXPECT_EQ(book.GetCellValue(1, 1).kind, CellValue::Kind::Empty);
  // Kept and written back as it was.
  int found = 0;
  for (const Rec& record : ListRecords(book.WorkbookStream())) found += record.id == rid::kRString && record.data == rstring.data;
  EXPECT_EQ(found, 1);
}

TEST(XlsReader, ChartAsFirstSheet) {
  const std::vector<Rec> chart = {{0x1002, std::vector<std::uint8_t>(16, 0)}, {0x1033, {}}, {0x1034, {}}};
  TXLSFile book = Open(Container(HandWorkbook(
      {{u"Diagram", 0x20, chart}, {u"Data", 0x10, {RowRec(0, 0, 1), LabelSstRec(0, 0, 0)}}}, {u"verdi"})));
  ASSERT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetKind(1), TXlsSheetKind::Chart);
  EXPECT_EQ(book.UsedRowCount(), 0);
  EXPECT_EQ(book.UsedColCount(), 0);
  EXPECT_EQ(book.GetCellValue(1, 1).kind, CellValue::Kind::Empty);
  book.SetCellValue(1, 1, CellValue::Number(3));  // does nothing on a chart
  book.SetActiveSheet(2);
  EXPECT_EQ(book.GetCellValue(1, 1).text, u"verdi");
  // The chart's records go back as they came.
  TXLSFile again = Open(book.SaveToMemory());
  std::vector<std::uint16_t> ids;
  for (const Rec& record : ListRecords(again.WorkbookStream())) ids.push_back(record.id);
  EXPECT_THAT(ids, ::testing::IsSupersetOf({std::uint16_t{0x1002}, std::uint16_t{0x1033}, std::uint16_t{0x1034}}));
  again.SetActiveSheet(1);
  EXPECT_EQ(again.UsedRowCount(), 0);
}

TEST(XlsReader, EmbeddedChartAfterItsObjIsKept) {
  const std::vector<Rec> sheet = {RowRec(0, 0, 1), NumberRec(0, 0, 9), {rid::kObj, std::vector<std::uint8_t>(26, 0)},
                                  {rid::kBof, Cat({Le16({0x0600, 0x0020, 0, 0}), Le32(0), Le32(0)})},
                                  {0x1002, std::vector<std::uint8_t>(16, 0)},
                                  {rid::kEof, {}}};
  TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, sheet}})));
  EXPECT_EQ(book.GetCellValue(1, 1).number, 9);
  const std::vector<Rec> records = ListRecords(book.WorkbookStream());
  EXPECT_EQ(std::count_if(records.begin(), records.end(), [](const Rec& r) { return r.id == rid::kBof; }), 3);
  // A BOF anywhere else inside a sheet is damage.
  const std::vector<Rec> bad = {RowRec(0, 0, 1), {rid::kBof, Cat({Le16({0x0600, 0x0020, 0, 0}), Le32(0), Le32(0)})}};
  EXPECT_EQ(ErrorOf([&] { Open(Container(HandWorkbook({{u"A", 0x10, bad}}))); }), xls::kFileInvalidMessage);
}

TEST(XlsReader, ActiveSheetFromWindow1) {
  std::vector<std::uint8_t> stream = HandWorkbook({{u"A", 0x10, {}}, {u"B", 0x10, {}}, {u"C", 0x10, {}}});
  std::vector<Rec> records = ListRecords(stream);
  for (Rec& record : records) {
    if (record.id == rid::kWindow1) record.data[10] = 2;
  }
  const TXLSFile book = Open(Container(Stream(records)));
  EXPECT_EQ(book.ActiveSheet(), 3);
  EXPECT_EQ(book.ActiveSheetName(), u"C");
}

TEST(XlsReader, RowAndColumnFormats) {
  const Rec colinfo{rid::kColInfo, Le16({1, 3, 3000, 17, 0, 0})};
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {colinfo, RowRec(0, 0, 1, 0x0180), RowRec(1, 0, 1)}}})));
  EXPECT_EQ(book.RowFormat(1), 15);
  EXPECT_EQ(book.RowFormat(2), -1);
  EXPECT_EQ(book.RowFormat(3), -1);
  EXPECT_EQ(book.ColumnFormat(1), -1);
  EXPECT_EQ(book.ColumnFormat(2), 17);
  EXPECT_EQ(book.ColumnFormat(4), 17);
  EXPECT_EQ(book.ColumnFormat(5), -1);
  EXPECT_EQ(book.ColumnWidth(3), 3000);
}

TEST(XlsReader, RowAndColumnOutOfRange) {
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {}}})));
  EXPECT_EQ(ErrorOf([&] { book.GetCellValue(0, 1); }), "Invalid Row (-1)");
  EXPECT_EQ(ErrorOf([&] { book.GetCellValue(65537, 1); }), "Invalid Row (65536)");
  EXPECT_EQ(ErrorOf([&] { book.GetCellValue(1, 0); }), "Invalid Column (-1)");
  EXPECT_EQ(ErrorOf([&] { book.CellFormatIndex(1, 257); }), "Invalid Column (256)");
  EXPECT_EQ(ErrorOf([&] { book.MergedRange(1, 300); }), "Invalid Column (299)");
  EXPECT_EQ(book.GetCellValue(65536, 256).kind, CellValue::Kind::Empty);
}

TEST(XlsReader, MergedRangeOfACell) {
  const Rec merged{rid::kMergedCells, Le16({2, 1, 2, 1, 2, 5, 5, 0, 3})};
  const TXLSFile book = Open(Container(HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), merged}}})));
  EXPECT_EQ(book.MergedRange(2, 2), (TXlsRange{2, 2, 3, 3}));
  EXPECT_EQ(book.MergedRange(3, 3), (TXlsRange{2, 2, 3, 3}));
  EXPECT_EQ(book.MergedRange(6, 4), (TXlsRange{6, 1, 6, 4}));
  EXPECT_EQ(book.MergedRange(1, 1), (TXlsRange{1, 1, 1, 1}));
  EXPECT_EQ(book.MergedRange(4, 2), (TXlsRange{4, 2, 4, 2}));
}

TEST(XlsReader, GetFormatDecodesXfAndFont) {
  // Fonts 0-3 plain; font 5 is the fifth record (index 4 does not exist).
  std::vector<Rec> globals;
  for (int i = 0; i < 4; ++i) globals.push_back({rid::kFont, Cat({Le16({200, 0, 0x7FFF, 400, 0}), {0, 0, 0, 0}, XlString(u"Arial", false)})});
  globals.push_back({rid::kFont, Cat({Le16({240, 0x000A, 10, 700, 1}), {0x21, 2, 186, 0}, XlString(u"Times", false)})});
  globals.push_back({rid::kFormat, Cat({Le16({164}), XlString(u"0.000")})});
  std::vector<std::uint8_t> xf = Cat({Le16({5, 164, 0x0003, 0x0A1B, 0x0015 | 0xFC00, 0x2143}),
                                      Le16({static_cast<int>(8 | (12 << 7) | (2 << 14))}),
                                      Le32(10u | (11u << 7) | (13u << 14) | (3u << 21) | (1u << 26)),
                                      Le16({static_cast<int>(14 | (15 << 7))})});
  std::vector<std::uint8_t> stream = HandWorkbook({{u"A", 0x10, {}}}, {}, globals);
  std::vector<Rec> records = ListRecords(stream);
  auto last_xf = std::find_if(records.rbegin(), records.rend(), [](const Rec& r) { return r.id == rid::kXf; });
  records.insert(last_xf.base(), Rec{rid::kXf, xf});
  const TXLSFile book = Open(Container(Stream(records)));
  ASSERT_EQ(book.XfCount(), 17);
  const TCellFormat f = book.GetFormat(16);
  EXPECT_EQ(f.Font.Name, u"Times");
  EXPECT_EQ(f.Font.Size20, 240);
  EXPECT_TRUE(f.Font.Bold);
  EXPECT_TRUE(f.Font.Italic);
  EXPECT_TRUE(f.Font.StrikeOut);
  EXPECT_TRUE(f.Font.Superscript);
  EXPECT_EQ(f.Font.Underline, TUnderline::SingleAccounting);
  EXPECT_EQ(f.Font.ColorIndex, 3);
  EXPECT_EQ(f.Font.CharSet, 186);
  EXPECT_EQ(f.NumberFormat, u"0.000");
  EXPECT_TRUE(f.Locked);
  EXPECT_TRUE(f.Hidden);
  EXPECT_EQ(f.HAlign, THAlign::Right);
  EXPECT_TRUE(f.Wrap);
  EXPECT_EQ(f.VAlign, TVAlign::Center);
  EXPECT_EQ(f.Rotation, 10);
  EXPECT_EQ(f.Indent, 5);
  EXPECT_TRUE(f.ShrinkToFit);
  EXPECT_EQ(f.AttributeFlags, 0x3F);
  EXPECT_EQ(f.Left.Style, 3);
  EXPECT_EQ(f.Right.Style, 4);
  EXPECT_EQ(f.Top.Style, 1);
  EXPECT_EQ(f.Bottom.Style, 2);
  EXPECT_EQ(f.Left.ColorIndex, 1);  // colour 8
  EXPECT_EQ(f.Right.ColorIndex, 5);
  EXPECT_EQ(f.DiagonalKind, 2);
  EXPECT_EQ(f.Top.ColorIndex, 3);
  EXPECT_EQ(f.Bottom.ColorIndex, 4);
  EXPECT_EQ(f.Diagonal.ColorIndex, 6);
  EXPECT_EQ(f.Diagonal.Style, 3);
  EXPECT_EQ(f.FillPattern, 2);
  EXPECT_EQ(f.FillForeground, 7);
  EXPECT_EQ(f.FillBackground, 8);
  // Outside the list: XF 0. Built-in codes by index.
  EXPECT_EQ(book.GetFormat(500), book.GetFormat(0));
  EXPECT_EQ(book.GetFormat(15).NumberFormat, u"");
}

TEST(XlsReader, BuiltInFormatCodes) {
  EXPECT_EQ(BuiltInFormatCode(0), u"");
  EXPECT_EQ(BuiltInFormatCode(14), u"dd/mm/YYYY");
  EXPECT_EQ(BuiltInFormatCode(21), u"hh:mm:ss");
  EXPECT_EQ(BuiltInFormatCode(47), u"mm:ss,0");
  EXPECT_EQ(BuiltInFormatCode(23), u"");
  EXPECT_EQ(BuiltInFormatCode(50), u"");
}

// ---- shared strings across CONTINUE records ----

TEST(XlsReader, SstStringsSwitchCharacterWidthAtContinue) {
  // Entry 0 starts 8-bit and goes on 16-bit in the CONTINUE; entry 1 starts 16-bit and goes
  // on 8-bit; entry 2's header is the last thing in a record; entry 3 is rich with runs
  // and extension data that cross a record boundary.
  const std::vector<std::uint8_t> sst = Cat({Le32(4), Le32(4), Le16({5}), {0x00}, {'a', 'b', 'c'}});
  const std::vector<std::uint8_t> cont1 = Cat({{0x01}, Le16({0x0416, 0x0417}), Le16({3}), {0x01}, Le16({0x03A9})});
  const std::vector<std::uint8_t> cont2 = Cat({{0x00}, {'m', 'e'}, Le16({2}), {0x00}});
  const std::vector<std::uint8_t> cont3 = Cat({{0x00}, {'x', 'y'}, Le16({3}), {0x0C}, Le16({1}), Le32(3), {'r', 's', 't'},
                                               Le16({0, 5})});
  const std::vector<std::uint8_t> cont4 = {1, 2, 3};
  std::vector<Rec> records = ListRecords(HandWorkbook(
      {{u"A", 0x10, {RowRec(0, 0, 4), LabelSstRec(0, 0, 0), LabelSstRec(0, 1, 1), LabelSstRec(0, 2, 2), LabelSstRec(0, 3, 3)}}}));
  auto sst_at = std::find_if(records.begin(), records.end(), [](const Rec& r) { return r.id == rid::kSst; });
  sst_at->data = sst;
  records.insert(sst_at + 1, {{rid::kContinue, cont1}, {rid::kContinue, cont2}, {rid::kContinue, cont3}, {rid::kContinue, cont4}});
  const TXLSFile book = Open(Container(Stream(records)));
  EXPECT_EQ(book.GetCellValue(1, 1).text, u"abc\u0416\u0417");
  EXPECT_EQ(book.GetCellValue(1, 2).text, u"\u03A9me");
  EXPECT_EQ(book.GetCellValue(1, 3).text, u"xy");
  EXPECT_EQ(book.GetCellValue(1, 4).text, u"rst");
}

// Some writers end an SST with an empty CONTINUE record, or put one where a string goes on.
TEST(XlsReader, EmptyContinueAfterSstIsRead) {
  const auto with_sst = [](std::vector<Rec> sst_records) {
    std::vector<Rec> records = ListRecords(HandWorkbook(
        {{u"A", 0x10, {RowRec(0, 0, 2), LabelSstRec(0, 0, 0), LabelSstRec(0, 1, 1)}}}, {u"x", u"y"}));
    auto sst_at = std::find_if(records.begin(), records.end(), [](const Rec& r) { return r.id == rid::kSst; });
    sst_at = records.erase(sst_at);
    records.insert(sst_at, sst_records.begin(), sst_records.end());
    return Container(Stream(records));
  };
  const struct {
    const char* what;
    std::vector<Rec> sst;
  } cases[] = {
      {"after the last string", {{rid::kSst, Cat({Le32(2), Le32(2), XlString(u"abc"), XlString(u"de")})}, {rid::kContinue, {}}}},
      {"between two strings",
       {{rid::kSst, Cat({Le32(2), Le32(2), XlString(u"abc")})}, {rid::kContinue, {}}, {rid::kContinue, XlString(u"de")}}},
      {"inside a string",
       {{rid::kSst, Cat({Le32(2), Le32(2), Le16({3}), {0, 'a', 'b'}})},
        {rid::kContinue, {}},
        {rid::kContinue, Cat({{0, 'c'}, XlString(u"de")})}}},
  };
  for (const auto& c : cases) {
    TXLSFile book;
    EXPECT_EQ(ErrorOf([&] { book.OpenMemory(with_sst(c.sst)); }), "(no error)") << c.what;
    EXPECT_EQ(book.GetCellValue(1, 1).text, u"abc") << c.what;
    EXPECT_EQ(book.GetCellValue(1, 2).text, u"de") << c.what;
  }
}

// ---- damaged files ----

struct DamageCase {
  const char* name;
  std::vector<std::uint8_t> stream;
  std::string message;
};

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::vector<std::uint8_t> Patched(std::vector<Rec> records, std::uint16_t id, const std::function<void(Rec&)>& change) {
  for (Rec& record : records) {
    if (record.id == id) {
      change(record);
      break;
    }
  }
  return Stream(records);
}

std::vector<DamageCase> DamageCases() {
  const std::vector<std::uint8_t> good =
      HandWorkbook({{u"A", 0x10, {RowRec(0, 0, 1), LabelSstRec(0, 0, 0)}}}, {u"one"});
  const std::vector<Rec> records = ListRecords(good);
  const std::string invalid = xls::kFileInvalidMessage;
  std::vector<DamageCase> cases;
  cases.push_back({"record cut short", Cut(good, good.size() - 3), invalid});
  cases.push_back({"section without EOF", Cut(good, good.size() - 4), invalid});
  cases.push_back({"length past the end", Cat({good, Le16({0x0203, 200}), {1, 2, 3}}), invalid});
  cases.push_back({"SST index out of range", Patched(records, rid::kLabelSst, [](Rec& r) { r.data[6] = 1; }), invalid});
  cases.push_back({"string count larger than its record", Patched(records, rid::kSst, [](Rec& r) { r.data[4] = 9; }), invalid});
  cases.push_back({"characters beyond the record", Patched(records, rid::kSst, [](Rec& r) { r.data[8] = 200; }), invalid});
  cases.push_back({"huge rich run count", Patched(records, rid::kSst, [](Rec& r) {
                     r.data = Cat({Le32(1), Le32(1), Le16({1}), {0x08}, Le16({0xFFFF}), {'a'}});
                   }), invalid});
  cases.push_back({"huge extension size", Patched(records, rid::kSst, [](Rec& r) {
                     r.data = Cat({Le32(1), Le32(1), Le16({1}), {0x04}, Le32(0xFFFFFFF0), {'a'}});
                   }), invalid});
  {
    // A CONTINUE chain running to the end of the stream: the section never ends.
    std::vector<std::uint8_t> stream = Cut(good, good.size() - 4);
    for (int i = 0; i < 20000; ++i) stream = Cat({stream, Le16({rid::kContinue, 0})});
    cases.push_back({"CONTINUE chain that never ends", stream, invalid});
  }
  cases.push_back({"record before any BOF", Cat({Le16({0x0203, 0}), good}), invalid});
  cases.push_back({"empty stream", {}, invalid});
  cases.push_back({"zero padding only", std::vector<std::uint8_t>(512, 0), invalid});
  cases.push_back({"sheets without globals", Stream({records.end() - 4, records.end()}), invalid});
  cases.push_back({"second globals BOF", Cat({Stream({records[0]}), good}), invalid});
  cases.push_back({"BOF of another version", Patched(records, rid::kBof, [](Rec& r) { r.data[1] = 0x07; }),
                   "Template file is saved with an invalid Excel version"});
  cases.push_back({"BOF too short", Patched(records, rid::kBof, [](Rec& r) { r.data.resize(2); }), invalid});
  cases.push_back({"cell in column 256", Patched(records, rid::kLabelSst, [](Rec& r) { r.data[3] = 1; }), invalid});
  cases.push_back({"short cell record", Patched(records, rid::kLabelSst, [](Rec& r) { r.data.resize(7); }), invalid});
  cases.push_back({"short ROW record", Patched(records, rid::kRow, [](Rec& r) { r.data.resize(12); }), invalid});
  cases.push_back({"duplicated sheet name", HandWorkbook({{u"Løp", 0x10, {}}, {u"Løp", 0x10, {}}}),
                   "Sheet name already exists: L\xF8p"});
  cases.push_back({"merged count larger than record", Stream([&] {
                     std::vector<Rec> copy = records;
                     copy.insert(copy.end() - 1, Rec{rid::kMergedCells, Le16({5, 0, 0, 0, 1})});
                     return copy;
                   }()), invalid});
  cases.push_back({"half a 16-bit character", Patched(records, rid::kSst, [](Rec& r) {
                     r.data = Cat({Le32(1), Le32(1), Le16({1}), {0x01}, {'a'}});
                   }), invalid});
  cases.push_back({"FILEPASS in a sheet", Stream([&] {
                     std::vector<Rec> copy = records;
                     copy.insert(copy.end() - 1, Rec{rid::kFilePass, Le16({0})});
                     return copy;
                   }()), "File is password protected"});
  return cases;
}

TEST(XlsReader, DamagedStreamsEndInTheReadersErrors) {
  for (const DamageCase& c : DamageCases()) {
    EXPECT_EQ(ErrorOf([&] { Open(Container(c.stream)); }), c.message) << c.name;
  }
}

TEST(XlsReader, EveryTruncationOfAFixtureFailsCleanly) {
  const std::vector<std::uint8_t> stream = WorkbookStreamOf(test::ReadBytes(Fixture("lo_types.xls")));
  for (std::size_t size = 0; size < stream.size(); size += 7) {
    const std::vector<std::uint8_t> image = Container(Cut(stream, size));
    try {
      TXLSFile book;
      book.OpenMemory(image);
      book.WorkbookStream();
    } catch (const Error&) {
    }
  }
}

}  // namespace
}  // namespace ln40
