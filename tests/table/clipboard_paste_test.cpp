#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "editing_test_support.h"
#include "table/clipboard_text.h"
#include "table/grid_keys.h"
#include "table/series_paste.h"
#include "text/locale.h"

namespace ln40 {
namespace {

using editing_test::BodyColumn;
using editing_test::Dump;
using editing_test::MakeTable;
using editing_test::Rows;

std::vector<std::string> Numbers(long first, long step, int count) {
  std::vector<std::string> texts;
  for (int k = 0; k < count; ++k) texts.push_back(std::to_string(first + k * step));
  return texts;
}

std::vector<std::string> Padded(std::vector<std::string> texts, int count, const std::string& rest = "") {
  texts.resize(static_cast<size_t>(count), rest);
  return texts;
}

std::vector<std::string> Times(int first_minute, int count) {
  std::vector<std::string> texts;
  for (int k = 0; k < count; ++k) {
    const int minutes = first_minute + k;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:00", minutes / 60 % 24, minutes % 60);
    texts.push_back(text);
  }
  return texts;
}

Locale DecimalCommaLocale() {
  Locale locale = Locale::WorkedExample();
  locale.decimalSeparator = ',';
  return locale;
}

// A two-column table whose column 0 holds `column`, the body rows in order.
TGridTable ColumnTable(const std::vector<std::string>& column, const Locale& locale = Locale::WorkedExample()) {
  Rows body;
  for (const std::string& text : column) body.push_back({text, ""});
  TGridTable table = MakeTable({"Startnr", "Navn"}, body);
  table.SetLocale(locale);
  return table;
}

// ---------------------------------------------------------------------------------------
// The clipboard text format

TEST(ClipboardText, CopiesRowsWithCrLfAndCellsWithTabs) {
  const TGridTable table = MakeTable({"A", "B", "C"}, {{"a", "b", "c"}, {"d", "e", "f"}, {"x\r\ny", "", "q\"r"}});
  const struct {
    GridSelection selection;
    const char* text;
  } cases[] = {
      {GridSelection::AtCell(1, 1), "b"},                         // one cell: no line break
      {GridSelection::Cells(0, 1, 2, 1), "a\tb\tc"},              // one row: no line break
      {GridSelection::Cells(0, 1, 0, 2), "a\r\nd\r\n"},           // one column: ends with CR LF
      {GridSelection::Cells(1, 1, 2, 2), "b\tc\r\ne\tf\r\n"},     // a block
      {GridSelection::Cells(0, 3, 2, 3), "\"x\ny\"\t\tq\"r"},     // CRs dropped, cell quoted
      {GridSelection::Cells(2, 2, 1, 1), "b\tc\r\ne\tf\r\n"},     // corners in any order
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CopySelectionText(table, c.selection), c.text);
  }
}

TEST(ClipboardText, ParsesLinesFieldsAndTheFieldCount) {
  const struct {
    const char* text;
    Rows lines;
    int field_count;
  } cases[] = {
      {"101\r\n102\r\n", {{"101"}, {"102"}}, 3},  // two cells of a column
      {"Ola\tKari", {{"Ola", "Kari"}}, 2},         // two cells of a row
      {"H21", {{"H21"}}, 1},                       // one cell
      {"", {}, 0},
      {"a\r\nb", {{"a"}, {"b"}}, 2},               // no break after the last line
      {"a\rb\r", {{"a"}, {"b"}}, 3},               // a CR alone ends a line too
      {"a\t\r\n\tb\r\n", {{"a", ""}, {"", "b"}}, 5},
      {"\r\n", {{""}}, 2},
      // A field with a LF came from a multi-line cell: its quotes go, vertical tabs become CR LF.
      {"\"x\ny\"\tz", {{"x\ny", "z"}}, 2},
      {"\"a\vb\nc\"", {{"a\r\nb\nc"}}, 1},
      {"\"q\" is\nfine", {{"q\" is\nfine"}}, 1},   // the first quote left is not last: it stays
      {"\"no line feed\"", {{"\"no line feed\""}}, 1},  // without a LF quotes are text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const ClipboardBlock block = ParseClipboardText(c.text);
    EXPECT_EQ(block.lines, c.lines);
    EXPECT_EQ(block.fieldCount, c.field_count);
  }
}

TEST(ClipboardText, LinuxLineEndsBecomeCrLfOutsideQuotes) {
  EXPECT_EQ(WithCrLfLineEnds("a\tb\nc\td\n"), "a\tb\r\nc\td\r\n");
  EXPECT_EQ(WithCrLfLineEnds("\"x\ny\"\tz\n"), "\"x\ny\"\tz\r\n");
  EXPECT_EQ(WithCrLfLineEnds("101\r\n102\r\n"), "101\r\n102\r\n");
}

TEST(ClipboardText, MultiLineCellComesBackAsOneCell) {
  TGridTable table = MakeTable({"A", "B"}, {{"first\r\nsecond", "x"}, {"", ""}});
  const std::string text = CopySelectionText(table, GridSelection::Cells(0, 1, 1, 1));
  PastePlain(table, 0, 2, text);
  EXPECT_EQ(table.Cell(0, 2), "first\nsecond");  // the copy drops CRs; the line break stays
  EXPECT_EQ(table.Cell(1, 2), "x");
  EXPECT_EQ(table.RowCount(), 3);
}

// ---------------------------------------------------------------------------------------
// The plain paste

TEST(PastePlain, AppendsColumnsForWideLines) {
  TGridTable table = MakeTable({"A", "B"}, {{"", ""}, {"", ""}});
  const PastedBlock block = PastePlain(table, 1, 1, "p\tq\tr\r\ns\tt\tu\r\n");
  EXPECT_EQ(table.ColCount(), 4);
  EXPECT_EQ(table.Cell(3, 0), "");  // new column, empty heading
  EXPECT_EQ(Dump(table), (Rows{{"", "p", "q", "r"}, {"", "s", "t", "u"}}));
  EXPECT_EQ(block.fieldCount, 7);
  EXPECT_EQ(block.lineCount, 2);
  EXPECT_EQ(block.firstLineFields, 3);
}

TEST(PastePlain, EmptyTextChangesNothing) {
  TGridTable table = ColumnTable({"1", "2"});
  const PasteOutcome outcome = PasteText(table, GridSelection::Cells(0, 1, 0, 2), "");
  EXPECT_EQ(outcome.rule, WidenRule::None);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"1", "2"}));
}

