#include "table/find_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "editing_test_support.h"
#include "table/find_dialog.h"
#include "table/wildcard.h"
#include "text/locale.h"

namespace ln40 {
namespace {

using editing_test::MakeTable;

// ---------------------------------------------------------------------------------------
// One cell

TEST(FindMatch, OptionBoxes) {
  enum Box { None = 0, Case = 1, Whole = 2, First = 4, Html = 8, Wild = 16 };
  const struct {
    const char* text;
    const char* cell;
    int boxes;
    bool matches;
  } cases[] = {
      {"ola", "Ola Hansen", None, true},
      {"ola", "Ola Hansen", Case, false},
      {"ola", "Ola Hansen", Whole, false},
      {"ola hansen", "Ola Hansen", Whole, true},
      {"hansen", "Ola Hansen", None, true},
      {"hansen", "Ola Hansen", First, false},
      {"ola", "Ola Hansen", First, true},
      {"Ola", "Ola Hansen", Case | First, true},
      {"ola", "Ola", Whole | First, true},
      {"ola h", "Ola Hansen", Whole | First, false},  // whole words is the stricter box
      {"\xE6r\xF8", "\xC6R\xD8Y", None, true},       // æ ø å have upper-case forms
      {"\xE6r\xF8", "\xC6R\xD8Y", Case, false},
      {"ola hansen", "<b>Ola</b> Hansen", Whole | Html, true},
      {"ola hansen", "<b>Ola</b> Hansen", Whole, false},
      {"b", "<b>Ola</b>", Html, false},              // the tag's text is gone too
      {"1 < 2", "1 < 2", Html | Whole, true},        // a "<" without ">" is no tag
      {"", "", None, false},                        // an empty text finds nothing
      {"", "x", None, false},
      {"\"\"", "", None, true},                     // two quotes find an empty cell
      {"\"\"", "x", None, false},
      {"\"\"", "<br>", Html, true},
      {"\"\"", "", Wild, true},
      {"h2?", "H21", Wild, true},                   // wildcards: whole cell, case ignored
      {"h2?", "H21", Wild | Case, false},
      {"H2", "H21", Wild, false},
      {"H2", "H21", Wild | First, false},           // first-char box does not apply to patterns
  };
  const Locale locale = Locale::WorkedExample();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " in " + c.cell + " boxes " + std::to_string(c.boxes));
    FindOptions options;
    options.caseSensitive = (c.boxes & Case) != 0;
    options.wholeWords = (c.boxes & Whole) != 0;
    options.matchFromFirstChar = (c.boxes & First) != 0;
    options.ignoreHtmlTags = (c.boxes & Html) != 0;
    options.wildcards = (c.boxes & Wild) != 0;
    CellTextMatcher matcher(c.text, options, locale);
    EXPECT_EQ(matcher.Matches(c.cell), c.matches);
  }
}

TEST(Wildcard, PatternsJoinersAndComparisons) {
  const struct {
    const char* pattern;
    const char* cell;
    bool fits;
  } cases[] = {
      {"*", "anything", true},
      {"*", "", true},
      {"O*", "Ola", true},
      {"*sen", "Hansen", true},
      {"*sen", "Hansen Jr", false},
      {"H?1", "H21", true},
      {"H?1", "H211", false},
      {"H?1", "H1", false},
      {"*a*a*", "Banana", true},
      {"Ola", "Ola Hansen", false},  // the whole cell must fit
      {"  Ola  ", "Ola", true},      // the pattern is trimmed
      {"=H21", "H21", true},         // a leading "=" is dropped
      {"H*&*B", "H21B", true},       // "&": all must fit
      {"H*&*B", "H21", false},
      {"H* & *1", "H21", true},      // blanks around joiners do not count
      {"D21;H21", "H21", true},      // ";", "^", "|": one must fit
      {"D21 | H21", "H21", true},
      {"D21^H21", "H21", true},
      {"D21|H35", "H21", false},
      {"H*&*B|D*", "D21", true},     // "&" binds tighter than "|"
      {"|", "x", false},             // nothing but joiners: fits nothing
      {">=100", "100", true},
      {">=100", "99", false},
      {">100", "100", false},
      {"<5", "10", false},           // as numbers, not as texts
      {"<5", "4.5", true},
      {"<=5", "5", true},
      {"> 7", "12", true},
      {"<10:00:00", "09:59:59", true},  // times of day
      {"<10:00:00", "10:00:01", false},
      {">01.01.2005", "02.01.2005", true},  // dates
      {">01.01.2005", "31.12.2004", false},
      {">=01.01.2005 12:00", "01.01.2005 12:00:00", true},
      {">b", "c", true},             // texts, case ignored
      {">b", "B", false},
      {"<b", "A", true},
      {">5", "abc", true},           // the cell is no number: compared as text
      {">=100&<200", "150", true},   // a range
      {">=100&<200", "250", false},
  };
  const Locale locale = Locale::WorkedExample();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " against " + c.cell);
    EXPECT_EQ(WildcardPattern(c.pattern, false, locale).Matches(c.cell), c.fits);
  }
  EXPECT_FALSE(WildcardPattern("ola", true, locale).Matches("Ola"));
  EXPECT_TRUE(WildcardPattern("ola", false, locale).Matches("Ola"));
  EXPECT_TRUE(FitsWildcard("a*c", "abbbc"));
  EXPECT_FALSE(FitsWildcard("a*c", "ABC"));
}

