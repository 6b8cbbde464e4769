#pragma once
// The state of the "Find text" dialog, which lives for the whole run of the program: the texts
// searched before, the last found cell and the boxes. A view binds its widgets to it (the text
// box and its drop-down list, the four direction boxes, the scope choice, the six option
// boxes, "Ok") and shows the message of a search that finds nothing. The state outlives the
// dialog's window and serves either table. Event thread only.
#include <optional>
#include <string>
#include <vector>

#include "table/find_text.h"
#include "table/grid_selection.h"
#include "table/grid_table.h"

namespace ln40 {

// The message texts of a search that finds nothing.
inline constexpr char kCouldNotFindText[] = "Could not find text";
inline constexpr char kNoMoreOccurrences[] = "No more occurences of text ";

// `lead` followed by a blank, a line break and the search text in double quotes.
std::string FindFailureMessage(const char* lead, const std::string& search_text);

// The six option boxes.
enum class FindBox { CaseSensitive, WholeWords, MatchFromFirstChar, IgnoreHtmlTags, FindInFixedCells, Wildcards };

struct FindOutcome {
  bool found = false;
  CellRef cell;          // the cell found, now the table's current cell
  std::string message;   // when nothing was found: the information message to show
};

class FindDialogState {
 public:
  // The text box. Editing the text (any change) forgets the last found cell.
  const std::string& Text() const { return text_; }
  void EditText(const std::string& text);

  // Texts searched before, oldest first, without duplicates: the drop-down list.
  const std::vector<std::string>& History() const { return history_; }

  // The direction boxes behave as one choice: checking one unchecks the others, checking the
  // checked one keeps it, and a disabled one cannot be checked (ignored).
  FindDirection Direction() const { return options_.direction; }
  void CheckDirection(FindDirection direction);
  bool IsDirectionEnabled(FindDirection direction) const;

  // "Current row only" disables the vertical directions and moves a vertical choice to
  // "Forward (left to right)"; "Current column only" disables the horizontal ones and moves a
  // horizontal choice to "Forward (top to bottom)"; "All cells" enables all four.
  FindScope Scope() const { return options_.scope; }
  void ChooseScope(FindScope scope);

  bool Box(FindBox box) const;
  void SetBox(FindBox box, bool checked);

  const FindOptions& Options() const { return options_; }
  std::optional<CellRef> LastFound() const { return last_found_; }

  // "Ok": adds the text to the list when it is new and not empty, then searches `table` from
  // after the last found cell (from the start of the walk when there is none). A match
  // becomes the table's current cell and the last found cell; no match forgets the last
  // found cell and gives "Could not find text" when the search started from the beginning,
  // "No more occurences of text " otherwise, each followed as FindFailureMessage says.
  FindOutcome Ok(TGridTable& table);

 private:
  bool& BoxRef(FindBox box);

  std::string text_;
  std::vector<std::string> history_;
  FindOptions options_;
  std::optional<CellRef> last_found_;
};

}  // namespace ln40
