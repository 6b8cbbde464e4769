#include "table/grid_table.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "table/cell_compare.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {
namespace {

const std::string kEmptyText;

int Clamp(int64_t value, int64_t low, int64_t high) {
  return static_cast<int>(std::clamp(value, low, high));
}

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// The cell equals the already upper-cased needle, case ignored. Upper-casing keeps one byte
// per character, so the lengths must agree.
bool EqualsUpperCased(const std::string& cell, const std::string& needle) {
  if (cell.size() != needle.size()) return false;
  for (size_t i = 0; i < cell.size(); ++i) {
    if (UpperCaseChar(cell[i]) != needle[i]) return false;
  }
  return true;
}

// Sorts order[first, last) with a bottom-up merge sort over short insertion-sorted runs.
// Every loop is bounded by the range alone, so any deterministic comparator is safe here,
// also one that is not a strict weak ordering (which std::sort would turn into undefined
// behaviour). Stable, although the table does not promise it.
template <typename Compare>
void MergeSortIndices(std::vector<int>& order, size_t first, size_t last, std::vector<int>& buffer,
                      Compare&& compare) {
  constexpr size_t kRun = 24;
  const size_t n = last - first;
  if (n < 2) return;
  int* data = order.data() + first;
  for (size_t lo = 0; lo < n; lo += kRun) {
    const size_t hi = std::min(n, lo + kRun);
    for (size_t i = lo + 1; i < hi; ++i) {
      const int value = data[i];
      size_t j = i;
      while (j > lo && compare(value, data[j - 1]) < 0) {
        data[j] = data[j - 1];
        --j;
      }
      data[j] = value;
    }
  }
  buffer.resize(n);
  int* from = data;
  int* to = buffer.data();
  for (size_t width = kRun; width < n; width *= 2) {
    for (size_t lo = 0; lo < n; lo += 2 * width) {
      const size_t mid = std::min(n, lo + width);
      const size_t hi = std::min(n, lo + 2 * width);
      if (mid < hi && compare(from[mid], from[mid - 1]) >= 0) {
        // Already in order (a second sort of a sorted table): one comparison, one copy.
        std::copy(from + lo, from + hi, to + lo);
        continue;
      }
      size_t i = lo;
      size_t j = mid;
      size_t k = lo;
      while (i < mid && j < hi) {
        // Take from the right run only when it is strictly smaller: keeps equal rows in order.
        if (compare(from[j], from[i]) < 0) {
          to[k++] = from[j++];
        } else {
          to[k++] = from[i++];
        }
      }
      while (i < mid) to[k++] = from[i++];
      while (j < hi) to[k++] = from[j++];
    }
    std::swap(from, to);
  }
  if (from != data) std::copy(from, from + n, data);
}

}  // namespace

// The compared columns of the body rows. Comparisons work on small arrays made once per
// sort (the class of each cell, its value as a number, date or time, the place of its text
// in the byte order of the column) instead of on the texts. The first key column is
// prepared whole, in row order, since every cell of it is compared. A tie-break column is
// looked at cell by cell while only a few rows have tied on the keys before it (often the
// case), and prepared whole once many have.
class TGridTable::SortKeys {
 public:
  SortKeys(const std::vector<RowData>& rows, const std::vector<SortKey>& keys, const Locale& locale)
      : rows_(rows), locale_(locale), n_(rows.size() - 1) {
    columns_.reserve(keys.size());
    for (const SortKey& key : keys) {
      Column column;
      column.col = static_cast<size_t>(key.column);
      column.descending = key.direction == SortDirection::Descending;
      columns_.push_back(std::move(column));
    }
    if (!columns_.empty()) PrepareWhole(columns_.front());
  }

