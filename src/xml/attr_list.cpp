#include "xml/attr_list.h"

#include <algorithm>

namespace ln40 {
namespace {

const std::string kEmpty;

bool NameLess(const TNvpNode& a, const TNvpNode& b) { return a.name < b.name; }

}  // namespace

const std::string& TAttrList::Name(int i) const {
  return i >= 0 && i < Count() ? nodes_[static_cast<size_t>(i)].name : kEmpty;
}

const std::string& TAttrList::Value(int i) const {
  return i >= 0 && i < Count() ? nodes_[static_cast<size_t>(i)].value : kEmpty;
}

const std::string& TAttrList::ValueOf(std::string_view name) const {
  const auto it = std::lower_bound(nodes_.begin(), nodes_.end(), name,
                                   [](const TNvpNode& node, std::string_view n) { return node.name < n; });
  return it != nodes_.end() && it->name == name ? it->value : kEmpty;
}

void TAttrList::Add(std::string name, std::string value) {
  // The first entry that is not smaller: the new one goes before entries of equal name.
  const auto it = std::lower_bound(nodes_.begin(), nodes_.end(), name,
                                   [](const TNvpNode& node, const std::string& n) { return node.name < n; });
  nodes_.insert(it, TNvpNode{std::move(name), std::move(value)});
}

void TAttrList::Append(std::string name, std::string value) {
  nodes_.push_back(TNvpNode{std::move(name), std::move(value)});
}

void TAttrList::Sort() {
  // Later entries of the same name first: reverse the document order, then sort stably.
  std::reverse(nodes_.begin(), nodes_.end());
  std::stable_sort(nodes_.begin(), nodes_.end(), NameLess);
}

}  // namespace ln40
