#include "workbook/grid_excel_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"
#include "workbook/cell_from_text.h"
#include "workbook/date_time_text.h"
#include "workbook/delimited_text.h"
#include "workbook/xls_sheet_scan.h"

namespace ln40 {
namespace {

constexpr int kDefaultCellXf = 15;
constexpr CellColor kWhite = 0xFFFFFF;
const std::u16string kGeneral;

// Whether a file exists, a dangling link included (Windows-1252 name).
bool FileExists(const std::string& file_name) {
  struct stat info {};
  return ::lstat(Cp1252ToUtf8(file_name).c_str(), &info) == 0;
}

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

std::u16string WithoutCarriageReturns(std::u16string text) {
  std::erase(text, u'\r');
  return text;
}

TRgb RgbOf(CellColor color) {
  return TRgb{static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
              static_cast<std::uint8_t>(color)};
}

THAlign SheetAlignment(HorizontalAlignment alignment) {
  switch (alignment) {
    case HorizontalAlignment::Right: return THAlign::Right;
    case HorizontalAlignment::Center: return THAlign::Center;
    case HorizontalAlignment::Left: break;
  }
  return THAlign::Left;
}

TVAlign SheetAlignment(VerticalAlignment alignment) {
  switch (alignment) {
    case VerticalAlignment::Bottom: return TVAlign::Bottom;
    case VerticalAlignment::Center: return TVAlign::Center;
    case VerticalAlignment::Top: break;
  }
  return TVAlign::Top;
}

// The XF of a sheet cell as the exchange reads it: the cell's own, else the row's when it
// carries one other than XF 0, else the column's, else the default cell XF.
int EffectiveXf(const TXLSFile& book, int row, int col, int cell_xf) {
  if (cell_xf >= 0) return cell_xf;
  const int row_xf = book.RowFormat(row);
  if (row_xf > 0) return row_xf;
  const int col_xf = book.ColumnFormat(col);
  if (col_xf >= 0) return col_xf;
  return kDefaultCellXf;
}

// Formats the export builds, by what they are built from, so that each distinct format is
// decoded and added to the workbook once per export rather than once per cell.
class TFormatCache {
 public:
  struct Key {
    int BaseXf;
    CellColor Fill;
    THAlign HAlign;
    TVAlign VAlign;
    bool Wrap;
    int Font;  // index into the fonts of the export
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      size_t h = std::hash<int>()(k.BaseXf);
      h = h * 31 + k.Fill;
      h = h * 31 + static_cast<size_t>(k.HAlign);
      h = h * 31 + static_cast<size_t>(k.VAlign);
      h = h * 31 + (k.Wrap ? 1 : 0);
      h = h * 31 + static_cast<size_t>(k.Font);
      return h;
    }
  };
  struct Entry {
    TCellFormat Format;
    int Xf = -1;
  };

  // The built format for `key`; `build` makes it the first time.
  template <typename Build>
  const TCellFormat& Get(const Key& key, Build build) {
    auto it = built_.find(key);
    if (it == built_.end()) {
      auto entry = std::make_unique<Entry>();
      entry->Format = build();
      by_address_[&entry->Format] = entry.get();
      it = built_.emplace(key, std::move(entry)).first;
    }
    return it->second->Format;
  }

  // AddFormat with the cache in front: a format built here is added once; other formats
  // (a built one with a date-time number format) are kept by value.
  int AddFormat(TXLSFile& book, const TCellFormat& format) {
    if (&format == last_format_) return last_xf_;
    auto known = by_address_.find(&format);
    if (known != by_address_.end()) {
      Entry& entry = *known->second;
      if (entry.Xf < 0) entry.Xf = book.AddFormat(entry.Format);
      last_format_ = &entry.Format;
      last_xf_ = entry.Xf;
      return entry.Xf;
    }
    for (const Entry& other : others_) {
      if (other.Format.NumberFormat == format.NumberFormat && other.Format == format) return other.Xf;
    }
    others_.push_back(Entry{format, book.AddFormat(format)});
    return others_.back().Xf;
  }

 private:
  std::unordered_map<Key, std::unique_ptr<Entry>, KeyHash> built_;
  std::unordered_map<const TCellFormat*, Entry*> by_address_;
  std::vector<Entry> others_;
  const TCellFormat* last_format_ = nullptr;
  int last_xf_ = -1;
};

}  // namespace

// ---- SaveWorkbookReplacing -------------------------------------------------------------

void SaveWorkbookReplacing(TXLSFile& book, const std::string& file_name) {
  const std::vector<std::uint8_t> image = book.SaveToMemory();
  const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
  if (const FileReplaceFailure failure = TryReplaceFile(Cp1252ToUtf8(file_name), bytes)) {
    throw Error("Can't write file \"" + file_name + "\". " + ReasonOf(failure.error));
  }
}

