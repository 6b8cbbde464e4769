#pragma once
// TAttrList: the attributes of the tag being reported, as name/value pairs. The list is kept
// sorted by name (byte-wise ascending); of two entries with the same name, the one added
// later comes first. The scanner owns it and refills it for every tag, so a handler may read
// it only during the event that passes it.
#include <string>
#include <string_view>
#include <vector>

namespace ln40 {

struct TNvpNode {
  std::string name;
  std::string value;
};

class TAttrList {
 public:
  int Count() const { return static_cast<int>(nodes_.size()); }
  // The name and value of entry i; the empty text when i is out of range.
  const std::string& Name(int i) const;
  const std::string& Value(int i) const;
  // The value of an entry named `name` (case-sensitive, binary search); empty when none.
  const std::string& ValueOf(std::string_view name) const;

  void Clear() { nodes_.clear(); }
  // Inserts after the last entry whose name is smaller. O(Count()).
  void Add(std::string name, std::string value);
  // Bulk filling for a whole tag in O(n log n): append with Append in document order, then
  // call Sort once; the result is the order Add would have given.
  void Append(std::string name, std::string value);
  void Sort();

 private:
  std::vector<TNvpNode> nodes_;
};

}  // namespace ln40
