#pragma once
// TGridExcelIO: the exchange between one TGridTable and Excel 97-2003 workbook files.
//
// ImportFile loads the first sheet of a workbook (or a .csv / .txt file) into the bound
// table, every cell shown as its number format displays it; a workbook's cells go from its
// records straight into the table (TWorkbookReader), no editable workbook is built. ExportFile writes the bound
// table into one named sheet of a workbook file: texts that read as numbers, booleans,
// dates or times become typed cells, and every cell gets a format built from the table's
// look (font, band fill, alignment). An existing file is updated: its other sheets and
// streams are kept, and it is replaced only by a complete new file (temporary file in the
// same folder, flushed, renamed over it), so a failed export leaves it untouched.
//
// The header row (row 0) of the table is never exchanged; table row r is sheet row r and
// table column c is sheet column c + 1 (hidden columns are left out of an export, the
// visible ones closing up from column A).
//
// File and sheet names are Windows-1252 text like every text of the system. Errors are
// ln40::Error with the text shown to the user (those of xls_file.h and ole2_storage.h, and
//   Cannot open file "%s". <reason>                      a .csv/.txt file that cannot be read
//   The index "%d" of the property "%s" is not in the range %d-%d
//                                                        a workbook without sheets
//   Sheet name already exists: %s                        export under a name another sheet has
//   Can't write file "%s". <reason>                      the finished file cannot be put in place
//   The table for the sheet "%s" has %s rows; a worksheet holds at most 65,536.
//   The table for the sheet "%s" has %s columns; a worksheet holds at most 256.
//                                                        an export beyond one sheet (TLongTable)
//   "%s" has %s columns; a worksheet holds at most 256.  a .csv / .txt file beyond one sheet,
//   "%s" has %s rows; a worksheet holds at most 65,536.  refused before the table is touched
// ). An import that fails before it touches the table leaves the table unchanged.
//
// Each call reads or builds its own workbook in memory and releases it at the end; the
// object keeps only its settings. Not thread-safe; used on the event thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "table/grid_table.h"
#include "table/table_look.h"
#include "text/clock.h"
#include "text/locale.h"
#include "xls/xls_file.h"
#include "xls/xls_format.h"

namespace ln40 {

class TWorkbookReader;

// What an export does with a file that exists already. The system uses omNever: the file
// is opened and updated, never confirmed or deleted beforehand.
enum class TOverwriteMode { omNever, omAlways, omConfirm };

// The exchange settings. Both exchange objects of the system use these defaults and nothing
// changes them at run time; the flags that are honoured are marked.
struct TGridExcelIOSettings {
  int GridStartRow = 1;  // first table row exchanged
  int XlsStartRow = 1;   // its sheet row (1-based)
  int GridStartCol = 0;  // first table column exchanged
  int XlsStartCol = 1;   // its sheet column (1-based)
  bool AutoResizeGrid = true;   // honoured: the import resizes the table to the sheet
  bool ZoomSaved = true;
  bool UseUnicode = false;      // texts pass through the Windows-1252 code page
  std::u16string TimeFormat = u"hh:mm:ss";  // honoured: number format of exported times
  std::u16string DateFormat;                // honoured: empty = the locale's short date format
  bool ImportCellFormats = true;     // honoured: off shows the plain value
  bool ImportCellProperties = false;
  bool ImportCellSizes = false;
  bool ImportFormulas = false;       // a formula cell imports as its stored result
  bool ImportImages = false;
  bool ExportCellFormats = true;     // honoured: off writes every text as a string
  bool ExportCellProperties = true;  // honoured: off leaves the cells' formats alone
  bool ExportCellSizes = true;       // honoured: row heights and column widths
  bool ExportFormulas = true;        // honoured: off writes "=..." as a string
  bool ExportHTMLTags = true;
  bool ExportWordWrapped = false;    // honoured: on sets wrap on every cell
  bool ExportHiddenColumns = false;  // honoured: on writes hidden columns too
  TOverwriteMode ExportOverwrite = TOverwriteMode::omNever;
};

// A table longer than a worksheet holds (65,536 rows below its header row). The read-times
// table grows for as long as the reader sends and goes on in further sheets: "Excel" holds
// table rows 1 to 65,536, "Excel (2)" the next 65,535 below a copy of table row 1 (so that
// each sheet reads as a table of its own, laid out as the first), "Excel (3)" the next, and
// so on. A table that is opened as one sheet (the runner sheet) is refused instead, with a
// message that names the limit, before anything is written.
enum class TLongTable { Refuse, ContinueOnFurtherSheets };

// A table text beginning with "=" that the formula compiler rejects: a save the organiser
// asked for ends with the compiler's message, so that the text can be put right; the
// autosave writes it as the text it is, since one stray line from the reader must not stop
// the tables from being kept safe.
enum class TBadFormulas { EndTheExport, WriteAsText };

class TGridExcelIO {
 public:
  // Binds the exchange to `table`. `look` is the look the table is shown with (fonts, band
  // colours, alignment, row height; the one printing and the HTML page use too); ImportFile
  // sets its vertical alignment to bottom. Without one, the exchange keeps its own banded
  // look with the default fonts and colours. Table and look must outlive the exchange.
  explicit TGridExcelIO(TGridTable& table, TableLook* look = nullptr);

