#include "timing/read_times_table.h"

#include <gtest/gtest.h>

#include "fakes.h"

namespace ln40 {
namespace {

using testing::FakeDialog;
using testing::FakeLink;
using testing::FakeReaderWindow;

class ReadTimesTableTest : public ::testing::Test {
 protected:
  ReadTimesTableTest() : clock(46364.5), handler(table, window, dialog, link, clock, Locale::WorkedExample()) {
    SetUpReadTimesTable(table);
  }

  void Feed(const std::string& kind_and_number, int minutes) {
    char clock_text[16];
    std::snprintf(clock_text, sizeof clock_text, "%03d:00.000", minutes);
    handler.HandleReaderMessage(kind_and_number + clock_text + "\r");
  }

  TGridTable table;
  FakeReaderWindow window;
  FakeDialog dialog;
  FakeLink link;
  FixedClock clock;
  TReaderMessageHandler handler;
};

TEST_F(ReadTimesTableTest, NewTableHasItsHeadingsAndOneEmptyRow) {
  EXPECT_EQ(table.ColCount(), 6);
  EXPECT_EQ(table.RowCount(), 2);
  for (int col = 0; col < 6; ++col) EXPECT_EQ(table.Cell(col, 0), ReadTimesHeadings()[col]);
  EXPECT_EQ(table.ColumnWidth(4), 116);
  EXPECT_TRUE(table.Grouping().mergeHeader);
  EXPECT_FALSE(table.Grouping().summary);
}

TEST_F(ReadTimesTableTest, RowsAreNumberedFromTheRowCount) {
  for (int i = 1; i <= 3; ++i) Feed("A01" + std::string("00000") + std::to_string(i), i);
  EXPECT_EQ(table.Cell(0, 1), "");
  EXPECT_EQ(table.Cell(0, 2), "1");
  EXPECT_EQ(table.Cell(0, 4), "3");
}

TEST_F(ReadTimesTableTest, OpeningThePortClearsOnlyWhenAsked) {
  for (int i = 0; i < 10; ++i) Feed("A01000001", i);
  ClearReadTimesOnOpen(table, false);
  Feed("A01000001", 11);
  EXPECT_EQ(table.Cell(0, table.RowCount() - 1), "11");

  ClearReadTimesOnOpen(table, true);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.Cell(5, 1), "");
  EXPECT_EQ(table.Cell(0, 0), "#");
  Feed("A01000001", 12);
  EXPECT_EQ(table.Cell(0, 2), "1");
}

TEST_F(ReadTimesTableTest, HeaderRightClickGroupsAndUngroups) {
  Feed("A01000001", 1);
  Feed("D00000000", 2);
  Feed("F00000000", 3);
  Feed("C00000000", 4);
  Feed("A01000002", 5);

  ReadTimesHeaderRightClick(table, 3, 2);  // a body cell
  EXPECT_FALSE(table.IsGrouped());

  ReadTimesHeaderRightClick(table, 0, read_times::kText);
  ASSERT_TRUE(table.IsGrouped());
  EXPECT_EQ(table.ColCount(), 5);
  std::vector<std::string> headings;
  for (int row = 1; row < table.RowCount(); ++row) {
    if (table.KindOfRow(row) == RowKind::GroupHeading) headings.push_back(table.Cell(1, row));
  }
  // The empty first row forms the first group.
  EXPECT_EQ(headings, (std::vector<std::string>{"", "Starttime", "Sync", "Time", "Unknown"}));

  ReadTimesHeaderRightClick(table, 0, 0);
  EXPECT_FALSE(table.IsGrouped());
  EXPECT_EQ(table.ColCount(), 6);
  EXPECT_EQ(table.Cell(2, 0), "Text");
  EXPECT_EQ(table.RowCount(), 7);
  int time_rows = 0;
  for (int row = 1; row < table.RowCount(); ++row) time_rows += table.Cell(2, row) == "Time";
  EXPECT_EQ(time_rows, 2);
}

TEST_F(ReadTimesTableTest, ShownColumnsRightOfTheGroupColumnMapOnePlaceRight) {
  Feed("A01000001", 1);
  Feed("A01000002", 2);
  ReadTimesHeaderRightClick(table, 0, 2);
  ASSERT_EQ(table.GroupColumn(), 2);

  ReadTimesHeaderRightClick(table, 0, 2);  // shows former column 3: nothing happens
  EXPECT_EQ(table.GroupColumn(), 2);

  ReadTimesHeaderRightClick(table, 0, 3);  // shows former column 4
  EXPECT_EQ(table.GroupColumn(), 4);
  EXPECT_EQ(table.ColCount(), 5);
}

}  // namespace
}  // namespace ln40
