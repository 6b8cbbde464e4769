#include "table/row_keys.h"

#include <algorithm>
#include <string>

namespace ln40 {
namespace {

int FirstVisibleColumn(const TGridTable& table, int from) {
  for (int c = std::max(from, 0); c < table.ColCount(); ++c) {
    if (!table.IsColumnHidden(c)) return c;
  }
  return -1;
}

}  // namespace

int InsertRowAtCurrent(TGridTable& table, const InsertedRowNotice& notice) {
  const int row = std::clamp(table.Row(), 1, table.RowCount() - 1);
  const int before = table.RowCount();
  table.InsertRow(row);
  if (table.RowCount() == before) return -1;  // the table is as long as it can be
  table.SetRow(row);
  if (notice) notice(row);
  return row;
}

void DeleteCurrentRow(TGridTable& table) {
  const int row = table.Row();
  if (row < 1 || row >= table.RowCount()) return;
  if (table.RowCount() > 2) {
    table.DeleteRow(row);
    return;
  }
  const std::string empty;
  for (int c = 0; c < table.ColCount(); ++c) table.SetCell(c, row, empty);
}

CellRef AdvanceOnEnter(TGridTable& table, bool append_at_end) {
  const int row = std::clamp(table.Row(), 1, table.RowCount() - 1);
  int col = FirstVisibleColumn(table, table.Col() + 1);
  int next_row = row;
  if (col < 0) {
    next_row = row + 1;
    if (next_row >= table.RowCount()) {
      const int before = table.RowCount();
      if (append_at_end) table.AddRow();
      if (table.RowCount() == before) return {table.Col(), table.Row()};
    }
    col = FirstVisibleColumn(table, 0);
  }
  table.SetCol(col);
  table.SetRow(next_row);
  return {col, next_row};
}

}  // namespace ln40
