#include "csv_output.h"

#include <sstream>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"

namespace ln40::cli {
namespace {

void WriteField(const std::string& text, std::ostream& out) {
  const std::string utf8 = Cp1252ToUtf8(text);
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
    out << utf8;
    return;
  }
  out << '"';
  for (char c : utf8) {
    if (c == '"') out << '"';
    out << c;
  }
  out << '"';
}

}  // namespace

void WriteTableCsv(const TGridTable& table, std::ostream& out) {
  for (int row = 0; row < table.RowCount(); ++row) {
    for (int col = 0; col < table.ColCount(); ++col) {
      if (col > 0) out << ',';
      WriteField(table.Cell(col, row), out);
    }
    out << "\r\n";
  }
}

// Written to a temporary file renamed over the target when complete; a device or a pipe
// given as the output (/dev/null, a FIFO) is written into.
void SaveBytes(const std::string& bytes, const std::string& path) {
  if (TryReplaceFile(path, bytes)) throw Error("Cannot write " + Utf8ToCp1252(path));
}

void SaveTableCsv(const TGridTable& table, const std::string& path) {
  std::ostringstream out;
  WriteTableCsv(table, out);
  SaveBytes(out.str(), path);
}

}  // namespace ln40::cli
