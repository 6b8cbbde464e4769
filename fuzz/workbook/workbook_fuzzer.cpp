// libFuzzer harness of the workbook reader and writer: OpenMemory on an in-memory image,
// every cell of every sheet read, formatted and rendered, a few changes made (cells, a
// formula, a format, an inserted and a cleared sheet, merged cells, outline levels), then
// the workbook saved and the saved image read again. Damaged input may only end in
// ln40::Error; a workbook the writer saves must read back with the same sheets and used
// ranges. The first bytes of the input also go through the formula compiler. The reader of
// an import (TWorkbookReader) must read every input as the full load does: refuse it with
// the same message, or give the same sheets, used ranges, merges, formats and cells.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "text/error.h"
#include "text/locale.h"
#include "compound_file/ole2_storage.h"
#include "reader_agreement.h"
#include "xls/xls_file.h"
#include "xls_formula.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Shape {
  int sheets = 0;
  std::vector<int> rows, cols;
};

Shape ShapeOf(ln40::TXLSFile& book) {
  Shape shape;
  shape.sheets = book.SheetCount();
  for (int s = 1; s <= shape.sheets; ++s) {
    book.SetActiveSheet(s);
    shape.rows.push_back(book.UsedRowCount());
    shape.cols.push_back(book.UsedColCount());
  }
  return shape;
}

void ReadEverything(ln40::TXLSFile& book) {
  static const ln40::Locale locale = ln40::Locale::WorkedExample();
  for (int s = 1; s <= book.SheetCount(); ++s) {
    book.SetActiveSheet(s);
    const int rows = std::min(book.UsedRowCount(), 2000);
    const int cols = book.UsedColCount();
    for (int r = 1; r <= rows; ++r) {
      book.RowFormat(r);
      for (int c = 1; c <= cols; ++c) {
        const ln40::TXlsCellValue cell = book.GetCell(r, c);
        const ln40::TCellFormat format = book.GetFormat(cell.XF);
        ln40::FormatCellValue(cell.Value, format.NumberFormat, locale);
        book.MergedRange(r, c);
      }
    }
    for (int c = 1; c <= cols; ++c) book.ColumnFormat(c);
  }
}

// Changes through the writer's operations; each may refuse with an Error.
void Change(ln40::TXLSFile& book, const std::uint8_t* data, std::size_t size) {
  auto attempt = [](auto&& action) {
    try {
      action();
    } catch (const ln40::Error&) {
    }
  };
  const int row = size > 0 ? 1 + data[0] % 40 : 1;
  const int col = size > 1 ? 1 + data[1] % 12 : 1;
  book.SetActiveSheet(1);
  attempt([&] { book.SetCellValue(row, col, ln40::CellValue::String(u"Løper \u0416")); });
  attempt([&] { book.SetCellValue(row + 1, col, ln40::CellValue::Number(3.07)); });
  attempt([&] { book.SetCellValue(row, col + 1, ln40::CellValue::Empty(), 16); });
  attempt([&] { book.SetCellValue(row + 2, col, ln40::CellValue::Empty()); });
  attempt([&] { book.SetCellFormula(row + 3, col, u"=SUM(A1:B2)&\"x\""); });
  attempt([&] {
    ln40::TCellFormat format = book.GetFormat(book.CellFormatIndex(row, col));
    format.NumberFormat = u"dd.MM.yyyy";
    book.SetCellValue(row + 4, col, ln40::CellValue::Number(46364), book.AddFormat(format));
  });
  attempt([&] { book.MergeCells(row, col, row + 1, col + 1); });
  attempt([&] { book.SetRowOutlineLevel(row, row + 2, 1); });
  attempt([&] { book.SetColumnWidth(col, 3000); });
  attempt([&] { book.InsertSheets(2, 1); });
  book.SetActiveSheet(2);
  attempt([&] { book.ClearSheet(); });
  attempt([&] { book.SetActiveSheetName(u"Excel"); });
  attempt([&] { book.SelectSheet(1); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::u16string formula = u"=";
    for (std::size_t i = 0; i < size && i < 120; ++i) formula += static_cast<char16_t>(data[i]);
    try {
      ln40::xls::CompileFormula(formula);
    } catch (const ln40::Error&) {
    }
  }

  const std::span<const std::uint8_t> input(data, size);
  Check(ln40::test::ReaderAndFullLoadDiffer(input).empty());
  ln40::TXLSFile book;
  try {
    book.OpenMemory(input, "fuzz.xls");
  } catch (const ln40::Error&) {
    return 0;
  }
  ReadEverything(book);
  Change(book, data, size);
  const Shape before = ShapeOf(book);
  std::vector<std::uint8_t> image;
  try {
    image = book.SaveToMemory();
  } catch (const ln40::Error&) {
    return 0;  // states the writer refuses: hidden sheet selected, rows without ROW records, ...
  }
  ln40::TXLSFile again;
  again.OpenMemory(image, "saved.xls");
  const Shape after = ShapeOf(again);
  Check(after.sheets == before.sheets && after.rows == before.rows && after.cols == before.cols);
  ReadEverything(again);
  return 0;
}
