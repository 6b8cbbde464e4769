#pragma once
// Cell addresses and the selection rectangle of a table view, as the view-free editing logic
// (clipboard, series paste, row keys, heading sort, find) takes them from a view.
#include <algorithm>

#include "table/grid_table.h"

namespace ln40 {

// One cell, column first like TGridTable::Cell.
struct CellRef {
  int col = 0;
  int row = 0;

  friend bool operator==(const CellRef&, const CellRef&) = default;
};

// The selected rectangle of a view: columns left..right and rows top..bottom, both ends
// included. A view's selection always holds its current cell and never the header row.
struct GridSelection {
  int left = 0;
  int top = 1;
  int right = 0;
  int bottom = 1;

  static GridSelection AtCell(int col, int row) { return {col, row, col, row}; }
  static GridSelection Cells(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
  // The whole body of column `col`, as a click on nothing but that column would select it.
  static GridSelection BodyOfColumn(const TGridTable& table, int col) {
    return {col, 1, col, table.RowCount() - 1};
  }

  int Width() const { return right - left + 1; }
  int Height() const { return bottom - top + 1; }
  long long CellCount() const { return static_cast<long long>(Width()) * Height(); }
  bool Contains(int col, int row) const { return col >= left && col <= right && row >= top && row <= bottom; }

  // The rectangle with its corners in order and cut to the body of `table`.
  GridSelection ClampedTo(const TGridTable& table) const {
    GridSelection s{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    s.left = std::clamp(s.left, 0, table.ColCount() - 1);
    s.right = std::clamp(s.right, 0, table.ColCount() - 1);
    s.top = std::clamp(s.top, 1, table.RowCount() - 1);
    s.bottom = std::clamp(s.bottom, 1, table.RowCount() - 1);
    return s;
  }

  friend bool operator==(const GridSelection&, const GridSelection&) = default;
};

}  // namespace ln40
