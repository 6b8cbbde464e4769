#include "table/heading_sort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing_test_support.h"

namespace ln40 {
namespace {

using editing_test::BodyColumn;
using editing_test::MakeTable;

// A click in the middle of heading `col`, whose cell spans x 100 to 164.
HeadingClick ClickOn(int col, int x = 130) { return {{col, 0}, {col, 0}, x, 100, 164}; }

TGridTable Runners() {
  return MakeTable({"Fornavn", "Startnr", "Klasse"},
                   {{"Kari", "12", "D21"}, {"Ola", "3", "H21"}, {"Anne", "101", "D21"}, {"Per", "7", "H21"}});
}

TEST(HeadingSort, ColumnZeroSortsDescendingFirstThenFlips) {
  TGridTable table = Runners();
  ASSERT_TRUE(HandleHeadingClick(table, ClickOn(0)));
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"Per", "Ola", "Kari", "Anne"}));
  EXPECT_EQ(table.SortDirectionNow(), SortDirection::Descending);
  ASSERT_TRUE(HandleHeadingClick(table, ClickOn(0)));
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"Anne", "Kari", "Ola", "Per"}));
  EXPECT_EQ(table.SortDirectionNow(), SortDirection::Ascending);
}

TEST(HeadingSort, AnotherColumnSortsAscendingFirstThenFlips) {
  TGridTable table = Runners();
  ASSERT_TRUE(HandleHeadingClick(table, ClickOn(1)));
  EXPECT_EQ(BodyColumn(table, 1), (std::vector<std::string>{"3", "7", "12", "101"}));  // as numbers
  EXPECT_EQ(table.SortColumn(), 1);
  ASSERT_TRUE(HandleHeadingClick(table, ClickOn(1)));
  EXPECT_EQ(BodyColumn(table, 1), (std::vector<std::string>{"101", "12", "7", "3"}));
  ASSERT_TRUE(HandleHeadingClick(table, ClickOn(2)));  // a new column starts ascending again
  EXPECT_EQ(table.SortDirectionNow(), SortDirection::Ascending);
  EXPECT_EQ(BodyColumn(table, 2), (std::vector<std::string>{"D21", "D21", "H21", "H21"}));
}

TEST(HeadingSort, ClicksThatDoNotSort) {
  const struct {
    const char* what;
    HeadingClick click;
  } cases[] = {
      {"release 4 pixels from the left border", ClickOn(1, 104)},
      {"release 4 pixels from the right border", ClickOn(1, 160)},
      {"release on the border", ClickOn(1, 164)},
      {"press and release in different headings", {{0, 0}, {1, 0}, 130, 100, 164}},
      {"press in the body", {{1, 1}, {1, 0}, 130, 100, 164}},
      {"a body cell", {{1, 2}, {1, 2}, 130, 100, 164}},
      {"a column outside the table", ClickOn(7)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TGridTable table = Runners();
    EXPECT_FALSE(HandleHeadingClick(table, c.click));
    EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"Kari", "Ola", "Anne", "Per"}));
    EXPECT_EQ(table.SortColumn(), 0);
    EXPECT_EQ(table.SortDirectionNow(), SortDirection::Ascending);
  }
  EXPECT_TRUE(IsSortingHeadingClick(Runners(), ClickOn(1, 105)));
  EXPECT_TRUE(IsSortingHeadingClick(Runners(), ClickOn(1, 159)));
}

TEST(HeadingSort, OneBodyRowDoesNothing) {
  TGridTable table = MakeTable({"A", "B"}, {{"x", "y"}});
  EXPECT_FALSE(HandleHeadingClick(table, ClickOn(1)));
  EXPECT_EQ(table.SortColumn(), 0);
}

TEST(HeadingSort, GroupedTableSortsWithinEachGroup) {
  TGridTable table = MakeTable({"Nr", "Navn", "Klasse"}, {{"1", "Per", "H21"},
                                                         {"2", "Kari", "D21"},
                                                         {"3", "Anne", "D21"},
                                                         {"4", "Ola", "H21"},
                                                         {"5", "Berit", "D21"}});
  table.GroupByColumn(2);  // groups D21 and H21; the name is now column 1
  ASSERT_TRUE(table.IsGrouped());
  ASSERT_TRUE(HandleHeadingClick(table, ClickOn(1)));
  // Heading rows stay where they are; each group's rows are in name order.
  EXPECT_EQ(BodyColumn(table, 1), (std::vector<std::string>{"D21", "Anne", "Berit", "Kari", "H21", "Ola", "Per"}));
  EXPECT_EQ(table.KindOfRow(1), RowKind::GroupHeading);
  EXPECT_EQ(table.KindOfRow(5), RowKind::GroupHeading);
}

}  // namespace
}  // namespace ln40
