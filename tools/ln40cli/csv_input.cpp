#include "csv_input.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {
namespace {

// The whole file, read into its place at once.
std::string ReadWholeFile(const std::string& path) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) throw Error("Cannot open " + Utf8ToCp1252(path));
  std::string text;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    const long size = std::ftell(file.get());
    std::rewind(file.get());
    if (size > 0) {
      text.resize(static_cast<size_t>(size));
      text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    }
  }
  char chunk[1 << 16];  // what a file still growing (or a pipe) holds beyond
  for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0;) text.append(chunk, got);
  if (std::ferror(file.get())) throw Error("Cannot read " + Utf8ToCp1252(path));
  return text;
}

bool IsAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char DetectSeparator(std::string_view text) {
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (!quoted && (c == '\n' || c == '\r')) break;
    if (!quoted && c == ';') return ';';
  }
  return ',';
}

// Calls take(fields) for each record of the text, `fields` being views into `text`. The
// quotes are taken out of `text` where it lies (a field is never longer than its source), so
// that no field is copied.
template <typename Take>
void ForEachRecord(std::string& text, char separator, Take take) {
  std::vector<std::string_view> fields;  // of the record being read
  char* const data = text.data();
  const size_t size = text.size();
  size_t out = 0;          // where the next character of a field goes; never after `i`
  size_t field_start = 0;  // of the field being read, in the unquoted text
  bool quoted = false;
  bool any = false;  // something read since the last line end
  const auto end_field = [&] {
    fields.emplace_back(data + field_start, out - field_start);
    field_start = out;
  };
  const auto end_record = [&] {
    end_field();
    take(std::as_const(fields));
    fields.clear();
  };
  for (size_t i = 0; i < size; ++i) {
    const char c = data[i];
    if (quoted) {
      if (c == '"' && i + 1 < size && data[i + 1] == '"') {
        data[out++] = '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        data[out++] = c;
      }
      continue;
    }
    if (c == '"') {
      quoted = true;
      any = true;
    } else if (c == separator) {
      end_field();
      any = true;
    } else if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < size && data[i + 1] == '\n') ++i;
      end_record();
      any = false;
    } else {
      // This character and the plain ones after it, up to one that means something.
      const auto plain = [&](char k) { return k != '"' && k != separator && k != '\r' && k != '\n'; };
      data[out++] = c;
      while (i + 1 < size && plain(data[i + 1])) data[out++] = data[++i];
      any = true;
    }
  }
  if (any || out > field_start || !fields.empty()) end_record();
}

}  // namespace

void LoadTableCsv(TGridTable& table, const std::string& path) {
  std::string text = ReadWholeFile(path);
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);  // a byte-order mark
  if (!IsAscii(text) && IsValidUtf8(text)) text = Utf8ToCp1252(text);

  table.ClearBody();
  int rows = 0;
  std::string cell;  // one buffer for every field
  ForEachRecord(text, DetectSeparator(text), [&](const std::vector<std::string_view>& fields) {
    const int row = rows++;
    if (row >= table.RowCount()) table.SetRowCount(2 * row);  // room for this row and as many more
    if (static_cast<int>(fields.size()) > table.ColCount()) table.SetColCount(static_cast<int>(fields.size()));
    // The last field first, so that the row makes room for its cells once.
    for (size_t col = fields.size(); col-- > 0;) {
      if (fields[col].empty() && row > 0) continue;  // the body was just cleared; the header row was not
      cell.assign(fields[col]);
      table.SetCell(static_cast<int>(col), row, cell);
    }
  });
  table.SetRowCount(std::max(2, rows));
}

}  // namespace ln40::cli
