#include "exchange/delimited_text.h"

#include <algorithm>

namespace ln40 {
namespace {

// The one reading of the format, for the fields and for the extent. Calls field(row, col,
// raw, quoted) for each field, `raw` being the text between the quotes of a quoted field
// (its doubled quotes still doubled) or the whole unquoted field. `extent` grows with every
// field and delimiter read; the walk ends, returning false, at the first of them beyond
// `bounds`.
template <typename Field>
bool Walk(std::string_view text, char delimiter, TSheetExtent bounds, TSheetExtent& extent, Field field) {
  std::int64_t row = 1;
  std::int64_t col = 1;
  size_t pos = 0;
  // Something at (row, col): within the bounds, or the end of the walk.
  const auto take = [&] {
    extent.Rows = std::max(extent.Rows, row);
    extent.Cols = std::max(extent.Cols, col);
    return row <= bounds.Rows && col <= bounds.Cols;
  };
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '"') {
      if (!take()) return false;
      const size_t start = ++pos;
      while (pos < text.size()) {
        if (text[pos] == '"') {
          if (pos + 1 < text.size() && text[pos + 1] == '"') {
            pos += 2;
            continue;
          }
          break;
        }
        ++pos;
      }
      field(static_cast<int>(row), static_cast<int>(col), text.substr(start, pos - start), true);
      if (pos < text.size()) ++pos;  // the closing quote
    } else if (c == delimiter) {
      ++col;
      ++pos;
      if (!take()) return false;
    } else if (c == '\n') {
      ++row;
      col = 1;
      ++pos;
    } else if (c == '\r') {
      ++pos;
    } else {
      if (!take()) return false;
      const size_t start = pos;
      while (pos < text.size() && text[pos] != delimiter && text[pos] != '\r' && text[pos] != '\n') ++pos;
      field(static_cast<int>(row), static_cast<int>(col), text.substr(start, pos - start), false);
    }
  }
  return true;
}

}  // namespace

TSheetExtent DelimitedTextExtent(std::string_view text, char delimiter) {
  TSheetExtent extent;
  const TSheetExtent unbounded{INT64_MAX, INT64_MAX};
  Walk(text, delimiter, unbounded, extent, [](int, int, std::string_view, bool) {});
  return extent;
}

bool ReadDelimitedText(std::string_view text, char delimiter,
                       const std::function<void(int row, int col, const std::string& field)>& field,
                       TSheetExtent bounds) {
  TSheetExtent extent;
  std::string value;
  return Walk(text, delimiter, bounds, extent, [&](int row, int col, std::string_view raw, bool quoted) {
    value.assign(raw);
    if (quoted) {
      // Two double quotes stand for one.
      size_t out = 0;
      for (size_t in = 0; in < value.size(); ++in, ++out) {
        value[out] = value[in];
        if (value[in] == '"') ++in;
      }
      value.resize(out);
    }
    field(row, col, value);
  });
}

}  // namespace ln40
