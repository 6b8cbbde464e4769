// The import half of TGridExcelIO: a workbook's first sheet, or a delimited text file, into
// the bound table.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>

#include "exchange/cell_from_text.h"
#include "exchange/date_time_text.h"
#include "exchange/delimited_text.h"
#include "exchange/grid_excel_io.h"
#include "exchange/sheet_bounds.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/regular_file.h"
#include "xls/workbook_reader.h"

namespace ln40 {
namespace {

const std::u16string kGeneral;

std::string UpperExtension(const std::string& file_name) {
  const size_t slash = file_name.find_last_of('/');
  const size_t dot = file_name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return UpperCase(std::string_view(file_name).substr(dot));
}

std::string ReasonOf(int error) { return std::strerror(error); }

// The whole file as bytes; "Cannot open file" with the system's reason when it cannot be read.
std::string ReadWholeFile(const std::string& file_name) {
  const int fd = OpenForReading(Cp1252ToUtf8(file_name));
  std::optional<std::string> bytes;
  if (fd >= 0) {
    bytes = ReadToEnd(fd);
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  if (!bytes) throw Error("Cannot open file \"" + file_name + "\". " + ReasonOf(errno));
  return std::move(*bytes);
}

// Every line break (CR LF, LF CR, a lone CR or LF) as CR LF, the system's line end.
std::string WithCrLfLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      const char pair = c == '\r' ? '\n' : '\r';
      if (i + 1 < text.size() && text[i + 1] == pair) ++i;
    } else {
      out += c;
    }
  }
  return out;
}

// A rendered cell as table text: Windows-1252 (characters it lacks become "?") with CR LF
// line breaks. Nearly every cell is plain ASCII without line breaks, narrowed as it is
// checked in one pass simple enough for the compiler to do many characters at a time.
void ToTableText(std::u16string_view rendered, std::string& text) {
  text.resize(rendered.size());
  char* out = text.data();
  unsigned bits = 0;    // every character's bits: 0x80 or above when one is not ASCII
  unsigned breaks = 0;  // not 0 when there is a CR or an LF
  for (size_t i = 0; i < rendered.size(); ++i) {
    const char16_t c = rendered[i];
    out[i] = static_cast<char>(c);
    bits |= c;
    breaks |= static_cast<unsigned>(c == u'\r') | static_cast<unsigned>(c == u'\n');
  }
  if (bits >= 0x80 || breaks != 0) text = WithCrLfLineBreaks(Utf16ToCp1252(rendered));
}

}  // namespace

void TGridExcelIO::ImportFile(const std::string& file_name) {
  const std::string extension = UpperExtension(file_name);
  TXLSFile book;
  if (extension == ".CSV" || extension == ".TXT") {
    const std::string bytes = ReadWholeFile(file_name);
    const Locale& locale = GetLocale();
    const char delimiter = extension == ".CSV" ? locale.listSeparator : '\t';
    book.NewFile(3);
    book.SetActiveSheet(1);
    TCellTextRules rules;
    rules.Locale = &locale;
    rules.DefaultYear = DefaultYear();
    // Times keep their seconds: the short time format would show 12:34:56 as 12:34 once
    // the sheet is rendered into the table.
    rules.TimeFormat = LocalePatternToFormatCode(locale.longTimeFormat);
    TCellTextWriter cells(book, std::move(rules));
    const bool within_a_sheet = ReadDelimitedText(bytes, delimiter, [&](int row, int col, const std::string& field) {
      cells.Set(row, col, std::string_view(field), nullptr);
    });
    // A file beyond a sheet is refused whole, before the table is touched.
    if (!within_a_sheet) {
      throw Error(BeyondOneSheetMessage("\"" + file_name + "\"", DelimitedTextExtent(bytes, delimiter)));
    }
  } else {
    // A workbook's sheet goes from its records straight into the table: no editable
    // workbook is built.
    TWorkbookReader reader;
    reader.OpenFile(file_name);
    ImportSheet(reader, 1);
    return;
  }
  ImportBook(book);
}

namespace {

void CheckSheetNumber(int sheet, int sheets) {
  if (sheet < 1 || sheet > sheets) {
    throw Error("The index \"" + std::to_string(sheet) + "\" of the property \"ActiveSheet\" is not in the range 1-" +
                std::to_string(sheets));
  }
}

}  // namespace

// What the import needs of a sheet, from the workbook reader or from a loaded workbook.
struct TGridExcelIO::SheetSource {
  int UsedRows = 0;
  int UsedCols = 0;
  const TMergedRangeIndex& Merged;
  DateSystem Dates = DateSystem::d1900;
  std::function<const std::u16string&(int xf)> NumberFormat;
  std::function<void(TSheetSink& sink)> ReadCells;
};

// The import's sink: every cell of the sheet that lies in the table, as its number format
// shows it unless the import leaves cell formats aside. A cell a merged range covers but
// does not begin at imports nothing. A cell record always carries its XF, so the row's and
// column's formats never come into it. The rendered texts keep their room from cell to cell,
// and each XF's number format is looked up once.
class TGridExcelIO::CellImport final : public TSheetSink {
 public:
  CellImport(TGridExcelIO& io, const SheetSource& sheet, int last_row, int last_col)
      : io_(io), sheet_(sheet), locale_(io.GetLocale()), last_row_(last_row), last_col_(last_col) {}

