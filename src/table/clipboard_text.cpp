#include "table/clipboard_text.h"

namespace ln40 {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kTab = '\t';
constexpr char kVerticalTab = '\v';
constexpr char kQuote = '"';

void AppendCell(std::string& out, const std::string& text) {
  if (text.find(kCr) == std::string::npos) {
    out += text;
    return;
  }
  out += kQuote;
  for (char c : text) {
    if (c != kCr) out += c;
  }
  out += kQuote;
}

// A field that holds a LF came from a multi-line cell, which copies wrap in double quotes.
std::string UnwrapField(std::string_view field) {
  if (field.find(kLf) == std::string_view::npos) return std::string(field);
  if (!field.empty() && field.front() == kQuote) field.remove_prefix(1);
  const size_t quote = field.find(kQuote);
  if (quote != std::string_view::npos && quote + 1 == field.size()) field.remove_suffix(1);
  std::string out;
  out.reserve(field.size());
  for (char c : field) {
    if (c == kVerticalTab) {
      out += kCr;
      out += kLf;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t tab = line.find(kTab, start);
    if (tab == std::string_view::npos) {
      fields.push_back(UnwrapField(line.substr(start)));
      return fields;
    }
    fields.push_back(UnwrapField(line.substr(start, tab - start)));
    start = tab + 1;
  }
}

}  // namespace

std::string CopySelectionText(const TGridTable& table, const GridSelection& selection) {
  const GridSelection s = selection.ClampedTo(table);
  std::string out;
  for (int r = s.top; r <= s.bottom; ++r) {
    for (int c = s.left; c <= s.right; ++c) {
      if (c > s.left) out += kTab;
      AppendCell(out, table.Cell(c, r));
    }
    if (s.Height() > 1) {
      out += kCr;
      out += kLf;
    }
  }
  return out;
}

void ClearSelection(TGridTable& table, const GridSelection& selection) {
  const GridSelection s = selection.ClampedTo(table);
  const std::string empty;
  for (int r = s.top; r <= s.bottom; ++r) {
    for (int c = s.left; c <= s.right; ++c) table.SetCell(c, r, empty);
  }
}

ClipboardBlock ParseClipboardText(std::string_view text) {
  ClipboardBlock block;
  size_t start = 0;
  while (start < text.size()) {
    const size_t cr = text.find(kCr, start);
    const std::string_view line = text.substr(start, cr == std::string_view::npos ? std::string_view::npos : cr - start);
    block.lines.push_back(SplitFields(line));
    block.fieldCount += static_cast<int>(block.lines.back().size());
    if (cr == std::string_view::npos) break;
    start = cr + 1;
    if (start < text.size() && text[start] == kLf) ++start;
    // A text that ends with a line break has one more, empty, field at its end.
    if (start == text.size()) ++block.fieldCount;
  }
  return block;
}

std::string WithCrLfLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == kQuote) quoted = !quoted;
    if (c == kLf && !quoted && (i == 0 || text[i - 1] != kCr)) out += kCr;
    out += c;
  }
  return out;
}

}  // namespace ln40
