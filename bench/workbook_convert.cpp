// The workbook side of bench/compare.sh, as a command-line program timed from outside like
// the peer tools:
//   workbook_convert make OUT.csv        the test data: 65,000 rows x 12 columns of runners
//                                        (names, classes, clubs, numbers, times "hh:mm:ss")
//   workbook_convert write IN.csv OUT.xls  a workbook with our writer: whole numbers as
//                                        numbers, "h:mm:ss" texts as times shown "hh:mm:ss",
//                                        everything else as text
//   workbook_convert read IN.xls OUT.csv   the first sheet with our reader (the scan an import
//                                        uses, or the full load when the scan leaves the
//                                        workbook to it), every cell as its number format
//                                        shows it, as UTF-8 CSV
// The CSV files `make` writes and `write` reads are this program's own: comma-separated, no
// quoted fields. `read` quotes fields that need it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

#include "text/error.h"
#include "text/locale.h"
#include "xls/number_format.h"
#include "xls/xls_file.h"
#include "xls_sheet_scan.h"

namespace {

constexpr int kRows = 65000;

std::string TimeText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return text;
}

void MakeCsv(const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "First name,Last name,Class,Club,Gender,Course,Start number,Chip,Start time,Id,Finish time,Net time\n";
  for (int i = 1; i < kRows; ++i) {
    const int start = 10 * 3600 + (i % 600) * 60;
    const int finish = start + 1800 + (i * 37) % 5400;
    out << "Runner" << i << ",Family" << i % 997 << ",H" << 10 + i % 9 << ",Club " << i % 131 << ','
        << (i % 2 ? 'M' : 'K') << ",Course " << i % 7 << ',' << 100 + i << ',' << 5000000 + i << ','
        << TimeText(start) << ',' << i * 7 << ',' << TimeText(finish) << ',' << TimeText(finish - start) << '\n';
  }
  if (!out.flush()) throw ln40::Error("Cannot write " + path);
}

// Digits only (the test data has no signs), at most 18 of them.
bool ParseWhole(std::string_view field, double& value) {
  if (field.empty() || field.size() > 18) return false;
  long long n = 0;
  for (const char c : field) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  value = static_cast<double>(n);
  return true;
}

// "h:mm:ss" or "hh:mm:ss" as a fraction of a day.
bool ParseTime(std::string_view field, double& value) {
  const std::size_t colon = field.find(':');
  if (colon < 1 || colon > 2 || field.size() != colon + 6 || field[colon + 3] != ':') return false;
  double hours = 0, minutes = 0, seconds = 0;
  if (!ParseWhole(field.substr(0, colon), hours) || !ParseWhole(field.substr(colon + 1, 2), minutes) ||
      !ParseWhole(field.substr(colon + 4, 2), seconds)) {
    return false;
  }
  value = (hours * 3600 + minutes * 60 + seconds) / 86400;
  return true;
}

// Calls `take` with each line of the file (without its line end), reading the file a
// megabyte at a time, so that the whole text never has to be in memory.
template <typename Take>
void ForEachLine(const std::string& path, Take take) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ln40::Error("Cannot read " + path);
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::string buffer;
  std::size_t start = 0;  // of the line not yet taken
  for (;;) {
    // What is left of the last chunk moves to the front, and the next chunk follows it.
    buffer.erase(0, start);
    start = 0;
    const std::size_t kept = buffer.size();
    buffer.resize(kept + kChunk);
    in.read(buffer.data() + kept, static_cast<std::streamsize>(kChunk));
    buffer.resize(kept + static_cast<std::size_t>(in.gcount()));
    const bool last = in.gcount() == 0;
    for (std::size_t end; (end = buffer.find('\n', start)) != std::string::npos; start = end + 1) {
      std::string_view line(buffer.data() + start, end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      if (!take(line)) return;
    }
    if (last) break;
  }
  if (start < buffer.size()) take(std::string_view(buffer).substr(start));  // no line end after the last
}

