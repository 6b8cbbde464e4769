#include "table/grid_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "table/cell_compare.h"
#include "text/error.h"

namespace ln40 {
namespace {

using Rows = std::vector<std::vector<std::string>>;

TGridTable MakeTable(const std::vector<std::string>& headings, const Rows& body) {
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

// Every row from `first` down, every column, as the table holds it.
Rows Dump(const TGridTable& table, int first = 1) {
  Rows rows;
  for (int r = first; r < table.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < table.ColCount(); ++c) row.push_back(table.Cell(c, r));
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> BodyColumn(const TGridTable& table, int col) {
  std::vector<std::string> texts;
  for (int r = 1; r < table.RowCount(); ++r) texts.push_back(table.Cell(col, r));
  return texts;
}

std::vector<RowKind> Kinds(const TGridTable& table) {
  std::vector<RowKind> kinds;
  for (int r = 1; r < table.RowCount(); ++r) kinds.push_back(table.KindOfRow(r));
  return kinds;
}

// ---------------------------------------------------------------------------------------
// Shape, cells, headers

TEST(GridTable, NewTableHasHeaderAndOneEmptyBodyRow) {
  TGridTable table;
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(table.ColCount(), 5);
  EXPECT_EQ(table.ColumnWidth(0), 64);
  EXPECT_FALSE(table.IsGrouped());
  EXPECT_EQ(table.GroupColumn(), -1);
  EXPECT_EQ(table.SortColumn(), 0);
  EXPECT_EQ(table.SortDirectionNow(), SortDirection::Ascending);
  EXPECT_EQ(table.Row(), 1);
  EXPECT_EQ(table.Col(), 0);
}

TEST(GridTable, ReadsOutsideAsEmptyAndIgnoresWritesOutside) {
  TGridTable table(3);
  table.SetCell(1, 1, "x");
  for (auto [c, r] : {std::pair{-1, 1}, {3, 1}, {1, -1}, {1, 2}, {1000000, 1000000}}) {
    EXPECT_EQ(table.Cell(c, r), "") << c << "," << r;
    table.SetCell(c, r, "y");
  }
  EXPECT_EQ(Dump(table, 0), (Rows{{"", "", ""}, {"", "x", ""}}));
}

TEST(GridTable, RowAndColumnCountsGrowEmptyAndShrinkToTheirMinimum) {
  TGridTable table = MakeTable({"a", "b"}, {{"1", "2"}, {"3", "4"}});
  table.SetRowCount(5);
  EXPECT_EQ(Dump(table), (Rows{{"1", "2"}, {"3", "4"}, {"", ""}, {"", ""}}));
  table.SetRowCount(0);
  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(Dump(table), (Rows{{"1", "2"}}));

  table.SetColCount(3);
  EXPECT_EQ(Dump(table, 0), (Rows{{"a", "b", ""}, {"1", "2", ""}}));
  table.SetColCount(-4);
  EXPECT_EQ(table.ColCount(), 1);
  EXPECT_EQ(Dump(table, 0), (Rows{{"a"}, {"1"}}));
}

TEST(GridTable, ColumnHeadersWriteOnlyExistingColumnsAndKeepTheRest) {
  TGridTable table(3);
  table.SetColumnHeaders({"a", "b", "c", "d", "e"});
  EXPECT_EQ(Dump(table, 0)[0], (std::vector<std::string>{"a", "b", "c"}));
  table.SetColumnHeaders({"x"});
  EXPECT_EQ(Dump(table, 0)[0], (std::vector<std::string>{"x", "b", "c"}));
}

// ---------------------------------------------------------------------------------------
// Row and column operations

TEST(GridTable, InsertRowPlacesEmptyRowsAndNeverMovesTheHeader) {
  TGridTable table = MakeTable({"h0", "h1"}, {{"1", "a"}, {"2", "b"}});
  table.InsertRow(2, 2);
  EXPECT_EQ(Dump(table), (Rows{{"1", "a"}, {"", ""}, {"", ""}, {"2", "b"}}));
  table.InsertRow(table.RowCount());  // appends
  EXPECT_EQ(table.RowCount(), 6);
  table.InsertRow(0);  // before the header: taken as the first body row
  EXPECT_EQ(Dump(table, 0)[0], (std::vector<std::string>{"h0", "h1"}));
  EXPECT_EQ(Dump(table, 1)[0], (std::vector<std::string>{"", ""}));
  table.InsertRow(99);  // beyond the end: appends
  table.InsertRow(1, 0);
  table.InsertRow(1, -3);
  EXPECT_EQ(table.RowCount(), 8);
}

TEST(GridTable, DeleteRowKeepsOneEmptyBodyRow) {
  TGridTable single = MakeTable({"a", "b"}, {{"x", "y"}});
  single.DeleteRow(1);
  EXPECT_EQ(single.RowCount(), 2);
  EXPECT_EQ(Dump(single), (Rows{{"", ""}}));

  TGridTable table = MakeTable({"a"}, {{"1"}, {"2"}, {"3"}, {"4"}});
  table.DeleteRow(2, 2);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"1", "4"}));
  table.DeleteRow(0, 2);  // the header stays; only row 1 of the range is in the body
  EXPECT_EQ(Dump(table, 0), (Rows{{"a"}, {"4"}}));
  table.DeleteRow(1, 100);
  EXPECT_EQ(Dump(table, 0), (Rows{{"a"}, {""}}));
}

TEST(GridTable, ClearBodyEmptiesEveryBodyCellAndKeepsTheShape) {
  TGridTable table = MakeTable({"a", "b"}, {{"1", "2"}, {"3", "4"}});
  table.HideColumn(1);
  table.ClearBody();
  EXPECT_EQ(Dump(table, 0), (Rows{{"a", "b"}, {"", ""}, {"", ""}}));
}

TEST(GridTable, HiddenColumnsTakePartInRowOperations) {
  TGridTable table = MakeTable({"a", "b", "c"}, {{"1", "x1", "y1"}, {"2", "x2", "y2"}});
  table.HideColumn(1);
  table.AddRow();
  table.SetCell(0, 3, "3");
  table.SetCell(2, 3, "y3");
  table.InsertRow(1);
  table.DeleteRow(2);
  table.ShowAllColumns();
  EXPECT_FALSE(table.IsColumnHidden(1));
  EXPECT_EQ(Dump(table), (Rows{{"", "", ""}, {"2", "x2", "y2"}, {"3", "", "y3"}}));
}

TEST(GridTable, HideColumnKeepsOneVisibleColumn) {
  TGridTable table(3);
  table.SetColumnWidth(1, 120);
  table.HideColumn(1);
  table.HideColumn(1);
  table.HideColumn(0);
  table.HideColumn(2);  // the last visible one
  EXPECT_TRUE(table.IsColumnHidden(0));
  EXPECT_TRUE(table.IsColumnHidden(1));
  EXPECT_FALSE(table.IsColumnHidden(2));
  table.HideColumn(7);
  EXPECT_FALSE(table.IsColumnHidden(7));

  table.RemoveColumn(2);  // leaves only hidden columns: all come back
  EXPECT_FALSE(table.IsColumnHidden(0));
  EXPECT_FALSE(table.IsColumnHidden(1));
  EXPECT_EQ(table.ColumnWidth(1), 120);
}

TEST(GridTable, ColumnOperationsMoveHeadingsCellsWidthsAndHiddenFlags) {
  TGridTable table = MakeTable({"a", "b", "c"}, {{"1", "2", "3"}});
  table.SetColumnWidth(1, 99);
  table.HideColumn(2);
  table.InsertColumn(1, 2);
  EXPECT_EQ(Dump(table, 0), (Rows{{"a", "", "", "b", "c"}, {"1", "", "", "2", "3"}}));
  EXPECT_EQ(table.ColumnWidth(3), 99);
  EXPECT_EQ(table.ColumnWidth(1), 64);
  EXPECT_TRUE(table.IsColumnHidden(4));

  table.RemoveColumn(2);
  table.RemoveColumn(1);
  table.RemoveColumn(5);  // outside: ignored
  EXPECT_EQ(Dump(table, 0), (Rows{{"a", "b", "c"}, {"1", "2", "3"}}));

  table.AddColumn();
  table.InsertColumn(-5);  // taken as column 0
  table.InsertColumn(100);  // taken as the end
  EXPECT_EQ(Dump(table, 0), (Rows{{"", "a", "b", "c", "", ""}, {"", "1", "2", "3", "", ""}}));

  TGridTable one(1);
  one.RemoveColumn(0);
  EXPECT_EQ(one.ColCount(), 1);
}

TEST(GridTable, MergeColumnsJoinsWithOneBlankAndTrims) {
  TGridTable table = MakeTable({"First", "Last", "Club"},
                               {{"", "Olsen", "IL"}, {"Ola", "", "IK"}, {"Kari", "Nordmann", ""}});
  table.MergeColumns(0, 1);
  EXPECT_EQ(Dump(table, 0), (Rows{{"First", "Club"}, {"Olsen", "IL"}, {"Ola", "IK"}, {"Kari Nordmann", ""}}));
  table.MergeColumns(1, 1);
  table.MergeColumns(0, 9);
  EXPECT_EQ(table.ColCount(), 2);
}

// ---------------------------------------------------------------------------------------
// FindInColumn

struct FindCase {
  std::vector<std::string> cells;  // column 1 of the body
  std::string text;
  int expected;
};

TEST(GridTableFind, MatchesWholeTextsIgnoringCaseOnly) {
  const FindCase cases[] = {
      {{"12 ", "012", "120"}, "12", -1},  // no trimming, no numeric or partial match
      {{"x", "AB"}, "ab", 2},
      {{"\xC6g\xE5rd"}, "\xE6G\xC5RD", 1},  // Ægård found by æGÅRD
      {{"abc"}, "", -1},                    // the empty text finds nothing
      {{"abc", "", ""}, "\"\"", 2},         // two quotes find the first empty cell
      {{""}, "\"\"", 1},
      {{""}, "x", -1},
      {{"Start", "start"}, "START", 1},
  };
  for (const FindCase& c : cases) {
    Rows body;
    for (const std::string& cell : c.cells) body.push_back({"", cell});
    TGridTable table = MakeTable({"Nr", "Start"}, body);
    EXPECT_EQ(table.FindInColumn(1, c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(GridTableFind, SetsTheCurrentCellAndNeverSearchesTheHeader) {
  TGridTable table = MakeTable({"Nr", "Name"}, {{"7", "Ola"}, {"12", "Kari"}});
  table.SetRow(1);
  EXPECT_EQ(table.FindInColumn(0, "Nr"), -1);
  EXPECT_EQ(table.FindInColumn(1, "12"), -1);  // only column 1 is looked at
  EXPECT_EQ(table.Col(), 1);
  EXPECT_EQ(table.Row(), 1);  // unchanged by a miss
  EXPECT_EQ(table.FindInColumn(0, "12"), 2);
  EXPECT_EQ(table.Col(), 0);
  EXPECT_EQ(table.Row(), 2);
  EXPECT_EQ(table.FindInColumn(5, "12"), -1);
  EXPECT_EQ(table.Col(), 0);
}

// ---------------------------------------------------------------------------------------
// Merges and colours

TEST(GridTableMerge, CoveredCellsReadAndWriteTheTopLeftCell) {
  TGridTable table = MakeTable({"a", "b", "c"}, {{"1", "2", "3"}, {"4", "5", "6"}});
  table.SetMergeSpan(0, 1, 2, 2);
  EXPECT_EQ(table.Cell(1, 2), "1");
  table.SetCell(1, 2, "X");
  EXPECT_EQ(table.Cell(0, 1), "X");
  EXPECT_EQ(table.Cell(2, 2), "6");
  const std::optional<MergeSpan> span = table.MergeSpanAt(1, 2);
  ASSERT_TRUE(span);
  EXPECT_EQ((std::vector<int>{span->col, span->row, span->width, span->height}),
            (std::vector<int>{0, 1, 2, 2}));
  EXPECT_FALSE(table.MergeSpanAt(2, 1));

  table.SetMergeSpan(0, 1, 1, 1);  // removes it; the covered cells kept their own texts
  EXPECT_FALSE(table.MergeSpanAt(1, 2));
  EXPECT_EQ(Dump(table), (Rows{{"X", "2", "3"}, {"4", "5", "6"}}));

  table.SetMergeSpan(1, 1, 50, 0);  // cut to the table, height at least 1
  EXPECT_EQ(table.MergeSpanAt(2, 1)->width, 2);
  EXPECT_EQ(table.MergeSpanAt(2, 1)->height, 1);
  table.SetMergeSpan(3, 1, 2, 2);  // outside: ignored
  EXPECT_FALSE(table.MergeSpanAt(3, 1));
}

TEST(GridTableMerge, SpansAndColoursTravelWithTheirRows) {
  TGridTable table = MakeTable({"a", "b", "c"}, {{"3", "", ""}, {"1", "", ""}, {"2", "", ""}});
  table.SetMergeSpan(0, 1, 2, 1);
  table.SetCellBackground(2, 1, 0xFF0000);
  table.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(table.MergeSpanAt(1, 3)->row, 3);
  EXPECT_EQ(table.CellBackground(2, 3), CellColor{0xFF0000});
  EXPECT_FALSE(table.CellBackground(2, 1));

  table.InsertRow(1);
  EXPECT_EQ(table.MergeSpanAt(1, 4)->row, 4);
  EXPECT_EQ(table.CellBackground(2, 4), CellColor{0xFF0000});
  table.DeleteRow(4);
  EXPECT_FALSE(table.MergeSpanAt(1, 4));
  EXPECT_FALSE(table.CellBackground(2, 4));
}

TEST(GridTableMerge, ColumnOperationsShiftWidenAndShrinkSpans) {
  TGridTable table(6);
  table.SetMergeSpan(1, 1, 3, 1);  // columns 1 to 3
  table.SetCellBackground(4, 1, 0x00FF00);
  table.InsertColumn(0);  // now columns 2 to 4
  EXPECT_EQ(table.MergeSpanAt(2, 1)->col, 2);
  table.InsertColumn(3);  // inside: columns 2 to 5
  EXPECT_EQ(table.MergeSpanAt(5, 1)->width, 4);
  EXPECT_EQ(table.CellBackground(6, 1), CellColor{0x00FF00});
  table.RemoveColumn(2);  // its top-left column: the rest stays merged from column 2
  EXPECT_EQ(table.MergeSpanAt(2, 1)->col, 2);
  EXPECT_EQ(table.MergeSpanAt(2, 1)->width, 3);
  table.RemoveColumn(3);
  table.RemoveColumn(3);  // down to one cell: no merge left
  EXPECT_FALSE(table.MergeSpanAt(2, 1));
  EXPECT_EQ(table.CellBackground(3, 1), CellColor{0x00FF00});
}

TEST(GridTableMerge, RowOperationsResizeTallSpans) {
  TGridTable table(2);
  table.SetRowCount(6);
  table.SetCell(0, 2, "top");
  table.SetMergeSpan(0, 2, 1, 3);  // rows 2 to 4
  table.InsertRow(3);              // inside: rows 2 to 5
  EXPECT_EQ(table.Cell(0, 5), "top");
  table.DeleteRow(2);              // its top row: the rest starts at row 2, three rows
  ASSERT_TRUE(table.MergeSpanAt(0, 4));
  EXPECT_EQ(table.MergeSpanAt(0, 4)->row, 2);
  EXPECT_EQ(table.MergeSpanAt(0, 4)->height, 3);
  table.SetRowCount(4);            // rows 4 and 5 go: rows 2 and 3 left
  ASSERT_TRUE(table.MergeSpanAt(0, 3));
  EXPECT_EQ(table.MergeSpanAt(0, 3)->height, 2);
  table.SetRowCount(3);  // down to its top-left cell: no merge left
  EXPECT_FALSE(table.MergeSpanAt(0, 2));
}

// ---------------------------------------------------------------------------------------
// Sorting

TEST(GridTableSort, TimesBeforeLaterTimesAndTextByBytes) {
  TGridTable times = MakeTable({"Time"}, {{"10:00:00"}, {"9:05:00"}});
  times.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(BodyColumn(times, 0), (std::vector<std::string>{"9:05:00", "10:00:00"}));

  TGridTable names = MakeTable({"Name"}, {{"b"}, {"\xC5"}, {"B"}});
  names.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(BodyColumn(names, 0), (std::vector<std::string>{"B", "b", "\xC5"}));
  names.SortRows(0, SortDirection::Descending);
  EXPECT_EQ(BodyColumn(names, 0), (std::vector<std::string>{"\xC5", "b", "B"}));

  TGridTable numbers = MakeTable({"Nr"}, {{"10"}, {"9"}, {"100"}, {"-1"}});
  numbers.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(BodyColumn(numbers, 0), (std::vector<std::string>{"-1", "9", "10", "100"}));
}

TEST(GridTableSort, TiesAreBrokenByTheColumnsToTheRight) {
  TGridTable table = MakeTable({"c0", "c1", "c2", "c3", "c4", "c5"},
                               {{"a", "x", "", "K", "2", "b"},
                                {"b", "y", "", "K", "1", "z"},
                                {"c", "z", "", "K", "2", "a"},
                                {"d", "w", "", "A", "9", "9"}});
  table.SortRows(3, SortDirection::Ascending);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"d", "b", "c", "a"}));
  table.SortRows(3, SortDirection::Descending);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"a", "c", "b", "d"}));
}