  // Compares body rows a and b (0-based body indices).
  int Compare(int a, int b) {
    const auto ia = static_cast<size_t>(a);
    const auto ib = static_cast<size_t>(b);
    for (Column& column : columns_) {
      const int result = column.whole ? ComparePrepared(column, ia, ib) : CompareCellByCell(column, ia, ib);
      if (result != 0) return column.descending ? -result : result;
    }
    return 0;
  }

 private:
  static constexpr unsigned char kUnknown = 0xFF;

  struct Column {
    size_t col = 0;
    bool descending = false;
    bool whole = false;                  // everything below made for every cell
    size_t looked_at = 0;                // cells classified or read one by one
    std::vector<unsigned char> classes;  // a CellClass; kUnknown for a cell not yet looked at
    // Each text's place in the byte order of the column's distinct texts; made when some
    // cell is Text, since only then are texts compared as bytes.
    std::vector<uint32_t> ranks;
    // Indexed by CellClass: each cell read the way that class reads, for the classes that
    // occur (a cell of that class reads the other cell of a pair that way). While the
    // column is looked at cell by cell, NaN marks a value not read yet.
    std::array<std::vector<double>, 4> values;
  };

  std::string_view Text(const Column& column, size_t i) const { return rows_[i + 1].Text(column.col); }

  static int CompareValues(double a, double b) { return (a > b) - (a < b); }

  int ComparePrepared(const Column& column, size_t a, size_t b) const {
    const auto cls = static_cast<CellClass>(column.classes[a]);
    if (cls == CellClass::Text) {
      return (column.ranks[a] > column.ranks[b]) - (column.ranks[a] < column.ranks[b]);
    }
    const std::vector<double>& values = column.values[static_cast<size_t>(cls)];
    return CompareValues(values[a], values[b]);
  }

  int CompareCellByCell(Column& column, size_t a, size_t b) {
    if (column.classes.empty()) column.classes.assign(n_, kUnknown);
    if (column.looked_at > n_ / 8) {
      PrepareWhole(column);
      return ComparePrepared(column, a, b);
    }
    unsigned char& cls = column.classes[a];
    if (cls == kUnknown) {
      cls = static_cast<unsigned char>(ClassifyCellText(Text(column, a), locale_));
      ++column.looked_at;
    }
    if (cls == static_cast<unsigned char>(CellClass::Text)) return CompareBytes(Text(column, a), Text(column, b));
    return CompareValues(LazyValue(column, cls, a), LazyValue(column, cls, b));
  }

  double LazyValue(Column& column, unsigned char cls, size_t i) {
    std::vector<double>& values = column.values[cls];
    if (values.empty()) values.assign(n_, std::numeric_limits<double>::quiet_NaN());
    if (std::isnan(values[i])) {
      values[i] = ReadCellValue(static_cast<CellClass>(cls), Text(column, i), locale_);
      ++column.looked_at;
    }
    return values[i];
  }

  // One pass in row order over the cells, then the values of every class that occurs.
  void PrepareWhole(Column& column) {
    std::vector<std::string_view> texts(n_);
    column.classes.resize(n_);
    std::array<bool, 5> present{};
    for (size_t i = 0; i < n_; ++i) {
#if defined(__GNUC__)
      // After a sort the rows' cells lie scattered in memory; ask for them a little ahead.
      constexpr size_t kAhead = 8;
      if (i + kAhead < n_) {
        const std::vector<std::string>& ahead = rows_[i + 1 + kAhead].cells;
        if (column.col < ahead.size()) __builtin_prefetch(ahead.data() + column.col);
      }
#endif
      texts[i] = Text(column, i);
      const CellClass cls = ClassifyCellText(texts[i], locale_);
      column.classes[i] = static_cast<unsigned char>(cls);
      present[static_cast<size_t>(cls)] = true;
    }
    for (size_t c = 0; c < column.values.size(); ++c) {
      std::vector<double>& values = column.values[c];
      if (!present[c]) {
        values.clear();
        continue;
      }
      values.resize(n_);
      for (size_t i = 0; i < n_; ++i) values[i] = ReadCellValue(static_cast<CellClass>(c), texts[i], locale_);
    }
    if (present[static_cast<size_t>(CellClass::Text)]) column.ranks = TextRanks(texts);
    column.whole = true;
  }

