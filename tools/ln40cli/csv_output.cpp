#include "csv_output.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "text/codepage.h"
#include "text/error.h"

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

void SaveBytes(const std::string& bytes, const std::string& path) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) throw Error("Cannot write " + Utf8ToCp1252(path));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.flush();
    if (!file) {
      std::remove(temporary.c_str());
      throw Error("Cannot write " + Utf8ToCp1252(path));
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    throw Error("Cannot write " + Utf8ToCp1252(path));
  }
}

void SaveTableCsv(const TGridTable& table, const std::string& path) {
  std::ostringstream out;
  WriteTableCsv(table, out);
  SaveBytes(out.str(), path);
}

}  // namespace ln40::cli
