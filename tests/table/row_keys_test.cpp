#include "table/row_keys.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "editing_test_support.h"
#include "table/grid_keys.h"

namespace ln40 {
namespace {

using editing_test::BodyColumn;
using editing_test::Dump;
using editing_test::MakeTable;
using editing_test::Rows;

constexpr int kClass = 2;  // the runner sheet's "Klasse"

TGridTable FiveRunners() {
  return MakeTable({"Fornavn", "Etternavn", "Klasse"}, {{"Ola", "Hansen", "H21"},
                                                        {"Kari", "Olsen", "D21"},
                                                        {"Per", "Berg", "H35"},
                                                        {"Anne", "Lie", "D35"},
                                                        {"Jon", "Moe", "H21"}});
}

class FakeClipboard : public TextClipboard {
 public:
  std::string Text() const override { return text; }
  void SetText(const std::string& value) override { text = value; }
  std::string text;
};

TEST(RowKeys, InsOnRowOneOfFiveRunnersGetsThePreviousClass) {
  TGridTable sheet = FiveRunners();
  sheet.SetCol(1);
  sheet.SetRow(1);
  const std::string previous_class = "H17-20";
  std::vector<int> notices;
  FakeClipboard clipboard;
  GridKeyHandler keys(sheet, RunnerSheetNavigation(), clipboard);
  keys.SetInsertedRowNotice([&](int row) {
    notices.push_back(row);
    sheet.SetCell(kClass, row, previous_class);  // what the window answers on the runner sheet
  });
  GridSelection selection = GridSelection::AtCell(1, 1);
  ASSERT_TRUE(keys.HandleKey({GridKey::Insert}, selection));

  EXPECT_EQ(sheet.RowCount(), 7);  // header and six rows
  EXPECT_EQ(Dump(sheet), (Rows{{"", "", "H17-20"},
                               {"Ola", "Hansen", "H21"},
                               {"Kari", "Olsen", "D21"},
                               {"Per", "Berg", "H35"},
                               {"Anne", "Lie", "D35"},
                               {"Jon", "Moe", "H21"}}));
  EXPECT_EQ(notices, std::vector<int>{1});
  EXPECT_EQ(sheet.Row(), 1);
  EXPECT_EQ(sheet.Col(), 1);
  EXPECT_EQ(selection, GridSelection::AtCell(1, 1));
}

TEST(RowKeys, InsBeforeALaterRowAndWithoutANotice) {
  TGridTable sheet = FiveRunners();
  sheet.SetRow(5);
  EXPECT_EQ(InsertRowAtCurrent(sheet), 5);
  EXPECT_EQ(BodyColumn(sheet, 0), (std::vector<std::string>{"Ola", "Kari", "Per", "Anne", "", "Jon"}));
  EXPECT_EQ(sheet.Row(), 5);
}

TEST(RowKeys, DelRemovesTheCurrentRowOrEmptiesTheOnlyOne) {
  TGridTable sheet = FiveRunners();
  sheet.SetRow(2);
  DeleteCurrentRow(sheet);
  EXPECT_EQ(BodyColumn(sheet, 0), (std::vector<std::string>{"Ola", "Per", "Anne", "Jon"}));
  EXPECT_EQ(sheet.Row(), 2);  // now Per's row

  sheet.SetRow(4);  // the last row: the current row moves up with the end of the table
  DeleteCurrentRow(sheet);
  EXPECT_EQ(BodyColumn(sheet, 0), (std::vector<std::string>{"Ola", "Per", "Anne"}));
  EXPECT_EQ(sheet.Row(), 3);

  TGridTable one = MakeTable({"Fornavn", "Etternavn", "Klasse"}, {{"Ola", "Hansen", "H21"}});
  one.SetRow(1);
  DeleteCurrentRow(one);
  EXPECT_EQ(one.RowCount(), 2);
  EXPECT_EQ(Dump(one), (Rows{{"", "", ""}}));
  EXPECT_EQ(one.Cell(0, 0), "Fornavn");

  TGridTable header_current = FiveRunners();
  header_current.SetRow(0);
  DeleteCurrentRow(header_current);
  EXPECT_EQ(header_current.RowCount(), 6);
}

TEST(RowKeys, EnterMovesAlongTheRowThenDownAndAppendsAtTheEnd) {
  TGridTable sheet = MakeTable({"A", "B", "C"}, {{"a", "b", "c"}, {"d", "e", "f"}});
  sheet.SetCol(0);
  sheet.SetRow(1);
  const std::vector<CellRef> expected = {{1, 1}, {2, 1}, {0, 2}, {1, 2}, {2, 2}, {0, 3}};
  for (const CellRef& cell : expected) EXPECT_EQ(AdvanceOnEnter(sheet), cell);
  EXPECT_EQ(sheet.RowCount(), 4);  // one row appended
  EXPECT_EQ(Dump(sheet).back(), (std::vector<std::string>{"", "", ""}));

  sheet.SetCol(2);  // without AdvanceInsert the last cell stays
  EXPECT_EQ(AdvanceOnEnter(sheet, false), (CellRef{2, 3}));
  EXPECT_EQ(sheet.RowCount(), 4);
}

TEST(RowKeys, EnterSkipsHiddenColumns) {
  TGridTable sheet = MakeTable({"A", "B", "C", "D"}, {{"", "", "", ""}, {"", "", "", ""}});
  sheet.HideColumn(0);
  sheet.HideColumn(2);
  sheet.SetCol(1);
  sheet.SetRow(1);
  EXPECT_EQ(AdvanceOnEnter(sheet), (CellRef{3, 1}));
  EXPECT_EQ(AdvanceOnEnter(sheet), (CellRef{1, 2}));
}

TEST(RowKeys, WhichKeyDoesWhat) {
  const GridNavigation sheet = RunnerSheetNavigation();
  const GridNavigation times = ReadTimesNavigation();
  const struct {
    GridKeyEvent event;
    GridKeyAction sheet_action;
  } cases[] = {
      {{GridKey::Insert}, GridKeyAction::InsertRow},
      {{GridKey::Insert, false, false, false, true}, GridKeyAction::None},  // editing: the editor's key
      {{GridKey::Insert, true}, GridKeyAction::Copy},
      {{GridKey::Insert, false, true}, GridKeyAction::Paste},
      {{GridKey::Insert, false, false, true}, GridKeyAction::None},
      {{GridKey::Delete}, GridKeyAction::DeleteRow},
      {{GridKey::Delete, true}, GridKeyAction::DeleteRow},  // Ctrl does not matter to DEL
      {{GridKey::Delete, false, false, false, true}, GridKeyAction::None},
      {{GridKey::Delete, false, true}, GridKeyAction::Cut},
      {{GridKey::Delete, false, false, true}, GridKeyAction::None},
      {{GridKey::C, true}, GridKeyAction::Copy},
      {{GridKey::X, true}, GridKeyAction::Cut},
      {{GridKey::V, true}, GridKeyAction::Paste},
      {{GridKey::V, true, false, false, true}, GridKeyAction::None},
      {{GridKey::V}, GridKeyAction::None},  // typing a v
      {{GridKey::Enter}, GridKeyAction::AdvanceOnEnter},
      {{GridKey::Enter, false, false, false, true}, GridKeyAction::AdvanceOnEnter},
      {{GridKey::Other, true}, GridKeyAction::None},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(GridKeyActionFor(cases[i].event, sheet), cases[i].sheet_action);
    EXPECT_EQ(GridKeyActionFor(cases[i].event, times), GridKeyAction::None);
  }
}

TEST(RowKeys, InsAndDelWhileEditingLeaveTheRows) {
  TGridTable sheet = FiveRunners();
  sheet.SetRow(2);
  FakeClipboard clipboard;
  GridKeyHandler keys(sheet, RunnerSheetNavigation(), clipboard);
  GridSelection selection = GridSelection::AtCell(0, 2);
  GridKeyEvent ins{GridKey::Insert};
  ins.editing = true;
  GridKeyEvent del{GridKey::Delete};
  del.editing = true;
  EXPECT_FALSE(keys.HandleKey(ins, selection));
  EXPECT_FALSE(keys.HandleKey(del, selection));
  EXPECT_EQ(sheet.RowCount(), 6);
  EXPECT_EQ(BodyColumn(sheet, 0), (std::vector<std::string>{"Ola", "Kari", "Per", "Anne", "Jon"}));
}

}  // namespace
}  // namespace ln40
