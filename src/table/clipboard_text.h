#pragma once
// The clipboard's plain-text form of a block of cells, both ways.
//
// Written: one line per row, rows separated by CR LF, cells of a row separated by TAB. A block
// of several rows ends with CR LF after its last row too; a block of one row has no line break
// at all. A cell whose text holds a CR is written with its CRs removed, in double quotes.
//
// Read: lines end at CR or CR LF (a LF alone stays inside its field), fields at TAB. A field
// that holds a LF loses a double quote at its start, then its last character when that is the
// first double quote left, and has each vertical tab turned into CR LF.
//
// Plain functions on values; thread-safe.
#include <string>
#include <string_view>
#include <vector>

#include "table/grid_selection.h"
#include "table/grid_table.h"

namespace ln40 {

// The texts of `selection` (cut to the table) in the clipboard form above. Hidden columns
// inside the rectangle are copied like the others, so that a paste lands where it came from.
std::string CopySelectionText(const TGridTable& table, const GridSelection& selection);

// Empties every cell of `selection` (cut to the table): the second half of Cut.
void ClearSelection(TGridTable& table, const GridSelection& selection);

// Clipboard text read into lines of fields.
struct ClipboardBlock {
  std::vector<std::vector<std::string>> lines;  // every line has at least one field
  // The number of fields read, plus one empty field when the text ends with a line break:
  // two cells copied from one column give 3, two from one row give 2, one cell gives 1.
  // An empty text gives 0 and no lines.
  int fieldCount = 0;
};

ClipboardBlock ParseClipboardText(std::string_view text);

// Text put on the clipboard by other Linux programs ends its lines with LF alone, which the
// form above keeps inside a field. This turns every LF that is not preceded by a CR and not
// inside a double-quoted field into CR LF; text in the form above passes unchanged.
std::string WithCrLfLineEnds(std::string_view text);

}  // namespace ln40
