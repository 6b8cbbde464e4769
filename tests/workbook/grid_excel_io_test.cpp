// The exchange between tables and workbook files: texts to typed cells and back, the
// table's look in the cell formats, updating files that hold other sheets and streams,
// merged ranges, hidden columns, delimited text, and saves that fail without harm.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cfb_test_support.h"
#include "text/clock.h"
#include "text/codepage.h"
#include "text/date_time.h"
#include "text/error.h"
#include "exchange/grid_excel_io.h"
#include "compound_file/ole2_storage.h"
#include "xls_model.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using test::TempFolder;

constexpr TDateTime kToday = 46364.5;  // 8 December 2026, noon

// The worked-example settings with the blank as thousands separator.
Locale TestLocale() {
  Locale locale = Locale::WorkedExample();
  locale.thousandsSeparator = ' ';
  return locale;
}

Locale CommaLocale() {
  Locale locale = TestLocale();
  locale.decimalSeparator = ',';
  return locale;
}

// A table with its look and exchange, as the main window holds them.
struct Exchange {
  explicit Exchange(int cols = 3, const Locale& locale = TestLocale()) : table(cols), clock(kToday), io(table, &look) {
    look.bands = true;
    table.SetLocale(locale);
    io.SetClock(&clock);
  }
  // Fills body rows from the top; the table grows to hold them.
  void Fill(const std::vector<std::vector<std::string>>& rows) {
    table.SetRowCount(static_cast<int>(rows.size()) + 1);
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < rows[r].size(); ++c) table.SetCell(static_cast<int>(c), static_cast<int>(r) + 1, rows[r][c]);
    }
  }
  TGridTable table;
  TableLook look;
  FixedClock clock;
  TGridExcelIO io;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteText(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::vector<std::string> FolderListing(const TempFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

const xls::TXlsCell* ModelCell(TXLSFile& book, int sheet, int row, int col) {
  auto& model = static_cast<xls::TWorkSheet&>(*book.Workbook().Sheets[static_cast<size_t>(sheet - 1)]);
  return model.FindCell(row - 1, col - 1);
}

// ---- texts to typed cells ----------------------------------------------------------------

struct TypedCase {
  std::string text;
  CellValue::Kind kind;
  double number;           // numbers and date-times
  std::u16string code;     // the number format the cell shows it with
  std::string back;        // what an import of the cell shows
};

void CheckTypedCells(const Locale& locale, const std::vector<TypedCase>& cases) {
  TempFolder folder;
  const std::string path = folder.File("typed.xls");
  Exchange out(1, locale);
  std::vector<std::vector<std::string>> rows;
  for (const TypedCase& c : cases) rows.push_back({c.text});
  out.Fill(rows);
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  Exchange in(1, locale);
  in.io.ImportFile(path);
  for (size_t i = 0; i < cases.size(); ++i) {
    const TypedCase& c = cases[i];
    const int row = static_cast<int>(i) + 1;
    SCOPED_TRACE("text \"" + c.text + "\"");
    const TXlsCellValue cell = book.GetCell(row, 1);
    EXPECT_EQ(cell.Value.kind, c.kind);
    if (c.kind == CellValue::Kind::Number) {
      EXPECT_NEAR(cell.Value.number, c.number, 1e-9);
    }
    if (c.kind == CellValue::Kind::Boolean) {
      EXPECT_EQ(cell.Value.boolean, c.number != 0);
    }
    if (c.kind == CellValue::Kind::String) {
      std::string stored = c.text;
      std::erase(stored, '\r');  // a line break is stored as a single LF
      EXPECT_EQ(Utf16ToCp1252(cell.Value.text), stored);
    }
    if (cell.XF >= 0) {
      EXPECT_EQ(book.GetFormat(cell.XF).NumberFormat, c.code);
    }
    EXPECT_EQ(in.table.Cell(0, row), c.back);
  }
}

TEST(GridExcelIO, TextsBecomeTypedCellsAndComeBackAsTheirFormatsShowThem) {
  CheckTypedCells(TestLocale(),
                  {
                      {"12:34:56", CellValue::Kind::Number, 0.524259259259, u"hh:mm:ss", "12:34:56"},
                      {"8:05", CellValue::Kind::Number, 0.336805555556, u"hh:mm:ss", "08:05:00"},
                      {"007", CellValue::Kind::Number, 7, u"", "7"},
                      {"1 234", CellValue::Kind::Number, 1234, u"", "1234"},
                      {"1 23", CellValue::Kind::String, 0, u"", "1 23"},
                      {"TRUE", CellValue::Kind::Boolean, 1, u"", "True"},
                      {"true", CellValue::Kind::Boolean, 1, u"", "True"},
                      {"False", CellValue::Kind::Boolean, 0, u"", "False"},
                      {"1-2", CellValue::Kind::Number, 46054, u"dd.mm.yyyy", "01.02.2026"},
                      {"08.12.2026", CellValue::Kind::Number, 46364, u"dd.mm.yyyy", "08.12.2026"},
                      {"08.12.2026 12:00", CellValue::Kind::Number, 46364.5, u"dd.mm.yyyy hh:mm:ss",
                       "08.12.2026 12:00:00"},
                      {"12:34:56.789", CellValue::Kind::String, 0, u"", "12:34:56.789"},
                      {"-3.5", CellValue::Kind::Number, -3.5, u"", "-3.5"},
                      {"Ærlig Øvre Ås", CellValue::Kind::String, 0, u"", "Ærlig Øvre Ås"},
                      {"two\r\nlines", CellValue::Kind::String, 0, u"", "two\r\nlines"},
                      {"", CellValue::Kind::Empty, 0, u"", ""},
                  });
}

TEST(GridExcelIO, WithTheDecimalComma12Point30StaysTextAnd1Dash2IsADate) {
  CheckTypedCells(CommaLocale(), {
                                     {"12.30", CellValue::Kind::String, 0, u"", "12.30"},
                                     {"12,30", CellValue::Kind::Number, 12.3, u"", "12,3"},
                                     {"1-2", CellValue::Kind::Number, 46054, u"dd.mm.yyyy", "01.02.2026"},
                                 });
}

TEST(GridExcelIO, EmptyCellsAreBlankWithTheTableFontSoTheUsedRangeCoversEveryRow) {
  TempFolder folder;
  const std::string path = folder.File("blank.xls");
  Exchange out(2);
  out.Fill({{"a", ""}, {"", ""}, {"", "b"}, {"", ""}});
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  EXPECT_EQ(book.UsedRowCount(), 4);
  EXPECT_EQ(book.UsedColCount(), 2);
  const TXlsCellValue blank = book.GetCell(4, 2);
  EXPECT_EQ(blank.Value.kind, CellValue::Kind::Empty);
  ASSERT_GE(blank.XF, 0) << "an empty cell gets a BLANK record";
  EXPECT_EQ(book.GetFormat(blank.XF).Font.Name, u"MS Sans Serif");
  EXPECT_EQ(book.GetFormat(blank.XF).Font.Size20, 165);
}

TEST(GridExcelIO, TextsBeginningWithEqualsAreFormulasAndImportAsTheirStoredResult) {
  TempFolder folder;
  const std::string path = folder.File("formula.xls");
  Exchange out(2);
  out.Fill({{"1", "=A1+1"}});
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  const xls::TXlsCell* cell = ModelCell(book, 1, 1, 2);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->Kind, xls::TCellKind::Formula);

  Exchange in(2);
  in.io.ImportFile(path);
  EXPECT_EQ(in.table.Cell(1, 1), "0");  // the result stored until a spreadsheet recalculates

  Exchange bad(1);
  bad.Fill({{"=SUM("}});
  EXPECT_THROW(bad.io.ExportFile(folder.File("bad.xls"), "LN40"), Error);
  EXPECT_FALSE(std::filesystem::exists(folder.File("bad.xls")));
}

// ---- the table's look -------------------------------------------------------------------

TEST(GridExcelIO, CellsCarryTheTableFontBandFillsAlignmentAndSizes) {
  TempFolder folder;
  const std::string path = folder.File("look.xls");
  Exchange out(2);
  out.Fill({{"a", "b"}, {"c", "two\r\nlines"}, {"e", "f"}});
  out.table.SetColumnWidth(1, 100);
  out.table.SetCellBackground(0, 3, 0xFF0000);
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  EXPECT_EQ(book.RowHeight(1), out.look.defaultRowHeight * 15);
  EXPECT_EQ(book.ColumnWidth(1), 2341);  // 64 pixels
  EXPECT_EQ(book.ColumnWidth(2), 3657);  // 100 pixels

  const TCellFormat first = book.GetFormat(book.CellFormatIndex(1, 1));
  EXPECT_EQ(first.Font.Name, u"MS Sans Serif");
  EXPECT_EQ(first.Font.Size20, 165);
  EXPECT_FALSE(first.Font.Bold);
  EXPECT_EQ(first.FillPattern, 2);
  const TRgb band = DefaultPalette()[static_cast<size_t>(first.FillForeground - 1)];
  EXPECT_EQ((std::vector<int>{band.R, band.G, band.B}), (std::vector<int>{255, 255, 204}));
  EXPECT_EQ(first.HAlign, THAlign::Left);
  EXPECT_EQ(first.VAlign, TVAlign::Top);
  EXPECT_FALSE(first.Wrap);

  const TCellFormat second = book.GetFormat(book.CellFormatIndex(2, 1));
  EXPECT_EQ(second.FillPattern, 1) << "the white band has no fill";
  const TCellFormat wrapped = book.GetFormat(book.CellFormatIndex(2, 2));
  EXPECT_TRUE(wrapped.Wrap);
  EXPECT_EQ(book.GetCellValue(2, 2).text, u"two\nlines") << "a line break is stored as a single LF";

  const TCellFormat red = book.GetFormat(book.CellFormatIndex(3, 1));
  const TRgb own = DefaultPalette()[static_cast<size_t>(red.FillForeground - 1)];
  EXPECT_EQ((std::vector<int>{own.R, own.G, own.B}), (std::vector<int>{255, 0, 0}));

  // After an import the table draws its cells at the bottom, and exports say so.
  out.io.ImportFile(path);
  EXPECT_EQ(out.look.verticalAlignment, VerticalAlignment::Bottom);
  out.io.ExportFile(path, "LN40");
  TXLSFile again;
  again.OpenFile(path);
  EXPECT_EQ(again.GetFormat(again.CellFormatIndex(1, 1)).VAlign, TVAlign::Bottom);
}

TEST(GridExcelIO, HiddenColumnsAreLeftOutAndTheVisibleOnesCloseUp) {
  TempFolder folder;
  const std::string path = folder.File("hidden.xls");
  Exchange out(4);
  out.Fill({{"a", "hidden", "c", "d"}});
  out.table.SetColumnWidth(2, 70);
  out.table.HideColumn(1);
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  EXPECT_EQ(book.UsedColCount(), 3);
  EXPECT_EQ(book.GetCellValue(1, 1).text, u"a");
  EXPECT_EQ(book.GetCellValue(1, 2).text, u"c");
  EXPECT_EQ(book.GetCellValue(1, 3).text, u"d");
  EXPECT_EQ(book.ColumnWidth(2), 2560);  // the 70 pixels of column c
}

TEST(GridExcelIO, MergedTableCellsBecomeMergedRangesWithTheirFormat) {
  TempFolder folder;
  const std::string path = folder.File("merged.xls");
  Exchange out(3);
  out.Fill({{"x", "", ""}, {"", "wide", ""}, {"", "", ""}});
  out.table.SetMergeSpan(1, 2, 2, 2);
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  ASSERT_EQ(book.MergedRanges().size(), 1u);
  EXPECT_EQ(book.MergedRanges()[0], (TXlsRange{2, 2, 3, 3}));
  const int xf = book.CellFormatIndex(2, 2);
  EXPECT_EQ(book.CellFormatIndex(3, 3), xf);
  EXPECT_EQ(book.CellFormatIndex(2, 3), xf);
}

TEST(GridExcelIO, RowsOfEachGroupGetOutlineLevelOne) {
  TempFolder folder;
  const std::string path = folder.File("grouped.xls");
  Exchange out(3);
  out.Fill({{"1", "H21", "Ann"}, {"2", "D21", "Bo"}, {"3", "H21", "Cy"}});
  out.table.GroupByColumn(1);
  ASSERT_TRUE(out.table.IsGrouped());
  out.io.ExportFile(path, "LN40");

  TXLSFile book;
  book.OpenFile(path);
  for (int r = 1; r < out.table.RowCount(); ++r) {
    const int expected = out.table.KindOfRow(r) == RowKind::GroupHeading ? 0 : 1;
    EXPECT_EQ(book.RowOutlineLevel(r), expected) << "row " << r;
  }
}

// ---- files that exist --------------------------------------------------------------------

TEST(GridExcelIO, ExportIntoAFileKeepsItsOtherSheetsAndStreams) {
  TempFolder folder;
  const std::string path = folder.File("existing.xls");
  {
    TXLSFile book;
    book.NewFile(2);
    book.SetActiveSheet(1);
    book.SetActiveSheetName(u"Notes");
    book.SetCellValue(1, 1, CellValue::String(u"keep me"));
    book.SetActiveSheet(2);
    book.SetActiveSheetName(u"LN40");
    book.SetCellValue(5, 5, CellValue::String(u"old runner data"));
    const std::vector<std::uint8_t> stream = book.WorkbookStream();
    TOle2Storage storage = TOle2Storage::CreateFile(path);
    storage.OpenStream("Workbook").Write(stream.data(), stream.size());
    const std::string extra = "summary bytes of another program";
    storage.OpenStream("ExtraStream").Write(extra.data(), extra.size());
    storage.Release();
  }

  Exchange runners(2);
  runners.Fill({{"1", "Ann"}});
  Exchange times(2);
  times.Fill({{"12:00:01", "7"}});
  runners.io.ExportFile(path, "LN40");
  times.io.ExportFile(path, "Excel");

  TXLSFile book;
  book.OpenFile(path);
  ASSERT_EQ(book.SheetCount(), 3);
  EXPECT_EQ(book.SheetName(1), u"Notes");
  EXPECT_EQ(book.SheetName(2), u"LN40");
  EXPECT_EQ(book.SheetName(3), u"Excel");
  book.SetActiveSheet(1);
  EXPECT_EQ(book.GetCellValue(1, 1).text, u"keep me");
  book.SetActiveSheet(2);
  EXPECT_EQ(book.GetCellValue(1, 2).text, u"Ann");
  EXPECT_EQ(book.GetCellValue(5, 5).kind, CellValue::Kind::Empty) << "the sheet of that name is replaced";
  book.SetActiveSheet(3);
  EXPECT_NEAR(book.GetCellValue(1, 1).number, 0.500011574, 1e-9);

  TOle2Storage storage = TOle2Storage::OpenFile(path);
  std::string extra(64, '\0');
  extra.resize(storage.OpenStream("ExtraStream").Read(extra.data(), extra.size()));
  EXPECT_EQ(extra, "summary bytes of another program");
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"existing.xls"}) << "no temporary file is left";

  // An import reads the first sheet, whichever sheet the file shows.
  Exchange in(2);
  in.io.ImportFile(path);
  EXPECT_EQ(in.table.Cell(0, 1), "keep me");
}

