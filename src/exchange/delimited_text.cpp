#include "exchange/delimited_text.h"

namespace ln40 {

void ReadDelimitedText(std::string_view text, char delimiter,
                       const std::function<void(int row, int col, const std::string& field)>& field) {
  int row = 1;
  int col = 1;
  size_t pos = 0;
  std::string value;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '"') {
      value.clear();
      ++pos;
      while (pos < text.size()) {
        if (text[pos] == '"') {
          if (pos + 1 < text.size() && text[pos + 1] == '"') {
            value += '"';
            pos += 2;
            continue;
          }
          ++pos;  // the closing quote
          break;
        }
        value += text[pos++];
      }
      field(row, col, value);
    } else if (c == delimiter) {
      ++col;
      ++pos;
    } else if (c == '\n') {
      ++row;
      col = 1;
      ++pos;
    } else if (c == '\r') {
      ++pos;
    } else {
      const size_t start = pos;
      while (pos < text.size() && text[pos] != delimiter && text[pos] != '\r' && text[pos] != '\n') ++pos;
      field(row, col, std::string(text.substr(start, pos - start)));
    }
  }
}

}  // namespace ln40
