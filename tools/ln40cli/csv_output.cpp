#include "csv_output.h"

#include <algorithm>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"

namespace ln40::cli {
namespace {

// Appends one field, converted from the table's code page, quoted when it holds a comma, a
// quote or a line break. One pass over the field; most fields are plain ASCII.
void AppendField(const std::string& text, std::string& out) {
  bool quote = false;
  bool ascii = true;
  for (const char c : text) {
    quote = quote || c == ',' || c == '"' || c == '\r' || c == '\n';
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  }
  const std::string converted = ascii ? std::string() : Cp1252ToUtf8(text);
  const std::string& utf8 = ascii ? text : converted;
  if (!quote) {
    out += utf8;
    return;
  }
  out += '"';
  for (const char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// The empty cells after a row's last used one are only their commas, written at once: a
// sparse sheet of 65536 rows by 256 columns is mostly such cells.
std::string TableCsv(const TGridTable& table) {
  std::string csv;
  const int cols = table.ColCount();
  csv.reserve(static_cast<size_t>(table.RowCount()) * static_cast<size_t>(cols + 1));  // the commas and line ends
  for (int row = 0; row < table.RowCount(); ++row) {
    const int used = table.UsedWidth(row);
    for (int col = 0; col < used; ++col) {
      if (col > 0) csv += ',';
      AppendField(table.Cell(col, row), csv);
    }
    csv.append(static_cast<size_t>(cols - std::max(used, 1)), ',');
    csv += "\r\n";
  }
  return csv;
}

}  // namespace

void WriteTableCsv(const TGridTable& table, std::ostream& out) {
  const std::string csv = TableCsv(table);
  out.write(csv.data(), static_cast<std::streamsize>(csv.size()));
}

// Written to a temporary file renamed over the target when complete; a device or a pipe
// given as the output (/dev/null, a FIFO) is written into.
void SaveBytes(const std::string& bytes, const std::string& path) {
  if (const FileReplaceFailure failure = TryReplaceFile(path, bytes)) {
    throw Error("Cannot write " + Utf8ToCp1252(path) + ": " + failure.Reason());
  }
}

void SaveTableCsv(const TGridTable& table, const std::string& path) { SaveBytes(TableCsv(table), path); }

}  // namespace ln40::cli