TEST(GridTableSort, MovesWholeRowsIncludingHiddenColumnsAndKeepsTheHeader) {
  TGridTable table = MakeTable({"n", "secret"}, {{"2", "two"}, {"1", "one"}});
  table.HideColumn(1);
  table.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(Dump(table, 0), (Rows{{"n", "secret"}, {"1", "one"}, {"2", "two"}}));
  table.SortRows(-1, SortDirection::Descending);  // outside: nothing happens
  table.SortRows(2, SortDirection::Descending);
  EXPECT_EQ(Dump(table, 0), (Rows{{"n", "secret"}, {"1", "one"}, {"2", "two"}}));
}

TEST(GridTableSort, ByKeysEachInItsOwnDirection) {
  TGridTable table = MakeTable({"class", "time", "name"},
                               {{"H21", "10:00:00", "a"},
                                {"D21", "09:00:00", "b"},
                                {"H21", "09:30:00", "c"},
                                {"D21", "11:00:00", "d"}});
  table.SortRowsByKeys({{0, SortDirection::Ascending}, {1, SortDirection::Descending}});
  EXPECT_EQ(BodyColumn(table, 2), (std::vector<std::string>{"d", "b", "a", "c"}));
  table.SortRowsByKeys({{7, SortDirection::Ascending}, {2, SortDirection::Ascending}});
  EXPECT_EQ(BodyColumn(table, 2), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(GridTableSort, EmptyKeyListIsAnErrorAndChangesNothing) {
  TGridTable table = MakeTable({"n"}, {{"2"}, {"1"}});
  try {
    table.SortRowsByKeys({});
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "No indexes specified for indexed sort");
  }
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"2", "1"}));
}

