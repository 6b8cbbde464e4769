// The workbook commands on real files: open into the runner sheet, save of both tables,
// and the autosave of both tables with its backup.
#include "exchange/workbook_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "cfb_test_support.h"
#include "text/codepage.h"
#include "text/error.h"
#include "exchange/autosave.h"
#include "exchange/autosave_rotation.h"
#include "xls/xls_file.h"

namespace ln40 {
namespace {

const std::vector<std::string> kRunnerHeadings = {"Fornavn", "Etternavn", "Klasse",  "Klubb",  "Kj\xF8nn", "L\xF8ype",
                                                  "Startnr", "Brikkenr",  "Starttid", "Kid", "Inkomst", "Sluttid"};
const std::vector<std::string> kReadTimesHeadings = {"#", "Kivono/startno", "Text", "LN20 time", "Time", "Data"};

// The two tables as the window holds them, with a few rows.
struct Tables {
  TGridTable sheet{12};
  TGridTable times{6};
  TGridExcelIO sheet_io{sheet};
  TGridExcelIO times_io{times};

  Tables() {
    sheet.SetColumnHeaders(kRunnerHeadings);
    times.SetColumnHeaders(kReadTimesHeadings);
    AddRunner("Kari", "Nordmann", "H21", "12:34:56");
    times.SetRowCount(3);
    times.SetCell(0, 2, "1");
    times.SetCell(1, 2, "17");
    times.SetCell(2, 2, "Finish");
    times.SetCell(4, 2, "12:34:56");
  }
  void AddRunner(const std::string& first, const std::string& last, const std::string& klass,
                 const std::string& finish) {
    const int row = sheet.Cell(0, sheet.RowCount() - 1).empty() ? sheet.RowCount() - 1 : sheet.RowCount();
    if (row == sheet.RowCount()) sheet.AddRow();
    sheet.SetCell(0, row, first);
    sheet.SetCell(1, row, last);
    sheet.SetCell(2, row, klass);
    sheet.SetCell(10, row, finish);
  }
};

std::vector<std::u16string> SheetNames(const std::string& file) {
  TXLSFile book;
  book.OpenFile(file);
  std::vector<std::u16string> names;
  for (int sheet = 1; sheet <= book.SheetCount(); ++sheet) names.push_back(book.SheetName(sheet));
  return names;
}

// The text of a string cell, or the number of a numeric one as text.
std::u16string CellText(const std::string& file, int sheet, int row, int col) {
  TXLSFile book;
  book.OpenFile(file);
  book.SetActiveSheet(sheet);
  const CellValue value = book.GetCellValue(row, col);
  if (value.kind == CellValue::Kind::Number) return Cp1252ToUtf16(std::to_string(value.number));
  return value.text;
}

// A workbook as an organiser prepares it: one sheet "Påmeldte" with a title row.
void WritePreparedWorkbook(const std::string& file) {
  TXLSFile book;
  book.NewFile(1);
  book.SetActiveSheetName(u"P\u00e5meldte");
  book.SetCellValue(1, 1, CellValue::String(u"Fornavn"));
  book.SetCellValue(1, 2, CellValue::String(u"Etternavn"));
  book.SetCellValue(2, 1, CellValue::String(u"Ola"));
  book.SetCellValue(2, 2, CellValue::String(u"Hansen"));
  book.SaveFile(file);
}

TEST(WorkbookCommands, SaveWritesLn40ThenExcel) {
  test::TempFolder folder;
  Tables tables;
  const std::string file = folder.File("race.xls");
  SaveBothTables(tables.sheet_io, tables.times_io, file);
  EXPECT_EQ(SheetNames(file), (std::vector<std::u16string>{u"LN40", u"Excel"}));
  EXPECT_EQ(CellText(file, 1, 1, 1), u"Kari");
  EXPECT_EQ(CellText(file, 2, 2, 3), u"Finish");
}

TEST(WorkbookCommands, SaveOntoAPreparedWorkbookKeepsItsSheetAndAppendsBoth) {
  test::TempFolder folder;
  const std::string file = folder.File("entries.xls");
  WritePreparedWorkbook(file);
  Tables tables;
  SaveBothTables(tables.sheet_io, tables.times_io, file);
  EXPECT_EQ(SheetNames(file), (std::vector<std::u16string>{u"P\u00e5meldte", u"LN40", u"Excel"}));
  EXPECT_EQ(CellText(file, 1, 2, 1), u"Ola");

  // A later open loads the unchanged first sheet, not "LN40": its title row is body row 1.
  OpenRunnerSheet(tables.sheet_io, file, kRunnerHeadings);
  EXPECT_EQ(tables.sheet.Cell(0, 1), "Fornavn");
  EXPECT_EQ(tables.sheet.Cell(0, 2), "Ola");
  EXPECT_EQ(tables.sheet.RowCount(), 3);
  EXPECT_EQ(tables.sheet.Cell(0, 0), "Fornavn");
  EXPECT_EQ(tables.sheet.Cell(11, 0), "Sluttid");
}

TEST(WorkbookCommands, SaveOntoOurOwnFileRewritesBothSheetsInPlace) {
  test::TempFolder folder;
  const std::string file = folder.File("race.xls");
  Tables tables;
  SaveBothTables(tables.sheet_io, tables.times_io, file);
  tables.sheet.SetCell(0, 1, "Per");
  tables.AddRunner("Siri", "Berg", "D21", "");
  SaveBothTables(tables.sheet_io, tables.times_io, file);
  EXPECT_EQ(SheetNames(file), (std::vector<std::u16string>{u"LN40", u"Excel"}));

  TGridTable opened(12);
  TGridExcelIO opened_io(opened);
  OpenRunnerSheet(opened_io, file, kRunnerHeadings);
  EXPECT_EQ(opened.Cell(0, 1), "Per");
  EXPECT_EQ(opened.Cell(0, 2), "Siri");
  EXPECT_EQ(opened.Cell(10, 1), "12:34:56");
  EXPECT_EQ(opened.RowCount(), 3);
}

TEST(WorkbookCommands, FailedSaveLeavesTheFileAsItWasAndReportsTheError) {
  test::TempFolder folder;
  const std::string file = folder.File("entries.xls");
  WritePreparedWorkbook(file);
  const std::vector<std::uint8_t> before = test::ReadBytes(file);
  Tables tables;
  // A formula that does not compile stops the export of the runner sheet.
  tables.sheet.SetCell(0, 1, "=SUM(");
  EXPECT_THROW(SaveBothTables(tables.sheet_io, tables.times_io, file), Error);
  EXPECT_EQ(test::ReadBytes(file), before);
  EXPECT_THROW(SaveBothTables(tables.sheet_io, tables.times_io, folder.File("missing/race.xls")), Error);
}

TEST(WorkbookCommands, OpenCancelledKeepsTheRowsAndWritesTheHeadings) {
  Tables tables;
  tables.sheet.SetColCount(5);  // a sheet narrowed by hand
  tables.sheet.SetCell(0, 0, "");
  OpenRunnerSheet(tables.sheet_io, std::nullopt, kRunnerHeadings);
  EXPECT_EQ(tables.sheet.ColCount(), 12);
  EXPECT_EQ(tables.sheet.Cell(0, 1), "Kari");
  for (int col = 0; col < 12; ++col) EXPECT_EQ(tables.sheet.Cell(col, 0), kRunnerHeadings[col]);
}

// Workbooks of 3 and 14 used columns: the sheet keeps at least the twelve columns with
// their headings; further columns have empty headings.
TEST(WorkbookCommands, OpenWidensTheSheetToTwelveColumnsWithTheirHeadings) {
  for (const int used : {3, 14}) {
    test::TempFolder folder;
    const std::string file = folder.File("narrow.xls");
    TXLSFile book;
    book.NewFile(1);
    for (int col = 1; col <= used; ++col) book.SetCellValue(1, col, CellValue::String(u"c" + Cp1252ToUtf16(std::to_string(col))));
    book.SaveFile(file);

    Tables tables;
    OpenRunnerSheet(tables.sheet_io, file, kRunnerHeadings);
    EXPECT_EQ(tables.sheet.ColCount(), std::max(used, 12)) << used;
    EXPECT_EQ(tables.sheet.RowCount(), 2);
    for (int col = 0; col < tables.sheet.ColCount(); ++col) {
      EXPECT_EQ(tables.sheet.Cell(col, 1), col < used ? "c" + std::to_string(col + 1) : "") << used << " " << col;
      EXPECT_EQ(tables.sheet.Cell(col, 0), col < 12 ? kRunnerHeadings[col] : "") << used << " " << col;
    }
  }
}

TEST(WorkbookCommands, FailedOpenLeavesTheSheetUnchanged) {
  test::TempFolder folder;
  Tables tables;
  const std::string not_a_workbook = folder.File("notes.xls");
  std::ofstream(not_a_workbook) << "plain text, not a workbook";
  for (const std::string& file : {folder.File("missing.xls"), not_a_workbook}) {
    tables.sheet.SetCell(0, 0, "");
    EXPECT_THROW(OpenRunnerSheet(tables.sheet_io, file, kRunnerHeadings), Error) << file;
    EXPECT_EQ(tables.sheet.Cell(0, 1), "Kari");
    EXPECT_EQ(tables.sheet.Cell(0, 0), "") << "the headings are written only after an import";
  }
  try {
    OpenRunnerSheet(tables.sheet_io, folder.File("missing.xls"), kRunnerHeadings);
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Can't find the file \"" + folder.File("missing.xls") + "\"");
  }
}

TEST(WorkbookCommands, OpenOfDelimitedTextChosenWithAll) {
  test::TempFolder folder;
  const std::string file = folder.File("runners.csv");
  // The worked-example locale separates lists with ";".
  std::ofstream(file) << "Kari;Nordmann;H21\r\nOla;\"Hansen; jr\";H35\r\n";
  Tables tables;
  tables.sheet_io.SetLocale(Locale::WorkedExample());
  OpenRunnerSheet(tables.sheet_io, file, kRunnerHeadings);
  EXPECT_EQ(tables.sheet.Cell(1, 2), "Hansen; jr");
  EXPECT_EQ(tables.sheet.ColCount(), 12);
  EXPECT_EQ(tables.sheet.Cell(5, 0), "L\xF8ype");
}

TEST(Autosave, TicksWriteBothTablesAndKeepThePreviousAsBackup) {
  test::TempFolder folder;
  Tables tables;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());

