#pragma once
// TSheetSink: what the records of a sheet say, decoded, one call per record (one per cell of
// a MULRK or MULBLANK record) in the order of the file. The workbook's record decoder calls
// it for every sheet it reads: the full load (TXLSFile) builds its editable sheet from the
// calls, an import fills its table straight from them (TWorkbookReader, workbook_reader.h).
//
// Rows and columns are 0-based here, as in the records. Every call has a default that
// ignores it, so a sink overrides only what it uses. The decoder has checked each record
// before it calls; a sink does not fail on what it is given.
#include <cstdint>
#include <span>
#include <string>

#include "xls/number_format.h"

namespace ln40 {

enum class TXlsSheetKind { Worksheet, Chart, Unsupported };

// A rectangle of cells, 0-based and inclusive, as the records give it.
struct TCellRange {
  std::uint16_t FirstRow = 0;
  std::uint16_t LastRow = 0;
  std::uint16_t FirstCol = 0;
  std::uint16_t LastCol = 0;
};

// One cell: its place, its XF, the record it comes from and what it shows.
struct TSheetCell {
  // BLANK or MULBLANK, RK or MULRK, NUMBER, LABELSST, LABEL, BOOLERR, FORMULA, RSTRING.
  enum class Source : std::uint8_t { Blank, Rk, Number, SharedString, Label, BoolErr, Formula, RichString };
  int Row = 0;
  int Col = 0;
  int Xf = 0;
  Source From = Source::Blank;
  // Rk: the RK value; SharedString: the entry of the shared string table; BoolErr: the
  // value byte (an error code when IsError).
  std::uint32_t Raw = 0;
  bool IsError = false;
  // What the cell shows: a number, a text, a boolean, an error's text, a formula's stored
  // result (a string result is empty here; its text follows in FormulaText), or nothing for
  // blanks and rich strings (and for a sink that does not want values). One value reused
  // from call to call.
  const CellValue* Value = nullptr;
};

// A COLINFO record ([MS-XLS] 2.4.53): columns First to Last (0-based, inclusive).
struct TColumnInfo {
  int First = 0;
  int Last = 0;
  std::uint16_t Width = 0;
  std::uint16_t Xf = 0;
  std::uint16_t Flags = 0;
  std::uint16_t Reserved = 0;
};

// A SHRFMLA record ([MS-XLS] 2.4.260): the formula shared by the cells of a range.
struct TSharedFormula {
  TCellRange Range;
  std::span<const std::uint8_t> Tokens;  // rgce
  std::span<const std::uint8_t> Extra;   // rgcb
};

class TSheetSink {
 public:
  virtual ~TSheetSink() = default;

  // Whether the cells are wanted with their values; a sink that needs only where the cells
  // are says no, and every cell's value is then empty.
  virtual bool WantsValues() const { return true; }

  // A sheet's section begins; `sheet` counts the sections after the globals from 1, as
  // TXLSFile numbers its sheets.
  virtual void BeginSheet(int /*sheet*/, TXlsSheetKind /*kind*/) {}
  virtual void EndSheet() {}

  virtual void Cell(const TSheetCell& /*cell*/) {}
  // The text of the string result of the formula in the cell at row, col (a STRING record).
  virtual void FormulaText(int /*row*/, int /*col*/, const std::u16string& /*text*/) {}
  // A SHRFMLA record after the formula in the cell at row, col.
  virtual void SharedFormula(int /*row*/, int /*col*/, const TSharedFormula& /*formula*/) {}
  // An ARRAY or TABLE record (`id`) of the formula in the cell at row, col that does not
  // follow the FORMULA record directly.
  virtual void FormulaPart(int /*row*/, int /*col*/, std::uint16_t /*id*/) {}

  // A ROW record: the row has a height, format and outline level of its own. A later
  // record for the same row replaces an earlier one.
  virtual void Row(int /*row*/) {}
  virtual void ColumnInfo(const TColumnInfo& /*info*/) {}
  // The DIMENSIONS record: first row, last row + 1, first column, last column + 1.
  virtual void Dimensions(std::uint32_t /*first_row*/, std::uint32_t /*last_row1*/, int /*first_col*/,
                          int /*last_col1*/) {}
  // A MERGEDCELLS record's ranges.
  virtual void MergedRanges(std::span<const TCellRange> /*ranges*/) {}

  // Any other record (`id`), kept as it is by a sink that writes the sheet back. Records of
  // a chart or other sheet come this way, and those of a chart embedded in a worksheet,
  // its BOF and EOF included, with `embedded`.
  virtual void OtherRecord(std::uint16_t /*id*/, bool /*embedded*/) {}
};

}  // namespace ln40
