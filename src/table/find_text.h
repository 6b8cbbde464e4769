#pragma once
// The search of the "Find text" dialog over a table: which cells it visits, in which order,
// and when a cell matches. The dialog's state between searches is find_dialog.h.
#include <optional>
#include <string>
#include <string_view>

#include "table/grid_selection.h"
#include "table/grid_table.h"
#include "table/wildcard.h"
#include "text/locale.h"

namespace ln40 {

enum class FindDirection {
  TopToBottom,  // "Forward (top to bottom)": down each column, columns left to right
  LeftToRight,  // "Forward (left to right)": along each row, rows top to bottom
  BottomToTop,  // "Backward (bottom to top)": the top-to-bottom walk in reverse
  RightToLeft,  // "Backward (right to left)": the left-to-right walk in reverse
};

enum class FindScope {
  AllCells,       // "All cells"
  CurrentRow,     // "Current row only": the table's current row
  CurrentColumn,  // "Current column only": the table's current column
};

struct FindOptions {
  FindDirection direction = FindDirection::TopToBottom;
  FindScope scope = FindScope::AllCells;
  bool caseSensitive = false;       // "&Case sensitive": else both texts are upper-cased
  bool wholeWords = false;          // "&Whole words only": the whole cell equals the text
  bool matchFromFirstChar = false;  // "&Match from first char": the cell starts with the text
  bool ignoreHtmlTags = false;      // "&Ignore HTML tags": tags are removed from the cell first
  bool findInFixedCells = false;    // "&Find in fixed cells": the header row is searched too
  bool wildcards = false;           // "Match with &wildcards": the text is a WildcardPattern
};

// Decides whether one cell matches. Built once per search; Matches reuses buffers, so one
// matcher serves one thread.
//
// An empty search text matches nothing and a text of exactly two double quotes matches an
// empty cell, whatever the boxes say. Otherwise, with wildcards the text is a pattern (the
// whole-word and first-char boxes do not apply); else the cell must equal the text (whole
// words), start with it (first char) or contain it.
class CellTextMatcher {
 public:
  CellTextMatcher(std::string_view search_text, const FindOptions& options, const Locale& locale);

  bool Matches(std::string_view cell);

 private:
  enum class Mode { Nothing, EmptyCell, Whole, Prefix, Contains, Wildcard };

  bool MatchesText(std::string_view cell) const;

  Mode mode_ = Mode::Nothing;
  bool fold_ = true;
  bool strip_tags_ = false;
  std::string needle_;  // upper-cased unless case sensitive
  std::optional<WildcardPattern> pattern_;
  std::string stripped_;
};

// The text without its HTML tags: every run from "<" to the next ">" is removed; a "<" that
// no ">" follows stays, with the rest of the text.
std::string StripHtmlTags(std::string_view text);

// The next matching cell of the walk that `options` describe, after the cell `after`, or from
// the start of the walk when there is none; none when no cell matches before the walk ends
// (it does not wrap around). The area is the visible columns and the body rows (also the
// header row with findInFixedCells), cut to the table's current row or column by the scope.
// A cell covered by a merge is looked at only through the merge's top-left cell. `after`
// need not lie in the area: the walk goes on from the place where it would be.
std::optional<CellRef> FindNextCell(const TGridTable& table, std::string_view search_text, const FindOptions& options,
                                    std::optional<CellRef> after);

}  // namespace ln40
