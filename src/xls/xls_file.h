#pragma once
// TXLSFile: an Excel 97-2003 workbook (BIFF8 records in the "Workbook" stream of a compound
// file) held in memory, read and changed cell by cell and written back as a whole.
//
// Reading: OpenFile loads a file; the read operations answer for the active sheet. Records
// the model does not interpret are kept byte for byte, so SaveFile writes a loaded file
// back with only the changed parts altered; the shared string table, the sheet offsets,
// the dimensions and the row blocks are produced anew.
//
// Writing: a new workbook starts from the embedded empty workbook (NewFile), sheets are
// inserted from the embedded empty worksheet; SaveFile writes a new file and never
// replaces an existing one.
//
// Rows and columns are 1-based at this interface (row 1 to 65536, column 1 to 256); a value
// outside raises "Invalid Row (%d)" or "Invalid Column (%d)" with the 0-based value. Sheet
// numbers are 1-based. Errors are ln40::Error with the text shown to the user:
//   Can't find the file "%s"                             OpenFile: no such file
//   Error reading Excel records. File invalid            damaged records
//   Template file is saved with an invalid Excel version a BIFF version other than 8
//   File is password protected                           an encrypted workbook
//   Sheet name already exists: %s                        duplicate sheet names
//   Can't write to file "%s". Check it is not in use by another user
//                                                        SaveFile onto an existing file
//   To save this file, you must select a visible sheet   a hidden sheet is selected
//   There are not visible sheets on the file             every sheet is hidden
//   Number of ROW record is not the same that the cell count
//   Error writing output file                            the file could not be written
//   and the formula compiler's messages (SetCellFormula), and those of the compound file
//   layer (ole2_storage.h).
// Not thread-safe; one instance is used by one exchange at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "xls/merged_range_index.h"
#include "xls/number_format.h"
#include "xls/sheet_sink.h"
#include "xls/xls_format.h"
#include "xls/xls_storage.h"

namespace ln40 {

namespace xls {
class TWorkbook;
class TWorkSheet;
class TSheet;
}  // namespace xls

// A cell's value and XF index (-1 when the cell has no record).
struct TXlsCellValue {
  CellValue Value;
  int XF = -1;
};

class TXLSFile {
 public:
  TXLSFile();
  ~TXLSFile();
  TXLSFile(const TXLSFile&) = delete;
  TXLSFile& operator=(const TXLSFile&) = delete;
  TXLSFile(TXLSFile&&) noexcept;
  TXLSFile& operator=(TXLSFile&&) noexcept;

  // ---- loading ----

  // Loads a file (Windows-1252 name). A name that does not exist is tried with ".xls"
  // added when it has no extension. Replaces any previous content; ActiveSheet becomes
  // WINDOW1's current tab + 1 (1 without WINDOW1).
  void OpenFile(const std::string& file_name);
  // Loads a file image held in memory; `display_name` stands for the file in messages.
  void OpenMemory(std::span<const std::uint8_t> image, const std::string& display_name = "(memory)");

  // ---- reading (the active sheet) ----

  int SheetCount() const;
  // The sheet cell operations address, 1-based; setting does not check the range (cell
  // operations on a number without a sheet read as empty and fail to write).
  int ActiveSheet() const { return active_sheet_; }
  void SetActiveSheet(int sheet) { active_sheet_ = sheet; }
  TXlsSheetKind SheetKind(int sheet) const;
  std::u16string SheetName(int sheet) const;
  std::u16string ActiveSheetName() const { return SheetName(active_sheet_); }

  // The used range: the 1-based number of the last row that holds a cell record or has a
  // ROW record of its own, and of the last column that holds a cell record; 0 when there is
  // none. (The column range a ROW record states is not used: writers give it as they like.)
  int UsedRowCount() const;
  int UsedColCount() const;

  CellValue GetCellValue(int row, int col) const;
  TXlsCellValue GetCell(int row, int col) const;
  // The same into `into`, whose text's room is reused: for reading many cells.
  void GetCell(int row, int col, TXlsCellValue& into) const;
  // The XF index of the cell record, -1 when there is none.
  int CellFormatIndex(int row, int col) const;
  // The XF the row's ROW record carries when it has its has-format flag, -1 otherwise.
  int RowFormat(int row) const;
  // The XF of the COLINFO covering the column, -1 when none does.
  int ColumnFormat(int col) const;
  // The decoded XF; an index outside the XF list gives that of XF 0.
  TCellFormat GetFormat(int xf) const;
  // GetFormat(xf).NumberFormat without the copy, for rendering many cells. The reference
  // lasts until the next change of the workbook.
  const std::u16string& NumberFormat(int xf) const;
  int XfCount() const;
  // The merged range containing the cell, or the cell itself as a 1-by-1 range.
  TXlsRange MergedRange(int row, int col) const;
  // Every merged range of the active sheet, in order.
  std::vector<TXlsRange> MergedRanges() const;
  // The date system of the workbook's serials (the DATEMODE record, kept when saved).
  DateSystem Dates() const;
  // Every cell record of the active sheet into `sink`, row by row and left to right, as
  // Cell calls between BeginSheet and EndSheet (a formula with its result whole).
  void ReadCells(TSheetSink& sink) const;
  // Row height in twips (ROW record), -1 without a ROW record.
  int RowHeight(int row) const;
  int RowOutlineLevel(int row) const;
  // Column width in 1/256 of a character (COLINFO), -1 without one.
  int ColumnWidth(int col) const;

