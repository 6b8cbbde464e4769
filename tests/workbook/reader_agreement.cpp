#include "reader_agreement.h"

#include <cmath>
#include <map>
#include <utility>

#include "text/error.h"
#include "xls/workbook_reader.h"
#include "xls/xls_file.h"

namespace ln40::test {
namespace {

// Every cell record of a sheet: the last one read at each place, with the text of a
// formula's string result.
class SheetCells final : public TSheetSink {
 public:
  void Cell(const TSheetCell& cell) override { cells[{cell.Row, cell.Col}] = {*cell.Value, cell.Xf}; }
  void FormulaText(int row, int col, const std::u16string& text) override { cells[{row, col}].first.text = text; }

  std::map<std::pair<int, int>, std::pair<CellValue, int>> cells;
};

bool SameValue(const CellValue& a, const CellValue& b) {
  if (a.kind != b.kind || a.text != b.text || a.boolean != b.boolean) return false;
  return a.number == b.number || (std::isnan(a.number) && std::isnan(b.number));
}

std::string Place(int sheet, int row, int col) {
  return "sheet " + std::to_string(sheet) + " R" + std::to_string(row + 1) + "C" + std::to_string(col + 1);
}

std::string SheetsDiffer(TWorkbookReader& reader, TXLSFile& book, int sheet) {
  const std::string name = "sheet " + std::to_string(sheet);
  book.SetActiveSheet(sheet);
  if (reader.SheetKind(sheet) != book.SheetKind(sheet)) return name + ": kind";
  if (reader.UsedRowCount(sheet) != book.UsedRowCount()) return name + ": used rows";
  if (reader.UsedColCount(sheet) != book.UsedColCount()) return name + ": used columns";
  if (reader.MergedRanges(sheet).Ranges() != book.MergedRanges()) return name + ": merged ranges";
  SheetCells read, loaded;
  reader.ReadSheet(sheet, read);
  book.ReadCells(loaded);
  for (const auto& [place, cell] : loaded.cells) {
    const auto it = read.cells.find(place);
    if (it == read.cells.end()) return Place(sheet, place.first, place.second) + ": not read";
    if (!SameValue(it->second.first, cell.first)) return Place(sheet, place.first, place.second) + ": value";
    if (it->second.second != cell.second) return Place(sheet, place.first, place.second) + ": XF";
  }
  if (read.cells.size() != loaded.cells.size()) return name + ": cells the full load does not have";
  return "";
}

}  // namespace

std::string ReaderAndFullLoadDiffer(std::span<const std::uint8_t> image) {
  TWorkbookReader reader;
  TXLSFile book;
  std::string reader_error, load_error;
  try {
    reader.OpenMemory(image, "agreement.xls");
  } catch (const Error& error) {
    reader_error = error.what();
  }
  try {
    book.OpenMemory(image, "agreement.xls");
  } catch (const Error& error) {
    load_error = error.what();
  }
  if (reader_error != load_error) return "refused: reader \"" + reader_error + "\", full load \"" + load_error + "\"";
  if (!load_error.empty()) return "";
  if (reader.SheetCount() != book.SheetCount()) return "sheet count";
  for (int sheet = 1; sheet <= book.SheetCount(); ++sheet) {
    if (reader.SheetName(sheet) != book.SheetName(sheet)) return "sheet " + std::to_string(sheet) + ": name";
  }
  if (reader.Dates() != book.Dates()) return "date system";
  for (int xf = -1; xf <= book.XfCount(); ++xf) {
    if (reader.NumberFormat(xf) != book.NumberFormat(xf)) return "number format of XF " + std::to_string(xf);
  }
  // One sheet past the list too: a damaged file may have more sections than names.
  for (int sheet = 1; sheet <= book.SheetCount() + 1; ++sheet) {
    const std::string difference = SheetsDiffer(reader, book, sheet);
    if (!difference.empty()) return difference;
  }
  return "";
}

}  // namespace ln40::test
