// The export half of TGridExcelIO: the bound table into one sheet of a workbook file, and
// several tables into one file with one write.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "exchange/cell_from_text.h"
#include "exchange/effective_xf.h"
#include "exchange/grid_excel_io.h"
#include "exchange/sheet_bounds.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"
#include "text/output_target.h"

namespace ln40 {
namespace {

constexpr CellColor kWhite = 0xFFFFFF;

// Whether a file exists, a dangling link included (Windows-1252 name).
bool FileExists(const std::string& file_name) {
  struct stat info {};
  return ::lstat(Cp1252ToUtf8(file_name).c_str(), &info) == 0;
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
  FileReplaceFailure failure;
  // The image goes to the file in its pieces: a large workbook is never copied whole.
  book.SaveInPieces([&](TXLSFile::TImagePieces pieces) {
    std::vector<std::string_view> bytes;
    for (const std::span<const std::uint8_t> piece : pieces) {
      bytes.emplace_back(reinterpret_cast<const char*>(piece.data()), piece.size());
    }
    failure = TryReplaceFile(Cp1252ToUtf8(file_name), bytes);
  });
  if (failure) throw Error("Can't write file \"" + file_name + "\". " + failure.Reason());
}

// ---- export ----------------------------------------------------------------------------

void TGridExcelIO::ExportFile(const std::string& file_name, const std::string& sheet_name, int position,
                              int selected_sheet) const {
  ExportTables(file_name, {TSheetExport{this, sheet_name, position}}, selected_sheet);
}

namespace {

// The 1-based number of the sheet called `name`, 0 when there is none.
int FindSheet(const TXLSFile& book, const std::u16string& name) {
  for (int s = 1; s <= book.SheetCount(); ++s) {
    if (book.SheetName(s) == name) return s;
  }
  return 0;
}

// The name of the `part`-th sheet (2, 3, ...) of a table too long for one: "Excel (2)".
std::u16string FurtherSheetName(const std::string& sheet_name, int part) {
  return Cp1252ToUtf16(sheet_name + " (" + std::to_string(part) + ")");
}

}  // namespace

std::vector<int> TGridExcelIO::ExportedColumns() const {
  std::vector<int> columns;
  for (int c = 0; c < table_.ColCount(); ++c) {
    if (settings_.ExportHiddenColumns || !table_.IsColumnHidden(c)) columns.push_back(c);
  }
  return columns;
}

void TGridExcelIO::CheckFitsOneSheet(const std::string& sheet_name, std::int64_t rows, std::size_t columns) const {
  const TSheetExtent extent{rows, static_cast<std::int64_t>(columns)};
  if (!FitsOneSheet(extent)) {
    throw Error(BeyondOneSheetMessage("The table for the sheet \"" + sheet_name + "\"", extent));
  }
}

void TGridExcelIO::ExportSheet(TXLSFile& book, const std::string& sheet_name, int position, bool fresh_book,
                               TBadFormulas bad_formulas, TLongTable long_table) const {
  // The sheets the table takes, checked before the book changes: the first holds table rows
  // 1 to 65,536; each further one table row 1 and the next 65,535.
  const int body_rows = table_.RowCount() - 1;
  const int further_rows = kSheetMaxRows - 1;
  const int parts = long_table == TLongTable::ContinueOnFurtherSheets && body_rows > kSheetMaxRows
                        ? 1 + (body_rows - kSheetMaxRows + further_rows - 1) / further_rows
                        : 1;
  CheckFitsOneSheet(sheet_name, parts > 1 ? kSheetMaxRows : body_rows, ExportedColumns().size());

  if (!fresh_book) {
    const int found = FindSheet(book, Cp1252ToUtf16(sheet_name));
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
  ExportRows(book, bad_formulas, {{1, std::min(body_rows, kSheetMaxRows), 1}});
  if (!sheet_name.empty()) book.SetActiveSheetName(Cp1252ToUtf16(sheet_name));

  const int first_sheet = book.ActiveSheet();
  for (int part = 2; part <= parts; ++part) {
    const int first = kSheetMaxRows + 1 + (part - 2) * further_rows;
    const std::u16string name = FurtherSheetName(sheet_name, part);
    int sheet = FindSheet(book, name);
    if (sheet > 0) {
      book.SetActiveSheet(sheet);
      book.ClearSheet();
    } else {
      sheet = book.ActiveSheet() + 1;
      book.InsertSheets(sheet, 1);
      book.SetActiveSheet(sheet);
    }
    ExportRows(book, bad_formulas, {{1, 1, 1}, {first, std::min(body_rows, first + further_rows - 1), 2}});
    book.SetActiveSheetName(name);
  }
  // Further sheets an earlier, longer table left would be read as part of this one.
  for (int part = parts + 1; long_table == TLongTable::ContinueOnFurtherSheets; ++part) {
    const int stale = FindSheet(book, FurtherSheetName(sheet_name, part));
    if (stale == 0) break;
    book.SetActiveSheet(stale);
    book.ClearSheet();
  }
  book.SetActiveSheet(first_sheet);
}

void TGridExcelIO::ExportData(TXLSFile& book, TBadFormulas bad_formulas) const {
  CheckFitsOneSheet(Utf16ToCp1252(book.ActiveSheetName()), table_.RowCount() - 1, ExportedColumns().size());
  ExportRows(book, bad_formulas, {{1, table_.RowCount() - 1, 1}});
}

void TGridExcelIO::ExportRows(TXLSFile& book, TBadFormulas bad_formulas, const std::vector<RowRun>& runs) const {
  const TableLook& look = Look();
  const std::vector<int> columns = ExportedColumns();  // the table columns written, in sheet order

  if (settings_.ExportCellSizes) {
    for (const RowRun& run : runs) {
      for (int r = run.First; r <= run.Last; ++r) {
        book.SetRowHeight(run.SheetRow + r - run.First, look.defaultRowHeight * 15);
      }
    }
    for (size_t i = 0; i < columns.size(); ++i) {
      const double width = table_.ColumnWidth(columns[i]) * 256.0 / 7.0;
      book.SetColumnWidth(static_cast<int>(i) + 1, static_cast<int>(std::nearbyint(width)));
    }
  }

  TFormatCache cache;
  TCellTextRules rules;
  rules.Locale = &GetLocale();
  rules.DefaultYear = DefaultYear();
  rules.DateFormat = settings_.DateFormat;
  rules.TimeFormat = settings_.TimeFormat;
  rules.AddFormat = [&cache](TXLSFile& b, const TCellFormat& f) { return cache.AddFormat(b, f); };
  TCellTextWriter cells(book, std::move(rules));
  std::string without_returns;
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

  std::vector<int> column_xfs;  // the sheet columns' own XFs, which cells without one show
  for (size_t i = 0; i < columns.size(); ++i) column_xfs.push_back(book.ColumnFormat(static_cast<int>(i) + 1));

  for (const RowRun& run : runs) {
    const int shift = run.First - run.SheetRow;  // table row r goes to sheet row r - shift
    const int last_sheet_row = run.Last - shift;
    for (int r = run.First; r <= run.Last; ++r) {
      const int s = r - shift;
      const int row_xf = book.RowFormat(s);
      for (size_t i = 0; i < columns.size(); ++i) {
        const int c = columns[i];
        const int col = static_cast<int>(i) + 1;
        const std::optional<MergeSpan> span = table_.MergeSpanAt(c, r);
        if (span && (span->col != c || span->row != r)) continue;
        const bool merged = span && (span->width > 1 || span->height > 1);
        // A merge ends with the sheet; the rest of it goes with its cells.
        const int merge_end = merged ? std::min(s + span->height - 1, last_sheet_row) : s;
        if (merged) book.MergeCells(s, col, merge_end, col + span->width - 1);

        std::string_view text = table_.Cell(c, r);
        bool line_break = false, carriage_return = false;
        for (const char k : text) {
          line_break = line_break || k == '\n';
          carriage_return = carriage_return || k == '\r';
        }
        if (carriage_return) {
          without_returns = text;
          std::erase(without_returns, '\r');
          text = without_returns;
        }
        if (settings_.ExportFormulas && !text.empty() && text.front() == '=') {
          try {
            book.SetCellFormula(s, col, Cp1252ToUtf16(text));  // compiles before it changes anything
            continue;
          } catch (const Error&) {
            if (bad_formulas == TBadFormulas::EndTheExport) throw;
            // else written below as the text it is
          }
        }

        const TCellFormat* format = nullptr;
        if (settings_.ExportCellProperties) {
          TFormatCache::Key key;
          key.BaseXf = EffectiveXf(book.CellFormatIndex(s, col), row_xf, column_xfs[i]);
          const std::optional<CellColor> own = table_.CellBackground(c, r);
          key.Fill = own ? *own : look.bands && r % 2 == 1 ? look.colors.infoBackground : look.colors.window;
          key.HAlign = SheetAlignment(look.AlignmentOf(c));
          key.VAlign = SheetAlignment(look.verticalAlignment);
          key.Wrap = settings_.ExportWordWrapped || line_break;
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
          cells.Set(s, col, text, format);
        } else {
          const int xf = format ? cache.AddFormat(book, *format) : -1;
          book.SetCellValue(s, col, text.empty() ? CellValue::Empty() : CellValue::String(Cp1252ToUtf16(text)), xf);
        }
        if (merged && format) {
          const int xf = book.CellFormatIndex(s, col);
          for (int rr = s; rr <= merge_end; ++rr) {
            for (int cc = col; cc < col + span->width; ++cc) {
              if ((rr != s || cc != col) && xf >= 0) book.SetCellValue(rr, cc, CellValue::Empty(), xf);
            }
          }
        }
      }
    }
  }

  if (table_.IsGrouped()) {
    // The rows of each group, below its heading row up to the next heading, are level 1.
    for (const RowRun& run : runs) {
      const int shift = run.First - run.SheetRow;
      const auto heading = [this](int r) { return table_.KindOfRow(r) == RowKind::GroupHeading; };
      bool in_group = false;  // a heading comes before the run's first row
      for (int r = 1; r < run.First && !in_group; ++r) in_group = heading(r);
      int first = in_group ? run.First : -1;
      for (int r = run.First; r <= run.Last + 1; ++r) {
        const bool is_heading = r <= run.Last && heading(r);
        if (is_heading || r > run.Last) {
          if (first >= 0 && r - 1 >= first) book.SetRowOutlineLevel(first - shift, r - 1 - shift, 1);
          first = is_heading ? r + 1 : -1;
        }
      }
    }
  }
}

// ---- several tables into one file ------------------------------------------------------

void ExportTables(const std::string& file_name, const std::vector<TSheetExport>& sheets, int selected_sheet) {
  // A link the save would refuse is not read through either: the message names it.
  if (const OutputTarget target = ResolveOutputTarget(Cp1252ToUtf8(file_name)); !target.refused_link.empty()) {
    throw Error("Can't write file \"" + file_name + "\". " + RefusedLinkText(target.refused_link));
  }
  TXLSFile book;
  const bool exists = FileExists(file_name);
  if (exists) {
    book.OpenFile(file_name);
  } else {
    book.NewFile(1);
  }
  for (size_t i = 0; i < sheets.size(); ++i) {
    sheets[i].Exchange->ExportSheet(book, sheets[i].SheetName, sheets[i].Position, !exists && i == 0,
                                    TBadFormulas::EndTheExport, sheets[i].LongTable);
  }
  book.SelectSheet(selected_sheet);
  SaveWorkbookReplacing(book, file_name);
}

}  // namespace ln40