TEST(GridExcelIO, ANewSheetGoesToTheGivenPositionAndTheSelectedSheetIsShown) {
  TempFolder folder;
  const std::string path = folder.File("positions.xls");
  Exchange a(1), b(1), c(1);
  a.io.ExportFile(path, "A");
  b.io.ExportFile(path, "B");
  c.io.ExportFile(path, "C", 1, 2);
  TXLSFile book;
  book.OpenFile(path);
  ASSERT_EQ(book.SheetCount(), 3);
  EXPECT_EQ(book.SheetName(1), u"C");
  EXPECT_EQ(book.SheetName(2), u"A");
  EXPECT_EQ(book.SheetName(3), u"B");
  EXPECT_EQ(book.ActiveSheet(), 2);
}

TEST(GridExcelIO, ExportTablesWritesBothSheetsInOneFile) {
  TempFolder folder;
  const std::string path = folder.File("both.xls");
  Exchange runners(2), times(2);
  runners.Fill({{"1", "Ann"}});
  times.Fill({{"12:00:01", "1"}});
  ExportTables(path, {{&runners.io, "LN40"}, {&times.io, "Excel"}});
  ExportTables(path, {{&runners.io, "LN40"}, {&times.io, "Excel"}});  // into the file it made
  TXLSFile book;
  book.OpenFile(path);
  ASSERT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(1), u"LN40");
  EXPECT_EQ(book.SheetName(2), u"Excel");
}

