#pragma once
// Small runner sheets and readable views of list tables for the report tests.
#include <string>
#include <vector>

#include "sheet/runner_sheet.h"
#include "table/grid_table.h"

namespace ln40::testing {

struct Runner {
  std::string first = {};
  std::string last = {};
  std::string klass = {};
  std::string club = {};
  std::string start = {};   // Starttid
  std::string net = {};     // Sluttid
  std::string kid = {};     // Kid
  std::string number = {};  // Startnr
  std::string chip = {};    // Brikkenr
  std::string finish = {};  // Inkomst
};

// A runner sheet with its twelve headings and one body row per runner.
inline TGridTable MakeSheet(const std::vector<Runner>& runners) {
  using namespace runner_sheet;
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  for (size_t i = 0; i < runners.size(); ++i) {
    if (i > 0) sheet.AddRow();
    const int row = sheet.RowCount() - 1;
    const Runner& r = runners[i];
    sheet.SetCell(kFirstName, row, r.first);
    sheet.SetCell(kLastName, row, r.last);
    sheet.SetCell(kClass, row, r.klass);
    sheet.SetCell(kClub, row, r.club);
    sheet.SetCell(kStartNumber, row, r.number);
    sheet.SetCell(kChip, row, r.chip);
    sheet.SetCell(kStartTime, row, r.start);
    sheet.SetCell(kId, row, r.kid);
    sheet.SetCell(kFinish, row, r.finish);
    sheet.SetCell(kNetTime, row, r.net);
  }
  return sheet;
}

// The body rows of a grouped list: "[NAME]" for a class heading, "[]" for a summary row,
// and the texts of `cols` joined by "|" for every other row.
inline std::vector<std::string> DescribeBody(const TGridTable& list, const std::vector<int>& cols) {
  std::vector<std::string> rows;
  for (int row = 1; row < list.RowCount(); ++row) {
    switch (list.KindOfRow(row)) {
      case RowKind::GroupHeading:
        rows.push_back("[" + list.Cell(1, row) + "]");
        break;
      case RowKind::GroupSummary:
        rows.push_back("[]");
        break;
      case RowKind::Body: {
        std::string text = {};
        for (size_t i = 0; i < cols.size(); ++i) text += (i > 0 ? "|" : "") + list.Cell(cols[i], row);
        rows.push_back(text);
        break;
      }
    }
  }
  return rows;
}

// Every cell of a table, row by row, for comparing a table before and after.
inline std::vector<std::string> Snapshot(const TGridTable& table) {
  std::vector<std::string> cells;
  for (int row = 0; row < table.RowCount(); ++row) {
    std::string line = {};
    for (int col = 0; col < table.ColCount(); ++col) line += table.Cell(col, row) + "\x1F";
    cells.push_back(line);
  }
  return cells;
}

}  // namespace ln40::testing
