// "Results.htm" of a 300-runner race opened in a real browser: Chromium's DOM of the page
// must show every class heading and every place in table cells. Skipped when Chromium is
// not installed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "reports/report_commands.h"
#include "report_test_support.h"
#include "text/codepage.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

std::string FindChromium() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    for (const char* folder : {"/usr/bin/", "/usr/local/bin/", "/snap/bin/"}) {
      const std::string path = std::string(folder) + name;
      if (::access(path.c_str(), X_OK) == 0) return path;
    }
  }
  return "";
}

std::string ReadCommandOutput(const std::string& command) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, count);
  ::pclose(pipe);
  return out;
}

std::string TwoDigits(int value) {
  std::string text(value < 10 ? "0" : "");
  text += std::to_string(value);
  return text;
}

// 300 runners in 12 classes, with tied net times and a class name outside ASCII.
TGridTable Race() {
  const char* const classes[] = {"H21", "D21", "H17", "D17", "H13-14", "D13-14", "H50", "D50", "9", "10", "h21",
                                 "\xC5pen"};
  std::vector<testing::Runner> runners;
  for (int i = 0; i < 300; ++i) {
    const int seconds = 1800 + (i * 7919) % 1500 / 3 * 3;  // every third second: ties happen
    const std::string net = "00:" + TwoDigits(seconds / 60) + ":" + TwoDigits(seconds % 60);
    runners.push_back({"Runner" + std::to_string(i), "S\xF8rby", classes[i % 12], "Club " + std::to_string(i % 17),
                       "10:00:00", net});
  }
  return testing::MakeSheet(runners);
}

struct PageRow {
  bool heading = false;
  std::vector<std::string> cells;  // texts without tags
};

std::vector<PageRow> RowsOfDom(const std::string& dom) {
  static const std::regex row_pattern("<tr>([\\s\\S]*?)</tr>");
  static const std::regex cell_pattern("<td([^>]*)>([\\s\\S]*?)</td>");
  static const std::regex tag_pattern("<[^>]*>");
  std::vector<PageRow> rows;
  for (auto row = std::sregex_iterator(dom.begin(), dom.end(), row_pattern); row != std::sregex_iterator(); ++row) {
    PageRow page_row;
    const std::string inner = (*row)[1];
    for (auto cell = std::sregex_iterator(inner.begin(), inner.end(), cell_pattern); cell != std::sregex_iterator();
         ++cell) {
      if ((*cell)[1].str().find("colspan=\"5\"") != std::string::npos) page_row.heading = true;
      page_row.cells.push_back(std::regex_replace((*cell)[2].str(), tag_pattern, ""));
    }
    rows.push_back(page_row);
  }
  return rows;
}

TEST(ResultsPageInBrowser, ShowsClassHeadingsAndPlacesInTableCells) {
  const std::string chromium = FindChromium();
  if (chromium.empty()) GTEST_SKIP() << "chromium is not installed";

  char name[] = "/tmp/ln40_browser_XXXXXX";
  const std::string folder = std::string(::mkdtemp(name)) + "/";
  const TGridTable sheet = Race();
  ListCommandContext context;
  context.race = "Vinterkarusell";
  context.folder = folder;
  const std::string page = RunResultListCommand(sheet, context).pagePath;
  const ListDocument doc = BuildResultList(sheet, "Vinterkarusell", "");

  const std::string dom = ReadCommandOutput("timeout 120 " + chromium + " --headless --no-sandbox --disable-gpu --dump-dom file://" +
                              page + " 2>/dev/null");
  fs::remove_all(folder);
  ASSERT_NE(dom.find("<table"), std::string::npos) << dom.substr(0, 500);
  EXPECT_NE(dom.find("<h1><center>Resultatliste Vinterkarusell</center></h1>"), std::string::npos);

  // What the page should show: per body row of the list, the class heading or the runner's
  // place and name, in the browser's UTF-8.
  std::vector<std::string> expected;
  for (int row = 1; row < doc.table.RowCount(); ++row) {
    if (doc.table.KindOfRow(row) == RowKind::GroupHeading) {
      expected.push_back("# " + Cp1252ToUtf8(doc.table.Cell(1, row)));
    } else if (doc.table.KindOfRow(row) == RowKind::Body) {
      expected.push_back(doc.table.Cell(1, row) + " " + Cp1252ToUtf8(doc.table.Cell(2, row)));
    }
  }
  std::vector<std::string> shown;
  const std::vector<PageRow> rows = RowsOfDom(dom);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front().cells, (std::vector<std::string>{" ", "Plass", "Navn", "Klubb", "", ""}));
  int classes = 0;
  for (size_t i = 1; i < rows.size(); ++i) {
    const PageRow& row = rows[i];
    if (row.heading) {
      ASSERT_EQ(row.cells.size(), 2u);
      shown.push_back("# " + row.cells[1]);
      ++classes;
    } else if (row.cells.size() == 6 && !row.cells[1].empty()) {
      shown.push_back(row.cells[1] + " " + row.cells[2]);
    }
  }
  EXPECT_EQ(classes, 12);
  EXPECT_EQ(shown, expected);
  EXPECT_NE(std::find(shown.begin(), shown.end(), "# \xC3\x85pen"), shown.end());
}

}  // namespace
}  // namespace ln40