  static std::vector<uint32_t> TextRanks(const std::vector<std::string_view>& texts) {
    std::unordered_map<std::string_view, uint32_t> ids;
    std::vector<std::string_view> distinct;
    std::vector<uint32_t> ranks(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
      const auto [it, added] = ids.try_emplace(texts[i], static_cast<uint32_t>(distinct.size()));
      if (added) distinct.push_back(texts[i]);
      ranks[i] = it->second;
    }
    // CompareBytes is a total order, so std::sort is safe here.
    std::vector<uint32_t> order(distinct.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&distinct](uint32_t a, uint32_t b) { return CompareBytes(distinct[a], distinct[b]) < 0; });
    std::vector<uint32_t> rank_of(distinct.size());
    for (size_t k = 0; k < order.size(); ++k) rank_of[order[k]] = static_cast<uint32_t>(k);
    for (uint32_t& rank : ranks) rank = rank_of[rank];
    return ranks;
  }

  const std::vector<RowData>& rows_;
  const Locale& locale_;
  const size_t n_;
  std::vector<Column> columns_;
};

TGridTable::TGridTable(int col_count) {
  const int cols = Clamp(col_count, 1, kMaxColCount);
  widths_.assign(static_cast<size_t>(cols), kDefaultColumnWidth);
  hidden_.assign(static_cast<size_t>(cols), false);
  rows_.push_back(NewRow());
  rows_.push_back(NewRow());
}

TGridTable::RowData TGridTable::NewRow() const { return RowData(); }

const std::string& TGridTable::EmptyText() { return kEmptyText; }

void TGridTable::RowData::SetText(size_t col, const std::string& text) {
  if (col < cells.size()) {
    cells[col] = text;
  } else if (col == cells.size()) {
    if (!text.empty()) cells.push_back(text);  // safe when `text` is one of the row's cells
  } else if (!text.empty()) {
    std::string copy = text;  // growing moves the row's cells, and `text` may be one of them
    cells.resize(col + 1);
    cells[col] = std::move(copy);
  }
}


const TGridTable::SpanAttr* TGridTable::FindCover(int col, int row, int& top_row) const {
  if (span_count_ == 0) return nullptr;
  const int lowest = std::max(0, row - max_span_height_ + 1);
  for (int r = row; r >= lowest; --r) {
    const std::vector<SpanAttr>& spans = rows_[static_cast<size_t>(r)].spans;
    for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
      if (it->col <= col && col < it->col + it->width && row < r + it->height) {
        top_row = r;
        return &*it;
      }
    }
  }
  return nullptr;
}

const std::string& TGridTable::CoveredCell(int col, int row) const {
  if (!InTable(col, row)) return kEmptyText;
  int top = row;
  if (const SpanAttr* span = FindCover(col, row, top)) {
    return rows_[static_cast<size_t>(top)].Text(static_cast<size_t>(span->col));
  }
  return rows_[static_cast<size_t>(row)].Text(static_cast<size_t>(col));
}

void TGridTable::SetCell(int col, int row, const std::string& text) {
  if (!InTable(col, row)) return;
  int top = row;
  if (const SpanAttr* span = FindCover(col, row, top)) {
    col = span->col;
    row = top;
  }
  RowData& data = rows_[static_cast<size_t>(row)];
  // A row filled for the first time takes room for as many cells as the row above holds:
  // a sheet filled row by row (an import) then grows each row once instead of cell by cell.
  if (data.cells.empty() && !text.empty() && row > 0) {
    data.cells.reserve(std::max(static_cast<size_t>(col) + 1, rows_[static_cast<size_t>(row) - 1].cells.size()));
  }
  data.SetText(static_cast<size_t>(col), text);
}