// A save that fails while the file is written: the file size limit makes write() fail in
// a child process, which reports what it caught.
TEST(GridExcelIO, AFailedSaveLeavesTheOriginalFileUntouched) {
  TempFolder folder;
  const std::string path = folder.File("runners.xls");
  Exchange first(2);
  first.Fill({{"1", "Ann"}});
  first.io.ExportFile(path, "LN40");
  const std::string before = ReadText(path);

  Exchange big(4);
  std::vector<std::vector<std::string>> rows(3000, {"123", "some longer runner name text", "Club", "12:00:00"});
  for (size_t i = 0; i < rows.size(); ++i) rows[i][1] += std::to_string(i);
  big.Fill(rows);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(before.size() + 1000), static_cast<rlim_t>(before.size() + 1000)};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    try {
      big.io.ExportFile(path, "LN40");
    } catch (const Error& error) {
      const std::string message = error.what();
      ::_exit(message.find("runners.xls") != std::string::npos && message.find("large") != std::string::npos ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the save did not fail, 2: the message names no file or reason";
  EXPECT_EQ(ReadText(path), before);
  EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"runners.xls"}) << "no temporary file is left";

  // A table too long for a sheet fails before anything is written.
  Exchange huge(1);
  huge.table.SetRowCount(65538);
  EXPECT_THROW(huge.io.ExportFile(path, "LN40"), Error);
  EXPECT_EQ(ReadText(path), before);
}