// ---------------------------------------------------------------------------------------
// The walk

// x marks the cells to be found:   col 0  col 1  col 2
//                                   x      .      x      row 1
//                                   .      x      .      row 2
//                                   x      .      x      row 3
TGridTable Crosses() {
  return MakeTable({"x", "B", "C"}, {{"x", "", "x"}, {"", "x", ""}, {"x", "", "x"}});
}

std::vector<CellRef> FindAll(const TGridTable& table, const std::string& text, const FindOptions& options) {
  std::vector<CellRef> found;
  std::optional<CellRef> after;
  while ((after = FindNextCell(table, text, options, after))) {
    found.push_back(*after);
    if (found.size() > 100) break;
  }
  return found;
}

TEST(FindWalk, FourDirections) {
  const struct {
    FindDirection direction;
    std::vector<CellRef> found;
  } cases[] = {
      {FindDirection::TopToBottom, {{0, 1}, {0, 3}, {1, 2}, {2, 1}, {2, 3}}},
      {FindDirection::LeftToRight, {{0, 1}, {2, 1}, {1, 2}, {0, 3}, {2, 3}}},
      {FindDirection::BottomToTop, {{2, 3}, {2, 1}, {1, 2}, {0, 3}, {0, 1}}},
      {FindDirection::RightToLeft, {{2, 3}, {0, 3}, {1, 2}, {2, 1}, {0, 1}}},
  };
  const TGridTable table = Crosses();
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.direction));
    FindOptions options;
    options.direction = c.direction;
    EXPECT_EQ(FindAll(table, "x", options), c.found);
  }
}

TEST(FindWalk, ScopesFixedCellsAndHiddenColumns) {
  TGridTable table = Crosses();
  table.SetCol(2);
  table.SetRow(3);
  FindOptions options;

  options.scope = FindScope::CurrentColumn;
  EXPECT_EQ(FindAll(table, "x", options), (std::vector<CellRef>{{2, 1}, {2, 3}}));

  options.scope = FindScope::CurrentRow;
  options.direction = FindDirection::LeftToRight;
  EXPECT_EQ(FindAll(table, "x", options), (std::vector<CellRef>{{0, 3}, {2, 3}}));
  options.direction = FindDirection::RightToLeft;
  EXPECT_EQ(FindAll(table, "x", options), (std::vector<CellRef>{{2, 3}, {0, 3}}));

  options = FindOptions{};
  options.findInFixedCells = true;  // the heading "x" of column 0 first
  EXPECT_EQ(FindAll(table, "x", options).front(), (CellRef{0, 0}));
  options.findInFixedCells = false;
  table.HideColumn(0);
  EXPECT_EQ(FindAll(table, "x", options), (std::vector<CellRef>{{1, 2}, {2, 1}, {2, 3}}));
}

TEST(FindWalk, GoesOnFromACellOutsideTheArea) {
  const TGridTable table = Crosses();
  FindOptions options;
  // From a header cell: the body of the same column follows.
  EXPECT_EQ(FindNextCell(table, "x", options, CellRef{1, 0}), (CellRef{1, 2}));
  // From beyond the last row of column 0: column 1 follows.
  EXPECT_EQ(FindNextCell(table, "x", options, CellRef{0, 99}), (CellRef{1, 2}));
  EXPECT_EQ(FindNextCell(table, "x", options, CellRef{5, 1}), std::nullopt);
}