  AutosaveTables(folder.path().string(), tables.sheet_io, tables.times_io);
  EXPECT_EQ(SheetNames(files.file), (std::vector<std::u16string>{u"LN40", u"Excel"}));
  EXPECT_FALSE(std::filesystem::exists(files.backup));

  tables.AddRunner("Siri", "Berg", "D21", "");
  AutosaveTables(folder.path().string(), tables.sheet_io, tables.times_io);
  EXPECT_EQ(CellText(files.file, 1, 2, 1), u"Siri");
  EXPECT_EQ(SheetNames(files.backup), (std::vector<std::u16string>{u"LN40", u"Excel"}));
  EXPECT_EQ(CellText(files.backup, 1, 2, 1), u"");

  tables.AddRunner("Per", "Lie", "H21", "");
  AutosaveTables(folder.path().string(), tables.sheet_io, tables.times_io);
  EXPECT_EQ(CellText(files.file, 1, 3, 1), u"Per");
  EXPECT_EQ(CellText(files.backup, 1, 2, 1), u"Siri");
  EXPECT_EQ(CellText(files.backup, 1, 3, 1), u"");
}

// A garbled line from the reader may begin with "=": a save the organiser asks for stops
// with the formula compiler's message, the autosave keeps it as text and goes on.
TEST(Autosave, ATextThatIsNoFormulaIsKeptAsTextWhereASaveStops) {
  test::TempFolder folder;
  Tables tables;
  tables.times.SetCell(2, 2, "=$ai6uB\"");
  tables.times.SetCell(3, 2, "=1+2");
  std::string error;
  try {
    SaveBothTables(tables.sheet_io, tables.times_io, folder.File("saved.xls"));
  } catch (const Error& e) {
    error = e.what();
  }
  EXPECT_NE(error.find("on formula"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(folder.File("saved.xls")));

  AutosaveTables(folder.path().string(), tables.sheet_io, tables.times_io);
  const std::string file = AutosaveFilesIn(folder.path().string()).file;
  EXPECT_EQ(CellText(file, 2, 2, 3), u"=$ai6uB\"");
  TXLSFile book;
  book.OpenFile(file);
  book.SetActiveSheet(2);
  EXPECT_EQ(book.GetCell(2, 4).Value.kind, CellValue::Kind::Number);  // the formula's stored result
}

TEST(Autosave, ImageIsTheSameWorkbookAsASave) {
  test::TempFolder folder;
  Tables tables;
  SaveBothTables(tables.sheet_io, tables.times_io, folder.File("saved.xls"));
  AutosaveTables(folder.path().string(), tables.sheet_io, tables.times_io);
  EXPECT_EQ(test::ReadBytes(folder.File("saved.xls")), test::ReadBytes(folder.File("autosave.xls")));
}

// ---- tables longer than a worksheet -------------------------------------------------------

// The read-times table with `reads` rows below its row 1, each numbered in column 0; row 1
// carries a mark so that its copies on further sheets can be seen.
void FillReadTimes(TGridTable& times, int reads) {
  times.SetRowCount(reads + 2);
  times.SetCell(0, 1, "row one");
  for (int row = 2; row < reads + 2; ++row) times.SetCell(0, row, std::to_string(row - 1));
}

std::u16string Number(int n) { return Cp1252ToUtf16(std::to_string(static_cast<double>(n))); }

std::u16string CellText(TXLSFile& book, int sheet, int row, int col) {
  book.SetActiveSheet(sheet);
  const CellValue value = book.GetCellValue(row, col);
  if (value.kind == CellValue::Kind::Number) return Cp1252ToUtf16(std::to_string(value.number));
  return value.text;
}

// A sheet holds table rows 1 to 65,536; further sheets a copy of row 1 and 65,535 more each.
TEST(LongReadTimes, GoOnInFurtherSheetsAndReadBackWhole) {
  struct Case {
    int reads;
    std::vector<std::u16string> sheets;
    int last_sheet_rows;  // the used rows of the last sheet
  };
  const std::vector<Case> cases = {
      {65535, {u"LN40", u"Excel"}, 65536},
      {65536, {u"LN40", u"Excel", u"Excel (2)"}, 2},
      {65535 + 65535, {u"LN40", u"Excel", u"Excel (2)"}, 65536},
      {65535 + 65536, {u"LN40", u"Excel", u"Excel (2)", u"Excel (3)"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reads);
    Tables tables;
    FillReadTimes(tables.times, c.reads);
    const std::vector<std::uint8_t> image = BothTablesImage(tables.sheet_io, tables.times_io);
    TXLSFile book;
    book.OpenMemory(image);
    std::vector<std::u16string> names;
    for (int sheet = 1; sheet <= book.SheetCount(); ++sheet) names.push_back(book.SheetName(sheet));
    ASSERT_EQ(names, c.sheets);
    for (int sheet = 2; sheet <= book.SheetCount(); ++sheet) EXPECT_EQ(CellText(book, sheet, 1, 1), u"row one");
    EXPECT_EQ(CellText(book, 2, 65536, 1), c.reads >= 65535 ? Number(65535) : u"");
    if (book.SheetCount() > 2) {
      EXPECT_EQ(CellText(book, 3, 2, 1), Number(65536));
    }
    book.SetActiveSheet(book.SheetCount());
    EXPECT_EQ(book.UsedRowCount(), c.last_sheet_rows);
    EXPECT_EQ(CellText(book, book.SheetCount(), c.last_sheet_rows, 1), Number(c.reads));

    TGridTable sheet(12), times(6);
    TGridExcelIO sheet_io(sheet), times_io(times);
    RestoreBothTables(image, sheet_io, times_io);
    ASSERT_EQ(times.RowCount(), c.reads + 2);
    EXPECT_EQ(times.Cell(0, 1), "row one");
    int differing = 0;
    for (int row = 2; row < c.reads + 2; ++row) differing += times.Cell(0, row) != std::to_string(row - 1);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(sheet.Cell(0, 1), "Kari");
  }
}

// Further sheets that a longer table left in a file are emptied, so that they are not read
// back as part of the shorter one.
TEST(LongReadTimes, AShorterTableEmptiesTheFurtherSheetsOfALongerOne) {
  test::TempFolder folder;
  const std::string file = folder.File("race.xls");
  Tables tables;
  FillReadTimes(tables.times, 65600);
  SaveBothTables(tables.sheet_io, tables.times_io, file);
  FillReadTimes(tables.times, 3);
  SaveBothTables(tables.sheet_io, tables.times_io, file);
  EXPECT_EQ(SheetNames(file), (std::vector<std::u16string>{u"LN40", u"Excel", u"Excel (2)"}));

  const std::vector<std::uint8_t> bytes = test::ReadBytes(file);
  TGridTable sheet(12), times(6);
  TGridExcelIO sheet_io(sheet), times_io(times);
  RestoreBothTables(bytes, sheet_io, times_io);
  EXPECT_EQ(times.RowCount(), 5);
  EXPECT_EQ(times.Cell(0, 4), "3");
}

// The runner sheet is opened as one sheet: a longer one, or a table wider than a sheet, is
// refused before anything is written, with a message that names the limit.
TEST(LongReadTimes, TablesBeyondOneSheetThatCannotGoOnAreRefused) {
  test::TempFolder folder;
  const std::string file = folder.File("race.xls");
  struct Case {
    const char* name;
    int runner_rows;
    int read_times_columns;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"runner sheet of 65,537 rows", 65537, 6,
       "The table for the sheet \"LN40\" has 65,537 rows; a worksheet holds at most 65,536."},
      {"read-times table of 257 columns", 2, 257,
       "The table for the sheet \"Excel\" has 257 columns; a worksheet holds at most 256."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Tables tables;
    tables.sheet.SetRowCount(c.runner_rows + 1);
    tables.times.SetColCount(c.read_times_columns);
    for (const auto& save : std::vector<std::function<void()>>{
             [&] { SaveBothTables(tables.sheet_io, tables.times_io, file); },
             [&] { AutosaveTables(folder.path().string(), tables.sheet_io, tables.times_io); }}) {
      std::string message;
      try {
        save();
      } catch (const Error& error) {
        message = error.what();
      }
      EXPECT_EQ(message, c.message);
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_FALSE(std::filesystem::exists(AutosaveFilesIn(folder.path().string()).file));
  }
  Tables fits;
  fits.sheet.SetRowCount(65536 + 1);
  EXPECT_NO_THROW(SaveBothTables(fits.sheet_io, fits.times_io, file));
}

}  // namespace
}  // namespace ln40
