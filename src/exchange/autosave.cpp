#include "exchange/autosave.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <optional>
#include <string_view>

#include "text/error.h"
#include "text/file_replace.h"
#include "exchange/autosave_rotation.h"
#include "exchange/workbook_commands.h"
#include "xls/xls_file.h"

namespace ln40 {

std::vector<std::uint8_t> BothTablesImage(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times) {
  TXLSFile book;
  book.NewFile(1);
  runner_sheet.ExportSheet(book, kRunnerSheetName, -1, true, TBadFormulas::WriteAsText);
  read_times.ExportSheet(book, kReadTimesSheetName, -1, false, TBadFormulas::WriteAsText,
                         TLongTable::ContinueOnFurtherSheets);
  book.SelectSheet(1);
  return book.SaveToMemory();
}

void AutosaveTables(const std::string& folder, const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times) {
  WriteAutosave(folder, BothTablesImage(runner_sheet, read_times));
}

void WriteAutosave(const std::string& folder, const std::vector<std::uint8_t>& image) {
  RotateAutosave(AutosaveFilesIn(folder), [&image](const std::string& path) {
    WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
  });
  // The workbook is built whole in memory, a few kB a table row, and freed again. The C
  // library keeps freed heap resident, and the rows added until the next tick settle in
  // it, so a station running for hours would keep a little more every minute than its
  // tables hold. The free pages go back to the system here (well under a millisecond).
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

namespace {

// The 1-based number of the sheet called `name`, else `fallback`.
int SheetNumber(const TXLSFile& book, const std::string& name, int fallback) {
  const std::u16string wanted(name.begin(), name.end());
  for (int sheet = 1; sheet <= book.SheetCount(); ++sheet) {
    if (book.SheetName(sheet) == wanted) return sheet;
  }
  return fallback;
}

// A read-times table too long for one sheet goes on in "Excel (2)", "Excel (3)", ..., each
// holding a copy of table row 1 and then the next rows: those rows are appended to the
// table, with their merges. An emptied further sheet adds nothing.
void AppendFurtherSheets(TXLSFile& book, TGridExcelIO& read_times) {
  TGridTable& table = read_times.Table();
  for (int part = 2;; ++part) {
    const int sheet = SheetNumber(book, std::string(kReadTimesSheetName) + " (" + std::to_string(part) + ")", 0);
    if (sheet == 0) return;
    TGridTable rows(table.ColCount());
    TGridExcelIO part_io(rows);
    part_io.Settings() = read_times.Settings();
    part_io.SetLocale(read_times.GetLocale());
    part_io.ImportBook(book, sheet);
    const int added = rows.RowCount() - 2;  // below the copy of row 1
    if (added <= 0) continue;
    const int at = table.RowCount() - 2;  // table row at + r takes row r of the sheet's table
    table.SetRowCount(table.RowCount() + added);
    if (rows.ColCount() > table.ColCount()) table.SetColCount(rows.ColCount());
    for (int r = 2; r < rows.RowCount(); ++r) {
      for (int c = 0, used = rows.UsedWidth(r); c < used; ++c) {
        const std::optional<MergeSpan> span = rows.MergeSpanAt(c, r);
        if (span && (span->col != c || span->row != r)) continue;  // the merge's own cell holds it
        if (span) table.SetMergeSpan(c, at + r, span->width, span->height);
        table.SetCell(c, at + r, rows.Cell(c, r));
      }
    }
  }
}

}  // namespace

void RestoreBothTables(std::span<const std::uint8_t> image, TGridExcelIO& runner_sheet, TGridExcelIO& read_times) {
  TXLSFile book;
  book.OpenMemory(image, "autosave");
  const int runner_sheet_number = SheetNumber(book, kRunnerSheetName, 1);
  const int read_times_number = SheetNumber(book, kReadTimesSheetName, 2);
  if (book.SheetCount() < std::max(runner_sheet_number, read_times_number)) {
    throw Error("The autosave holds no read-times sheet");
  }
  runner_sheet.ImportBook(book, runner_sheet_number);
  read_times.ImportBook(book, read_times_number);
  AppendFurtherSheets(book, read_times);
}

}  // namespace ln40