// Sorting reads each cell once into arrays instead of comparing texts; the order must agree
// with CompareCellTexts itself. Tie-break columns are read differently when few rows reach
// them and when many do, so both are covered.
TEST(GridTableSort, AgreesWithTheCellComparisonRule) {
  std::mt19937 random(99);
  const auto time_text = [&random]() {
    return std::to_string(7 + random() % 12) + ":" + std::to_string(10 + random() % 50) + ":00";
  };
  for (const unsigned distinct_keys : {20000u, 3u}) {  // few ties, many ties
    Rows body;
    for (int i = 0; i < 1000; ++i) {
      const int key = static_cast<int>(random() % distinct_keys);
      body.push_back({std::to_string(key), time_text(),
                      random() % 2 ? "\xC5s" + std::to_string(i % 5) : "as" + std::to_string(i % 5)});
    }
    TGridTable table = MakeTable({"Nr", "Time", "Name"}, body);
    table.SortRows(0, SortDirection::Ascending);
    const Locale& locale = table.GetLocale();
    for (int r = 1; r + 1 < table.RowCount(); ++r) {
      int order = 0;
      for (int c = 0; c < 3 && order == 0; ++c) order = CompareCellTexts(table.Cell(c, r), table.Cell(c, r + 1), locale);
      ASSERT_LE(order, 0) << "rows " << r << " and " << r + 1 << " with " << distinct_keys << " keys";
    }
  }
}