  void Cell(const TSheetCell& cell) override {
    const int row = cell.Row + 1;
    const int col = cell.Col + 1;
    if (!Takes(row, col)) return;
    if (cell.From == TSheetCell::Source::Formula) formula_xf_ = cell.Xf;
    // A record for a place read before replaces that cell, as in the loaded workbook.
    const int place = row * 257 + col;
    const bool again = place <= last_place_;
    last_place_ = std::max(last_place_, place);
    if (cell.Value->kind != CellValue::Kind::Empty) {
      Import(row, col, cell.Xf, *cell.Value);
    } else if (again) {
      io_.table_.SetCell(col - 1, row, "");
    }
  }

  void FormulaText(int row, int col, const std::u16string& text) override {
    if (!Takes(row + 1, col + 1)) return;
    value_ = CellValue::String(text);
    Import(row + 1, col + 1, formula_xf_, value_);
  }

 private:
  bool Takes(int row, int col) const {
    if (row > last_row_ || col > last_col_) return false;
    if (sheet_.Merged.Empty()) return true;
    const TXlsRange* range = sheet_.Merged.Find(row, col);
    return !range || (range->FirstRow == row && range->FirstCol == col);
  }

  const std::u16string& Code(int xf) {
    if (xf >= static_cast<int>(codes_.size())) codes_.resize(static_cast<std::size_t>(xf) + 1, nullptr);
    const std::u16string*& code = codes_[static_cast<std::size_t>(xf)];
    if (!code) code = &sheet_.NumberFormat(xf);
    return *code;
  }

  void Import(int row, int col, int xf, const CellValue& value) {
    const std::u16string& shown_as = io_.settings_.ImportCellFormats ? Code(xf) : kGeneral;
    // A string in the general format shows itself; most cells of a runner sheet are such.
    if (value.kind == CellValue::Kind::String && shown_as.empty()) {
      ToTableText(value.text, text_);
    } else {
      FormatCellValue(value, shown_as, locale_, shown_, sheet_.Dates);
      ToTableText(shown_, text_);
    }
    io_.table_.SetCell(col - 1, row, text_);
  }

  TGridExcelIO& io_;
  const SheetSource& sheet_;
  const Locale& locale_;
  const int last_row_;
  const int last_col_;
  int last_place_ = 0;
  int formula_xf_ = 0;
  std::vector<const std::u16string*> codes_;
  CellValue value_;
  std::u16string shown_;
  std::string text_;
};

void TGridExcelIO::ImportSheet(TWorkbookReader& reader, int sheet) {
  CheckSheetNumber(sheet, reader.SheetCount());
  ImportCells({reader.UsedRowCount(sheet), reader.UsedColCount(sheet), reader.MergedRanges(sheet), reader.Dates(),
               [&reader](int xf) -> const std::u16string& { return reader.NumberFormat(xf); },
               [&reader, sheet](TSheetSink& sink) { reader.ReadSheet(sheet, sink); }});
}

void TGridExcelIO::ImportBook(TXLSFile& book, int sheet) {
  CheckSheetNumber(sheet, book.SheetCount());
  book.SetActiveSheet(sheet);
  const TMergedRangeIndex merged(book.MergedRanges());
  ImportCells({book.UsedRowCount(), book.UsedColCount(), merged, book.Dates(),
               [&book](int xf) -> const std::u16string& { return book.NumberFormat(xf); },
               [&book](TSheetSink& sink) { book.ReadCells(sink); }});
}

void TGridExcelIO::ImportCells(const SheetSource& sheet) {
  const auto [last_row, last_col] = StartImport(sheet.UsedRows, sheet.UsedCols);
  // A merged range gives its top-left cell a span over the table cells it covers, when no
  // range before it in the sheet's list covers that cell already.
  std::vector<std::pair<int, int>> corners;
  for (const TXlsRange& range : sheet.Merged.Ranges()) {
    if (range.FirstRow <= last_row && range.FirstCol <= last_col) corners.emplace_back(range.FirstRow, range.FirstCol);
  }
  std::sort(corners.begin(), corners.end());
  corners.erase(std::unique(corners.begin(), corners.end()), corners.end());
  for (const auto& [row, col] : corners) {
    const TXlsRange* range = sheet.Merged.Find(row, col);
    if (!range || range->FirstRow != row || range->FirstCol != col) continue;
    if (range->LastRow > row || range->LastCol > col) {
      table_.SetMergeSpan(col - 1, row, range->LastCol - col + 1, range->LastRow - row + 1);
    }
  }
  CellImport cells(*this, sheet, last_row, last_col);
  sheet.ReadCells(cells);
  MutableLook().verticalAlignment = VerticalAlignment::Bottom;
}

std::pair<int, int> TGridExcelIO::StartImport(int used_rows, int used_cols) {
  // Empty the table: texts (header row and hidden columns included) and the merges of the
  // previous content, which would otherwise cover the imported cells.
  for (int r = 0; r < table_.RowCount(); ++r) {
    for (int c = 0; c < table_.ColCount(); ++c) {
      const std::optional<MergeSpan> span = table_.MergeSpanAt(c, r);
      if (span && span->col == c && span->row == r) table_.SetMergeSpan(c, r, 1, 1);
    }
  }
  table_.ClearBody();
  for (int c = 0; c < table_.ColCount(); ++c) table_.SetCell(c, 0, "");

  if (settings_.AutoResizeGrid) {
    if (used_rows >= 1) table_.SetRowCount(used_rows + 1);
    if (used_cols >= 1) table_.SetColCount(used_cols);
  }
  return {std::min(used_rows, table_.RowCount() - 1), std::min(used_cols, table_.ColCount())};
}

}  // namespace ln40
