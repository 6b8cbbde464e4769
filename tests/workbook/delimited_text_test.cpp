// Reading .csv and .txt files field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "exchange/delimited_text.h"

namespace ln40 {
namespace {

using Cells = std::map<std::pair<int, int>, std::string>;

Cells Read(const std::string& text, char delimiter) {
  Cells cells;
  ReadDelimitedText(text, delimiter, [&](int row, int col, const std::string& field) { cells[{row, col}] = field; });
  return cells;
}

struct DelimitedCase {
  const char* name;
  std::string text;
  char delimiter;
  Cells cells;
};

TEST(ReadDelimitedText, ReadsFieldsQuotesAndLineEnds) {
  const std::vector<DelimitedCase> cases = {
      {"quoted fields with the delimiter and doubled quotes", "a;\"b;c\";\"x\"\"y\"\r\n", ';',
       {{{1, 1}, "a"}, {{1, 2}, "b;c"}, {{1, 3}, "x\"y"}}},
      {"tabs, two lines, the last without a line end", "1\t2\n3\t4", '\t',
       {{{1, 1}, "1"}, {{1, 2}, "2"}, {{2, 1}, "3"}, {{2, 2}, "4"}}},
      {"two delimiters in a row store nothing between them", "a;;c\n", ';', {{{1, 1}, "a"}, {{1, 3}, "c"}}},
      {"an empty quoted field is stored", "\"\";b", ';', {{{1, 1}, ""}, {{1, 2}, "b"}}},
      {"a quoted field holds line breaks", "\"x\r\ny\";z", ';', {{{1, 1}, "x\r\ny"}, {{1, 2}, "z"}}},
      {"a lone CR is skipped and does not end the line", "a\rb;c", ';', {{{1, 1}, "b"}, {{1, 2}, "c"}}},
      {"an unclosed quote runs to the end", "\"abc;def", ';', {{{1, 1}, "abc;def"}}},
      {"empty lines advance the row", "a\n\n\nb", ';', {{{1, 1}, "a"}, {{4, 1}, "b"}}},
      {"the comma is no delimiter in a tab file", "1,5\t2", '\t', {{{1, 1}, "1,5"}, {{1, 2}, "2"}}},
      {"empty text", "", ';', {}},
  };
  for (const DelimitedCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.text, c.delimiter), c.cells);
  }
}

TEST(DelimitedTextExtent, CountsRowsWithSomethingAndEveryFieldOfTheWidestRow) {
  struct Case {
    const char* name;
    std::string text;
    std::int64_t rows;
    std::int64_t cols;
  };
  const std::vector<Case> cases = {
      {"empty fields count as columns", "a;;c\n", 1, 3},
      {"delimiters alone", ";;;", 1, 4},
      {"line ends after the last row add nothing", "a\r\n\r\n\n", 1, 1},
      {"empty lines between rows count", "a\n\n\nb", 4, 1},
      {"quoted delimiters and line breaks are text", "\"x;\ny\";z", 1, 2},
      {"the widest row", "a\nb;c;d\ne;f", 3, 3},
      {"empty text", "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TSheetExtent extent = DelimitedTextExtent(c.text, ';');
    EXPECT_EQ(extent.Rows, c.rows);
    EXPECT_EQ(extent.Cols, c.cols);
  }
}

TEST(ReadDelimitedText, StopsAtTheFirstThingBeyondItsBounds) {
  struct Case {
    const char* name;
    std::string text;
    bool within;
    Cells cells;  // reported before the stop
  };
  const std::vector<Case> cases = {
      {"at the bounds", "a;b\nc;d\n\n", true, {{{1, 1}, "a"}, {{1, 2}, "b"}, {{2, 1}, "c"}, {{2, 2}, "d"}}},
      {"a field beyond the columns", "a;b;c", false, {{{1, 1}, "a"}, {{1, 2}, "b"}}},
      {"an empty field beyond the columns", "a;b;\n", false, {{{1, 1}, "a"}, {{1, 2}, "b"}}},
      {"a row beyond the rows", "a\nb\n\"c\"", false, {{{1, 1}, "a"}, {{2, 1}, "b"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Cells cells;
    const bool within = ReadDelimitedText(
        c.text, ';', [&](int row, int col, const std::string& field) { cells[{row, col}] = field; }, {2, 2});
    EXPECT_EQ(within, c.within);
    EXPECT_EQ(cells, c.cells);
  }
}

}  // namespace
}  // namespace ln40