TEST(GridExcelIO, SavingKeepsTheFilePermissionsAndFollowsLinks) {
  TempFolder folder;
  const std::string path = folder.File("shared.xls");
  Exchange out(1);
  out.Fill({{"1"}});
  out.io.ExportFile(path, "LN40");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read | std::filesystem::perms::group_write);
  const std::string link = folder.File("link.xls");
  std::filesystem::create_symlink(path, link);
  out.Fill({{"2"}});
  out.io.ExportFile(link, "LN40");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read | std::filesystem::perms::group_write);
  TXLSFile book;
  book.OpenFile(path);
  EXPECT_EQ(book.GetCellValue(1, 1).number, 2);
}

// ---- import ------------------------------------------------------------------------------

// A workbook written cell by cell, for the import cases.
std::string WriteBook(const TempFolder& folder, const std::string& name,
                      const std::function<void(TXLSFile&)>& fill) {
  TXLSFile book;
  book.NewFile(1);
  fill(book);
  const std::string path = folder.File(name);
  book.SaveFile(path);
  return path;
}

TEST(GridExcelIO, ImportPutsTheHeaderRowOfASheetIntoTableRowOne) {
  TempFolder folder;
  const std::string path = WriteBook(folder, "header.xls", [](TXLSFile& book) {
    book.SetCellValue(1, 1, CellValue::String(u"First name"));
    book.SetCellValue(1, 2, CellValue::String(u"Start no"));
    book.SetCellValue(2, 1, CellValue::String(u"Ann"));
    book.SetCellValue(2, 2, CellValue::Number(7));
  });
  Exchange in(5);
  in.table.SetColumnHeaders({"old", "headings"});
  in.io.ImportFile(path);
  EXPECT_EQ(in.table.Cell(0, 0), "");
  EXPECT_EQ(in.table.Cell(0, 1), "First name");
  EXPECT_EQ(in.table.Cell(1, 1), "Start no");
  EXPECT_EQ(in.table.Cell(1, 2), "7");
  EXPECT_EQ(in.table.RowCount(), 3);
}