int TGridTable::UsedWidth(int row) const {
  if (row < 0 || row >= RowCount()) return 0;
  const std::vector<std::string>& cells = rows_[static_cast<size_t>(row)].cells;
  size_t width = cells.size();
  while (width > 0 && cells[width - 1].empty()) --width;
  int used = static_cast<int>(width);
  if (span_count_ == 0) return used;
  // A covered cell reads its merge's top-left cell, so the merges over the row count too.
  for (int r = std::max(0, row - max_span_height_ + 1); r <= row; ++r) {
    for (const SpanAttr& span : rows_[static_cast<size_t>(r)].spans) {
      if (row < r + span.height) used = std::max(used, span.col + span.width);
    }
  }
  return used;
}

void TGridTable::SetRowCount(int count) {
  count = Clamp(count, 2, kMaxRowCount);
  if (count > RowCount()) {
    InsertRows(RowCount(), count - RowCount());
  } else if (count < RowCount()) {
    EraseRows(count, RowCount() - count);
    ClampCurrentCell();
  }
}

void TGridTable::SetColCount(int count) {
  count = Clamp(count, 1, kMaxColCount);
  if (count > ColCount()) {
    InsertColumns(ColCount(), count - ColCount());
  } else if (count < ColCount()) {
    RemoveColumns(count, ColCount() - count);
    ClampCurrentCell();
  }
}

void TGridTable::SetColumnHeaders(const std::vector<std::string>& headings) {
  const size_t n = std::min(headings.size(), widths_.size());
  for (size_t i = 0; i < n; ++i) SetCell(static_cast<int>(i), 0, headings[i]);
}

void TGridTable::AddRow() {
  if (RowCount() >= kMaxRowCount) return;
  rows_.push_back(NewRow());
}

void TGridTable::InsertRow(int row, int count) {
  if (count < 1) return;
  row = Clamp(row, 1, RowCount());
  count = std::min(count, kMaxRowCount - RowCount());
  if (count < 1) return;
  InsertRows(row, count);
}

void TGridTable::DeleteRow(int row, int count) {
  if (count < 1) return;
  const int first = std::max(row, 1);
  const int last = Clamp(int64_t{row} + count, 0, RowCount());
  if (first >= last) return;
  EraseRows(first, last - first);
  if (RowCount() < 2) rows_.push_back(NewRow());
  ClampCurrentCell();
}

void TGridTable::ClearBody() {
  for (size_t r = 1; r < rows_.size(); ++r) {
    std::vector<std::string>().swap(rows_[r].cells);
  }
}

void TGridTable::AddColumn() { InsertColumn(ColCount(), 1); }

void TGridTable::InsertColumn(int col, int count) {
  if (count < 1) return;
  col = Clamp(col, 0, ColCount());
  count = std::min(count, kMaxColCount - ColCount());
  if (count < 1) return;
  InsertColumns(col, count);
}

void TGridTable::RemoveColumn(int col) {
  if (col < 0 || col >= ColCount() || ColCount() < 2) return;
  RemoveColumns(col, 1);
  ClampCurrentCell();
}

// Rows [row, row + count) become new empty rows; 0 <= row <= RowCount(), count >= 1.
void TGridTable::InsertRows(int row, int count) {
  if (span_count_ > 0) {
    // A merge that reaches from above across the insertion point takes in the new rows.
    const int lowest = std::max(0, row - max_span_height_ + 1);
    for (int r = lowest; r < row; ++r) {
      for (SpanAttr& span : rows_[static_cast<size_t>(r)].spans) {
        if (r + span.height > row) span.height += count;
      }
    }
  }
  rows_.insert(rows_.begin() + row, static_cast<size_t>(count), NewRow());
  if (span_count_ > 0) RecountSpans();
}

