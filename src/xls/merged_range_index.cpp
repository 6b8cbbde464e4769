#include "xls/merged_range_index.h"

#include <utility>

namespace ln40 {

namespace {
constexpr int kLastRow = 65536;
}

TMergedRangeIndex::TMergedRangeIndex(std::vector<TXlsRange> ranges) : ranges_(std::move(ranges)) {
  for (std::size_t i = 0; i < ranges_.size(); ++i) {
    const TXlsRange& r = ranges_[i];
    for (int row = r.FirstRow; row <= r.LastRow && row <= kLastRow; ++row) by_row_[row].push_back(static_cast<int>(i));
  }
}

const TXlsRange* TMergedRangeIndex::Find(int row, int col) const {
  const auto it = by_row_.find(row);
  if (it == by_row_.end()) return nullptr;
  for (int i : it->second) {
    const TXlsRange& r = ranges_[static_cast<std::size_t>(i)];
    if (col >= r.FirstCol && col <= r.LastCol) return &r;
  }
  return nullptr;
}

}  // namespace ln40
