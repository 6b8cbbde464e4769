// The import half of TGridExcelIO: a workbook's first sheet, or a delimited text file, into
// the bound table.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "exchange/cell_from_text.h"
#include "exchange/date_time_text.h"
#include "exchange/delimited_text.h"
#include "exchange/effective_xf.h"
#include "exchange/grid_excel_io.h"
#include "text/codepage.h"
#include "text/error.h"
#include "xls_sheet_scan.h"

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
  const auto fail = [&](int error) -> std::string {
    throw Error("Cannot open file \"" + file_name + "\". " + ReasonOf(error));
  };
  const int fd = ::open(Cp1252ToUtf8(file_name).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  std::string bytes;
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      return fail(error);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return bytes;
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
// line breaks. Plain ASCII, nearly every cell, is narrowed directly.
void ToTableText(std::u16string_view rendered, std::string& text) {
  bool plain = true;
  for (char16_t c : rendered) {
    if (c >= 0x80 || c == u'\r' || c == u'\n') {
      plain = false;
      break;
    }
  }
  if (plain) {
    text.resize(rendered.size());
    for (size_t i = 0; i < rendered.size(); ++i) text[i] = static_cast<char>(rendered[i]);
    return;
  }
  text = WithCrLfLineBreaks(Utf16ToCp1252(rendered));
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
    const std::u16string time_code = LocalePatternToFormatCode(locale.longTimeFormat);
    ReadDelimitedText(bytes, delimiter, [&](int row, int col, const std::string& field) {
      ln40::SetCellFromText(book, row, col, Cp1252ToUtf16(field), nullptr, u"", time_code, rules);
    });
  } else {
    // Most workbooks are read by the scan, which builds no editable workbook.
    TSheetScan scan;
    if (book.OpenFileOrScan(file_name, scan)) {
      ImportScan(scan);
      return;
    }
  }
  ImportBook(book);
}

void TGridExcelIO::ImportBook(TXLSFile& book, int sheet) {
  const int sheets = book.SheetCount();
  if (sheet < 1 || sheet > sheets) {
    throw Error("The index \"" + std::to_string(sheet) + "\" of the property \"ActiveSheet\" is not in the range 1-" +
                std::to_string(sheets));
  }
  book.SetActiveSheet(sheet);
  const auto [last_row, last_col] = StartImport(book.UsedRowCount(), book.UsedColCount());

  // A merged range gives its top-left cell a span over the table cells it covers; those
  // import nothing of their own.
  const bool has_merges = !book.MergedRanges().empty();
  ImportBuffers buffers;
  TXlsCellValue cell;
  for (int r = 1; r <= last_row; ++r) {
    for (int k = 1; k <= last_col; ++k) {
      if (has_merges) {
        const TXlsRange range = book.MergedRange(r, k);
        if (range.FirstRow != r || range.FirstCol != k) continue;
        if (range.LastRow > r || range.LastCol > k) {
          table_.SetMergeSpan(k - 1, r, range.LastCol - k + 1, range.LastRow - r + 1);
        }
      }
      book.GetCell(r, k, cell);
      if (cell.Value.kind == CellValue::Kind::Empty) continue;
      ImportCell(r, k, cell.Value, book.NumberFormat(EffectiveXf(book, r, k, cell.XF)), buffers);
    }
  }
  MutableLook().verticalAlignment = VerticalAlignment::Bottom;
}

void TGridExcelIO::ImportScan(const TSheetScan& scan) {
  const std::pair<int, int> last = StartImport(scan.UsedRowCount(), scan.UsedColCount());
  const int last_row = last.first;
  const int last_col = last.second;
  ImportBuffers buffers;
  scan.ForEachCell([&](int r, int k, const CellValue& value, int xf) {
    if (r <= last_row && k <= last_col) ImportCell(r, k, value, scan.NumberFormat(xf), buffers);
  });
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

void TGridExcelIO::ImportCell(int row, int col, const CellValue& value, const std::u16string& code,
                              ImportBuffers& buffers) {
  const std::u16string& shown_as = settings_.ImportCellFormats ? code : kGeneral;
  // A string in the general format shows itself; most cells of a runner sheet are such.
  if (value.kind == CellValue::Kind::String && shown_as.empty()) {
    ToTableText(value.text, buffers.text);
  } else {
    FormatCellValue(value, shown_as, GetLocale(), buffers.shown);
    ToTableText(buffers.shown, buffers.text);
  }
  table_.SetCell(col - 1, row, buffers.text);
}

}  // namespace ln40