// Removes rows [row, row + count); 0 <= row, row + count <= RowCount(), count >= 1.
void TGridTable::EraseRows(int row, int count) {
  const int end = row + count;
  if (span_count_ > 0) {
    const int lowest = std::max(0, row - max_span_height_ + 1);
    for (int r = lowest; r < end; ++r) {
      std::vector<SpanAttr>& spans = rows_[static_cast<size_t>(r)].spans;
      for (SpanAttr& span : spans) {
        const int span_end = r + span.height;
        if (r < row) {
          // The merge loses the removed rows it covered.
          span.height -= std::max(0, std::min(span_end, end) - row);
        } else if (span_end > end && end < RowCount()) {
          // Its top-left row goes; the rest of the merge starts at the first row kept.
          std::vector<SpanAttr>& target = rows_[static_cast<size_t>(end)].spans;
          const SpanAttr moved{span.col, span.width, span_end - end};
          auto at = std::lower_bound(target.begin(), target.end(), moved.col,
                                     [](const SpanAttr& s, int c) { return s.col < c; });
          const bool merges = moved.width > 1 || moved.height > 1;
          if (merges && (at == target.end() || at->col != moved.col)) target.insert(at, moved);
        }
      }
      std::erase_if(spans, [](const SpanAttr& s) { return s.width == 1 && s.height == 1; });
    }
  }
  rows_.erase(rows_.begin() + row, rows_.begin() + end);
  if (span_count_ > 0) RecountSpans();
}

// Columns [col, col + count) become new empty columns; 0 <= col <= ColCount(), count >= 1.
void TGridTable::InsertColumns(int col, int count) {
  for (RowData& row : rows_) {
    // Cells right of the row's stored ones are empty already, and stay so.
    if (static_cast<size_t>(col) < row.cells.size()) {
      row.cells.insert(row.cells.begin() + col, static_cast<size_t>(count), std::string());
    }
    for (SpanAttr& span : row.spans) {
      if (span.col >= col) {
        span.col += count;
      } else if (span.col + span.width > col) {
        span.width += count;
      }
    }
    for (ColorAttr& color : row.colors) {
      if (color.col >= col) color.col += count;
    }
  }
  widths_.insert(widths_.begin() + col, static_cast<size_t>(count), kDefaultColumnWidth);
  hidden_.insert(hidden_.begin() + col, static_cast<size_t>(count), false);
  if (IsGrouped()) {
    if (col < group_column_) group_column_ += count;
    if (col <= group_heading_column_) group_heading_column_ += count;
  }
}

// Removes columns [col, col + count); col + count <= ColCount(), at least one column stays.
void TGridTable::RemoveColumns(int col, int count) {
  const int end = col + count;
  for (RowData& row : rows_) {
    if (static_cast<size_t>(col) < row.cells.size()) {
      row.cells.erase(row.cells.begin() + col, row.cells.begin() + std::min<size_t>(end, row.cells.size()));
    }
    if (!row.spans.empty()) {
      for (SpanAttr& span : row.spans) {
        const int span_end = span.col + span.width;
        if (span.col < col) {
          span.width -= std::max(0, std::min(span_end, end) - col);
        } else if (span.col < end) {
          // Its top-left column goes; the rest of the merge starts at the first column kept.
          span.col = col;
          span.width = std::max(0, span_end - end);  // 0: nothing of it is left
        } else {
          span.col -= count;
        }
      }
      std::erase_if(row.spans, [](const SpanAttr& s) {
        return s.width == 0 || (s.width == 1 && s.height == 1);
      });
      // Two merges can only meet at one column when they overlapped before; keep the first.
      std::stable_sort(row.spans.begin(), row.spans.end(),
                       [](const SpanAttr& a, const SpanAttr& b) { return a.col < b.col; });
      row.spans.erase(std::unique(row.spans.begin(), row.spans.end(),
                                  [](const SpanAttr& a, const SpanAttr& b) { return a.col == b.col; }),
                      row.spans.end());
    }
    if (!row.colors.empty()) {
      std::erase_if(row.colors, [&](const ColorAttr& c) { return c.col >= col && c.col < end; });
      for (ColorAttr& color : row.colors) {
        if (color.col >= end) color.col -= count;
      }
    }
  }
  widths_.erase(widths_.begin() + col, widths_.begin() + end);
  hidden_.erase(hidden_.begin() + col, hidden_.begin() + end);
  if (std::find(hidden_.begin(), hidden_.end(), false) == hidden_.end()) ShowAllColumns();
  if (IsGrouped()) {
    group_column_ -= std::clamp(group_column_ - col, 0, count);
    if (group_heading_column_ >= end) {
      group_heading_column_ -= count;
    } else if (group_heading_column_ >= col) {
      group_heading_column_ = -1;
    }
  }
  if (span_count_ > 0) RecountSpans();
}

