#include "csv_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "text/codepage.h"
#include "text/error.h"
#include "text/regular_file.h"

namespace ln40::cli {
namespace {

// The whole file. A regular file is read into its place at once; what follows its size (a
// file still growing) or the bytes of a pipe come in chunks.
std::string ReadWholeFile(const std::string& path) {
  const int fd = OpenForReading(path);
  if (fd < 0) throw Error("Cannot open " + Utf8ToCp1252(path));
  std::string text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) text.resize(static_cast<size_t>(info.st_size));
  size_t size = 0;
  char chunk[1 << 16];
  for (;;) {
    const bool in_place = size < text.size();
    const ssize_t got = in_place ? ::read(fd, text.data() + size, text.size() - size) : ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ::close(fd);
      if (got < 0) throw Error("Cannot read " + Utf8ToCp1252(path));
      break;
    }
    if (!in_place) text.append(chunk, static_cast<size_t>(got));
    size += static_cast<size_t>(got);
  }
  text.resize(size);
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
void ForEachRecord(std::span<char> text, char separator, Take take) {
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
      // This character and the plain ones after it, up to one that means something; they
      // move only where quotes taken out before have left a gap.
      const auto plain = [&](char k) { return k != '"' && k != separator && k != '\r' && k != '\n'; };
      size_t end = i + 1;
      while (end < size && plain(data[end])) ++end;
      if (out != i) std::memmove(data + out, data + i, end - i);
      out += end - i;
      i = end - 1;
      any = true;
    }
  }
  if (any || out > field_start || !fields.empty()) end_record();
}

}  // namespace

void LoadTableCsv(TGridTable& table, const std::string& path, TSheetExtent bounds) {
  std::string bytes = ReadWholeFile(path);
  std::span<char> text(bytes);
  const auto view = [&text] { return std::string_view(text.data(), text.size()); };
  if (view().starts_with("\xEF\xBB\xBF")) text = text.subspan(3);  // a byte-order mark
  if (!IsAscii(view()) && IsValidUtf8(view())) {
    bytes = Utf8ToCp1252(view());
    text = bytes;
  }

  // Filled apart and moved in at the end, so that a file refused half-way leaves the table
  // as it was.
  TGridTable loaded = table;
  loaded.ClearBody();
  int rows = 0;
  std::size_t widest = 0;
  bool beyond = false;  // a record beyond the bounds was met: the rest is only counted
  std::string cell;     // one buffer for every field
  ForEachRecord(text, DetectSeparator(view()), [&](const std::vector<std::string_view>& fields) {
    const int row = rows++;
    widest = std::max(widest, fields.size());
    // Checked before the table makes room for the record: a short file can ask for a vast one.
    beyond = beyond || row > bounds.Rows || static_cast<std::int64_t>(fields.size()) > bounds.Cols;
    if (beyond) return;
    if (row >= loaded.RowCount()) loaded.SetRowCount(2 * row);  // room for this row and as many more
    if (static_cast<int>(fields.size()) > loaded.ColCount()) loaded.SetColCount(static_cast<int>(fields.size()));
    // The last field first, so that the row makes room for its cells once.
    for (size_t col = fields.size(); col-- > 0;) {
      if (fields[col].empty() && row > 0) continue;  // the body was just cleared; the header row was not
      cell.assign(fields[col]);
      loaded.SetCell(static_cast<int>(col), row, cell);
    }
  });
  if (beyond) {
    const std::string subject = "\"" + Utf8ToCp1252(path) + "\"";
    if (static_cast<std::int64_t>(widest) > bounds.Cols) {
      throw Error(subject + " has " + CountText(static_cast<std::int64_t>(widest)) + " columns; a " +
                  (bounds.Cols == kSheetMaxColumns ? "worksheet" : "table") + " holds at most " +
                  CountText(bounds.Cols) + ".");
    }
    throw Error(subject + " has " + CountText(rows - 1) + " rows below its header line; a " +
                (bounds.Rows == kSheetMaxRows ? "worksheet" : "table") + " holds at most " + CountText(bounds.Rows) +
                ".");
  }
  loaded.SetRowCount(std::max(2, rows));
  table = std::move(loaded);
}

}  // namespace ln40::cli
