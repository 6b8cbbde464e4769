#pragma once
// TGridTable: the one table model of the system. A rectangle of text cells (Windows-1252
// strings) with a header row: row 0 holds the headings, rows 1 to RowCount()-1 are body rows,
// and a table always has at least one body row. Columns can be hidden (they keep their index
// and cells), cells can carry a merge span and a background colour, and the table can be
// grouped on one column. Used on the event thread only; not thread-safe.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/locale.h"

namespace ln40 {

enum class SortDirection { Ascending, Descending };

struct SortKey {
  int column = 0;
  SortDirection direction = SortDirection::Ascending;
};

// A merge: the top-left cell and the size of the rectangle it covers.
struct MergeSpan {
  int col = 0;
  int row = 0;
  int width = 1;
  int height = 1;
};

// A colour as 0xRRGGBB.
using CellColor = uint32_t;

// How GroupByColumn marks its heading and summary rows.
struct GroupingSettings {
  bool mergeHeader = false;               // heading cell spans to the last column
  std::optional<CellColor> headerColor;   // background of the heading cell
  bool summary = false;                   // an empty summary row ends each group
  bool mergeSummary = false;              // the summary row is merged like the heading
  std::optional<CellColor> summaryColor;  // background of summary rows
};

enum class RowKind { Body, GroupHeading, GroupSummary };

class TGridTable {
 public:
  // Upper bounds of RowCount() and ColCount(). Requests beyond them are cut to them, so no
  // index arithmetic can overflow; the memory such tables need is the caller's concern.
  static constexpr int kMaxRowCount = 1 << 24;
  static constexpr int kMaxColCount = 1 << 14;
  // Width in pixels of a new column.
  static constexpr int kDefaultColumnWidth = 64;

  // A new table: `col_count` columns, RowCount() 2 (the header row and one empty body row).
  explicit TGridTable(int col_count = 5);

  // The locale decides upper-casing in FindInColumn and the separators of the sort rule.
  void SetLocale(const Locale& locale) { locale_ = locale; }
  const Locale& GetLocale() const { return locale_; }

  // Cells[col, row]. A cell outside the table reads as the empty text; writing outside the
  // table is ignored. A cell covered by a merge reads and writes the merge's top-left cell.
  // Both are O(1) (plus the few merges near the cell, when the table has merges), but for a
  // write that grows the row's stored cells out to the cell.
  const std::string& Cell(int col, int row) const {
    // Inline for the common case, a table without merges: imports, exports and the view
    // read every cell of large tables.
    if (span_count_ == 0 && InTable(col, row)) return rows_[static_cast<size_t>(row)].Text(static_cast<size_t>(col));
    return CoveredCell(col, row);
  }
  void SetCell(int col, int row, const std::string& text);

  // Every cell of `row` from this column on reads as the empty text, so a walk over the
  // cells of a sparse table can stop there: the end of the row's last non-empty cell or of a
  // merge over the row, whichever is further right; 0 for a row outside the table.
  int UsedWidth(int row) const;

  int RowCount() const { return static_cast<int>(rows_.size()); }
  void SetRowCount(int count);  // never below 2
  int ColCount() const { return static_cast<int>(widths_.size()); }
  void SetColCount(int count);  // never below 1

  // Writes text i into Cells[i, 0] for i < ColCount(); further texts are ignored.
  void SetColumnHeaders(const std::vector<std::string>& headings);

  // Row and column operations. Each row carries its cells, merge spans, colours and row
  // kind; hidden columns take part like the others. Out-of-range arguments never fail:
  // InsertRow clamps `row` to 1..RowCount(), DeleteRow removes only the part of the range
  // that lies in the body, InsertColumn clamps `col` to 0..ColCount(), RemoveColumn ignores
  // a column outside the table and the last remaining column; counts below 1 do nothing.
  // A merge that reaches across inserted rows or columns grows with them; one that loses
  // rows or columns shrinks (and vanishes when it is down to its top-left cell alone).
  // The current cell is pulled back inside the table when the table shrinks.
  void AddRow();  // amortised O(1)
  void InsertRow(int row, int count = 1);
  void DeleteRow(int row, int count = 1);  // keeps at least one (empty) body row
  void ClearBody();                        // texts only; merges, colours, kinds stay
  void AddColumn();
  void InsertColumn(int col, int count = 1);
  void RemoveColumn(int col);

  // Case-insensitive whole-text search of the body rows of `col`; the row of the first
  // match or -1. Makes `col` the current column, and a found cell the current cell.
  // The text "" (two double quotes) finds the first empty cell; an empty text finds nothing.
  // A column outside the table finds nothing and changes nothing.
  int FindInColumn(int col, const std::string& text);

  // The last visible column cannot be hidden. When a column removal leaves only hidden
  // columns, all columns are shown again.
  void HideColumn(int col);
  void ShowAllColumns();
  bool IsColumnHidden(int col) const;

  // Display width in pixels; a new column is 64 wide. 0 for a column outside the table;
  // setting one outside is ignored, a negative width is taken as 0.
  int ColumnWidth(int col) const;
  void SetColumnWidth(int col, int width);