void TGridTable::RecountSpans() {
  span_count_ = 0;
  max_span_height_ = 1;
  for (const RowData& row : rows_) {
    for (const SpanAttr& span : row.spans) {
      ++span_count_;
      max_span_height_ = std::max(max_span_height_, span.height);
    }
  }
}

void TGridTable::ClampCurrentCell() {
  row_ = std::clamp(row_, 0, RowCount() - 1);
  col_ = std::clamp(col_, 0, ColCount() - 1);
}

int TGridTable::FindInColumn(int col, const std::string& text) {
  if (col < 0 || col >= ColCount()) return -1;
  col_ = col;
  if (text.empty()) return -1;
  const bool find_empty = text == "\"\"";
  const std::string needle = find_empty ? std::string() : UpperCase(text);
  for (int r = 1; r < RowCount(); ++r) {
    const std::string& cell = Cell(col, r);
    if (find_empty ? cell.empty() : EqualsUpperCased(cell, needle)) {
      row_ = r;
      return r;
    }
  }
  return -1;
}

void TGridTable::HideColumn(int col) {
  if (col < 0 || col >= ColCount() || hidden_[static_cast<size_t>(col)]) return;
  if (std::count(hidden_.begin(), hidden_.end(), false) < 2) return;
  hidden_[static_cast<size_t>(col)] = true;
}

void TGridTable::ShowAllColumns() { std::fill(hidden_.begin(), hidden_.end(), false); }

bool TGridTable::IsColumnHidden(int col) const {
  return col >= 0 && col < ColCount() && hidden_[static_cast<size_t>(col)];
}

int TGridTable::ColumnWidth(int col) const {
  if (col < 0 || col >= ColCount()) return 0;
  return widths_[static_cast<size_t>(col)];
}

void TGridTable::SetColumnWidth(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  widths_[static_cast<size_t>(col)] = std::max(0, width);
}

void TGridTable::SortRows(int col, SortDirection direction) {
  if (col < 0 || col >= ColCount()) return;
  std::vector<SortKey> keys;
  for (int c = col; c < ColCount(); ++c) keys.push_back({c, direction});
  SortBody(keys);
}

void TGridTable::SortRowsByKeys(const std::vector<SortKey>& keys) {
  if (keys.empty()) throw Error("No indexes specified for indexed sort");
  std::vector<SortKey> usable;
  for (const SortKey& key : keys) {
    if (key.column >= 0 && key.column < ColCount()) usable.push_back(key);
  }
  if (!usable.empty()) SortBody(usable);
}

void TGridTable::SortRowsInGroups(int col, SortDirection direction) { SortRows(col, direction); }

