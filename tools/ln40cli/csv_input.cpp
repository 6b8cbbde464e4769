#include "csv_input.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {
namespace {

char DetectSeparator(const std::string& text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '\n' || c == '\r')) break;
    if (!quoted && c == ';') return ';';
  }
  return ',';
}

std::vector<std::vector<std::string>> SplitRecords(const std::string& text, char separator) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  bool quoted = false;
  bool any = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == separator) {
      record.push_back(field);
      field.clear();
      any = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      record.push_back(field);
      records.push_back(record);
      record.clear();
      field.clear();
      any = false;
    } else {
      field += c;
      any = true;
    }
  }
  if (any || !field.empty() || !record.empty()) {
    record.push_back(field);
    records.push_back(record);
  }
  return records;
}

}  // namespace

void LoadTableCsv(TGridTable& table, const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw Error("Cannot open " + Utf8ToCp1252(path));
  std::stringstream content;
  content << file.rdbuf();
  std::string text = content.str();
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a byte-order mark
  text = IsValidUtf8(text) ? Utf8ToCp1252(text) : text;

  const auto records = SplitRecords(text, DetectSeparator(text));
  size_t columns = static_cast<size_t>(table.ColCount());
  for (const auto& record : records) columns = std::max(columns, record.size());
  table.ClearBody();
  table.SetColCount(static_cast<int>(columns));
  table.SetRowCount(std::max<int>(2, static_cast<int>(records.size())));
  table.ClearBody();
  for (size_t row = 0; row < records.size(); ++row) {
    for (size_t col = 0; col < records[row].size(); ++col) {
      table.SetCell(static_cast<int>(col), static_cast<int>(row), records[row][col]);
    }
  }
}

}  // namespace ln40::cli
