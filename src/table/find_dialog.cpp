#include "table/find_dialog.h"

#include <algorithm>

namespace ln40 {
namespace {

bool IsVertical(FindDirection direction) {
  return direction == FindDirection::TopToBottom || direction == FindDirection::BottomToTop;
}

}  // namespace

std::string FindFailureMessage(const char* lead, const std::string& search_text) {
  return std::string(lead) + " \n\"" + search_text + "\"";
}

void FindDialogState::EditText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  last_found_.reset();
}

bool FindDialogState::IsDirectionEnabled(FindDirection direction) const {
  switch (options_.scope) {
    case FindScope::AllCells:
      return true;
    case FindScope::CurrentRow:
      return !IsVertical(direction);
    case FindScope::CurrentColumn:
      return IsVertical(direction);
  }
  return true;
}

void FindDialogState::CheckDirection(FindDirection direction) {
  if (IsDirectionEnabled(direction)) options_.direction = direction;
}

void FindDialogState::ChooseScope(FindScope scope) {
  options_.scope = scope;
  if (scope == FindScope::CurrentRow && IsVertical(options_.direction)) {
    options_.direction = FindDirection::LeftToRight;
  } else if (scope == FindScope::CurrentColumn && !IsVertical(options_.direction)) {
    options_.direction = FindDirection::TopToBottom;
  }
}

bool& FindDialogState::BoxRef(FindBox box) {
  switch (box) {
    case FindBox::CaseSensitive:
      return options_.caseSensitive;
    case FindBox::WholeWords:
      return options_.wholeWords;
    case FindBox::MatchFromFirstChar:
      return options_.matchFromFirstChar;
    case FindBox::IgnoreHtmlTags:
      return options_.ignoreHtmlTags;
    case FindBox::FindInFixedCells:
      return options_.findInFixedCells;
    case FindBox::Wildcards:
      break;
  }
  return options_.wildcards;
}

bool FindDialogState::Box(FindBox box) const {
  switch (box) {
    case FindBox::CaseSensitive:
      return options_.caseSensitive;
    case FindBox::WholeWords:
      return options_.wholeWords;
    case FindBox::MatchFromFirstChar:
      return options_.matchFromFirstChar;
    case FindBox::IgnoreHtmlTags:
      return options_.ignoreHtmlTags;
    case FindBox::FindInFixedCells:
      return options_.findInFixedCells;
    case FindBox::Wildcards:
      break;
  }
  return options_.wildcards;
}

void FindDialogState::SetBox(FindBox box, bool checked) { BoxRef(box) = checked; }

FindOutcome FindDialogState::Ok(TGridTable& table) {
  if (!text_.empty() && std::find(history_.begin(), history_.end(), text_) == history_.end()) {
    history_.push_back(text_);
  }
  const bool from_start = !last_found_.has_value();
  FindOutcome outcome;
  if (const std::optional<CellRef> cell = FindNextCell(table, text_, options_, last_found_)) {
    table.SetCol(cell->col);
    table.SetRow(cell->row);
    last_found_ = cell;
    outcome.found = true;
    outcome.cell = *cell;
    return outcome;
  }
  last_found_.reset();
  outcome.message = FindFailureMessage(from_start ? kCouldNotFindText : kNoMoreOccurrences, text_);
  return outcome;
}

}  // namespace ln40