// Sorts every run of consecutive body-kind rows on its own; heading and summary rows stay.
// On a table that is not grouped that run is the whole body.
void TGridTable::SortBody(const std::vector<SortKey>& keys) {
  const size_t n = rows_.size() - 1;
  if (n < 2 || keys.empty()) return;
  std::vector<int> order(n);
  for (size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i);

  SortKeys sort_keys(rows_, keys, locale_);
  auto compare = [&sort_keys](int a, int b) { return sort_keys.Compare(a, b); };
  std::vector<int> buffer;
  size_t first = 0;
  while (first < n) {
    if (rows_[first + 1].kind != RowKind::Body) {
      ++first;
      continue;
    }
    size_t last = first;
    while (last < n && rows_[last + 1].kind == RowKind::Body) ++last;
    MergeSortIndices(order, first, last, buffer, compare);
    first = last;
  }

  // Body row i receives the row that was at order[i]: follow each cycle of the permutation,
  // moving row handles only.
  std::vector<bool> placed(n, false);
  for (size_t start = 0; start < n; ++start) {
    if (placed[start] || static_cast<size_t>(order[start]) == start) continue;
    RowData held = std::move(rows_[start + 1]);
    size_t to = start;
    while (true) {
      placed[to] = true;
      const auto from = static_cast<size_t>(order[to]);
      if (from == start) {
        rows_[to + 1] = std::move(held);
        break;
      }
      rows_[to + 1] = std::move(rows_[from + 1]);
      to = from;
    }
  }
}

void TGridTable::SetMergeSpan(int col, int row, int width, int height) {
  if (!InTable(col, row)) return;
  width = Clamp(width, 1, ColCount() - col);
  height = Clamp(height, 1, RowCount() - row);
  std::vector<SpanAttr>& spans = rows_[static_cast<size_t>(row)].spans;
  auto at = std::lower_bound(spans.begin(), spans.end(), col,
                             [](const SpanAttr& s, int c) { return s.col < c; });
  const bool exists = at != spans.end() && at->col == col;
  if (width == 1 && height == 1) {
    if (exists) {
      spans.erase(at);
      --span_count_;
    }
    return;
  }
  if (exists) {
    at->width = width;
    at->height = height;
  } else {
    spans.insert(at, SpanAttr{col, width, height});
    ++span_count_;
  }
  max_span_height_ = std::max(max_span_height_, height);
}

std::optional<MergeSpan> TGridTable::MergeSpanAt(int col, int row) const {
  if (!InTable(col, row)) return std::nullopt;
  int top = row;
  const SpanAttr* span = FindCover(col, row, top);
  if (span == nullptr) return std::nullopt;
  return MergeSpan{span->col, top, span->width, span->height};
}

std::optional<CellColor> TGridTable::CellBackground(int col, int row) const {
  if (!InTable(col, row)) return std::nullopt;
  for (const ColorAttr& color : rows_[static_cast<size_t>(row)].colors) {
    if (color.col == col) return color.color;
  }
  return std::nullopt;
}

void TGridTable::SetCellBackground(int col, int row, std::optional<CellColor> color) {
  if (!InTable(col, row)) return;
  std::vector<ColorAttr>& colors = rows_[static_cast<size_t>(row)].colors;
  auto at = std::lower_bound(colors.begin(), colors.end(), col,
                             [](const ColorAttr& c, int column) { return c.col < column; });
  const bool exists = at != colors.end() && at->col == col;
  if (!color) {
    if (exists) colors.erase(at);
  } else if (exists) {
    at->color = *color;
  } else {
    colors.insert(at, ColorAttr{col, *color});
  }
}

void TGridTable::MergeColumns(int a, int b) {
  if (a < 0 || b < 0 || a >= ColCount() || b >= ColCount() || a == b) return;
  std::string joined;
  for (size_t r = 1; r < rows_.size(); ++r) {
    RowData& row = rows_[r];
    joined.assign(row.Text(static_cast<size_t>(a)));
    joined += ' ';
    joined += row.Text(static_cast<size_t>(b));
    row.SetText(static_cast<size_t>(a), std::string(TrimBlanks(joined)));
  }
  RemoveColumn(b);
}

RowKind TGridTable::KindOfRow(int row) const {
  if (row < 1 || row >= RowCount()) return RowKind::Body;
  return rows_[static_cast<size_t>(row)].kind;
}

