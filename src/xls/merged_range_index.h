#pragma once
// TMergedRangeIndex: the merged range a cell lies in, found quickly among the many ranges of
// a large sheet. Ranges may overlap in a file made by hand or damaged: the first one in the
// order given that contains the cell is the cell's range. Not thread-safe.
#include <unordered_map>
#include <vector>

namespace ln40 {

// A rectangle of cells, 1-based and inclusive.
struct TXlsRange {
  int FirstRow = 1;
  int FirstCol = 1;
  int LastRow = 1;
  int LastCol = 1;
  bool operator==(const TXlsRange&) const = default;
};

class TMergedRangeIndex {
 public:
  TMergedRangeIndex() = default;
  explicit TMergedRangeIndex(std::vector<TXlsRange> ranges);

  const std::vector<TXlsRange>& Ranges() const { return ranges_; }
  bool Empty() const { return ranges_.empty(); }
  // The first range containing the cell (1-based), or null.
  const TXlsRange* Find(int row, int col) const;

 private:
  std::vector<TXlsRange> ranges_;
  std::unordered_map<int, std::vector<int>> by_row_;  // indexes of the ranges over each row
};

}  // namespace ln40