// ---- TGridExcelIO ----------------------------------------------------------------------

TGridExcelIO::TGridExcelIO(TGridTable& table, TableLook* look) : table_(table), look_(look) {
  // Both exchanged tables show banded rows.
  own_look_.bands = true;
}

void TGridExcelIO::SetLocale(const Locale& locale) {
  locale_ = locale;
  has_locale_ = true;
}

const Locale& TGridExcelIO::GetLocale() const { return has_locale_ ? locale_ : table_.GetLocale(); }

int TGridExcelIO::DefaultYear() const {
  const SystemClock system;
  const Clock& clock = clock_ ? *clock_ : static_cast<const Clock&>(system);
  return DecodeDate(clock.Now()).year;
}

bool TGridExcelIO::ReadDateTimeText(const std::u16string& text, const std::u16string& date_format,
                                    const std::u16string& time_format, double& value,
                                    std::u16string& format_code) const {
  return ln40::ReadDateTimeText(Utf16ToCp1252(text), date_format, time_format, GetLocale(), DefaultYear(), value,
                                format_code);
}

void TGridExcelIO::SetCellFromText(TXLSFile& book, int row, int col, const std::u16string& text,
                                   const TCellFormat* format, const std::u16string& date_format,
                                   const std::u16string& time_format) const {
  TCellTextRules rules;
  rules.Locale = &GetLocale();
  rules.DefaultYear = DefaultYear();
  ln40::SetCellFromText(book, row, col, text, format, date_format, time_format, rules);
}

// ---- import ----------------------------------------------------------------------------

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

// ---- export ----------------------------------------------------------------------------

void TGridExcelIO::ExportFile(const std::string& file_name, const std::string& sheet_name, int position,
                              int selected_sheet) const {
  ExportTables(file_name, {TSheetExport{this, sheet_name, position}}, selected_sheet);
}

void TGridExcelIO::ExportSheet(TXLSFile& book, const std::string& sheet_name, int position, bool fresh_book,
                               TBadFormulas bad_formulas) const {
  if (!fresh_book) {
    const std::u16string wanted = Cp1252ToUtf16(sheet_name);
    int found = 0;
    for (int s = 1; s <= book.SheetCount() && found == 0; ++s) {
      if (book.SheetName(s) == wanted) found = s;
    }
    if (found > 0) {
      book.SetActiveSheet(found);
      book.ClearSheet();
    } else {
      const int count = book.SheetCount();
      const int before = position >= 1 && position <= count ? position : count + 1;
      book.InsertSheets(before, 1);
      book.SetActiveSheet(before);
    }
  } else {
    book.SetActiveSheet(1);
  }
  ExportData(book, bad_formulas);
  if (!sheet_name.empty()) book.SetActiveSheetName(Cp1252ToUtf16(sheet_name));
}