// ImportFile reads a workbook's records straight into the table; a loaded workbook
// (ImportBook, as the autosave is restored) gives the same table.
TEST(GridExcelIO, ImportFileFillsTheTableAsImportBookDoes) {
  TempFolder folder;
  const std::string path = WriteBook(folder, "mixed.xls", [](TXLSFile& book) {
    TCellFormat time_format;
    time_format.NumberFormat = u"hh:mm:ss";
    const int time_xf = book.AddFormat(time_format);
    for (int r = 1; r <= 40; ++r) {
      book.SetCellValue(r, 1, CellValue::String(u"L\u00F8per " + std::u16string(1, u'A' + r % 26)));
      book.SetCellValue(r, 2, CellValue::Number(100 + r));
      book.SetCellValue(r, 3, CellValue::Number(0.4 + r / 86400.0), time_xf);
      if (r % 3 == 0) book.SetCellValue(r, 4, CellValue::Boolean(r % 2 == 0));
      if (r % 5 == 0) book.SetCellValue(r, 6, CellValue::String(u"two\nlines"));
    }
    book.SetCellFormula(2, 5, u"=B1+B2");
    book.MergeCells(3, 1, 4, 2);
    book.MergeCells(6, 2, 6, 9);
  });

  for (const bool resize : {true, false}) {
    for (const bool formats : {true, false}) {
      SCOPED_TRACE(std::string(resize ? "resized" : "fixed size") + (formats ? ", formats" : ", plain values"));
      Exchange read(4), loaded(4);
      for (Exchange* in : {&read, &loaded}) {
        in->io.Settings().AutoResizeGrid = resize;
        in->io.Settings().ImportCellFormats = formats;
        in->table.SetRowCount(20);
      }
      read.io.ImportFile(path);
      TXLSFile book;
      book.OpenFile(path);
      loaded.io.ImportBook(book);
      ASSERT_EQ(read.table.RowCount(), loaded.table.RowCount());
      ASSERT_EQ(read.table.ColCount(), loaded.table.ColCount());
      for (int r = 0; r < loaded.table.RowCount(); ++r) {
        for (int c = 0; c < loaded.table.ColCount(); ++c) {
          EXPECT_EQ(read.table.Cell(c, r), loaded.table.Cell(c, r)) << "row " << r << ", column " << c;
          EXPECT_EQ(read.table.MergeSpanAt(c, r).has_value(), loaded.table.MergeSpanAt(c, r).has_value())
              << "row " << r << ", column " << c;
        }
      }
      EXPECT_EQ(read.table.Cell(2, 1), formats ? "09:36:01" : "0.400011574074074");
    }
  }
}