void WriteWorkbook(const std::string& csv_path, const std::string& xls_path) {
  ln40::TXLSFile book;
  book.NewFile(1);
  ln40::TCellFormat time_format;
  time_format.NumberFormat = u"hh:mm:ss";
  const int time_xf = book.AddFormat(time_format);
  ln40::CellValue text = ln40::CellValue::String(u"");  // one value, its text reused
  int row = 0;
  ForEachLine(csv_path, [&](std::string_view rest) {
    if (++row > 65536) return false;
    for (int col = 1; col <= 256; ++col) {
      const std::size_t comma = rest.find(',');
      const std::string_view field = rest.substr(0, comma);
      const bool digit = !field.empty() && field[0] >= '0' && field[0] <= '9';
      double value = 0;
      if (digit && ParseWhole(field, value)) {
        book.SetCellValue(row, col, ln40::CellValue::Number(value));
      } else if (digit && ParseTime(field, value)) {
        book.SetCellValue(row, col, ln40::CellValue::Number(value), time_xf);
      } else if (!field.empty()) {
        text.text.resize(field.size());  // the test data is ASCII
        for (std::size_t i = 0; i < field.size(); ++i) text.text[i] = static_cast<unsigned char>(field[i]);
        book.SetCellValue(row, col, text);
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    return true;
  });
  std::filesystem::remove(xls_path);
  book.SaveFile(xls_path);
}

// The CSV text being made, written through a pointer (appending to a std::string one
// character at a time costs a capacity check each) and handed to the file a megabyte at a
// time, so that the whole text never has to be in memory.
class CsvText {
 public:
  explicit CsvText(std::ofstream& out) : out_(out) {}
  // Writes what is made so far once it fills the buffer; `force` writes it all.
  void Flush(bool force = false) {
    if (size_ < kChunk && !force) return;
    out_.write(data_.get(), static_cast<std::streamsize>(size_));
    size_ = 0;
  }
  void Char(char c) { *Room(1) = c; ++size_; }
  // A field as UTF-8, in quotes when it holds a comma, a quote or a line break; a lone
  // surrogate becomes U+FFFD.
  void Field(std::u16string_view text) {
    char* p = Room(text.size() * 6 + 2);  // a quote doubled, or three bytes, per unit
    // Most fields are plain ASCII: copied as they are in one pass.
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      const char16_t c = text[i];
      if (c >= 0x80 || c == u',' || c == u'"' || c == u'\r' || c == u'\n') break;
      p[i] = static_cast<char>(c);
    }
    if (i == text.size()) {
      size_ += i;
      return;
    }
    bool quote = false;
    for (char16_t c : text) quote = quote || c == u',' || c == u'"' || c == u'\r' || c == u'\n';
    if (quote) *p++ = '"';
    for (i = 0; i < text.size(); ++i) {
      char32_t c = text[i];
      if (c < 0x80) {
        if (c == '"') *p++ = '"';
        *p++ = static_cast<char>(c);
        continue;
      }
      if (c >= 0xD800 && c <= 0xDFFF) {
        const bool pair = c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        c = pair ? 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
      }
      if (c < 0x800) {
        *p++ = static_cast<char>(0xC0 | (c >> 6));
      } else if (c < 0x10000) {
        *p++ = static_cast<char>(0xE0 | (c >> 12));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      } else {
        *p++ = static_cast<char>(0xF0 | (c >> 18));
        *p++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      }
      *p++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    if (quote) *p++ = '"';
    size_ = static_cast<std::size_t>(p - data_.get());
  }

 private:
  char* Room(std::size_t count) {
    if (size_ + count > capacity_) {
      const std::size_t capacity = std::max(2 * capacity_, size_ + count + kChunk);
      auto grown = std::make_unique_for_overwrite<char[]>(capacity);
      if (size_) std::memcpy(grown.get(), data_.get(), size_);
      data_ = std::move(grown);
      capacity_ = capacity;
    }
    return data_.get() + size_;
  }

  static constexpr std::size_t kChunk = std::size_t{1} << 20;

  std::ofstream& out_;
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// One cell as its number format shows it; `shown` is room for the rendered text.
void CsvCell(CsvText& csv, const ln40::CellValue& value, const std::u16string& code, const ln40::Locale& locale,
             std::u16string& shown) {
  if (value.kind == ln40::CellValue::Kind::String && code.empty()) {
    csv.Field(value.text);  // a text in the general format shows itself
  } else {
    ln40::FormatCellValue(value, code, locale, shown);
    csv.Field(shown);
  }
}

// The used range of the first sheet, from the scan when it reads the workbook, else from
// the workbook loaded in full.
void ReadWorkbook(const std::string& xls_path, const std::string& csv_path) {
  ln40::TXLSFile book;
  ln40::TSheetScan scan;
  const bool scanned = book.OpenFileOrScan(xls_path, scan);
  std::ofstream out(csv_path, std::ios::binary);
  if (!out) throw ln40::Error("Cannot write " + csv_path);
  CsvText csv(out);
  const ln40::Locale locale;
  std::u16string shown;
  if (scanned) {
    const int rows = scan.UsedRowCount();
    const int cols = scan.UsedColCount();
    int row = 1, col = 1;  // where the text stands: the next field is that cell's
    // Moves on to the cell at r, c, ending lines and fields on the way.
    const auto move_to = [&](int r, int c) {
      for (; row < r; ++row, col = 1) {
        for (; col < cols; ++col) csv.Char(',');
        csv.Char('\n');
        csv.Flush();
      }
      for (; col < c; ++col) csv.Char(',');
    };
    scan.ForEachCell([&](int r, int c, const ln40::CellValue& value, int xf) {
      if (r > rows || c > cols) return;
      move_to(r, c);
      CsvCell(csv, value, scan.NumberFormat(xf), locale, shown);
    });
    move_to(rows + 1, 1);
  } else {
    book.SetActiveSheet(1);
    const int rows = book.UsedRowCount();
    const int cols = book.UsedColCount();
    ln40::TXlsCellValue cell;
    for (int row = 1; row <= rows; ++row) {
      for (int col = 1; col <= cols; ++col) {
        if (col > 1) csv.Char(',');
        book.GetCell(row, col, cell);
        if (cell.Value.kind != ln40::CellValue::Kind::Empty) CsvCell(csv, cell.Value, book.NumberFormat(cell.XF), locale, shown);
      }
      csv.Char('\n');
      csv.Flush();
    }
  }
  csv.Flush(true);
  if (!out.flush()) throw ln40::Error("Cannot write " + csv_path);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 3) {
      MakeCsv(argv[2]);
    } else if (command == "write" && argc == 4) {
      WriteWorkbook(argv[2], argv[3]);
    } else if (command == "read" && argc == 4) {
      ReadWorkbook(argv[2], argv[3]);
    } else {
      std::cerr << "Usage: workbook_convert make OUT.csv | write IN.csv OUT.xls | read IN.xls OUT.csv\n";
      return 2;
    }
  } catch (const ln40::Error& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
