#pragma once
// Small builders shared by the tests of the grid editing logic.
#include <string>
#include <vector>

#include "table/grid_selection.h"
#include "table/grid_table.h"

namespace ln40::editing_test {

using Rows = std::vector<std::vector<std::string>>;

// A table with `headings` and one body row per entry of `body` (short rows are padded).
inline TGridTable MakeTable(const std::vector<std::string>& headings, const Rows& body) {
  TGridTable table(static_cast<int>(headings.size()));
  table.SetColumnHeaders(headings);
  table.SetRowCount(static_cast<int>(body.size()) + 1);
  for (size_t r = 0; r < body.size(); ++r) {
    for (size_t c = 0; c < body[r].size(); ++c) {
      table.SetCell(static_cast<int>(c), static_cast<int>(r) + 1, body[r][c]);
    }
  }
  return table;
}

// Every body row (or every row from `first`), every column.
inline Rows Dump(const TGridTable& table, int first = 1) {
  Rows rows;
  for (int r = first; r < table.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < table.ColCount(); ++c) row.push_back(table.Cell(c, r));
    rows.push_back(row);
  }
  return rows;
}

inline std::vector<std::string> BodyColumn(const TGridTable& table, int col) {
  std::vector<std::string> texts;
  for (int r = 1; r < table.RowCount(); ++r) texts.push_back(table.Cell(col, r));
  return texts;
}

}  // namespace ln40::editing_test