  TGridExcelIOSettings& Settings() { return settings_; }
  const TGridExcelIOSettings& Settings() const { return settings_; }

  // The regional settings used for separators, the short date and time formats and the
  // rendering of imported values; the bound table's locale unless one is set here.
  void SetLocale(const Locale& locale);
  const Locale& GetLocale() const;
  // The clock that gives the year of a date written without one ("1-2"); the machine's
  // clock unless one is set. The clock must outlive the exchange.
  void SetClock(const Clock* clock) { clock_ = clock; }

  TGridTable& Table() { return table_; }
  const TableLook& Look() const { return look_ ? *look_ : own_look_; }

  // Loads the first sheet of `file_name` into the table. ".csv" (any case) is read as text
  // delimited by the locale's list separator, ".txt" as text delimited by tabs, any other
  // extension as a workbook. The table's texts, merges and size follow the sheet. Times
  // in delimited text are shown with the locale's long time format, so seconds survive.
  void ImportFile(const std::string& file_name);

  // Writes the table into the sheet `sheet_name` of `file_name`. An existing file is
  // opened; a sheet of that name (case-sensitive) is emptied and rewritten, otherwise a new
  // sheet is inserted at `position` (1-based; -1 or out of range: after the last sheet).
  // A missing file is created with that one sheet. `selected_sheet` (1-based) is the sheet
  // shown when the file is opened. The system calls it with position -1 and sheet 1.
  void ExportFile(const std::string& file_name, const std::string& sheet_name, int position = -1,
                  int selected_sheet = 1) const;

  // ---- the steps, for callers that put several tables into one file with one write ----

  // Makes `sheet_name` the active sheet of `book` as ExportFile step 1 does (emptied when
  // it exists, inserted at `position` otherwise), writes the table into it and names it.
  // `fresh_book`: the book is a NewFile(1) whose only sheet is to be used as it is.
  // `bad_formulas`: what a text beginning with "=" that does not compile does (see
  // TBadFormulas). `long_table`: what a table longer than a sheet does (see TLongTable);
  // further sheets go right after the first (or stay where a sheet of their name is), and
  // further sheets of the name that the table no longer needs are emptied. A table wider
  // than a sheet (256 columns written) is refused before anything is written.
  void ExportSheet(TXLSFile& book, const std::string& sheet_name, int position, bool fresh_book = false,
                   TBadFormulas bad_formulas = TBadFormulas::EndTheExport,
                   TLongTable long_table = TLongTable::Refuse) const;
  // Writes the table into the active sheet of `book`: row heights, column widths, cells
  // with their formats, merges, formulas, outline levels of a grouped table. A table
  // beyond one sheet is refused before anything is written.
  void ExportData(TXLSFile& book, TBadFormulas bad_formulas = TBadFormulas::EndTheExport) const;
  // Loads sheet `sheet` (1-based) of a workbook file opened by a TWorkbookReader into the
  // table (ImportFile takes sheet 1 of the file it reads).
  void ImportSheet(TWorkbookReader& reader, int sheet = 1);
  // The same from a loaded workbook: the same table as ImportSheet of its file.
  void ImportBook(TXLSFile& book, int sheet = 1);