// Cells in the four corners of the largest sheet, without ROW records (as some writers
// leave them out): the table takes the whole sheet and the four texts.
TEST(GridExcelIO, ASheetWithoutRowRecordsImportsItsCells) {
  TempFolder folder;
  const std::string path = folder.File("corners.xls");
  const std::vector<test::Rec> corners = {test::LabelSstRec(0, 0, 0), test::LabelSstRec(0, 255, 1),
                                          test::NumberRec(65535, 0, 3), test::NumberRec(65535, 255, 4)};
  test::WriteBytes(path, test::Container(test::HandWorkbook({{u"Sheet1", 0x0010, corners}}, {u"A1", u"IV1"})));
  Exchange in(12);
  in.io.ImportFile(path);
  EXPECT_EQ(in.table.RowCount(), 65537);
  EXPECT_EQ(in.table.ColCount(), 256);
  EXPECT_EQ(in.table.Cell(0, 1), "A1");
  EXPECT_EQ(in.table.Cell(255, 1), "IV1");
  EXPECT_EQ(in.table.Cell(0, 65536), "3");
  EXPECT_EQ(in.table.Cell(255, 65536), "4");
  EXPECT_EQ(in.table.Cell(100, 30000), "");
}

// A workbook that counts its serials from 1904 shows its dates as they were written.
TEST(GridExcelIO, A1904WorkbookShowsItsDatesAsWritten) {
  Exchange in(2);
  in.io.ImportFile(test::Fixture("lo_1904.xls"));
  EXPECT_EQ(in.table.Cell(0, 1), "08.12.2026");
  EXPECT_EQ(in.table.Cell(1, 1), "1");
}

