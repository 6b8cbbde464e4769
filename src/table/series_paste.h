#pragma once
// Paste of clipboard text into a table, and the widening that turns a paste over a longer
// selection into a fill or a series: type 101 and 102 (or 10:00:00 and 10:01:00) into two
// cells of a column, copy them, select the column, paste, and every row gets the next value.
//
// Works on the table alone; used on the event thread like the table.
#include <string_view>

#include "table/cell_compare.h"
#include "table/grid_selection.h"
#include "table/grid_table.h"

namespace ln40 {

struct PasteOptions {
  // Widen the paste (the view's AllowSmartClipboard); off gives the plain paste alone.
  bool widen = true;
  // Decimals of the table's float format, in which decimal series are written ("%.2f").
  int floatDecimals = 2;
  // Year of a date typed without one; two-digit years are taken within 50 years of it.
  // A view passes the clock's year.
  int defaultYear = kCompareDefaultYear;
};

// What the block that the plain paste wrote looks like.
struct PastedBlock {
  // Fields read, one more when the text ends with a line break (ClipboardBlock::fieldCount).
  int fieldCount = 0;
  int lineCount = 0;        // rows written
  int firstLineFields = 0;  // columns written in the first of them
};

// How a paste was widened beyond the plain paste.
enum class WidenRule {
  None,             // nothing beyond the plain paste (also: a series that could not start)
  FittedSelection,  // the block filled the selection exactly
  Fill,             // one value copied into every selected cell
  Repeat,           // the block repeated down the column or along the row
  IntegerSeries,
  DecimalSeries,
  DateSeries,       // dates (with times when the first value carries one)
  TimeSeries,       // times of day
};

// The plain paste: line k of `text` goes to row `row` + k and field j to column `col` + j.
// Rows are appended while lines remain below the last row, columns while a line is wider
// than the table. Cells outside the table's maximum size are dropped.
PastedBlock PastePlain(TGridTable& table, int col, int row, std::string_view text);

// The widening rules after a plain paste of `block` anchored at the top-left cell of
// `selection` (the selection as it was before the paste). Returns the rule applied.
// A series stops without a message at a value that does not read, a date that does not
// exist or a value beyond the years 1 to 9999; cells written before keep their values.
WidenRule WidenPaste(TGridTable& table, const GridSelection& selection, const PastedBlock& block,
                     const PasteOptions& options);

struct PasteOutcome {
  PastedBlock block;
  WidenRule rule = WidenRule::None;
};

// Paste: the plain paste at the selection's top-left cell, then (when options.widen) the
// widening. An empty text changes nothing.
PasteOutcome PasteText(TGridTable& table, const GridSelection& selection, std::string_view text,
                       const PasteOptions& options = {});

}  // namespace ln40