  // Stores `text` in the cell (1-based) as the typed value it reads as: a number (thousands
  // separators allowed where they group by three), TRUE/FALSE as a boolean, a date or time
  // with its number format, else a string; an empty text stores nothing (a BLANK record
  // when the format asks for one). `format` given: the cell gets it; otherwise the cell
  // keeps its format (a date or time changes only its number format). Empty date/time
  // formats stand for the locale's short date and short time formats.
  void SetCellFromText(TXLSFile& book, int row, int col, const std::u16string& text, const TCellFormat* format,
                       const std::u16string& date_format, const std::u16string& time_format) const;

  // Whether `text` reads as a date, a time of day or both (see date_time_text.h); on
  // success `value` is the day number and `format_code` the number format to show it with.
  bool ReadDateTimeText(const std::u16string& text, const std::u16string& date_format,
                        const std::u16string& time_format, double& value, std::u16string& format_code) const;

 private:
  int DefaultYear() const;
  // Table rows First to Last written to sheet rows from SheetRow on.
  struct RowRun {
    int First;
    int Last;
    int SheetRow;
  };
  // The table's columns that an export writes, in sheet order.
  std::vector<int> ExportedColumns() const;
  // Refuses `rows` rows and `columns` columns for the sheet `sheet_name` when one sheet cannot
  // hold them.
  void CheckFitsOneSheet(const std::string& sheet_name, std::int64_t rows, std::size_t columns) const;
  // ExportData of the given runs of rows: the export of one sheet of a table.
  void ExportRows(TXLSFile& book, TBadFormulas bad_formulas, const std::vector<RowRun>& runs) const;
  // Empties the table for an import and sizes it to the sheet's used range; returns the
  // last row and column (1-based) of the sheet that the table takes.
  std::pair<int, int> StartImport(int used_rows, int used_cols);
  // The import of a sheet's cells, from either source (grid_excel_import.cpp).
  struct SheetSource;
  class CellImport;
  void ImportCells(const SheetSource& sheet);
  TableLook& MutableLook() { return look_ ? *look_ : own_look_; }

  TGridTable& table_;
  TableLook own_look_;
  TableLook* look_;  // the caller's look, or null for own_look_ (so copies stay sound)
  TGridExcelIOSettings settings_;
  bool has_locale_ = false;
  Locale locale_;
  const Clock* clock_ = nullptr;
};

// One table and the sheet it goes to, for ExportTables.
struct TSheetExport {
  const TGridExcelIO* Exchange = nullptr;
  std::string SheetName;
  int Position = -1;  // where a new sheet is inserted, as for ExportFile
  TLongTable LongTable = TLongTable::Refuse;
};

// Writes several tables into one file with a single write, each as ExportFile would write
// it, in the order given. The same file as calling ExportFile for each in turn, but a
// failure at any point leaves the original file (or the absence of one) as it was.
void ExportTables(const std::string& file_name, const std::vector<TSheetExport>& sheets, int selected_sheet = 1);

// Writes `book` to `file_name`, replacing a file of that name only when the new one is
// complete (temporary file in the same folder, flushed, renamed over the target; the old
// file's permissions are kept). On failure the target is untouched and no temporary file
// remains.
void SaveWorkbookReplacing(TXLSFile& book, const std::string& file_name);

}  // namespace ln40
