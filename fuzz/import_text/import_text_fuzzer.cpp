// libFuzzer harness of the delimited-text import: the input, written to a .csv or a .txt
// file (the first byte chooses), is opened with TGridExcelIO::ImportFile into a table, and
// the table is then exported into a workbook in memory and imported again. Input may only
// end in ln40::Error (a row or column beyond the sheet, a formula that does not compile);
// an import that succeeds gives a table no larger than a sheet whose texts break lines only
// with CR LF, and the export of that table imports again into a table of the same size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "table/grid_table.h"
#include "text/clock.h"
#include "text/error.h"
#include "text/locale.h"
#include "exchange/grid_excel_io.h"
#include "xls/xls_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool ok = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && ok;
}

// Line breaks in table texts are CR LF and nothing else.
bool LineBreaksAreCrLf(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const ln40::FixedClock clock(46364.5);
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp");
  }();
  const bool csv = (data[0] & 1) == 0;
  const std::string path =
      folder + "/ln40_import_text_fuzz_" + std::to_string(::getpid()) + (csv ? ".csv" : ".txt");
  if (!WriteFile(path, data + 1, size - 1)) return 0;

  ln40::Locale locale = ln40::Locale::WorkedExample();
  locale.thousandsSeparator = ' ';
  ln40::TGridTable table(12);
  table.SetLocale(locale);
  ln40::TGridExcelIO io(table);
  io.SetClock(&clock);
  try {
    io.ImportFile(path);
  } catch (const ln40::Error&) {
    std::remove(path.c_str());
    return 0;
  }
  std::remove(path.c_str());

  Check(table.ColCount() >= 1 && table.ColCount() <= 256);
  Check(table.RowCount() >= 2 && table.RowCount() <= 65537);
  for (int r = 0; r < table.RowCount(); ++r) {
    for (int c = 0; c < table.ColCount(); ++c) Check(LineBreaksAreCrLf(table.Cell(c, r)));
  }

  // The imported table goes out into a workbook and comes back the same size.
  try {
    ln40::TXLSFile book;
    book.NewFile(1);
    io.ExportSheet(book, "LN40", -1, true);
    ln40::TXLSFile again;
    const std::vector<std::uint8_t> image = book.SaveToMemory();
    again.OpenMemory(image);
    ln40::TGridTable back(1);
    back.SetLocale(locale);
    ln40::TGridExcelIO back_io(back);
    back_io.SetClock(&clock);
    back_io.ImportBook(again);
    Check(back.RowCount() == table.RowCount());
    Check(back.ColCount() == table.ColCount());
  } catch (const ln40::Error&) {
  }
  return 0;
}
