#pragma once
// The XF a sheet cell is shown with, as both directions of the exchange read it.
#include "xls/xls_file.h"

namespace ln40 {

// The default cell XF of a BIFF8 workbook.
constexpr int kDefaultCellXf = 15;

// The XF of a sheet cell as the exchange reads it: the cell's own, else the row's when it
// carries one other than XF 0, else the column's, else the default cell XF.
inline int EffectiveXf(const TXLSFile& book, int row, int col, int cell_xf) {
  if (cell_xf >= 0) return cell_xf;
  const int row_xf = book.RowFormat(row);
  if (row_xf > 0) return row_xf;
  const int col_xf = book.ColumnFormat(col);
  if (col_xf >= 0) return col_xf;
  return kDefaultCellXf;
}

}  // namespace ln40
