// A workbook the exchange writes, read by an independent reader: python3-xlrd sees the
// sheets "LN40" and "Excel" and every table text as a value of the right type. Skipped
// where Debian's python3-xlrd is not installed.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <sstream>

#include "cfb_test_support.h"
#include "text/clock.h"
#include "exchange/grid_excel_io.h"

namespace ln40 {
namespace {

bool HaveXlrd() { return std::system("/usr/bin/python3 -c 'import xlrd' 2>/dev/null") == 0; }

struct XlrdCell {
  std::string type, value, code;
};

// sheet index -> name, and (sheet, row, col) -> cell, as xlrd_dump.py prints them.
struct XlrdBook {
  std::map<int, std::string> sheets;
  std::map<std::array<int, 3>, XlrdCell> cells;
};

XlrdBook Dump(const std::string& path) {
  const std::string command = std::string("/usr/bin/python3 ") + LN40_XLRD_DUMP + " '" + path + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  while (pipe && std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
  const int status = pipe ? ::pclose(pipe) : -1;
  EXPECT_EQ(status, 0) << output;
  XlrdBook book;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::istringstream parts(line);
    std::string field;
    while (std::getline(parts, field, '\t')) fields.push_back(field);
    if (fields.size() >= 3 && fields[0] == "sheet") book.sheets[std::stoi(fields[1])] = fields[2];
    if (fields.size() >= 6 && fields[0] == "cell") {
      book.cells[{std::stoi(fields[1]), std::stoi(fields[2]), std::stoi(fields[3])}] =
          XlrdCell{fields[4], fields[5], fields.size() > 6 ? fields[6] : ""};
    }
  }
  return book;
}

TEST(GridExcelIOXlrd, BothTablesReadInXlrdWithTheRightTypes) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed for /usr/bin/python3";
  test::TempFolder folder;
  const std::string path = folder.File("saved.xls");
  const FixedClock clock(46364.5);

  TGridTable runners(12);
  runners.SetRowCount(3);
  const std::vector<std::string> ann = {"Ann", "\xC5s", "H21", "IL Tr\xF8ndelag", "K", "A", "007", "5012", "10:00:00",
                                        "", "10:42:07", "00:42:07"};
  for (int c = 0; c < 12; ++c) runners.SetCell(c, 1, ann[static_cast<size_t>(c)]);
  runners.SetCell(0, 2, "TRUE");
  runners.SetCell(1, 2, "1-2");
  TGridTable times(6);
  times.SetCell(0, 1, "12:34:56.789");
  times.SetCell(1, 1, "8:05");
  times.SetCell(2, 1, "=1+2");

  TGridExcelIO runner_io(runners), times_io(times);
  runner_io.SetClock(&clock);
  times_io.SetClock(&clock);
  runner_io.ExportFile(path, "LN40");
  times_io.ExportFile(path, "Excel");

  const XlrdBook book = Dump(path);
  EXPECT_EQ(book.sheets, (std::map<int, std::string>{{0, "LN40"}, {1, "Excel"}}));
  const auto cell = [&](int sheet, int row, int col) {
    auto it = book.cells.find({sheet, row, col});
    return it == book.cells.end() ? XlrdCell{"empty", "", ""} : it->second;
  };
  // The exchange's "hh:mm:ss" is the built-in format 21, which xlrd names by its own code.
  const std::string kTimeCode = "h:mm:ss";
  struct Expect {
    int sheet, row, col;
    std::string type, value, code;
  };
  const std::vector<Expect> expected = {
      {0, 0, 0, "text", "Ann", "General"},
      {0, 0, 1, "text", "\xC3\x85s", "General"},
      {0, 0, 3, "text", "IL Tr\xC3\xB8ndelag", "General"},
      {0, 0, 6, "number", "7", "General"},
      {0, 0, 7, "number", "5012", "General"},
      {0, 0, 8, "date", "0.41666666666666669", kTimeCode},
      {0, 0, 9, "blank", "", "General"},
      {0, 0, 11, "date", "0.029247685185185186", kTimeCode},
      {0, 1, 0, "bool", "1", "General"},
      {0, 1, 1, "date", "46054", "dd.mm.yyyy"},
      {0, 1, 2, "blank", "", "General"},
      {1, 0, 0, "text", "12:34:56.789", "General"},
      {1, 0, 1, "date", "0.33680555555555558", kTimeCode},
  };
  for (const Expect& e : expected) {
    SCOPED_TRACE("sheet " + std::to_string(e.sheet) + " row " + std::to_string(e.row) + " col " + std::to_string(e.col));
    const XlrdCell got = cell(e.sheet, e.row, e.col);
    EXPECT_EQ(got.type, e.type);
    EXPECT_EQ(got.value, e.value);
    EXPECT_EQ(got.code, e.code);
  }
}

}  // namespace
}  // namespace ln40
