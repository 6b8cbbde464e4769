#pragma once
// What the INS, DEL and Enter keys do to the rows of a table and its current cell.
// Which key reaches which rule (modifiers, the cell editor, the view's settings) is decided in
// grid_keys.h; these are the rules themselves. Event thread only, like the table.
#include <functional>

#include "table/grid_selection.h"
#include "table/grid_table.h"

namespace ln40 {

// Told the row that INS has just inserted; the runner sheet writes its previous class there
// (the window's answer to StringGrid2AutoInsertRow).
using InsertedRowNotice = std::function<void(int row)>;

// INS: one empty row before the current row. The current cell keeps its row number, which now
// names the new row; then `notice` (when set) runs for it. Returns the new row.
int InsertRowAtCurrent(TGridTable& table, const InsertedRowNotice& notice = {});

// DEL: removes the current row and the rows below move up; when it is the only body row it is
// emptied instead and stays. Nothing happens while the current row is not a body row.
void DeleteCurrentRow(TGridTable& table);

// Enter: the current cell moves to the next visible column to its right; from the last one to
// the first visible column of the next row; from the last one of the last row an empty row is
// appended first when `append_at_end` (AdvanceInsert), else the cell stays. Returns the new
// current cell.
CellRef AdvanceOnEnter(TGridTable& table, bool append_at_end = true);

}  // namespace ln40