void TGridExcelIO::ExportData(TXLSFile& book, TBadFormulas bad_formulas) const {
  const TableLook& look = Look();
  std::vector<int> columns;  // the table columns written, in sheet order
  for (int c = 0; c < table_.ColCount(); ++c) {
    if (settings_.ExportHiddenColumns || !table_.IsColumnHidden(c)) columns.push_back(c);
  }
  const int rows = table_.RowCount();

  if (settings_.ExportCellSizes) {
    for (int r = 1; r < rows; ++r) book.SetRowHeight(r, look.defaultRowHeight * 15);
    for (size_t i = 0; i < columns.size(); ++i) {
      const double width = table_.ColumnWidth(columns[i]) * 256.0 / 7.0;
      book.SetColumnWidth(static_cast<int>(i) + 1, static_cast<int>(std::nearbyint(width)));
    }
  }

  TFormatCache cache;
  TCellTextRules rules;
  rules.Locale = &GetLocale();
  rules.DefaultYear = DefaultYear();
  rules.AddFormat = [&cache](TXLSFile& b, const TCellFormat& f) { return cache.AddFormat(b, f); };
  const std::u16string& date_format = settings_.DateFormat;
  const std::u16string& time_format = settings_.TimeFormat;
  const int ppi = look.screenPixelsPerInch > 0 ? look.screenPixelsPerInch : 96;
  const int text_colour = book.NearestColorIndex(RgbOf(look.colors.windowText));
  // The table's font first, then the cell fonts the look gives, each once.
  std::vector<FontSpec> fonts = {look.font};
  const auto FontIndex = [&fonts](const FontSpec& font) {
    for (size_t i = 0; i < fonts.size(); ++i) {
      if (fonts[i] == font) return static_cast<int>(i);
    }
    fonts.push_back(font);
    return static_cast<int>(fonts.size()) - 1;
  };

  for (int r = 1; r < rows; ++r) {
    for (size_t i = 0; i < columns.size(); ++i) {
      const int c = columns[i];
      const int col = static_cast<int>(i) + 1;
      const std::optional<MergeSpan> span = table_.MergeSpanAt(c, r);
      if (span && (span->col != c || span->row != r)) continue;
      const bool merged = span && (span->width > 1 || span->height > 1);
      if (merged) book.MergeCells(r, col, r + span->height - 1, col + span->width - 1);

      const std::u16string text = WithoutCarriageReturns(Cp1252ToUtf16(table_.Cell(c, r)));
      if (settings_.ExportFormulas && !text.empty() && text.front() == u'=') {
        try {
          book.SetCellFormula(r, col, text);  // compiles before it changes anything
          continue;
        } catch (const Error&) {
          if (bad_formulas == TBadFormulas::EndTheExport) throw;
          // else written below as the text it is
        }
      }

      const TCellFormat* format = nullptr;
      if (settings_.ExportCellProperties) {
        TFormatCache::Key key;
        key.BaseXf = EffectiveXf(book, r, col, book.CellFormatIndex(r, col));
        const std::optional<CellColor> own = table_.CellBackground(c, r);
        key.Fill = own ? *own : look.bands && r % 2 == 1 ? look.colors.infoBackground : look.colors.window;
        key.HAlign = SheetAlignment(look.AlignmentOf(c));
        key.VAlign = SheetAlignment(look.verticalAlignment);
        key.Wrap = settings_.ExportWordWrapped || text.find(u'\n') != std::u16string::npos;
        key.Font = look.cellFont ? FontIndex(look.cellFont(c, r)) : 0;
        format = &cache.Get(key, [&] {
          TCellFormat f = book.GetFormat(key.BaseXf);
          const FontSpec& font = fonts[static_cast<size_t>(key.Font)];
          // The font's height in pixels as the screen shows it, then in twentieths of a point.
          const int pixels = (font.size * ppi + 36) / 72;
          f.Font.Name = Cp1252ToUtf16(font.name);
          f.Font.Size20 = pixels * 72 * 20 / ppi;
          f.Font.ColorIndex = text_colour;
          f.Font.Bold = font.bold;
          f.Font.Italic = font.italic;
          f.Font.StrikeOut = false;
          f.Font.Underline = font.underline ? TUnderline::Single : TUnderline::None;
          if (key.Fill == kWhite) {
            f.FillPattern = 1;
          } else {
            f.FillPattern = 2;
            f.FillForeground = book.NearestColorIndex(RgbOf(key.Fill));
          }
          f.HAlign = key.HAlign;
          f.VAlign = key.VAlign;
          f.Wrap = key.Wrap;
          return f;
        });
      }

      if (settings_.ExportCellFormats) {
        ln40::SetCellFromText(book, r, col, text, format, date_format, time_format, rules);
      } else {
        const int xf = format ? cache.AddFormat(book, *format) : -1;
        book.SetCellValue(r, col, text.empty() ? CellValue::Empty() : CellValue::String(text), xf);
      }
      if (merged && format) {
        const int xf = book.CellFormatIndex(r, col);
        for (int rr = r; rr < r + span->height; ++rr) {
          for (int cc = col; cc < col + span->width; ++cc) {
            if ((rr != r || cc != col) && xf >= 0) book.SetCellValue(rr, cc, CellValue::Empty(), xf);
          }
        }
      }
    }
  }

  if (table_.IsGrouped()) {
    // The rows of each group, below its heading row up to the next heading, are level 1.
    int first = -1;
    for (int r = 1; r <= rows; ++r) {
      const bool heading = r < rows && table_.KindOfRow(r) == RowKind::GroupHeading;
      if (heading || r == rows) {
        if (first >= 0 && r - 1 >= first) book.SetRowOutlineLevel(first, r - 1, 1);
        first = heading ? r + 1 : -1;
      }
    }
  }
}

// ---- several tables into one file ------------------------------------------------------

void ExportTables(const std::string& file_name, const std::vector<TSheetExport>& sheets, int selected_sheet) {
  TXLSFile book;
  const bool exists = FileExists(file_name);
  if (exists) {
    book.OpenFile(file_name);
  } else {
    book.NewFile(1);
  }
  for (size_t i = 0; i < sheets.size(); ++i) {
    sheets[i].Exchange->ExportSheet(book, sheets[i].SheetName, sheets[i].Position, !exists && i == 0);
  }
  book.SelectSheet(selected_sheet);
  SaveWorkbookReplacing(book, file_name);
}

}  // namespace ln40