  // ---- writing ----

  // Starts from the embedded empty workbook with `sheet_count` sheets (at least 1).
  void NewFile(int sheet_count = 1);
  // Inserts `count` empty worksheets before sheet `before` (SheetCount() + 1 appends), each
  // named uniquely from the base "Sheet".
  void InsertSheets(int before, int count);
  // Replaces the active worksheet by an empty one, then SelectSheet(ActiveSheet()).
  void ClearSheet();
  // Renames the active sheet; "Sheet name already exists: %s" when another sheet has the
  // name (case-sensitive).
  void SetActiveSheetName(const std::u16string& name);
  // Makes sheet n the selected and shown sheet and WINDOW1's current tab.
  void SelectSheet(int sheet);

  // Stores a value: empty gives a BLANK record only when `xf` differs from the position's
  // default XF; a number an RK record when it has an RK form, else NUMBER; a non-empty
  // string a LABELSST; a boolean a BOOLERR. `xf` -1 keeps the XF of the cell replaced, or
  // the default XF of the position (the row's, the column's or 15).
  void SetCellValue(int row, int col, const CellValue& value, int xf = -1);
  // Compiles a formula text ("=SUM(A1:A3)") into a FORMULA record; the cell keeps its XF.
  void SetCellFormula(int row, int col, const std::u16string& text);
  // The index of an XF equal to the format, appending XF, FONT and FORMAT records as needed.
  int AddFormat(const TCellFormat& format);
  // The palette entry (1 to 55) nearest to a colour.
  int NearestColorIndex(TRgb color) const;
  // Width in 1/256 of a character.
  void SetColumnWidth(int col, int width);
  // Height in twips; sets the custom-height flag.
  void SetRowHeight(int row, int height);
  void MergeCells(int first_row, int first_col, int last_row, int last_col);
  // Outline level 0-7 of the rows; the sheet's GUTS record is recomputed at the save.
  void SetRowOutlineLevel(int first_row, int last_row, int level);

  // Writes the workbook as a new file; an existing file of that name is an error. The file
  // appears only when it is written completely (temporary file, flush, rename).
  void SaveFile(const std::string& file_name);
  // Writes the workbook as a file image in memory.
  std::vector<std::uint8_t> SaveToMemory();
  // Writes the workbook as a file image and hands it to `take` in pieces, in file order, the
  // workbook stream among them as it was made, never copied; the pieces last until `take`
  // returns. For writing a large workbook on to a file.
  using TImagePieces = std::span<const std::span<const std::uint8_t>>;
  void SaveInPieces(const std::function<void(TImagePieces)>& take);
  // The workbook stream alone, as SaveFile writes it.
  std::vector<std::uint8_t> WorkbookStream();

  // ---- inside, for tests and the exchange ----
  xls::TWorkbook& Workbook() { return *book_; }
  const xls::TWorkbook& Workbook() const { return *book_; }
  const TXlsStorageList& OtherStreams() const { return other_streams_; }

 private:
  void Load(std::span<const std::uint8_t> stream, TXlsStorageList kept);
  void LoadFrom(TOle2Storage& storage);
  const xls::TWorkSheet* ActiveWorkSheet() const;
  // Raises the ActiveSheet range error when ActiveSheet names no sheet.
  void CheckActiveSheet() const;
  // The active worksheet to change; null for a chart or unsupported sheet (changes do
  // nothing there); an error when ActiveSheet names no sheet.
  xls::TWorkSheet* WritableSheet();
  void WriteContainer(TOle2Storage& storage, std::vector<std::uint8_t> stream);

  std::unique_ptr<xls::TWorkbook> book_;
  TXlsStorageList other_streams_;
  int active_sheet_ = 1;
  // Counts changes of the sheet structure and merged ranges, for the caches below.
  std::uint64_t version_ = 0;
  std::optional<std::pair<TCellFormat, int>> last_format_;
  std::uint64_t last_format_version_ = 0;
  // Decoded XFs, filled as they are asked for; cleared by every change of the XF, FONT or
  // FORMAT lists.
  const TCellFormat& CachedFormat(int xf) const;
  TCellFormat DecodeFormat(int xf) const;
  mutable std::vector<std::unique_ptr<TCellFormat>> format_cache_;
  mutable const xls::TWorkSheet* merge_cache_sheet_ = nullptr;
  mutable std::uint64_t merge_cache_version_ = 0;
  mutable TMergedRangeIndex merge_cache_;
};

// The container of a workbook file (Windows-1252 name) as OpenFile opens it: a name that
// does not exist is tried with ".xls" added when it has no extension.
TOle2Storage OpenWorkbookFile(const std::string& file_name);

}  // namespace ln40
