#include "csv_output.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"

namespace ln40::cli {
namespace {

// Appends one field, converted from the table's code page, quoted when it holds a comma, a
// quote or a line break. Most fields are plain ASCII with none of those: one pass over the
// field finds that out, and the field is copied as it is.
void AppendField(const std::string& text, std::string& out) {
  unsigned char bits = 0;
  bool quote = false;
  for (const char c : text) {
    bits |= static_cast<unsigned char>(c);
    quote |= (c == ',') | (c == '"') | (c == '\r') | (c == '\n');
  }
  const bool ascii = bits < 0x80;
  if (ascii && !quote) {
    out += text;
    return;
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

// The CSV in pieces of about a megabyte, so that no piece is ever moved while it grows. The
// empty cells after a row's last used one are only their commas, written at once: a sparse
// sheet of 65536 rows by 256 columns is mostly such cells.
std::vector<std::string> TableCsv(const TGridTable& table) {
  constexpr size_t kPieceSize = size_t{1} << 20;
  std::vector<std::string> pieces;
  const auto new_piece = [&pieces] { pieces.emplace_back().reserve(kPieceSize + kPieceSize / 4); };
  new_piece();
  const int cols = table.ColCount();
  for (int row = 0; row < table.RowCount(); ++row) {
    if (pieces.back().size() >= kPieceSize) new_piece();
    std::string& csv = pieces.back();
    const int used = table.UsedWidth(row);
    for (int col = 0; col < used; ++col) {
      if (col > 0) csv += ',';
      AppendField(table.Cell(col, row), csv);
    }
    csv.append(static_cast<size_t>(cols - std::max(used, 1)), ',');
    csv += "\r\n";
  }
  return pieces;
}

// Written to a temporary file renamed over the target when complete; a device or a pipe
// given as the output (/dev/null, a FIFO) is written into.
void SavePieces(std::span<const std::string_view> pieces, const std::string& path) {
  if (const FileReplaceFailure failure = TryReplaceFile(path, pieces)) {
    throw Error("Cannot write " + Utf8ToCp1252(path) + ": " + failure.Reason());
  }
}

}  // namespace

void WriteTableCsv(const TGridTable& table, std::ostream& out) {
  for (const std::string& piece : TableCsv(table)) out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
}

void SaveBytes(const std::string& bytes, const std::string& path) {
  const std::string_view whole = bytes;
  SavePieces(std::span(&whole, 1), path);
}

void SaveTableCsv(const TGridTable& table, const std::string& path) {
  const std::vector<std::string> pieces = TableCsv(table);
  const std::vector<std::string_view> views(pieces.begin(), pieces.end());
  SavePieces(views, path);
}

}  // namespace ln40::cli
