#pragma once
// The read-times table: one row per data message in arrival order, with the raw message
// beside its decoded fields. Row 1 of a new or cleared table stays empty; the first message
// lands in row 2 with the number 1.
#include <string>
#include <vector>

#include "table/grid_table.h"

namespace ln40 {

namespace read_times {
constexpr int kNumber = 0;       // "#": RowCount - 2 at the moment of the append
constexpr int kStartNumber = 1;  // "Kivono/startno"
constexpr int kText = 2;         // "Text": the kind name
constexpr int kReaderTime = 3;   // "LN20 time": the reader clock as sent
constexpr int kTime = 4;         // "Time": the time of day
constexpr int kData = 5;         // "Data": the whole message with its CR
constexpr int kColumnCount = 6;
}  // namespace read_times

const std::vector<std::string>& ReadTimesHeadings();

// Six columns with their headings and widths; grouping merges the heading across the row.
void SetUpReadTimesTable(TGridTable& table);

// Run before the serial port opens: with "Clear data " checked the body is emptied back
// to one empty row; otherwise the rows are kept.
void ClearReadTimesOnOpen(TGridTable& table, bool clear_checked);

// A right-click on a cell (row, shown column). Only the header row counts: column 0
// ungroups, any other heading groups by its column (columns right of the hidden group
// column are shown one place to the left).
void ReadTimesHeaderRightClick(TGridTable& table, int row, int shown_col);

}  // namespace ln40