  // Sorts the body rows on col, ties broken by the columns to its right, all in `direction`.
  // The rules of CompareCellTexts; not stable. A column outside the table does nothing.
  // On a grouped table the rows are sorted within their groups (as SortRowsInGroups).
  void SortRows(int col, SortDirection direction);
  // Throws Error("No indexes specified for indexed sort") for an empty list, leaving the
  // table unchanged. Keys naming a column outside the table are skipped.
  void SortRowsByKeys(const std::vector<SortKey>& keys);

  // Width and height at least 1; 1 by 1 removes the span. The span is cut to the table;
  // a top-left cell outside the table is ignored. Where merges overlap, the one whose
  // top-left cell is nearest above, then nearest to the left, covers the cell.
  void SetMergeSpan(int col, int row, int width, int height);
  std::optional<MergeSpan> MergeSpanAt(int col, int row) const;

  // The colour of the cell itself (a covered cell keeps its own); none outside the table.
  std::optional<CellColor> CellBackground(int col, int row) const;
  void SetCellBackground(int col, int row, std::optional<CellColor> color);

  // Column a := a + " " + b, trimmed of leading and trailing blanks, in every body row;
  // then column b is removed. Ignored when a or b lies outside the table or a == b.
  void MergeColumns(int a, int b);

  // Grouping on column `col` of the ungrouped table (a grouped table is ungrouped first).
  // Ignored for column 0, a column outside the table, and a table of fewer than three
  // columns (the heading cell needs a column besides column 0 and the group column).
  // Column insertions and removals while grouped move the place Ungroup restores the
  // column to, so GroupColumn() always says where it comes back.
  GroupingSettings& Grouping() { return grouping_; }
  const GroupingSettings& Grouping() const { return grouping_; }
  void GroupByColumn(int col);
  void Ungroup();
  bool IsGrouped() const { return group_column_ >= 0; }
  int GroupColumn() const { return group_column_; }  // -1 when not grouped
  RowKind KindOfRow(int row) const;  // Body for the header row and rows outside the table
  // Sorts each run of body rows between heading and summary rows; the whole body when the
  // table is not grouped.
  void SortRowsInGroups(int col, SortDirection direction);

  // The view's sort state: the column a heading click sorts and its direction.
  int SortColumn() const { return sort_column_; }
  SortDirection SortDirectionNow() const { return sort_direction_; }
  void SetSortState(int col, SortDirection direction);

  // The view's current cell.
  int Col() const { return col_; }
  int Row() const { return row_; }
  void SetCol(int col) { col_ = col; }
  void SetRow(int row) { row_ = row; }

 private:
  struct SpanAttr {
    int col = 0;
    int width = 1;
    int height = 1;
  };
  struct ColorAttr {
    int col = 0;
    CellColor color = 0;
  };
  // One row. `cells` holds the texts up to the row's last filled cell at most (never more
  // than ColCount()); the cells after them are empty and take no memory, so a sheet with a
  // few cells far apart stays small. Read and write them through Text and SetText, never
  // `cells[col]`. `spans` are the merges whose top-left cell lies in this row and `colors`
  // the coloured cells, both ordered by column and nearly always empty. Rows move as a whole
  // (a few pointers), never cell by cell.
  struct RowData {
    std::vector<std::string> cells;
    std::vector<SpanAttr> spans;
    std::vector<ColorAttr> colors;
    RowKind kind = RowKind::Body;

    // The text of column `col` (0 <= col < ColCount()); the empty text beyond `cells`.
    const std::string& Text(size_t col) const { return col < cells.size() ? cells[col] : EmptyText(); }
    // Grows `cells` up to `col` for a non-empty text; an empty one beyond them is not stored.
    // `text` may be a cell of this row.
    void SetText(size_t col, const std::string& text);
  };
  class SortKeys;

  RowData NewRow() const;
  static const std::string& EmptyText();
  bool InTable(int col, int row) const {
    return col >= 0 && row >= 0 && col < ColCount() && row < RowCount();
  }
  // Cell() where merges may cover the cell, or outside the table.
  const std::string& CoveredCell(int col, int row) const;
  // The merge covering (col, row) and the row of its top-left cell, or nullptr.
  const SpanAttr* FindCover(int col, int row, int& top_row) const;
  // Raw structure changes: no minimum, no checks beyond the preconditions in the .cpp.
  void InsertRows(int row, int count);
  void EraseRows(int row, int count);
  void InsertColumns(int col, int count);
  void RemoveColumns(int col, int count);
  void RecountSpans();
  void ClampCurrentCell();
  void SortBody(const std::vector<SortKey>& keys);

  std::vector<RowData> rows_;
  std::vector<int> widths_;
  std::vector<bool> hidden_;
  Locale locale_ = Locale::WorkedExample();
  GroupingSettings grouping_;
  int group_column_ = -1;          // where Ungroup puts the group column back
  int group_heading_column_ = -1;  // the column of the heading cells while grouped
  std::string group_heading_;
  int group_width_ = kDefaultColumnWidth;
  int sort_column_ = 0;
  SortDirection sort_direction_ = SortDirection::Ascending;
  int col_ = 0;
  int row_ = 1;
  // Number of merges in the table and an upper bound of their heights, so that reading a
  // cell looks only at the rows a merge could reach from.
  int span_count_ = 0;
  int max_span_height_ = 1;
};

}  // namespace ln40
