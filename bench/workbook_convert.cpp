// The workbook side of bench/compare.sh, as a command-line program timed from outside like
// the peer tools:
//   workbook_convert make OUT.csv        the test data: 65,000 rows x 12 columns of runners
//                                        (names, classes, clubs, numbers, times "hh:mm:ss")
//   workbook_convert write IN.csv OUT.xls  a workbook with our writer: whole numbers as
//                                        numbers, "h:mm:ss" texts as times shown "hh:mm:ss",
//                                        everything else as text
// The CSV files here are this program's own: comma-separated, no quoted fields.
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "text/error.h"
#include "workbook/xls_file.h"

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

bool ParseWhole(std::string_view field, double& value) {
  long long n = 0;
  const auto result = std::from_chars(field.data(), field.data() + field.size(), n);
  if (field.empty() || result.ec != std::errc() || result.ptr != field.data() + field.size()) return false;
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

void WriteWorkbook(const std::string& csv_path, const std::string& xls_path) {
  std::ifstream in(csv_path, std::ios::binary);
  if (!in) throw ln40::Error("Cannot read " + csv_path);
  ln40::TXLSFile book;
  book.NewFile(1);
  ln40::TCellFormat time_format;
  time_format.NumberFormat = u"hh:mm:ss";
  const int time_xf = book.AddFormat(time_format);
  std::string line;
  std::u16string text;
  int row = 0;
  while (std::getline(in, line) && row < 65536) {
    ++row;
    std::string_view rest(line);
    if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
    for (int col = 1; col <= 256; ++col) {
      const std::size_t comma = rest.find(',');
      const std::string_view field = rest.substr(0, comma);
      double value = 0;
      if (ParseWhole(field, value)) {
        book.SetCellValue(row, col, ln40::CellValue::Number(value));
      } else if (ParseTime(field, value)) {
        book.SetCellValue(row, col, ln40::CellValue::Number(value), time_xf);
      } else if (!field.empty()) {
        text.resize(field.size());  // the test data is ASCII
        for (std::size_t i = 0; i < field.size(); ++i) text[i] = static_cast<unsigned char>(field[i]);
        book.SetCellValue(row, col, ln40::CellValue::String(text));
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  std::filesystem::remove(xls_path);
  book.SaveFile(xls_path);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 3) {
      MakeCsv(argv[2]);
    } else if (command == "write" && argc == 4) {
      WriteWorkbook(argv[2], argv[3]);
    } else {
      std::cerr << "Usage: workbook_convert make OUT.csv | write IN.csv OUT.xls\n";
      return 2;
    }
  } catch (const ln40::Error& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