// ---------------------------------------------------------------------------------------
// Widening: the organiser's way of filling a column. Type the first values into column 0,
// copy them, select from the first one down, paste.

TEST(SeriesPaste, ContinuesWhatTheOrganiserTyped) {
  const struct {
    const char* what;
    std::vector<std::string> column;  // column 0 before, every body row
    int copy_first, copy_last;        // the rows copied
    int paste_first, paste_last;      // the rows selected for the paste
    std::vector<std::string> expected;
    WidenRule rule;
    Locale locale = Locale::WorkedExample();
  } cases[] = {
      {"start numbers", Padded({"101", "102"}, 50), 1, 2, 1, 50, Numbers(101, 1, 50), WidenRule::IntegerSeries},
      {"falling numbers", Padded({"100", "98"}, 50), 1, 2, 1, 50, Numbers(100, -2, 50), WidenRule::IntegerSeries},
      {"leading zeros go", Padded({"007", "008"}, 4), 1, 2, 1, 4, {"7", "8", "9", "10"}, WidenRule::IntegerSeries},
      {"one class into 30 rows", Padded({"H21"}, 30), 1, 1, 1, 30, Padded({}, 30, "H21"), WidenRule::Fill},
      {"names repeat", Padded({"Ola", "Kari"}, 6), 1, 2, 1, 6, {"Ola", "Kari", "Ola", "Kari", "Ola", "Kari"},
       WidenRule::Repeat},
      {"decimal comma", Padded({"1,5", "2"}, 5), 1, 2, 1, 5, {"1,50", "2,00", "2,50", "3,00", "3,50"},
       WidenRule::DecimalSeries, DecimalCommaLocale()},
      {"same day each month", Padded({"28.01.2005", "28.02.2005"}, 4), 1, 2, 1, 4,
       {"28.01.2005", "28.02.2005", "28.03.2005", "28.04.2005"}, WidenRule::DateSeries},
      {"month and day differ: steps of 28 days", Padded({"31.01.2005", "28.02.2005"}, 4), 1, 2, 1, 4,
       {"31.01.2005", "28.02.2005", "28.03.2005", "25.04.2005"}, WidenRule::DateSeries},
      {"days backwards", Padded({"10.01.2005", "08.01.2005"}, 4), 1, 2, 1, 4,
       {"10.01.2005", "08.01.2005", "06.01.2005", "04.01.2005"}, WidenRule::DateSeries},
      {"two cells into two cells: the plain paste alone", {"5", "9", "x", "y"}, 1, 2, 3, 4, {"5", "9", "5", "9"},
       WidenRule::FittedSelection},
      // Rows 1 to 3 pasted into the last row, 4: rows 5 and 6 are appended for the block.
      {"three rows into the last row", {"a", "b", "c", "x"}, 1, 3, 4, 4, {"a", "b", "c", "a", "b", "c"},
       WidenRule::Repeat},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TGridTable table = ColumnTable(c.column, c.locale);
    const std::string copied = CopySelectionText(table, GridSelection::Cells(0, c.copy_first, 0, c.copy_last));
    const PasteOutcome outcome = PasteText(table, GridSelection::Cells(0, c.paste_first, 0, c.paste_last), copied);
    EXPECT_EQ(outcome.rule, c.rule);
    EXPECT_EQ(BodyColumn(table, 0), c.expected);
    EXPECT_EQ(BodyColumn(table, 1), std::vector<std::string>(c.expected.size(), ""));
  }
}

