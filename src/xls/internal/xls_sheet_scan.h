#pragma once
// TSheetScan: the cell values of a workbook's first sheet, read straight from the records
// of its workbook stream, for an import that needs only what each cell holds. No editable
// model is built, so opening a sheet of 65,000 runners this way takes a fraction of the
// time and memory of a full load (TXLSFile).
//
// The scan reads plain workbooks, as this program and most others write them: the first
// sheet a worksheet whose cells come in row order, each place once, without merged cells,
// embedded charts, array or table formulas or CONTINUE records. Anything else, damaged or
// merely unusual, makes Scan return false: the caller then loads the workbook in full,
// which also gives a damaged file its proper message. What Scan accepts loads in full
// without error and gives the same values, XF indexes, number formats and used range (the
// workbook fuzzer checks this on every input). Not thread-safe.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "xls/number_format.h"
#include "compound_file/ole2_storage.h"
#include "xls_model.h"

namespace ln40 {

class TSheetScan {
 public:
  // Scans the "Workbook" stream of an opened file. On success the scan keeps the storage
  // (moved from `storage`), whose image it reads; on false `storage` is left as it was.
  // Throws the storage's error when there is no workbook stream.
  bool Scan(TOle2Storage& storage);
  // Scans a workbook stream the caller keeps alive as long as the scan is read.
  bool ScanStream(std::span<const std::uint8_t> stream);

  // The number of sheets the workbook lists (at least 1 after a successful scan).
  int SheetCount() const { return sheet_count_; }
  // The 1-based number of the last row of the first sheet that has a ROW record, and the
  // largest last-column-plus-one of those records (at most 256); as TXLSFile gives them.
  int UsedRowCount() const { return used_rows_; }
  int UsedColCount() const { return used_cols_; }
  // The number format code of XF `xf`; an index outside the XF list gives XF 0's.
  const std::u16string& NumberFormat(int xf) const;

  // Calls `take(row, col, value, xf)` for every cell of the first sheet that has a value,
  // row by row and left to right, rows and columns 1-based, wherever the used range ends.
  // `value` is one object reused from call to call.
  using CellTaker = std::function<void(int row, int col, const CellValue& value, int xf)>;
  void ForEachCell(const CellTaker& take) const;

 private:
  bool ScanRecords();
  bool ReadGlobals(xls::TRecordReader& reader);
  template <typename Records>
  bool ReadSheet(Records& records, bool first);
  void Reset();

  std::optional<TOle2Storage> storage_;
  std::vector<std::uint8_t> copy_;  // the stream, when it is not one run in the image
  std::span<const std::uint8_t> stream_;
  std::size_t first_sheet_ = 0;  // stream offset of the first sheet's records after its BOF
  xls::TWorkbookGlobals globals_;  // the formats, XFs and strings
  std::vector<std::u16string> xf_codes_;
  int sheet_count_ = 0;
  int used_rows_ = 0;
  int used_cols_ = 0;
};

}  // namespace ln40
