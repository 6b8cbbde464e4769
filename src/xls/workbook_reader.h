#pragma once
// TWorkbookReader: the sheets of an Excel 97-2003 workbook file read straight from its
// records into a TSheetSink, without the editable model TXLSFile builds: for an import that
// needs only what each cell shows.
//
// Opening reads the whole workbook stream with the record decoder the full load uses, so a
// file opens here exactly when TXLSFile opens it, with the same messages (see xls_file.h),
// and each sheet's used range and merged ranges are known before any cell is read.
// ReadSheet then decodes the records of one sheet once more, into the caller's sink. The
// stream is read where it lies in the file's image; nothing is kept per cell.
//
// Sheets, rows and columns are numbered as TXLSFile numbers them and its answers are the
// same for a file it has just opened. Not thread-safe.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "xls/merged_range_index.h"
#include "xls/number_format.h"
#include "xls/sheet_sink.h"

namespace ln40 {

class TWorkbookReader {
 public:
  TWorkbookReader();
  ~TWorkbookReader();
  TWorkbookReader(const TWorkbookReader&) = delete;
  TWorkbookReader& operator=(const TWorkbookReader&) = delete;

  // Opens a file (Windows-1252 name), as TXLSFile::OpenFile does, or a file image held in
  // memory, which must outlive the reader. Replaces what was opened before.
  void OpenFile(const std::string& file_name);
  void OpenMemory(std::span<const std::uint8_t> image, const std::string& display_name = "(memory)");

  int SheetCount() const;
  std::u16string SheetName(int sheet) const;
  TXlsSheetKind SheetKind(int sheet) const;
  // The used range: the last row and column that hold a cell record, and rows with a ROW
  // record of their own; 0 for a sheet that is not a worksheet or does not exist.
  int UsedRowCount(int sheet) const;
  int UsedColCount(int sheet) const;
  // Every merged range of the sheet, in order.
  const TMergedRangeIndex& MergedRanges(int sheet) const;
  // The date system the workbook's serials count in.
  DateSystem Dates() const;
  // The number format code of XF `xf`; an index outside the XF list gives XF 0's.
  const std::u16string& NumberFormat(int xf) const;

  // Reads the records of sheet `sheet` into `sink`, from BeginSheet to EndSheet; nothing
  // for a sheet that does not exist.
  void ReadSheet(int sheet, TSheetSink& sink);

 private:
  struct SheetOutline;
  struct Opened;
  class Outliner;
  void Read(std::unique_ptr<Opened> opened);
  const SheetOutline* Outline(int sheet) const;

  std::unique_ptr<Opened> opened_;
};

}  // namespace ln40