// The rule is intransitive on mixed columns (number first reads text as 0, text first
// compares bytes). A sort that trusts it to be a strict weak ordering can run off the end.
TEST(GridTableSort, MixedColumnOfThousandsOfRowsKeepsEveryRowOnce) {
  std::mt19937 random(12345);
  const std::vector<std::string> samples = {
      "",       "-",        "5",        "-3",        "12.5",  "1\xA0" "000", "9:05:00", "10:00",
      "25:99",  "1.2.2020", "31.02.20", "01.01.2020 10:00", "a.b",    "abc",   "B",       "\xE5",
      "0",      "-0.0",     "10",       "9",         ".",     "1:a",   "ZZ",      "007"};
  const int n = 5000;
  Rows body;
  for (int i = 0; i < n; ++i) {
    body.push_back({samples[random() % samples.size()], samples[random() % samples.size()],
                    std::to_string(i)});
  }
  TGridTable table = MakeTable({"a", "b", "id"}, body);
  std::vector<std::string> expected_ids = BodyColumn(table, 2);
  std::sort(expected_ids.begin(), expected_ids.end());

  for (auto direction : {SortDirection::Ascending, SortDirection::Descending}) {
    table.SortRows(0, direction);
    table.SortRowsByKeys({{1, direction}, {0, SortDirection::Ascending}});
    ASSERT_EQ(table.RowCount(), n + 1);
    Rows rows = Dump(table);
    std::sort(rows.begin(), rows.end(), [](const auto& x, const auto& y) { return x[2] < y[2]; });
    std::vector<std::string> ids;
    for (const auto& row : rows) ids.push_back(row[2]);
    ASSERT_EQ(ids, expected_ids);
    // and every row still holds its own cells
    for (const auto& row : rows) {
      const int id = std::stoi(row[2]);
      EXPECT_EQ(row[0], body[static_cast<size_t>(id)][0]);
      EXPECT_EQ(row[1], body[static_cast<size_t>(id)][1]);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Grouping

class GroupingTest : public ::testing::Test {
 protected:
  // Classes B, A, B, A in column 2, as on a small runner sheet.
  TGridTable table_ = MakeTable({"Name", "Club", "Class", "Nr", "Time"},
                                {{"Ola", "IL", "B", "4", "10:00:00"},
                                 {"Kari", "IK", "A", "3", "10:01:00"},
                                 {"Per", "IF", "B", "2", "10:02:00"},
                                 {"Anne", "IL", "A", "1", "10:03:00"}});
  Rows original_ = Dump(table_, 0);
};

TEST_F(GroupingTest, GroupsSortedRunsUnderHeadingRowsAndRemovesTheColumn) {
  table_.SetColumnWidth(2, 43);
  table_.GroupByColumn(2);
  EXPECT_TRUE(table_.IsGrouped());
  EXPECT_EQ(table_.GroupColumn(), 2);
  EXPECT_EQ(table_.SortColumn(), 2);
  EXPECT_EQ(Dump(table_, 0), (Rows{{"Name", "Club", "Nr", "Time"},
                                   {"", "A", "", ""},
                                   {"Anne", "IL", "1", "10:03:00"},
                                   {"Kari", "IK", "3", "10:01:00"},
                                   {"", "B", "", ""},
                                   {"Per", "IF", "2", "10:02:00"},
                                   {"Ola", "IL", "4", "10:00:00"}}));
  EXPECT_EQ(Kinds(table_), (std::vector<RowKind>{RowKind::GroupHeading, RowKind::Body, RowKind::Body,
                                                 RowKind::GroupHeading, RowKind::Body, RowKind::Body}));
  EXPECT_FALSE(table_.MergeSpanAt(2, 1));  // MergeHeader is off
  EXPECT_FALSE(table_.CellBackground(1, 1));

  table_.Ungroup();
  EXPECT_FALSE(table_.IsGrouped());
  EXPECT_EQ(table_.ColumnWidth(2), 43);
  EXPECT_EQ(Dump(table_, 0), (Rows{{"Name", "Club", "Class", "Nr", "Time"},
                                   {"Anne", "IL", "A", "1", "10:03:00"},
                                   {"Kari", "IK", "A", "3", "10:01:00"},
                                   {"Per", "IF", "B", "2", "10:02:00"},
                                   {"Ola", "IL", "B", "4", "10:00:00"}}));
  EXPECT_EQ(Kinds(table_), std::vector<RowKind>(4, RowKind::Body));
}

TEST_F(GroupingTest, SummaryRowsEndEachGroupAndGoAwayOnUngroup) {
  table_.Grouping().summary = true;
  table_.Grouping().mergeSummary = true;
  table_.Grouping().summaryColor = 0xC0C0C0;
  table_.GroupByColumn(2);
  EXPECT_EQ(BodyColumn(table_, 0), (std::vector<std::string>{"", "Anne", "Kari", "", "", "Per", "Ola", ""}));
  EXPECT_EQ(Kinds(table_),
            (std::vector<RowKind>{RowKind::GroupHeading, RowKind::Body, RowKind::Body, RowKind::GroupSummary,
                                  RowKind::GroupHeading, RowKind::Body, RowKind::Body, RowKind::GroupSummary}));
  for (int c = 0; c < table_.ColCount(); ++c) EXPECT_EQ(table_.CellBackground(c, 8), CellColor{0xC0C0C0});
  const std::optional<MergeSpan> summary = table_.MergeSpanAt(3, 4);
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->col, 1);
  EXPECT_EQ(summary->width, 3);

  table_.Ungroup();
  EXPECT_EQ(Dump(table_), (Rows{{"Anne", "IL", "A", "1", "10:03:00"},
                                {"Kari", "IK", "A", "3", "10:01:00"},
                                {"Per", "IF", "B", "2", "10:02:00"},
                                {"Ola", "IL", "B", "4", "10:00:00"}}));
  EXPECT_FALSE(table_.MergeSpanAt(1, 1));
}

TEST_F(GroupingTest, MergedHeadingSpansToTheLastColumnAfterTheRemoval) {
  // Group column left of, inside and at the end of the merged range.
  for (const int group_col : {1, 2, 4}) {
    TGridTable table = MakeTable(original_[0], Dump(table_));
    table.Grouping().mergeHeader = true;
    table.Grouping().headerColor = 0x336699;
    table.GroupByColumn(group_col);
    ASSERT_EQ(table.ColCount(), 4);
    const std::optional<MergeSpan> span = table.MergeSpanAt(3, 1);
    ASSERT_TRUE(span) << "group column " << group_col;
    EXPECT_EQ(span->col, 1);
    EXPECT_EQ(span->width, 3);
    EXPECT_NE(table.Cell(3, 1), "");
    EXPECT_EQ(table.Cell(3, 1), table.Cell(1, 1));  // the covered cells read the heading
    EXPECT_EQ(table.CellBackground(1, 1), CellColor{0x336699});
    EXPECT_FALSE(table.MergeSpanAt(0, 1));
    EXPECT_FALSE(table.MergeSpanAt(1, 2));  // body rows are not merged
  }
}

TEST_F(GroupingTest, GroupOnColumnOnePutsTheHeadingInColumnOneAfterTheRemoval) {
  table_.GroupByColumn(1);
  EXPECT_EQ(Dump(table_, 0), (Rows{{"Name", "Class", "Nr", "Time"},
                                   {"", "IF", "", ""},
                                   {"Per", "B", "2", "10:02:00"},
                                   {"", "IK", "", ""},
                                   {"Kari", "A", "3", "10:01:00"},
                                   {"", "IL", "", ""},
                                   {"Anne", "A", "1", "10:03:00"},
                                   {"Ola", "B", "4", "10:00:00"}}));
  table_.Ungroup();
  EXPECT_EQ(BodyColumn(table_, 1), (std::vector<std::string>{"IF", "IK", "IL", "IL"}));
  EXPECT_EQ(table_.Cell(1, 0), "Club");
}

TEST_F(GroupingTest, ColumnZeroAndUngroupWhenNotGroupedChangeNothing) {
  table_.SetRow(3);
  table_.GroupByColumn(0);
  table_.GroupByColumn(5);
  table_.GroupByColumn(-1);
  table_.Ungroup();
  EXPECT_FALSE(table_.IsGrouped());
  EXPECT_EQ(Dump(table_, 0), original_);
  EXPECT_EQ(table_.Row(), 3);
}

TEST_F(GroupingTest, MovesTheCurrentCellAndUsesTheSortDirection) {
  table_.SetRow(4);
  table_.SetCol(0);
  table_.SetSortState(0, SortDirection::Descending);
  table_.GroupByColumn(2);
  EXPECT_EQ(table_.Row(), 1);
  EXPECT_EQ(table_.Col(), 1);
  EXPECT_EQ(table_.SortColumn(), 2);
  EXPECT_EQ(table_.SortDirectionNow(), SortDirection::Descending);
  // B first; within a class the tie-break on the columns to the right, descending too
  EXPECT_EQ(BodyColumn(table_, 0), (std::vector<std::string>{"", "Ola", "Per", "", "Kari", "Anne"}));
  EXPECT_EQ(table_.Cell(1, 1), "B");
}

TEST_F(GroupingTest, GroupingAGroupedTableTakesTheUngroupedColumnIndex) {
  table_.GroupByColumn(2);
  table_.GroupByColumn(3);  // the "Nr" column of the ungrouped table
  EXPECT_EQ(table_.GroupColumn(), 3);
  EXPECT_EQ(Dump(table_, 0)[0], (std::vector<std::string>{"Name", "Club", "Class", "Time"}));
  EXPECT_EQ(BodyColumn(table_, 1), (std::vector<std::string>{"1", "IL", "2", "IF", "3", "IK", "4", "IL"}));
  EXPECT_EQ(BodyColumn(table_, 0), (std::vector<std::string>{"", "Anne", "", "Per", "", "Kari", "", "Ola"}));
  table_.Ungroup();
  table_.SortRows(0, SortDirection::Ascending);
  TGridTable expected = MakeTable(original_[0], Rows(original_.begin() + 1, original_.end()));
  expected.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(Dump(table_, 0), Dump(expected, 0));
}

TEST_F(GroupingTest, EmptyGroupColumnGivesOneGroupWithAnEmptyHeading) {
  TGridTable table = MakeTable({"a", "b", "c"}, {{"2", "", "x"}, {"1", "", "y"}});
  table.GroupByColumn(1);
  // ties are broken by the columns right of the group column, not by column 0
  EXPECT_EQ(Dump(table), (Rows{{"", ""}, {"2", "x"}, {"1", "y"}}));
  EXPECT_EQ(table.KindOfRow(1), RowKind::GroupHeading);
}

TEST_F(GroupingTest, SortRowsInGroupsLeavesHeadingsInPlace) {
  table_.Grouping().summary = true;
  table_.GroupByColumn(2);
  table_.SortRowsInGroups(3, SortDirection::Descending);  // Time, as the table now stands
  EXPECT_EQ(BodyColumn(table_, 0), (std::vector<std::string>{"", "Anne", "Kari", "", "", "Per", "Ola", ""}));
  table_.SortRows(0, SortDirection::Ascending);  // a grouped table sorts within its groups
  EXPECT_EQ(BodyColumn(table_, 0), (std::vector<std::string>{"", "Anne", "Kari", "", "", "Ola", "Per", ""}));
  EXPECT_EQ(table_.Cell(1, 5), "B");
}

TEST_F(GroupingTest, UngroupPutsTheColumnBackWhereColumnEditsMovedIt) {
  table_.GroupByColumn(2);
  table_.InsertColumn(0);
  EXPECT_EQ(table_.GroupColumn(), 3);
  table_.Ungroup();
  EXPECT_EQ(Dump(table_, 0)[0], (std::vector<std::string>{"", "Name", "Club", "Class", "Nr", "Time"}));
  EXPECT_EQ(BodyColumn(table_, 3), (std::vector<std::string>{"A", "A", "B", "B"}));
}

TEST_F(GroupingTest, TwoColumnTableCannotBeGrouped) {
  TGridTable table = MakeTable({"a", "b"}, {{"1", "x"}});
  table.GroupByColumn(1);
  EXPECT_FALSE(table.IsGrouped());
  EXPECT_EQ(table.ColCount(), 2);
}

// ---------------------------------------------------------------------------------------
// Sparse rows: a row stores its cells up to its last filled one; the rest read empty.

TEST(GridTableSparseRows, CellSetBeyondAShortRowLeavesEmptyCellsBeforeIt) {
  TGridTable table(6);
  table.SetCell(0, 1, "a");
  table.SetCell(4, 1, "e");
  table.SetCell(5, 1, "");  // empty beyond the stored cells: nothing to store
  EXPECT_EQ(Dump(table), (Rows{{"a", "", "", "", "e", ""}}));
  EXPECT_EQ(table.UsedWidth(1), 5);
  EXPECT_EQ(table.UsedWidth(0), 0);
  EXPECT_EQ(table.UsedWidth(2), 0);  // outside the table
  table.SetCell(4, 1, "");
  EXPECT_EQ(table.UsedWidth(1), 1);
  EXPECT_EQ(Dump(table), (Rows{{"a", "", "", "", "", ""}}));
}

TEST(GridTableSparseRows, CopiesACellOutToBeyondTheEndOfItsOwnRow) {
  // Too long for the string's own buffer, so a moved or freed original shows.
  const std::string text = "a text of some thirty characters";
  TGridTable table(8);
  table.SetCell(0, 1, text);
  table.SetCell(7, 1, table.Cell(0, 1));  // as a series paste along the row does
  EXPECT_EQ(table.Cell(7, 1), text);
  EXPECT_EQ(table.Cell(0, 1), text);
}

TEST(GridTableSparseRows, ColumnOperationsOnRowsOfDifferentStoredLengths) {
  TGridTable table(5);
  table.SetRowCount(4);
  for (int c = 0; c < 4; ++c) table.SetCell(c, 1, std::string(1, static_cast<char>('a' + c)));
  table.SetCell(0, 2, "x");  // row 3 stores nothing
  table.InsertColumn(1, 2);
  EXPECT_EQ(Dump(table), (Rows{{"a", "", "", "b", "c", "d", ""}, {"x", "", "", "", "", "", ""}, {"", "", "", "", "", "", ""}}));
  table.InsertColumn(0);
  table.RemoveColumn(4);
  EXPECT_EQ(Dump(table), (Rows{{"", "a", "", "", "c", "d", ""}, {"", "x", "", "", "", "", ""}, {"", "", "", "", "", "", ""}}));

  table.SetColCount(3);  // cuts row 1, leaves the shorter rows as they are
  EXPECT_EQ(table.UsedWidth(1), 2);
  table.SetColCount(7);  // the cells cut off stay gone
  EXPECT_EQ(Dump(table), (Rows{{"", "a", "", "", "", "", ""}, {"", "x", "", "", "", "", ""}, {"", "", "", "", "", "", ""}}));
  table.SetCell(6, 3, "z");
  table.MergeColumns(1, 6);
  EXPECT_EQ(Dump(table), (Rows{{"", "a", "", "", "", ""}, {"", "x", "", "", "", ""}, {"", "z", "", "", "", ""}}));
}

TEST(GridTableSparseRows, SortTreatsCellsBeyondAShortRowAsEmpty) {
  TGridTable table(4);
  table.SetRowCount(6);
  table.SetCell(0, 1, "b");
  table.SetCell(0, 2, "a");
  table.SetCell(3, 2, "z");
  table.SetCell(0, 3, "a");  // stores one cell
  table.SetCell(0, 4, "a");
  table.SetCell(3, 4, "y");
  table.SetCell(0, 5, "a");  // stores four cells, the last emptied again
  table.SetCell(3, 5, "w");
  table.SetCell(3, 5, "");
  table.SortRows(0, SortDirection::Ascending);
  EXPECT_EQ(Dump(table),
            (Rows{{"a", "", "", ""}, {"a", "", "", ""}, {"a", "", "", "y"}, {"a", "", "", "z"}, {"b", "", "", ""}}));
  table.SortRowsByKeys({{3, SortDirection::Descending}});
  EXPECT_EQ(BodyColumn(table, 3), (std::vector<std::string>{"z", "y", "", "", ""}));
}

TEST(GridTableSparseRows, ClearedBodyAndEveryRowPastItsUsedWidthReadEmpty) {
  TGridTable table = MakeTable({"h0", "h1", "h2", "h3", "h4"}, {{"1", "2", "3"}, {"4"}, {}});
  EXPECT_EQ(table.UsedWidth(1), 3);
  EXPECT_EQ(table.UsedWidth(2), 1);
  table.ClearBody();
  EXPECT_EQ(Dump(table), (Rows{{"", "", "", "", ""}, {"", "", "", "", ""}, {"", "", "", "", ""}}));
  EXPECT_EQ(table.UsedWidth(0), 5);
  EXPECT_EQ(table.UsedWidth(1), 0);

  // A covered cell reads its merge's top-left cell, which may lie in a row above.
  table.SetCell(1, 1, "m");
  table.SetMergeSpan(1, 1, 2, 2);
  EXPECT_EQ(table.Cell(2, 2), "m");
  EXPECT_EQ(table.UsedWidth(2), 3);
  EXPECT_EQ(table.UsedWidth(3), 0);
}

// ---------------------------------------------------------------------------------------
// Robustness: any sequence of operations with any arguments keeps the table consistent.

// One operation of the table, with arguments in and around a small table's range.
void RandomOperation(TGridTable& table, std::mt19937& random) {
  auto arg = [&random]() { return static_cast<int>(random() % 14) - 3; };
  const std::vector<std::string> texts = {"", "A", "b", "10", "9:05:00", "01.02.2020", "-", "\xE6"};
  switch (random() % 22) {
    case 0: table.SetCell(arg(), arg(), texts[random() % texts.size()]); break;
    case 1: table.SetRowCount(arg()); break;
    case 2: table.SetColCount(arg()); break;
    case 3: table.AddRow(); break;
    case 4: table.InsertRow(arg(), arg()); break;
    case 5: table.DeleteRow(arg(), arg()); break;
    case 6: table.ClearBody(); break;
    case 7: table.AddColumn(); break;
    case 8: table.InsertColumn(arg(), arg()); break;
    case 9: table.RemoveColumn(arg()); break;
    case 10: table.FindInColumn(arg(), texts[random() % texts.size()]); break;
    case 11: table.HideColumn(arg()); break;
    case 12: table.ShowAllColumns(); break;
    case 13: table.SortRows(arg(), random() % 2 ? SortDirection::Ascending : SortDirection::Descending); break;
    case 14: table.SetMergeSpan(arg(), arg(), arg(), arg()); break;
    case 15: table.SetCellBackground(arg(), arg(), CellColor{1}); break;
    case 16: table.MergeColumns(arg(), arg()); break;
    case 17:
      table.Grouping().mergeHeader = random() % 2;
      table.Grouping().summary = random() % 2;
      table.Grouping().mergeSummary = random() % 2;
      table.GroupByColumn(arg());
      break;
    case 18: table.Ungroup(); break;
    case 19: table.SortRowsInGroups(arg(), SortDirection::Ascending); break;
    case 20: table.SortRowsByKeys({{arg(), SortDirection::Descending}, {arg(), SortDirection::Ascending}}); break;
    case 21: table.SetColumnWidth(arg(), arg() * 10); break;
  }
}

TEST(GridTableRobustness, RandomOperationsNeverBreakTheTable) {
  std::mt19937 random(777);
  TGridTable table(4);
  for (int step = 0; step < 6000; ++step) {
    RandomOperation(table, random);
    ASSERT_GE(table.RowCount(), 2) << "step " << step;
    ASSERT_GE(table.ColCount(), 1) << "step " << step;
    if (table.ColCount() > 12 || table.RowCount() > 40) {
      table.SetColCount(4);
      table.SetRowCount(6);
    }
    int visible = 0;
    for (int c = 0; c < table.ColCount(); ++c) visible += !table.IsColumnHidden(c);
    ASSERT_GE(visible, 1) << "step " << step;
    for (int r = -1; r <= table.RowCount(); ++r) {
      for (int c = -1; c <= table.ColCount(); ++c) {
        (void)table.Cell(c, r);
        if (const std::optional<MergeSpan> span = table.MergeSpanAt(c, r)) {
          ASSERT_GE(span->col, 0);
          ASSERT_LE(span->col + span->width, table.ColCount()) << "step " << step;
          ASSERT_LE(span->row + span->height, table.RowCount()) << "step " << step;
          ASSERT_TRUE(span->width > 1 || span->height > 1);
        }
      }
    }
  }
}


// The merge covering a cell as (col, row, width, height); all -1 when none does.
std::tuple<int, int, int, int> SpanAt(const TGridTable& table, int col, int row) {
  const std::optional<MergeSpan> span = table.MergeSpanAt(col, row);
  if (!span) return {-1, -1, -1, -1};
  return {span->col, span->row, span->width, span->height};
}

// The cells after a row's stored ones are invisible: a table whose rows store every cell
// behaves the same under any sequence of operations. Writing a row's last cell stores the
// whole row (an emptied cell stays stored), which is how `dense` keeps its rows full.
TEST(GridTableRobustness, RowsStoringOnlyTheirFilledCellsBehaveAsRowsStoringAll) {
  std::mt19937 random(4242);
  TGridTable sparse(4);
  TGridTable dense(4);
  auto fill_rows = [&dense]() {
    const int last = dense.ColCount() - 1;
    for (int r = 0; r < dense.RowCount(); ++r) {
      if (dense.MergeSpanAt(last, r)) continue;  // writing it would store its top-left cell's row
      const std::string text = dense.Cell(last, r);
      dense.SetCell(last, r, "x");
      dense.SetCell(last, r, text);
    }
  };
  for (int step = 0; step < 10000; ++step) {
    std::mt19937 same = random;
    RandomOperation(sparse, random);
    RandomOperation(dense, same);
    if (sparse.ColCount() > 12 || sparse.RowCount() > 40) {
      for (TGridTable* table : {&sparse, &dense}) {
        table->SetColCount(4);
        table->SetRowCount(6);
      }
    }
    fill_rows();
    ASSERT_EQ(Dump(sparse, 0), Dump(dense, 0)) << "step " << step;
    ASSERT_EQ(Kinds(sparse), Kinds(dense)) << "step " << step;
    ASSERT_EQ(std::pair(sparse.Col(), sparse.Row()), std::pair(dense.Col(), dense.Row())) << "step " << step;
    for (int r = 0; r < sparse.RowCount(); ++r) {
      ASSERT_LE(sparse.UsedWidth(r), sparse.ColCount()) << "step " << step;
      for (int c = sparse.UsedWidth(r); c < sparse.ColCount(); ++c) ASSERT_EQ(sparse.Cell(c, r), "") << "step " << step;
      for (int c = 0; c < sparse.ColCount(); ++c) {
        ASSERT_EQ(sparse.CellBackground(c, r), dense.CellBackground(c, r)) << "step " << step;
        ASSERT_EQ(SpanAt(sparse, c, r), SpanAt(dense, c, r)) << "step " << step;
      }
    }
  }
}

}  // namespace
}  // namespace ln40
