#include "table/find_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "text/codepage.h"

namespace ln40 {
namespace {

const std::array<unsigned char, 256>& UpperTable() {
  static const std::array<unsigned char, 256> table = [] {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<unsigned char>(UpperCaseChar(static_cast<char>(i)));
    return t;
  }();
  return table;
}

void StripHtmlTagsInto(std::string_view text, std::string& out) {
  out.clear();
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t open = text.find('<', pos);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(pos, open - pos));
    pos = close + 1;
  }
  out.append(text.substr(pos));
}

// The columns or the rows of the area, in increasing order: a list of columns, or the rows
// first .. first + count - 1.
class Axis {
 public:
  explicit Axis(const std::vector<int>& values) : values_(&values), count_(values.size()) {}
  Axis(int first, int count) : first_(first), count_(count > 0 ? static_cast<size_t>(count) : 0) {}

  size_t Size() const { return count_; }
  int At(size_t i) const { return values_ != nullptr ? (*values_)[i] : first_ + static_cast<int>(i); }
  // How many values are below v, and how many are not above it.
  size_t CountBelow(int v) const { return Count(v, false); }
  size_t CountUpTo(int v) const { return Count(v, true); }

 private:
  size_t Count(int v, bool equal_too) const {
    if (values_ != nullptr) {
      return static_cast<size_t>(equal_too ? std::upper_bound(values_->begin(), values_->end(), v) - values_->begin()
                                           : std::lower_bound(values_->begin(), values_->end(), v) - values_->begin());
    }
    const long long n = static_cast<long long>(v) - first_ + (equal_too ? 1 : 0);
    return static_cast<size_t>(std::clamp<long long>(n, 0, static_cast<long long>(count_)));
  }

  const std::vector<int>* values_ = nullptr;
  int first_ = 0;
  size_t count_ = 0;
};

}  // namespace

std::string StripHtmlTags(std::string_view text) {
  std::string out;
  StripHtmlTagsInto(text, out);
  return out;
}

CellTextMatcher::CellTextMatcher(std::string_view search_text, const FindOptions& options, const Locale& locale)
    : fold_(!options.caseSensitive), strip_tags_(options.ignoreHtmlTags) {
  if (search_text.empty()) {
    mode_ = Mode::Nothing;
  } else if (search_text == "\"\"") {
    mode_ = Mode::EmptyCell;
  } else if (options.wildcards) {
    pattern_.emplace(search_text, options.caseSensitive, locale);
    mode_ = pattern_->IsEmpty() ? Mode::Nothing : Mode::Wildcard;
  } else {
    mode_ = options.wholeWords ? Mode::Whole : (options.matchFromFirstChar ? Mode::Prefix : Mode::Contains);
    needle_ = fold_ ? UpperCase(search_text) : std::string(search_text);
  }
}

bool CellTextMatcher::Matches(std::string_view cell) {
  if (mode_ == Mode::Nothing) return false;
  // A plain loop: memchr costs more than it saves on texts as short as cells.
  if (strip_tags_ && std::find(cell.begin(), cell.end(), '<') != cell.end()) {
    StripHtmlTagsInto(cell, stripped_);
    return MatchesText(stripped_);
  }
  return MatchesText(cell);
}

bool CellTextMatcher::MatchesText(std::string_view cell) const {
  switch (mode_) {
    case Mode::Nothing:
      return false;
    case Mode::EmptyCell:
      return cell.empty();
    case Mode::Wildcard:
      return pattern_->Matches(cell);
    case Mode::Whole:
    case Mode::Prefix:
    case Mode::Contains:
      break;
  }
  const std::string_view needle = needle_;
  if (cell.size() < needle.size() || (mode_ == Mode::Whole && cell.size() != needle.size())) return false;
  if (!fold_) {
    if (mode_ == Mode::Contains) return cell.find(needle) != std::string_view::npos;
    return cell.substr(0, needle.size()) == needle;
  }
  // Upper-casing keeps one byte per character, so the cell is folded as it is compared.
  const auto& upper = UpperTable();
  const size_t last_start = mode_ == Mode::Contains ? cell.size() - needle.size() : 0;
  const auto first = static_cast<unsigned char>(needle[0]);
  for (size_t start = 0; start <= last_start; ++start) {
    if (upper[static_cast<unsigned char>(cell[start])] != first) continue;
    size_t i = 1;
    while (i < needle.size() && upper[static_cast<unsigned char>(cell[start + i])] == static_cast<unsigned char>(needle[i])) {
      ++i;
    }
    if (i == needle.size()) return true;
  }
  return false;
}

std::optional<CellRef> FindNextCell(const TGridTable& table, std::string_view search_text, const FindOptions& options,
                                    std::optional<CellRef> after) {
  CellTextMatcher matcher(search_text, options, table.GetLocale());

  std::vector<int> cols;
  for (int c = 0; c < table.ColCount(); ++c) {
    if (table.IsColumnHidden(c)) continue;
    if (options.scope == FindScope::CurrentColumn && c != table.Col()) continue;
    cols.push_back(c);
  }
  int first_row = options.findInFixedCells ? 0 : 1;
  int last_row = table.RowCount() - 1;
  if (options.scope == FindScope::CurrentRow) {
    const int row = table.Row();
    if (row < first_row || row > last_row) return std::nullopt;
    first_row = last_row = row;
  }

  const bool by_column = options.direction == FindDirection::TopToBottom || options.direction == FindDirection::BottomToTop;
  const bool forward = options.direction == FindDirection::TopToBottom || options.direction == FindDirection::LeftToRight;
  const Axis col_axis(cols);
  const Axis row_axis(first_row, last_row - first_row + 1);
  const Axis& outer = by_column ? col_axis : row_axis;
  const Axis& inner = by_column ? row_axis : col_axis;
  if (outer.Size() == 0 || inner.Size() == 0) return std::nullopt;

  auto visit = [&](int o, int i) -> std::optional<CellRef> {
    const CellRef cell = by_column ? CellRef{o, i} : CellRef{i, o};
    if (!matcher.Matches(table.Cell(cell.col, cell.row))) return std::nullopt;
    // A covered cell reads as its merge's top-left cell, which the walk visits on its own.
    const std::optional<MergeSpan> span = table.MergeSpanAt(cell.col, cell.row);
    if (span && (span->col != cell.col || span->row != cell.row)) return std::nullopt;
    return cell;
  };

  const int after_outer = after ? (by_column ? after->col : after->row) : 0;
  const int after_inner = after ? (by_column ? after->row : after->col) : 0;
  if (forward) {
    for (size_t o = after ? outer.CountBelow(after_outer) : 0; o < outer.Size(); ++o) {
      const int ov = outer.At(o);
      const size_t from = (after && ov == after_outer) ? inner.CountUpTo(after_inner) : 0;
      for (size_t i = from; i < inner.Size(); ++i) {
        if (auto found = visit(ov, inner.At(i))) return found;
      }
    }
  } else {
    for (size_t o = after ? outer.CountUpTo(after_outer) : outer.Size(); o-- > 0;) {
      const int ov = outer.At(o);
      const size_t to = (after && ov == after_outer) ? inner.CountBelow(after_inner) : inner.Size();
      for (size_t i = to; i-- > 0;) {
        if (auto found = visit(ov, inner.At(i))) return found;
      }
    }
  }
  return std::nullopt;
}

}  // namespace ln40