// Saving into such a workbook writes its dates in its own system: they read back as typed,
// and a date before 1904, which has no serial there, stays text.
TEST(GridExcelIO, DatesSavedIntoA1904WorkbookReadBackAsTyped) {
  TempFolder folder;
  const std::string path = folder.File("dates1904.xls");
  std::filesystem::copy_file(test::Fixture("lo_1904.xls"), path);
  Exchange out(3);
  out.table.SetRowCount(2);
  out.table.SetCell(0, 1, "08.12.2026");
  out.table.SetCell(1, 1, "12:34:56");
  out.table.SetCell(2, 1, "31.12.1903");
  out.io.ExportFile(path, "Saved");

  TXLSFile book;
  book.OpenFile(path);
  EXPECT_EQ(book.Dates(), DateSystem::d1904);
  book.SetActiveSheet(book.SheetCount());
  EXPECT_EQ(book.GetCellValue(1, 1).number, 46364 - 1462);
  EXPECT_EQ(book.GetCellValue(1, 3).kind, CellValue::Kind::String);
  Exchange in(3);
  in.io.ImportBook(book, book.SheetCount());
  EXPECT_EQ(in.table.Cell(0, 1), "08.12.2026");
  EXPECT_EQ(in.table.Cell(1, 1), "12:34:56");
  EXPECT_EQ(in.table.Cell(2, 1), "31.12.1903");
}

TEST(GridExcelIO, TheTableTakesTheSheetsUsedColumnsAndRows) {
  struct SizeCase {
    int cols;
    int rows;
  };
  for (const SizeCase& c : std::vector<SizeCase>{{14, 3}, {3, 5}, {1, 1}}) {
    SCOPED_TRACE(std::to_string(c.cols) + " columns");
    TempFolder folder;
    const std::string path = WriteBook(folder, "size.xls", [&](TXLSFile& book) {
      for (int r = 1; r <= c.rows; ++r) book.SetCellValue(r, c.cols, CellValue::Number(r));
    });
    Exchange in(12);
    in.table.SetRowCount(50);
    in.table.SetCell(11, 40, "stale");
    in.io.ImportFile(path);
    EXPECT_EQ(in.table.ColCount(), c.cols);
    EXPECT_EQ(in.table.RowCount(), c.rows + 1);
    EXPECT_EQ(in.table.Cell(c.cols - 1, c.rows), std::to_string(c.rows));
  }

  // An empty sheet leaves the size and empties the table.
  TempFolder folder;
  const std::string path = WriteBook(folder, "empty.xls", [](TXLSFile&) {});
  Exchange in(4);
  in.Fill({{"a", "b"}, {"c"}});
  in.io.ImportFile(path);
  EXPECT_EQ(in.table.ColCount(), 4);
  EXPECT_EQ(in.table.RowCount(), 3);
  EXPECT_EQ(in.table.Cell(0, 1), "");
}

TEST(GridExcelIO, AMergedRangeB2C3BecomesATableSpanShowingItsTopLeftText) {
  TempFolder folder;
  const std::string path = WriteBook(folder, "merge.xls", [](TXLSFile& book) {
    book.SetCellValue(2, 2, CellValue::String(u"top left"));
    book.SetCellValue(3, 3, CellValue::String(u"hidden below"));
    book.SetCellValue(4, 4, CellValue::String(u"after"));
    book.MergeCells(2, 2, 3, 3);
  });
  Exchange in(3);
  in.table.SetMergeSpan(0, 1, 3, 1);  // a merge of the earlier content goes
  in.io.ImportFile(path);
  const std::optional<MergeSpan> span = in.table.MergeSpanAt(1, 2);
  ASSERT_TRUE(span.has_value());
  EXPECT_EQ(span->col, 1);
  EXPECT_EQ(span->row, 2);
  EXPECT_EQ(span->width, 2);
  EXPECT_EQ(span->height, 2);
  for (auto [col, row] : std::vector<std::pair<int, int>>{{1, 2}, {2, 2}, {1, 3}, {2, 3}}) {
    EXPECT_EQ(in.table.Cell(col, row), "top left");
  }
  EXPECT_FALSE(in.table.MergeSpanAt(0, 1).has_value());
  EXPECT_EQ(in.table.Cell(3, 4), "after");
}