// The walk against a plain enumeration of the area in walk order, on random tables, from
// every possible starting cell (inside the area or not).
TEST(FindWalk, AgreesWithAPlainEnumeration) {
  std::mt19937 random(7);
  const FindDirection directions[] = {FindDirection::TopToBottom, FindDirection::LeftToRight,
                                      FindDirection::BottomToTop, FindDirection::RightToLeft};
  const FindScope scopes[] = {FindScope::AllCells, FindScope::CurrentRow, FindScope::CurrentColumn};
  for (int round = 0; round < 200; ++round) {
    const int cols = 1 + static_cast<int>(random() % 4);
    const int rows = 1 + static_cast<int>(random() % 5);
    TGridTable table(cols);
    table.SetRowCount(rows + 1);
    for (int r = 0; r <= rows; ++r) {
      for (int c = 0; c < cols; ++c) table.SetCell(c, r, random() % 3 == 0 ? "x" : "");
    }
    for (int c = 0; c < cols; ++c) {
      if (random() % 4 == 0) table.HideColumn(c);
    }
    table.SetCol(static_cast<int>(random() % static_cast<unsigned>(cols)));
    table.SetRow(static_cast<int>(random() % static_cast<unsigned>(rows + 1)));
    FindOptions options;
    options.direction = directions[random() % 4];
    options.scope = scopes[random() % 3];
    options.findInFixedCells = random() % 2 == 0;

    // Every cell of the area in walk order.
    std::vector<CellRef> walk;
    const bool by_column = options.direction == FindDirection::TopToBottom ||
                           options.direction == FindDirection::BottomToTop;
    const int outer_count = by_column ? cols : rows + 1;
    const int inner_count = by_column ? rows + 1 : cols;
    for (int o = 0; o < outer_count; ++o) {
      for (int i = 0; i < inner_count; ++i) {
        const CellRef cell = by_column ? CellRef{o, i} : CellRef{i, o};
        if (table.IsColumnHidden(cell.col) || (cell.row == 0 && !options.findInFixedCells)) continue;
        if (options.scope == FindScope::CurrentRow && cell.row != table.Row()) continue;
        if (options.scope == FindScope::CurrentColumn && cell.col != table.Col()) continue;
        walk.push_back(cell);
      }
    }
    const bool forward = options.direction == FindDirection::TopToBottom ||
                         options.direction == FindDirection::LeftToRight;
    if (!forward) std::reverse(walk.begin(), walk.end());

    auto key = [&](const CellRef& cell) {
      return by_column ? std::pair{cell.col, cell.row} : std::pair{cell.row, cell.col};
    };
    for (int c = -1; c <= cols; ++c) {
      for (int r = -1; r <= rows + 1; ++r) {
        const std::optional<CellRef> after = c < 0 ? std::nullopt : std::optional<CellRef>(CellRef{c, r});
        std::optional<CellRef> expected;
        for (const CellRef& cell : walk) {
          const bool beyond = !after || (forward ? key(cell) > key(*after) : key(cell) < key(*after));
          if (beyond && table.Cell(cell.col, cell.row) == "x") {
            expected = cell;
            break;
          }
        }
        SCOPED_TRACE("round " + std::to_string(round) + " after " + std::to_string(c) + "," + std::to_string(r));
        ASSERT_EQ(FindNextCell(table, "x", options, after), expected);
      }
    }
  }
}

TEST(FindWalk, MergedCellIsFoundOnce) {
  TGridTable table = MakeTable({"A", "B", "C"}, {{"", "Ola", ""}, {"", "", ""}});
  table.SetMergeSpan(1, 1, 2, 2);
  FindOptions options;
  options.direction = FindDirection::LeftToRight;
  EXPECT_EQ(FindAll(table, "ola", options), (std::vector<CellRef>{{1, 1}}));
}

// ---------------------------------------------------------------------------------------
// The dialog

TGridTable Names() {
  return MakeTable({"Fornavn", "Etternavn"},
                   {{"Kari", "Olsen"}, {"Ola", "Hansen"}, {"Per", "Berg"}, {"Ola", "Nordmann"}, {"Anne", "Lie"}});
}

TEST(FindDialog, SecondOkFindsTheNextThenTheMessageThenTheTopAgain) {
  TGridTable table = Names();
  FindDialogState dialog;
  dialog.EditText("ola");
  dialog.SetBox(FindBox::WholeWords, true);

  FindOutcome outcome = dialog.Ok(table);
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.cell, (CellRef{0, 2}));
  EXPECT_EQ(table.Col(), 0);
  EXPECT_EQ(table.Row(), 2);

  outcome = dialog.Ok(table);  // the next one below, same column
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.cell, (CellRef{0, 4}));
  EXPECT_EQ(dialog.LastFound(), (CellRef{0, 4}));

  outcome = dialog.Ok(table);
  EXPECT_FALSE(outcome.found);
  EXPECT_EQ(outcome.message, "No more occurences of text  \n\"ola\"");
  EXPECT_EQ(dialog.LastFound(), std::nullopt);
  EXPECT_EQ(table.Row(), 4);  // the current cell stays at the last match

  outcome = dialog.Ok(table);  // starts again at the top
  ASSERT_TRUE(outcome.found);
  EXPECT_EQ(outcome.cell, (CellRef{0, 2}));
}

