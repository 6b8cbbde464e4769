#include "timing/read_times_table.h"

namespace ln40 {

const std::vector<std::string>& ReadTimesHeadings() {
  static const std::vector<std::string> headings = {"#", "Kivono/startno", "Text", "LN20 time", "Time", "Data"};
  return headings;
}

void SetUpReadTimesTable(TGridTable& table) {
  static const int kWidths[read_times::kColumnCount] = {35, 99, 92, 92, 116, 139};
  table.SetColCount(read_times::kColumnCount);
  table.SetColumnHeaders(ReadTimesHeadings());
  for (int col = 0; col < read_times::kColumnCount; ++col) table.SetColumnWidth(col, kWidths[col]);
  table.Grouping() = GroupingSettings{};
  table.Grouping().mergeHeader = true;
}

void ClearReadTimesOnOpen(TGridTable& table, bool clear_checked) {
  if (!clear_checked) return;
  // A grouped table first gets its column back, so the cleared table has all six again.
  table.Ungroup();
  table.ClearBody();
  table.SetRowCount(2);
}

void ReadTimesHeaderRightClick(TGridTable& table, int row, int shown_col) {
  if (row != 0) return;
  int col = shown_col;
  if (col == 0) table.Ungroup();
  const int group_col = table.GroupColumn();
  if (group_col >= 0 && col > group_col) ++col;
  if (col == group_col || col == 0) return;
  table.GroupByColumn(col);
}

}  // namespace ln40