void TGridTable::SetSortState(int col, SortDirection direction) {
  sort_column_ = std::max(0, col);
  sort_direction_ = direction;
}

void TGridTable::GroupByColumn(int col) {
  // `col` counts the columns of the ungrouped table, the group column included.
  const int ungrouped_cols = ColCount() + (IsGrouped() ? 1 : 0);
  if (col < 1 || col >= ungrouped_cols || ungrouped_cols < 3) return;
  Ungroup();

  const auto c = static_cast<size_t>(col);
  group_heading_ = rows_[0].Text(c);
  group_width_ = widths_[c];
  sort_column_ = col;
  SortRows(col, sort_direction_);

  // The heading cell takes column 1, or column 2 when column 1 is the one grouped on, so
  // that it lands in column 1 once the group column is gone.
  const int heading_col = col == 1 ? 2 : 1;
  const int last_col = ColCount() - 1;
  const int merge_width = last_col - heading_col + 1;

  std::vector<RowData> grouped;
  grouped.reserve(rows_.size() + rows_.size() / 4 + 2);
  grouped.push_back(std::move(rows_[0]));
  size_t r = 1;
  while (r < rows_.size()) {
    const std::string value = rows_[r].Text(c);
    RowData heading = NewRow();
    heading.kind = RowKind::GroupHeading;
    heading.SetText(static_cast<size_t>(heading_col), value);
    if (grouping_.mergeHeader && merge_width > 1) heading.spans.push_back({heading_col, merge_width, 1});
    if (grouping_.headerColor) heading.colors.push_back({heading_col, *grouping_.headerColor});
    grouped.push_back(std::move(heading));

    while (r < rows_.size() && rows_[r].Text(c) == value) grouped.push_back(std::move(rows_[r++]));

    if (grouping_.summary) {
      RowData summary = NewRow();
      summary.kind = RowKind::GroupSummary;
      if (grouping_.mergeSummary && merge_width > 1) summary.spans.push_back({heading_col, merge_width, 1});
      if (grouping_.summaryColor) {
        for (int k = 0; k <= last_col; ++k) summary.colors.push_back({k, *grouping_.summaryColor});
      }
      grouped.push_back(std::move(summary));
    }
  }
  rows_ = std::move(grouped);
  RecountSpans();
  RemoveColumns(col, 1);

  group_column_ = col;
  group_heading_column_ = 1;
  row_ = 1;
  if (col_ == 0) col_ = 1;
  ClampCurrentCell();
}

void TGridTable::Ungroup() {
  if (!IsGrouped()) return;
  const int heading_col = group_heading_column_;
  const int place = std::min(group_column_, ColCount());
  group_column_ = -1;
  group_heading_column_ = -1;

  std::vector<RowData> body;
  std::vector<std::string> values;
  body.reserve(rows_.size());
  values.reserve(rows_.size());
  body.push_back(std::move(rows_[0]));
  std::string value;  // rows above the first heading (added by hand) belong to no group
  for (size_t r = 1; r < rows_.size(); ++r) {
    RowData& row = rows_[r];
    if (row.kind == RowKind::GroupHeading) {
      value = heading_col >= 0 ? row.Text(static_cast<size_t>(heading_col)) : std::string();
    } else if (row.kind == RowKind::Body) {
      values.push_back(value);
      body.push_back(std::move(row));
    }
  }
  if (body.size() < 2) {
    body.push_back(NewRow());
    values.emplace_back();
  }
  rows_ = std::move(body);
  RecountSpans();

  InsertColumns(place, 1);
  const auto p = static_cast<size_t>(place);
  rows_[0].SetText(p, group_heading_);
  widths_[p] = group_width_;
  for (size_t i = 0; i < values.size(); ++i) rows_[i + 1].SetText(p, values[i]);
  ClampCurrentCell();
}

}  // namespace ln40
