#pragma once
// The XF a sheet cell is shown with, as both directions of the exchange read it.
#include "xls/xls_file.h"

namespace ln40 {

// The default cell XF of a BIFF8 workbook.
constexpr int kDefaultCellXf = 15;

// The XF of a sheet cell as the exchange reads it: the cell's own, else the row's when it
// carries one other than XF 0, else the column's, else the default cell XF.
// `row_xf` and `col_xf` are RowFormat and ColumnFormat, for a caller that reads them once
// for many cells.
inline int EffectiveXf(int cell_xf, int row_xf, int col_xf) {
  if (cell_xf >= 0) return cell_xf;
  if (row_xf > 0) return row_xf;
  if (col_xf >= 0) return col_xf;
  return kDefaultCellXf;
}

inline int EffectiveXf(const TXLSFile& book, int row, int col, int cell_xf) {
  if (cell_xf >= 0) return cell_xf;
  return EffectiveXf(cell_xf, book.RowFormat(row), book.ColumnFormat(col));
}

}  // namespace ln40
