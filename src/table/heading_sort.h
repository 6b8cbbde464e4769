#pragma once
// Sorting a table by a left click on a column heading. The table's sort state (column and
// direction, column 0 ascending at first) says what the click does: the sort column flips its
// direction, any other column becomes the sort column, ascending. Event thread only.
#include "table/grid_selection.h"
#include "table/grid_table.h"

namespace ln40 {

// Pixels either side of a heading's border where a press and release resize the column
// instead of sorting.
constexpr int kColumnSizingZone = 4;

// A left-button press and release as the view saw them. x positions and borders are in the
// same coordinates (the view's pixels); the borders are those of the cell under the release.
struct HeadingClick {
  CellRef press;    // the cell under the mouse when the button went down
  CellRef release;  // the cell under the mouse when it came up
  int releaseX = 0;
  int cellLeft = 0;   // x of the release cell's left border
  int cellRight = 0;  // x of its right border
};

// A click sorts when it went down and up in the same heading cell (row 0) of a column of the
// table, the table has at least two body rows, and the release lies more than
// kColumnSizingZone pixels inside both borders of the cell.
bool IsSortingHeadingClick(const TGridTable& table, const HeadingClick& click);

// Sorts by the clicked column when IsSortingHeadingClick; returns whether it sorted.
bool HandleHeadingClick(TGridTable& table, const HeadingClick& click);

// The sort itself: flips the direction of the sort column or makes `col` the sort column,
// ascending; then sorts the body rows, or the rows of each group of a grouped table.
void SortByHeading(TGridTable& table, int col);

}  // namespace ln40