TEST(GridExcelIO, DelimitedTextOpensWithTheListSeparatorOrTabs) {
  TempFolder folder;
  const std::string csv = folder.File("runners.CSV");
  WriteText(csv, "a;\"b;c\";\"x\"\"y\"\r\n007;12:34:56;8:05\r\nTRUE;1 234;\xC6rlig\r\n");
  Exchange in(2);
  in.io.ImportFile(csv);
  EXPECT_EQ(in.table.ColCount(), 3);
  EXPECT_EQ(in.table.RowCount(), 4);
  const std::vector<std::vector<std::string>> expected = {
      {"a", "b;c", "x\"y"}, {"7", "12:34:56", "08:05:00"}, {"True", "1234", "\xC6rlig"}};
  for (size_t r = 0; r < expected.size(); ++r) {
    for (size_t c = 0; c < expected[r].size(); ++c) {
      EXPECT_EQ(in.table.Cell(static_cast<int>(c), static_cast<int>(r) + 1), expected[r][c]) << r << "," << c;
    }
  }

  const std::string txt = folder.File("times.txt");
  WriteText(txt, "1;2\t3\n");
  in.io.ImportFile(txt);
  EXPECT_EQ(in.table.ColCount(), 2);
  EXPECT_EQ(in.table.Cell(0, 1), "1;2");
  EXPECT_EQ(in.table.Cell(1, 1), "3");
}

TEST(GridExcelIO, AFailedImportLeavesTheTableAsItWas) {
  TempFolder folder;
  Exchange in(2);
  in.Fill({{"keep", "me"}});
  try {
    in.io.ImportFile(folder.File("missing.csv"));
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot open file \"" + folder.File("missing.csv") + "\". No such file or directory");
  }
  const std::string damaged = folder.File("damaged.xls");
  WriteText(damaged, "not a workbook at all, just text");
  EXPECT_THROW(in.io.ImportFile(damaged), Error);
  EXPECT_THROW(in.io.ImportFile(folder.File("missing.xls")), Error);
  EXPECT_EQ(in.table.Cell(0, 1), "keep");
  EXPECT_EQ(in.table.Cell(1, 1), "me");
}

// A small file can stand for a vast sheet (a line of 20,000 delimiters): text beyond what a
// worksheet holds is refused with its extent before the table is touched; text up to the
// limits opens.
TEST(GridExcelIO, DelimitedTextBeyondASheetIsRefusedBeforeTheTableIsTouched) {
  TempFolder folder;
  struct Case {
    const char* name;
    std::string text;
    std::string message;  // empty: opens
  };
  std::string rows_at_limit;
  for (int r = 0; r < 65536; ++r) rows_at_limit += "x\r\n";
  std::string wide = std::string(20000, ';') + "\r\n";
  for (int r = 0; r < 20000; ++r) wide += std::to_string(r) + "\r\n";
  const std::vector<Case> cases = {
      {"wide.csv", wide, "has 20,001 columns; a worksheet holds at most 256."},
      {"long.txt", rows_at_limit + "y\r\n", "has 65,537 rows; a worksheet holds at most 65,536."},
      {"full.csv", std::string(255, ';') + "z\r\n" + rows_at_limit.substr(3) + "\r\n\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.File(c.name);
    WriteText(path, c.text);
    Exchange in(2);
    in.Fill({{"keep", "me"}});
    std::string message;
    try {
      in.io.ImportFile(path);
    } catch (const Error& error) {
      message = error.what();
    }
    if (c.message.empty()) {
      EXPECT_EQ(message, "");
      EXPECT_EQ(in.table.ColCount(), 256);
      EXPECT_EQ(in.table.RowCount(), 65537);
      EXPECT_EQ(in.table.Cell(255, 1), "z");
      continue;
    }
    EXPECT_EQ(message, "\"" + path + "\" " + c.message);
    EXPECT_EQ(in.table.ColCount(), 2);
    EXPECT_EQ(in.table.RowCount(), 2);
    EXPECT_EQ(in.table.Cell(1, 1), "me");
  }
}

}  // namespace
}  // namespace ln40