TEST(SeriesPaste, StartTimesOneMinuteApartOver40Runners) {
  TGridTable table = ColumnTable(Padded({"10:00:00", "10:01:00"}, 40));
  const std::string copied = CopySelectionText(table, GridSelection::Cells(0, 1, 0, 2));
  const PasteOutcome outcome = PasteText(table, GridSelection::Cells(0, 1, 0, 40), copied);
  EXPECT_EQ(outcome.rule, WidenRule::TimeSeries);
  const std::vector<std::string> column = BodyColumn(table, 0);
  EXPECT_EQ(column, Times(600, 40));
  EXPECT_EQ(column.back(), "10:39:00");
}

// Further rules, with the clipboard text given as it arrives.
TEST(SeriesPaste, WideningRules) {
  const struct {
    const char* what;
    Rows body;
    const char* clipboard;
    GridSelection selection;
    Rows expected;
    WidenRule rule;
  } cases[] = {
      {"numbers along a row", {{"", "", "", "", ""}}, "1\t2", GridSelection::Cells(0, 1, 4, 1),
       {{"1", "2", "3", "4", "5"}}, WidenRule::IntegerSeries},
      {"names along a row", {{"", "", "", "", ""}}, "Ola\tKari", GridSelection::Cells(0, 1, 4, 1),
       {{"Ola", "Kari", "Ola", "Kari", "Ola"}}, WidenRule::Repeat},
      {"one value into a block", {{"", ""}, {"", ""}}, "H21", GridSelection::Cells(0, 1, 1, 2),
       {{"H21", "H21"}, {"H21", "H21"}}, WidenRule::Fill},
      {"two values into a block: the plain paste alone", {{"", "o"}, {"", "o"}, {"", "o"}}, "1\r\n2\r\n",
       GridSelection::Cells(0, 1, 1, 3), {{"1", "o"}, {"2", "o"}, {"", "o"}}, WidenRule::None},
      // Other programs leave out the line break after the last line; the block still repeats whole.
      {"block without a final line break", {{""}, {""}, {""}, {""}}, "Ola\r\nKari", GridSelection::Cells(0, 1, 0, 4),
       {{"Ola"}, {"Kari"}, {"Ola"}, {"Kari"}}, WidenRule::Repeat},
      {"a decimal and a word: stops", {{""}, {""}, {"old"}}, "1.5\r\nabc\r\n", GridSelection::Cells(0, 1, 0, 3),
       {{"1.5"}, {"abc"}, {"old"}}, WidenRule::None},
      {"a decimal series in the worked-example locale", {{""}, {""}, {""}}, "0.25\r\n0.5\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"0.25"}, {"0.50"}, {"0.75"}}, WidenRule::DecimalSeries},
      // 0.4 + 4 * (0.3 - 0.4) comes out a hair below zero.
      {"a decimal series through zero has no minus zero", {{""}, {""}, {""}, {""}, {""}, {""}}, "0.4\r\n0.3\r\n",
       GridSelection::Cells(0, 1, 0, 6), {{"0.40"}, {"0.30"}, {"0.20"}, {"0.10"}, {"0.00"}, {"-0.10"}},
       WidenRule::DecimalSeries},
      {"a time that does not read: stops", {{""}, {""}, {"old"}}, "10:00:00\r\n10:99\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"10:00:00"}, {"10:99"}, {"old"}}, WidenRule::None},
      {"a word with a colon is no time: stops", {{""}, {""}, {"old"}}, "Kl:1\r\nKl:2\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"Kl:1"}, {"Kl:2"}, {"old"}}, WidenRule::None},
      {"months across the year end", {{""}, {""}, {""}, {""}}, "15.11.2005\r\n15.12.2005\r\n",
       GridSelection::Cells(0, 1, 0, 4), {{"15.11.2005"}, {"15.12.2005"}, {"15.01.2006"}, {"15.02.2006"}},
       WidenRule::DateSeries},
      {"months backwards across the year start", {{""}, {""}, {""}}, "15.02.2005\r\n15.01.2005\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"15.02.2005"}, {"15.01.2005"}, {"15.12.2004"}}, WidenRule::DateSeries},
      // 31 September does not exist: the series ends there and the rest keeps its texts.
      {"months stop at a missing day", {{""}, {""}, {""}, {""}, {"old"}, {"old"}}, "31.01.2005\r\n31.03.2005\r\n",
       GridSelection::Cells(0, 1, 0, 6), {{"31.01.2005"}, {"31.03.2005"}, {"31.05.2005"}, {"31.07.2005"}, {"old"}, {"old"}},
       WidenRule::DateSeries},
      {"leap days four years apart", {{""}, {""}, {""}}, "29.02.2004\r\n29.02.2008\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"29.02.2004"}, {"29.02.2008"}, {"29.02.2012"}}, WidenRule::DateSeries},
      {"dates keep their times", {{""}, {""}, {""}}, "01.02.2005 10:00:00\r\n02.02.2005 10:00:00\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"01.02.2005 10:00:00"}, {"02.02.2005 10:00:00"}, {"03.02.2005 10:00:00"}},
       WidenRule::DateSeries},
      {"times wrap at midnight going forward", {{""}, {""}, {""}}, "23:58:00\r\n23:59:00\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"23:58:00"}, {"23:59:00"}, {"00:00:00"}}, WidenRule::TimeSeries},
      {"times wrap at midnight going back", {{""}, {""}, {""}, {""}}, "00:02:00\r\n00:01:00\r\n",
       GridSelection::Cells(0, 1, 0, 4), {{"00:02:00"}, {"00:01:00"}, {"00:00:00"}, {"23:59:00"}},
       WidenRule::TimeSeries},
      {"a time with a fraction is no date", {{""}, {""}, {""}}, "10:00:00.250\r\n10:00:01.250\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"10:00:00"}, {"10:00:01"}, {"10:00:02"}}, WidenRule::TimeSeries},
      {"short times are written in the long format", {{""}, {""}, {""}}, "9:30\r\n9:45\r\n",
       GridSelection::Cells(0, 1, 0, 3), {{"09:30:00"}, {"09:45:00"}, {"10:00:00"}}, WidenRule::TimeSeries},
      {"the series stops before leaving year 9999", {{""}, {""}, {""}, {"old"}}, "30.12.9999\r\n31.12.9999\r\n",
       GridSelection::Cells(0, 1, 0, 4), {{"30.12.9999"}, {"31.12.9999"}, {""}, {"old"}}, WidenRule::DateSeries},
      {"integers stop before they overflow", {{""}, {""}, {"old"}},
       "9223372036854775806\r\n9223372036854775807\r\n", GridSelection::Cells(0, 1, 0, 3),
       {{"9223372036854775806"}, {"9223372036854775807"}, {"old"}}, WidenRule::IntegerSeries},
      {"two cells of a row into one cell", {{"", "", "old"}}, "1\t2", GridSelection::AtCell(0, 1),
       {{"1", "2", "old"}}, WidenRule::FittedSelection},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> headings(c.body.front().size(), "h");
    TGridTable table = MakeTable(headings, c.body);
    const PasteOutcome outcome = PasteText(table, c.selection, c.clipboard);
    EXPECT_EQ(outcome.rule, c.rule);
    EXPECT_EQ(Dump(table), c.expected);
  }
}

TEST(SeriesPaste, PlainPasteAloneWhenWideningIsOff) {
  TGridTable table = ColumnTable(Padded({}, 5));
  PasteOptions options;
  options.widen = false;
  const PasteOutcome outcome = PasteText(table, GridSelection::Cells(0, 1, 0, 5), "1\r\n2\r\n", options);
  EXPECT_EQ(outcome.rule, WidenRule::None);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"1", "2", "", "", ""}));
}

TEST(SeriesPaste, FloatFormatDecidesTheDecimals) {
  TGridTable table = ColumnTable(Padded({}, 3));
  PasteOptions options;
  options.floatDecimals = 3;
  PasteText(table, GridSelection::Cells(0, 1, 0, 3), "1.5\r\n1.75\r\n", options);
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"1.500", "1.750", "2.000"}));
}

// Clipboard text from anywhere, pasted anywhere: the table keeps its shape rules and the
// cells outside the block and the selection keep their texts.
TEST(SeriesPaste, SurvivesArbitraryClipboardText) {
  std::mt19937 random(11);
  const char alphabet[] = {'0', '1', '9', ':', '.', ',', '-', '\t', '\r', '\n', '"', '\v', 'a', ' '};
  for (int round = 0; round < 2000; ++round) {
    TGridTable table(3);
    table.SetRowCount(5);
    for (int r = 1; r < 5; ++r) {
      for (int c = 0; c < 3; ++c) table.SetCell(c, r, "k");
    }
    std::string text;
    const int length = static_cast<int>(random() % 24);
    for (int i = 0; i < length; ++i) text += alphabet[random() % sizeof alphabet];
    const int left = static_cast<int>(random() % 3);
    const int top = 1 + static_cast<int>(random() % 4);
    const GridSelection selection = GridSelection::Cells(left, top, left + static_cast<int>(random() % 2),
                                                         top + static_cast<int>(random() % 4));
    SCOPED_TRACE(::testing::PrintToString(text));
    const PasteOutcome outcome = PasteText(table, selection, text);
    ASSERT_GE(table.RowCount(), 5);
    ASSERT_GE(table.ColCount(), 3);
    const GridSelection s = selection.ClampedTo(table);
    for (int r = 1; r < table.RowCount(); ++r) {
      for (int c = 0; c < table.ColCount(); ++c) {
        const bool in_block = r >= s.top && r < s.top + outcome.block.lineCount && c >= s.left;
        if (!in_block && !s.Contains(c, r) && r < 5 && c < 3) {
          ASSERT_EQ(table.Cell(c, r), "k") << c << "," << r;
        }
      }
    }
  }
}

// ---------------------------------------------------------------------------------------
// The keys, through the handler a view calls

class FakeClipboard : public TextClipboard {
 public:
  std::string Text() const override { return text; }
  void SetText(const std::string& value) override { text = value; }
  std::string text;
};

TEST(ClipboardKeys, CopySelectColumnPasteGivesStartNumbers) {
  TGridTable table = ColumnTable(Padded({"101", "102"}, 8));
  FakeClipboard clipboard;
  GridKeyHandler keys(table, RunnerSheetNavigation(), clipboard);
  GridSelection selection = GridSelection::Cells(0, 1, 0, 2);
  ASSERT_TRUE(keys.HandleKey({GridKey::C, true, false, false}, selection));
  EXPECT_EQ(clipboard.text, "101\r\n102\r\n");
  selection = GridSelection::BodyOfColumn(table, 0);
  ASSERT_TRUE(keys.HandleKey({GridKey::Insert, false, true, false}, selection));  // Shift+Insert
  EXPECT_EQ(BodyColumn(table, 0), Numbers(101, 1, 8));
  EXPECT_EQ(selection, GridSelection::BodyOfColumn(table, 0));
}

TEST(ClipboardKeys, CutEmptiesTheSelection) {
  TGridTable table = MakeTable({"A", "B"}, {{"a", "b"}, {"c", "d"}});
  FakeClipboard clipboard;
  GridKeyHandler keys(table, RunnerSheetNavigation(), clipboard);
  GridSelection selection = GridSelection::Cells(0, 1, 1, 1);
  ASSERT_TRUE(keys.HandleKey({GridKey::Delete, false, true, false}, selection));  // Shift+Delete
  EXPECT_EQ(clipboard.text, "a\tb");
  EXPECT_EQ(Dump(table), (Rows{{"", ""}, {"c", "d"}}));
}

TEST(ClipboardKeys, ReadTimesTableLeavesTheKeysAlone) {
  TGridTable table = ColumnTable({"1", "2"});
  FakeClipboard clipboard;
  clipboard.text = "x";
  GridKeyHandler keys(table, ReadTimesNavigation(), clipboard);
  GridSelection selection = GridSelection::AtCell(0, 1);
  EXPECT_FALSE(keys.HandleKey({GridKey::V, true, false, false}, selection));
  EXPECT_FALSE(keys.HandleKey({GridKey::C, true, false, false}, selection));
  EXPECT_EQ(clipboard.text, "x");
  EXPECT_EQ(BodyColumn(table, 0), (std::vector<std::string>{"1", "2"}));
}

}  // namespace
}  // namespace ln40