TEST(FindDialog, WithoutCaseAndWholeWordsOlaFindsOlsen) {
  TGridTable table = Names();
  FindDialogState dialog;
  dialog.EditText("ola");
  EXPECT_EQ(dialog.Ok(table).cell, (CellRef{0, 2}));
  dialog.CheckDirection(FindDirection::LeftToRight);
  dialog.EditText("OLS");
  EXPECT_EQ(dialog.Ok(table).cell, (CellRef{1, 1}));  // "Olsen": the text started the walk anew

  dialog.SetBox(FindBox::CaseSensitive, true);
  dialog.EditText("ola");
  const FindOutcome outcome = dialog.Ok(table);
  EXPECT_FALSE(outcome.found);
  EXPECT_EQ(outcome.message, "Could not find text \n\"ola\"");
}

TEST(FindDialog, ListOfTextsHasNoDuplicatesNewestLast) {
  TGridTable table = Names();
  FindDialogState dialog;
  for (const char* text : {"Ola", "Per", "Ola", "", "per"}) {
    dialog.EditText(text);
    dialog.Ok(table);
  }
  EXPECT_EQ(dialog.History(), (std::vector<std::string>{"Ola", "Per", "per"}));
}

TEST(FindDialog, EditingTheTextForgetsTheLastFoundCell) {
  TGridTable table = Names();
  FindDialogState dialog;
  dialog.EditText("ola");
  dialog.Ok(table);
  ASSERT_TRUE(dialog.LastFound().has_value());
  dialog.EditText("ola");  // no change: kept
  EXPECT_TRUE(dialog.LastFound().has_value());
  dialog.EditText("ol");
  EXPECT_FALSE(dialog.LastFound().has_value());
  EXPECT_EQ(dialog.Ok(table).cell, (CellRef{0, 2}));
}

TEST(FindDialog, DirectionBoxesAndScope) {
  FindDialogState dialog;
  EXPECT_EQ(dialog.Direction(), FindDirection::TopToBottom);
  EXPECT_EQ(dialog.Scope(), FindScope::AllCells);
  dialog.CheckDirection(FindDirection::BottomToTop);
  dialog.CheckDirection(FindDirection::BottomToTop);  // the checked one stays checked
  EXPECT_EQ(dialog.Direction(), FindDirection::BottomToTop);

  dialog.ChooseScope(FindScope::CurrentRow);
  EXPECT_EQ(dialog.Direction(), FindDirection::LeftToRight);
  EXPECT_FALSE(dialog.IsDirectionEnabled(FindDirection::TopToBottom));
  EXPECT_FALSE(dialog.IsDirectionEnabled(FindDirection::BottomToTop));
  dialog.CheckDirection(FindDirection::TopToBottom);  // disabled: ignored
  EXPECT_EQ(dialog.Direction(), FindDirection::LeftToRight);
  dialog.CheckDirection(FindDirection::RightToLeft);
  EXPECT_EQ(dialog.Direction(), FindDirection::RightToLeft);

  dialog.ChooseScope(FindScope::CurrentColumn);
  EXPECT_EQ(dialog.Direction(), FindDirection::TopToBottom);
  EXPECT_FALSE(dialog.IsDirectionEnabled(FindDirection::LeftToRight));
  dialog.CheckDirection(FindDirection::BottomToTop);

  dialog.ChooseScope(FindScope::AllCells);
  EXPECT_EQ(dialog.Direction(), FindDirection::BottomToTop);  // kept
  for (FindDirection d : {FindDirection::TopToBottom, FindDirection::LeftToRight, FindDirection::BottomToTop,
                          FindDirection::RightToLeft}) {
    EXPECT_TRUE(dialog.IsDirectionEnabled(d));
  }

  for (FindBox box : {FindBox::CaseSensitive, FindBox::WholeWords, FindBox::MatchFromFirstChar,
                      FindBox::IgnoreHtmlTags, FindBox::FindInFixedCells, FindBox::Wildcards}) {
    EXPECT_FALSE(dialog.Box(box));
    dialog.SetBox(box, true);
    EXPECT_TRUE(dialog.Box(box));
  }
  EXPECT_TRUE(dialog.Options().wildcards && dialog.Options().findInFixedCells);
}

TEST(FindDialog, CurrentColumnOnlyFollowsTheFoundCell) {
  TGridTable table = Names();
  table.SetCol(1);
  FindDialogState dialog;
  dialog.ChooseScope(FindScope::CurrentColumn);
  dialog.EditText("e");
  std::vector<CellRef> found;
  for (FindOutcome outcome = dialog.Ok(table); outcome.found; outcome = dialog.Ok(table)) found.push_back(outcome.cell);
  EXPECT_EQ(found, (std::vector<CellRef>{{1, 1}, {1, 2}, {1, 3}, {1, 5}}));
}

}  // namespace
}  // namespace ln40
