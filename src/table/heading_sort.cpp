#include "table/heading_sort.h"

namespace ln40 {

bool IsSortingHeadingClick(const TGridTable& table, const HeadingClick& click) {
  if (click.press != click.release || click.release.row != 0) return false;
  if (click.release.col < 0 || click.release.col >= table.ColCount()) return false;
  if (table.RowCount() < 3) return false;
  return click.releaseX > click.cellLeft + kColumnSizingZone && click.releaseX < click.cellRight - kColumnSizingZone;
}

bool HandleHeadingClick(TGridTable& table, const HeadingClick& click) {
  if (!IsSortingHeadingClick(table, click)) return false;
  SortByHeading(table, click.release.col);
  return true;
}

void SortByHeading(TGridTable& table, int col) {
  if (col < 0 || col >= table.ColCount()) return;
  SortDirection direction = SortDirection::Ascending;
  if (col == table.SortColumn()) {
    direction = table.SortDirectionNow() == SortDirection::Ascending ? SortDirection::Descending
                                                                     : SortDirection::Ascending;
  }
  table.SetSortState(col, direction);
  if (table.IsGrouped()) {
    table.SortRowsInGroups(col, direction);
  } else {
    table.SortRows(col, direction);
  }
}

}  // namespace ln40
