#include "xls/xls_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "text/codepage.h"
#include "text/error.h"
#include "compound_file/ole2_storage.h"
#include "xls_formula.h"
#include "xls_model.h"
#include "xls_strings.h"
#include "xls_template.h"
#include "workbook_stream.h"

namespace ln40 {

using namespace xls;

namespace {

// Whether a file exists, a dangling link included (Windows-1252 name).
bool FileExists(const std::string& file_name) {
  struct stat info;
  return ::lstat(Cp1252ToUtf8(file_name).c_str(), &info) == 0;
}

bool HasExtension(const std::string& file_name) {
  const std::size_t slash = file_name.find_last_of('/');
  const std::size_t dot = file_name.find_last_of('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

TSheetCell::Source SourceOf(TCellKind kind) {
  switch (kind) {
    case TCellKind::Blank: return TSheetCell::Source::Blank;
    case TCellKind::Rk: return TSheetCell::Source::Rk;
    case TCellKind::Number: return TSheetCell::Source::Number;
    case TCellKind::LabelSst: return TSheetCell::Source::SharedString;
    case TCellKind::Label: return TSheetCell::Source::Label;
    case TCellKind::BoolErr: return TSheetCell::Source::BoolErr;
    case TCellKind::Formula: return TSheetCell::Source::Formula;
    case TCellKind::Opaque: break;
  }
  return TSheetCell::Source::RichString;
}

void CheckRow(int row) {
  if (row < 1 || row > kMaxRows) throw Error("Invalid Row (" + std::to_string(row - 1) + ")");
}

void CheckColumn(int col) {
  if (col < 1 || col > kMaxColumns) throw Error("Invalid Column (" + std::to_string(col - 1) + ")");
}

void CheckCell(int row, int col) {
  CheckRow(row);
  CheckColumn(col);
}

// The ROW record a new row gets: no columns, height 255 twips, only the always-set flag
// 0x0100, XF 15.
TRowRecord NewRow(int row) {
  TRowRecord record;
  record.Present = true;
  Put16(record.Data.data(), static_cast<std::uint16_t>(row));
  Put16(record.Data.data() + 6, 255);
  record.Data[12] = 0x00;
  record.Data[13] = 0x01;
  Put16(record.Data.data() + 14, kDefaultXf);
  return record;
}

TRowRecord& EnsureRow(TWorkSheet& sheet, int row) {
  if (row >= static_cast<int>(sheet.Rows.size())) sheet.Rows.resize(row + 1);
  if (!sheet.Rows[row].Present) sheet.Rows[row] = NewRow(row);
  return sheet.Rows[row];
}

int DefaultXf(const TWorkSheet& sheet, int row, int col) {
  if (row < static_cast<int>(sheet.Rows.size()) && sheet.Rows[row].Present && sheet.Rows[row].HasFormat()) {
    return sheet.Rows[row].Xf();
  }
  if (sheet.Columns[col].Present) return sheet.Columns[col].Xf;
  return kDefaultXf;
}

void ReleaseCell(TXlsCell& cell, TSST& sst) {
  if (cell.Kind == TCellKind::LabelSst) sst.Release(cell.Rk);
}

void ReleaseSheet(TSheet& sheet, TSST& sst) {
  if (sheet.Kind() != TSheetKind::Work) return;
  for (auto& row : static_cast<TWorkSheet&>(sheet).Cells) {
    for (TXlsCell& cell : row) ReleaseCell(cell, sst);
  }
}

TBaseRecord* FindWindow2(TSheet& sheet) {
  if (sheet.Kind() == TSheetKind::Work) return static_cast<TWorkSheet&>(sheet).Window2();
  for (TBaseRecord& record : static_cast<TRecordListSheet&>(sheet).Records) {
    if (record.Id == rid::kWindow2) return &record;
  }
  return nullptr;
}

// Changes the bytes of a record's data and CONTINUE records as one sequence, keeping the
// split between the records.
template <typename Change>
void EditJoined(TBaseRecord& record, Change change) {
  std::vector<std::uint8_t> joined = record.JoinedData();
  change(joined);
  std::size_t at = 0;
  std::copy(joined.begin(), joined.begin() + static_cast<std::ptrdiff_t>(record.Data.size()), record.Data.begin());
  at = record.Data.size();
  for (TContinueRecord& part : record.Continues) {
    std::copy(joined.begin() + static_cast<std::ptrdiff_t>(at), joined.begin() + static_cast<std::ptrdiff_t>(at + part.Data.size()),
              part.Data.begin());
    at += part.Data.size();
  }
}

}  // namespace

TXLSFile::TXLSFile() : book_(std::make_unique<TWorkbook>()) {}
TXLSFile::~TXLSFile() = default;
TXLSFile::TXLSFile(TXLSFile&&) noexcept = default;
TXLSFile& TXLSFile::operator=(TXLSFile&&) noexcept = default;

// ---- loading ---------------------------------------------------------------------------

TOle2Storage OpenWorkbookFile(const std::string& file_name) {
  std::string name = file_name;
  if (!FileExists(name)) {
    if (!HasExtension(name) && FileExists(name + ".xls")) {
      name += ".xls";
    } else {
      throw Error("Can't find the file \"" + file_name + "\"");
    }
  }
  return OpenWorkbookContainer(name);
}

void TXLSFile::OpenFile(const std::string& file_name) {
  TOle2Storage storage = OpenWorkbookFile(file_name);
  LoadFrom(storage);
}

// The workbook stream is read where it lies in the container when it is one run there (as
// in files our writer and most others make), else from a copy.
void TXLSFile::LoadFrom(TOle2Storage& storage) {
  TXlsStorageList kept = ReadKeptElements(storage);
  std::vector<std::uint8_t> copy;
  Load(ReadWorkbookStream(storage, copy), std::move(kept));
  storage.Release();
}

void TXLSFile::OpenMemory(std::span<const std::uint8_t> image, const std::string& display_name) {
  TOle2Storage storage = OpenWorkbookContainer(image, display_name);
  LoadFrom(storage);
}

void TXLSFile::Load(std::span<const std::uint8_t> stream, TXlsStorageList kept) {
  auto book = std::make_unique<TWorkbook>();
  LoadWorkbook(stream, *book);
  book_ = std::move(book);
  other_streams_ = std::move(kept);
  active_sheet_ = 1;
  const TWorkbookGlobals& g = book_->Globals;
  if (g.Window1 >= 0 && g.Items[g.Window1].Record.Data.size() >= 12) {
    active_sheet_ = Get16(g.Items[g.Window1].Record.Data.data() + 10) + 1;
  }
  last_format_.reset();
  format_cache_.clear();
  ++version_;
}

// ---- reading ---------------------------------------------------------------------------

int TXLSFile::SheetCount() const { return static_cast<int>(book_->Globals.Sheets.size()); }

TXlsSheetKind TXLSFile::SheetKind(int sheet) const {
  if (sheet < 1 || sheet > static_cast<int>(book_->Sheets.size())) return TXlsSheetKind::Unsupported;
  switch (book_->Sheets[sheet - 1]->Kind()) {
    case TSheetKind::Work: return TXlsSheetKind::Worksheet;
    case TSheetKind::Chart: return TXlsSheetKind::Chart;
    case TSheetKind::Unsupported: break;
  }
  return TXlsSheetKind::Unsupported;
}

std::u16string TXLSFile::SheetName(int sheet) const {
  if (sheet < 1 || sheet > SheetCount()) return u"";
  return book_->Globals.Sheets[sheet - 1].Name;
}

const TWorkSheet* TXLSFile::ActiveWorkSheet() const {
  if (active_sheet_ < 1 || active_sheet_ > static_cast<int>(book_->Sheets.size())) return nullptr;
  const TSheet& sheet = *book_->Sheets[active_sheet_ - 1];
  return sheet.Kind() == TSheetKind::Work ? static_cast<const TWorkSheet*>(&sheet) : nullptr;
}

void TXLSFile::CheckActiveSheet() const {
  const int sheets = static_cast<int>(std::min(book_->Sheets.size(), book_->Globals.Sheets.size()));
  if (active_sheet_ < 1 || active_sheet_ > sheets) {
    throw Error("The index \"" + std::to_string(active_sheet_) + "\" of the property \"ActiveSheet\" is not in the range 1-" +
                std::to_string(SheetCount()));
  }
}

TWorkSheet* TXLSFile::WritableSheet() {
  CheckActiveSheet();
  TSheet& sheet = *book_->Sheets[active_sheet_ - 1];
  return sheet.Kind() == TSheetKind::Work ? static_cast<TWorkSheet*>(&sheet) : nullptr;
}

int TXLSFile::UsedRowCount() const {
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return 0;
  int rows = 0;
  for (int r = static_cast<int>(sheet->Cells.size()) - 1; r >= 0; --r) {
    if (!sheet->Cells[r].empty()) {
      rows = r + 1;
      break;
    }
  }
  for (int r = static_cast<int>(sheet->Rows.size()) - 1; r >= rows; --r) {
    if (sheet->Rows[r].Present) return r + 1;
  }
  return rows;
}

int TXLSFile::UsedColCount() const {
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return 0;
  int cols = 0;
  for (const std::vector<TXlsCell>& cells : sheet->Cells) {
    if (!cells.empty()) cols = std::max(cols, cells.back().Col + 1);
  }
  return cols;
}

CellValue TXLSFile::GetCellValue(int row, int col) const {
  CheckCell(row, col);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return CellValue::Empty();
  const TXlsCell* cell = sheet->FindCell(row - 1, col - 1);
  return cell ? CellValueOf(*cell, book_->Globals.SST) : CellValue::Empty();
}

TXlsCellValue TXLSFile::GetCell(int row, int col) const {
  CheckCell(row, col);
  TXlsCellValue result;
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return result;
  if (const TXlsCell* cell = sheet->FindCell(row - 1, col - 1)) {
    result.Value = CellValueOf(*cell, book_->Globals.SST);
    result.XF = cell->XF;
  }
  return result;
}

void TXLSFile::GetCell(int row, int col, TXlsCellValue& into) const {
  CheckCell(row, col);
  const TWorkSheet* sheet = ActiveWorkSheet();
  const TXlsCell* cell = sheet ? sheet->FindCell(row - 1, col - 1) : nullptr;
  if (!cell) {
    into.Value.kind = CellValue::Kind::Empty;
    into.Value.number = 0;
    into.Value.text.clear();
    into.Value.boolean = false;
    into.XF = -1;
    return;
  }
  CellValueOf(*cell, book_->Globals.SST, into.Value);
  into.XF = cell->XF;
}

int TXLSFile::CellFormatIndex(int row, int col) const {
  CheckCell(row, col);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return -1;
  const TXlsCell* cell = sheet->FindCell(row - 1, col - 1);
  return cell ? cell->XF : -1;
}

int TXLSFile::RowFormat(int row) const {
  CheckRow(row);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet || row > static_cast<int>(sheet->Rows.size())) return -1;
  const TRowRecord& record = sheet->Rows[row - 1];
  return record.Present && record.HasFormat() ? record.Xf() : -1;
}

int TXLSFile::ColumnFormat(int col) const {
  CheckColumn(col);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet || !sheet->Columns[col - 1].Present) return -1;
  return sheet->Columns[col - 1].Xf;
}

int TXLSFile::RowHeight(int row) const {
  CheckRow(row);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet || row > static_cast<int>(sheet->Rows.size()) || !sheet->Rows[row - 1].Present) return -1;
  return sheet->Rows[row - 1].Height();
}

int TXLSFile::RowOutlineLevel(int row) const {
  CheckRow(row);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet || row > static_cast<int>(sheet->Rows.size()) || !sheet->Rows[row - 1].Present) return 0;
  return sheet->Rows[row - 1].OutlineLevel();
}

int TXLSFile::ColumnWidth(int col) const {
  CheckColumn(col);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet || !sheet->Columns[col - 1].Present) return -1;
  return sheet->Columns[col - 1].Width;
}

int TXLSFile::XfCount() const { return static_cast<int>(book_->Globals.XFs.size()); }

TCellFormat TXLSFile::GetFormat(int xf) const { return CachedFormat(xf); }

const std::u16string& TXLSFile::NumberFormat(int xf) const { return CachedFormat(xf).NumberFormat; }

const TCellFormat& TXLSFile::CachedFormat(int xf) const {
  const TWorkbookGlobals& g = book_->Globals;
  if (xf < 0 || xf >= static_cast<int>(g.XFs.size())) xf = 0;
  if (format_cache_.size() != g.XFs.size() + 1) {
    format_cache_.clear();
    format_cache_.resize(g.XFs.size() + 1);
  }
  std::unique_ptr<TCellFormat>& slot = format_cache_[g.XFs.empty() ? g.XFs.size() : static_cast<std::size_t>(xf)];
  if (!slot) slot = std::make_unique<TCellFormat>(DecodeFormat(xf));
  return *slot;
}

TCellFormat TXLSFile::DecodeFormat(int xf) const {
  const TWorkbookGlobals& g = book_->Globals;
  TCellFormat format;
  if (g.XFs.empty()) return format;
  const TXfBytes& bytes = g.XFs[xf];
  DecodeXfLayout(bytes, format);
  int font = Get16(bytes.data());
  if (font > 3) --font;  // font index 4 does not exist
  if (font >= static_cast<int>(g.Fonts.size())) font = 0;
  if (!g.Fonts.empty()) format.Font = DecodeFont(g.Fonts[font].JoinedData());
  format.NumberFormat = g.FormatCode(Get16(bytes.data() + 2));
  return format;
}

std::vector<TXlsRange> TXLSFile::MergedRanges() const {
  std::vector<TXlsRange> ranges;
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return ranges;
  for (const TRangeItem& item : sheet->Ranges) {
    if (!item.Merged) continue;
    for (const TCellRange& r : item.Ranges) ranges.push_back({r.FirstRow + 1, r.FirstCol + 1, r.LastRow + 1, r.LastCol + 1});
  }
  return ranges;
}

TXlsRange TXLSFile::MergedRange(int row, int col) const {
  CheckCell(row, col);
  const TWorkSheet* sheet = ActiveWorkSheet();
  if (!sheet) return {row, col, row, col};
  if (merge_cache_sheet_ != sheet || merge_cache_version_ != version_) {
    merge_cache_ = TMergedRangeIndex(MergedRanges());
    merge_cache_sheet_ = sheet;
    merge_cache_version_ = version_;
  }
  const TXlsRange* range = merge_cache_.Find(row, col);
  return range ? *range : TXlsRange{row, col, row, col};
}

DateSystem TXLSFile::Dates() const { return book_->Globals.Dates; }

void TXLSFile::ReadCells(TSheetSink& sink) const {
  const TWorkSheet* sheet = ActiveWorkSheet();
  sink.BeginSheet(active_sheet_, SheetKind(active_sheet_));
  if (sheet) {
    CellValue value;
    TSheetCell out;
    out.Value = &value;
    for (std::size_t row = 0; row < sheet->Cells.size(); ++row) {
      out.Row = static_cast<int>(row);
      for (const TXlsCell& cell : sheet->Cells[row]) {
        out.Col = cell.Col;
        out.Xf = cell.XF;
        out.From = SourceOf(cell.Kind);
        out.Raw = cell.Kind == TCellKind::Rk || cell.Kind == TCellKind::LabelSst ? cell.Rk : cell.BoolErr;
        out.IsError = cell.IsError;
        CellValueOf(cell, book_->Globals.SST, value);
        sink.Cell(out);
      }
    }
  }
  sink.EndSheet();
}

// ---- writing ---------------------------------------------------------------------------

void TXLSFile::NewFile(int sheet_count) {
  OpenMemory(EmptyWorkbookImage(), "EMPTYWORKBOOK");
  if (sheet_count > 1) InsertSheets(2, sheet_count - 1);
}

void TXLSFile::InsertSheets(int before, int count) {
  if (count <= 0) return;
  TWorkbookGlobals& g = book_->Globals;
  before = std::clamp(before, 1, SheetCount() + 1);
  const std::vector<std::uint8_t> empty = EmptyWorksheetRecords();
  for (int k = 0; k < count; ++k) {
    // A unique name from the base "Sheet".
    TBoundSheet bound;
    int highest = -1;
    for (const TBoundSheet& sheet : g.Sheets) {
      if (sheet.Base == u"Sheet") highest = std::max(highest, sheet.Number);
    }
    std::u16string name = u"Sheet";
    int number = 0;
    if (highest >= 0) {
      for (number = highest + 1;; ++number) {
        const std::string digits = std::to_string(number);
        name = u"Sheet" + std::u16string(digits.begin(), digits.end());
        if (std::none_of(g.Sheets.begin(), g.Sheets.end(), [&](const TBoundSheet& s) { return s.Name == name; })) break;
      }
    }
    bound.Record = TBaseRecord(rid::kBoundSheet, {0, 0, 0, 0, 0, 0});
    bound.SetName(name);
    bound.Base = u"Sheet";
    bound.Number = number;
    // A damaged file may have more or fewer sections than BOUNDSHEET records; each list
    // gets the sheet at the same place, or at its end.
    const std::size_t at = static_cast<std::size_t>(before - 1 + k);
    g.Sheets.insert(g.Sheets.begin() + static_cast<std::ptrdiff_t>(std::min(at, g.Sheets.size())), std::move(bound));
    book_->Sheets.insert(book_->Sheets.begin() + static_cast<std::ptrdiff_t>(std::min(at, book_->Sheets.size())),
                         ReadWorksheetSection(empty, *book_));
  }

  // Sheet references of names and external references follow the moved sheets.
  for (TBaseRecord& name : g.Names) {
    EditJoined(name, [&](std::vector<std::uint8_t>& data) {
      if (data.size() < 10) return;
      const int itab = Get16(data.data() + 8);
      if (itab >= before) Put16(data.data() + 8, static_cast<std::uint16_t>(itab + count));
    });
  }
  int self_book = -1;
  int supbook_index = 0;
  for (TBaseRecord& record : g.ExternRefs) {
    if (record.Id != rid::kSupBook) continue;
    if (record.Data.size() == 4 && Get16(record.Data.data() + 2) == 0x0401) {
      self_book = supbook_index;
      Put16(record.Data.data(), static_cast<std::uint16_t>(Get16(record.Data.data()) + count));
    }
    ++supbook_index;
  }
  for (TBaseRecord& record : g.ExternRefs) {
    if (record.Id != rid::kExternSheet || self_book < 0) continue;
    EditJoined(record, [&](std::vector<std::uint8_t>& data) {
      if (data.size() < 2) return;
      const std::size_t entries = std::min<std::size_t>(Get16(data.data()), (data.size() - 2) / 6);
      for (std::size_t i = 0; i < entries; ++i) {
        std::uint8_t* xti = data.data() + 2 + 6 * i;
        if (Get16(xti) != self_book) continue;
        for (int field = 2; field <= 4; field += 2) {
          const int tab = Get16(xti + field);
          if (tab < 0xFFFE && tab >= before - 1) Put16(xti + field, static_cast<std::uint16_t>(tab + count));
        }
      }
    });
  }
  ++version_;
}

void TXLSFile::ClearSheet() {
  CheckActiveSheet();
  TWorkbookGlobals& g = book_->Globals;
  std::unique_ptr<TSheet>& slot = book_->Sheets[active_sheet_ - 1];
  ReleaseSheet(*slot, g.SST);
  slot = ReadWorksheetSection(EmptyWorksheetRecords(), *book_);
  TBaseRecord& bound = g.Sheets[active_sheet_ - 1].Record;
  if (bound.Data.size() > 5) bound.Data[5] = 0;  // a worksheet now
  ++version_;
  SelectSheet(active_sheet_);
}

void TXLSFile::SetActiveSheetName(const std::u16string& name) {
  CheckActiveSheet();
  TWorkbookGlobals& g = book_->Globals;
  TBoundSheet& sheet = g.Sheets[active_sheet_ - 1];
  if (sheet.Name == name) return;
  for (const TBoundSheet& other : g.Sheets) {
    if (other.Name == name) throw Error("Sheet name already exists: " + Utf16ToCp1252(name));
  }
  sheet.SetName(name);
}

void TXLSFile::SelectSheet(int sheet) {
  for (int i = 0; i < static_cast<int>(book_->Sheets.size()); ++i) {
    TBaseRecord* window2 = FindWindow2(*book_->Sheets[i]);
    if (!window2 || window2->Data.size() < 2) continue;
    std::uint16_t flags = Get16(window2->Data.data());
    flags = static_cast<std::uint16_t>(i == sheet - 1 ? (flags | 0x0600) : (flags & ~0x0600));
    Put16(window2->Data.data(), flags);
  }
  TWorkbookGlobals& g = book_->Globals;
  if (g.Window1 >= 0 && g.Items[g.Window1].Record.Data.size() >= 16) {
    std::uint8_t* window1 = g.Items[g.Window1].Record.Data.data();
    Put16(window1 + 10, static_cast<std::uint16_t>(std::max(sheet - 1, 0)));
    Put16(window1 + 12, 0);
    Put16(window1 + 14, 1);
  }
}

namespace {

// Whether a row has cells and they all lie left of `col`, as in a row filled left to right.
bool AfterLastCell(const TWorkSheet& sheet, int row, int col) {
  return row < static_cast<int>(sheet.Cells.size()) && !sheet.Cells[row].empty() && sheet.Cells[row].back().Col < col;
}

// Removes the cell at (row, col) if there is one; trims what the removal left empty.
void RemoveCell(TWorkSheet& sheet, TSST& sst, int row, int col, bool keep_row) {
  // A sheet filled row by row, left to right: no cell at the place, the row is kept and is
  // the last one, so there is nothing to remove or trim.
  const int last_row = static_cast<int>(sheet.Rows.size()) - 1;
  if (keep_row && row == last_row && static_cast<int>(sheet.Cells.size()) == row + 1 && AfterLastCell(sheet, row, col)) {
    return;
  }
  if (row < static_cast<int>(sheet.Cells.size()) && !AfterLastCell(sheet, row, col)) {
    std::vector<TXlsCell>& cells = sheet.Cells[row];
    auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const TXlsCell& c, int v) { return c.Col < v; });
    if (it != cells.end() && it->Col == col) {
      ReleaseCell(*it, sst);
      cells.erase(it);
    }
  }
  const bool empty_row = row >= static_cast<int>(sheet.Cells.size()) || sheet.Cells[row].empty();
  if (empty_row && row < static_cast<int>(sheet.Rows.size()) && sheet.Rows[row].Present) {
    sheet.Rows[row].SetColumns(0, 0);
    if (!keep_row && sheet.Rows[row].DefaultFlags()) sheet.Rows[row].Present = false;
  }
  // Trailing rows with neither cells nor a ROW record of their own are dropped.
  while (!sheet.Rows.empty()) {
    const int last = static_cast<int>(sheet.Rows.size()) - 1;
    if (keep_row && last == row) break;
    const bool has_cells = last < static_cast<int>(sheet.Cells.size()) && !sheet.Cells[last].empty();
    const TRowRecord& record = sheet.Rows[last];
    if (has_cells || (record.Present && !record.DefaultFlags())) break;
    sheet.Rows.pop_back();
  }
  while (!sheet.Cells.empty() && sheet.Cells.back().empty() &&
         static_cast<int>(sheet.Cells.size()) > static_cast<int>(sheet.Rows.size())) {
    sheet.Cells.pop_back();
  }
}

// Inserts a cell (the row's ROW record exists) and widens the row's column range.
TXlsCell& InsertCell(TWorkSheet& sheet, int row, TXlsCell cell) {
  if (row >= static_cast<int>(sheet.Cells.size())) sheet.Cells.resize(row + 1);
  std::vector<TXlsCell>& cells = sheet.Cells[row];
  // A row filled cell by cell is mostly as wide as the one above it: room for that many
  // at once spares the row its growing steps.
  if (cells.empty() && row > 0) cells.reserve(sheet.Cells[row - 1].size());
  const int col = cell.Col;
  TXlsCell* placed = nullptr;
  if (cells.empty() || cells.back().Col < col) {  // a row filled left to right
    placed = &cells.emplace_back(std::move(cell));
  } else {
    auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const TXlsCell& c, int v) { return c.Col < v; });
    placed = &*cells.insert(it, std::move(cell));
  }
  TRowRecord& record = EnsureRow(sheet, row);
  record.SetColumns(std::min(record.ColFirst(), col), std::max(record.ColLast1(), col + 1));
  return *placed;
}

}  // namespace

void TXLSFile::SetCellValue(int row, int col, const CellValue& value, int xf) {
  CheckCell(row, col);
  TWorkSheet* sheet = WritableSheet();
  if (!sheet) return;
  TSST& sst = book_->Globals.SST;
  const int r = row - 1;
  const int c = col - 1;
  const int default_xf = DefaultXf(*sheet, r, c);
  const TXlsCell* present = AfterLastCell(*sheet, r, c) ? nullptr : sheet->FindCell(r, c);
  const int new_xf = xf >= 0 ? xf : present ? present->XF : default_xf;

  TXlsCell cell;
  cell.Col = static_cast<std::uint16_t>(c);
  cell.XF = static_cast<std::uint16_t>(new_xf);
  bool make = true;
  switch (value.kind) {
    case CellValue::Kind::Empty: make = new_xf != default_xf; break;
    case CellValue::Kind::String:
      if (value.text.empty()) {
        make = new_xf != default_xf;
      } else {
        cell.Kind = TCellKind::LabelSst;
      }
      break;
    case CellValue::Kind::Number:
      if (DoubleToRk(value.number, cell.Rk)) {
        cell.Kind = TCellKind::Rk;
      } else {
        cell.Kind = TCellKind::Number;
        cell.Number = value.number;
      }
      break;
    case CellValue::Kind::Boolean:
      cell.Kind = TCellKind::BoolErr;
      cell.BoolErr = value.boolean ? 1 : 0;
      break;
  }
  if (make) EnsureRow(*sheet, r);
  RemoveCell(*sheet, sst, r, c, make);
  if (!make) return;
  if (cell.Kind == TCellKind::LabelSst) cell.Rk = sst.Add(value.text);
  InsertCell(*sheet, r, std::move(cell));
}

// No option flags: spreadsheet programs calculate the formula when they open the file,
// since our files carry no RECALCID record.
constexpr std::uint16_t kNewFormulaFlags = 0x0000;

void TXLSFile::SetCellFormula(int row, int col, const std::u16string& text) {
  CheckCell(row, col);
  const TCompiledFormula formula = CompileFormula(text);
  TWorkSheet* sheet = WritableSheet();
  if (!sheet) return;
  const int r = row - 1;
  const int c = col - 1;
  const TXlsCell* present = sheet->FindCell(r, c);
  const int xf = present ? present->XF : DefaultXf(*sheet, r, c);

  TByteWriter data;
  data.U16(static_cast<std::uint16_t>(r));
  data.U16(static_cast<std::uint16_t>(c));
  data.U16(static_cast<std::uint16_t>(xf));
  data.F64(0);
  data.U16(kNewFormulaFlags);
  data.U32(0);
  data.U16(static_cast<std::uint16_t>(formula.Tokens.size()));
  data.Append(formula.Tokens);
  data.Append(formula.Extra);

  TXlsCell cell;
  cell.Col = static_cast<std::uint16_t>(c);
  cell.XF = static_cast<std::uint16_t>(xf);
  cell.Kind = TCellKind::Formula;
  cell.Extra = std::make_unique<TCellExtra>();
  cell.Extra->Record = TBaseRecord(rid::kFormula, std::move(data.Bytes()));
  cell.Extra->Value = CellValue::Number(0);
  EnsureRow(*sheet, r);
  RemoveCell(*sheet, book_->Globals.SST, r, c, true);
  InsertCell(*sheet, r, std::move(cell));
}

namespace {

// Makes sure the ordered list has a placeholder for `slot`, placed before the placeholders
// of the blocks that follow it (FONT, FORMAT, XF), or at the end.
void EnsureSlot(TWorkbookGlobals& g, TGlobalSlot slot) {
  if (g.FindSlot(slot) >= 0) return;
  int at = static_cast<int>(g.Items.size());
  for (TGlobalSlot later : {TGlobalSlot::Fonts, TGlobalSlot::Formats, TGlobalSlot::Xfs}) {
    if (static_cast<int>(later) <= static_cast<int>(slot)) continue;
    const int found = g.FindSlot(later);
    if (found >= 0) {
      at = std::min(at, found);
    }
  }
  g.Items.insert(g.Items.begin() + at, TGlobalItem{slot, {}});
  for (int* index : {&g.Window1, &g.Palette, &g.AfterXfOrStyle}) {
    if (*index >= at) ++*index;
  }
}

}  // namespace

int TXLSFile::AddFormat(const TCellFormat& format) {
  if (last_format_ && last_format_->first == format && last_format_version_ == version_) return last_format_->second;
  TWorkbookGlobals& g = book_->Globals;

  const std::vector<std::uint8_t> font = EncodeFont(format.Font);
  int font_position = -1;
  for (std::size_t i = 0; i < g.Fonts.size(); ++i) {
    if (g.Fonts[i].Continues.empty() && g.Fonts[i].Data == font) {
      font_position = static_cast<int>(i);
      break;
    }
  }
  if (font_position < 0) {
    EnsureSlot(g, TGlobalSlot::Fonts);
    g.Fonts.emplace_back(rid::kFont, font);
    format_cache_.clear();
    font_position = static_cast<int>(g.Fonts.size()) - 1;
  }
  const int font_index = font_position > 3 ? font_position + 1 : font_position;

  int format_index = -1;
  for (const TFormatEntry& entry : g.Formats) {
    if (entry.Code == format.NumberFormat) {
      format_index = entry.Index;
      break;
    }
  }
  for (int i = 0; format_index < 0 && i <= 49; ++i) {
    if (BuiltInFormatCode(i) == format.NumberFormat) format_index = i;
  }
  if (format_index < 0) {
    format_index = 164;
    if (!g.Formats.empty()) format_index = std::max(164, g.Formats.back().Index + 1);
    EnsureSlot(g, TGlobalSlot::Formats);
    TFormatEntry entry;
    entry.Index = static_cast<std::uint16_t>(format_index);
    entry.Code = format.NumberFormat;
    TByteWriter data;
    data.U16(entry.Index);
    WriteXlString(data, entry.Code, true);
    entry.Record = TBaseRecord(rid::kFormat, std::move(data.Bytes()));
    g.Formats.push_back(std::move(entry));
    format_cache_.clear();
  }

  const TXfBytes xf = EncodeXf(format, font_index, format_index);
  int xf_index = -1;
  for (std::size_t i = 0; i < g.XFs.size(); ++i) {
    if (g.XFs[i] == xf) {
      xf_index = static_cast<int>(i);
      break;
    }
  }
  if (xf_index < 0) {
    EnsureSlot(g, TGlobalSlot::Xfs);
    g.XFs.push_back(xf);
    format_cache_.clear();
    xf_index = static_cast<int>(g.XFs.size()) - 1;
  }
  last_format_ = std::make_pair(format, xf_index);
  last_format_version_ = version_;
  return xf_index;
}

int TXLSFile::NearestColorIndex(TRgb color) const {
  int best = 1;
  long best_distance = -1;
  for (int i = 1; i <= 55; ++i) {
    const TRgb entry = book_->Globals.PaletteColor(i);
    const long dr = entry.R - color.R, dg = entry.G - color.G, db = entry.B - color.B;
    const long distance = dr * dr + dg * dg + db * db;
    if (distance == 0) return i;
    if (best_distance < 0 || distance < best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  return best;
}

void TXLSFile::SetColumnWidth(int col, int width) {
  CheckColumn(col);
  TWorkSheet* sheet = WritableSheet();
  if (!sheet) return;
  TColInfo& info = sheet->Columns[col - 1];
  if (!info.Present) info = TColInfo{true, 0, kDefaultXf, 0, 0};
  info.Width = static_cast<std::uint16_t>(std::clamp(width, 0, 0xFFFF));
}

void TXLSFile::SetRowHeight(int row, int height) {
  CheckRow(row);
  TWorkSheet* sheet = WritableSheet();
  if (!sheet) return;
  TRowRecord& record = EnsureRow(*sheet, row - 1);
  Put16(record.Data.data() + 6, static_cast<std::uint16_t>(std::clamp(height, 0, 0x7FFF)));
  record.Data[12] |= 0x40;  // custom height
}

void TXLSFile::MergeCells(int first_row, int first_col, int last_row, int last_col) {
  CheckCell(first_row, first_col);
  CheckCell(last_row, last_col);
  TWorkSheet* sheet = WritableSheet();
  if (!sheet) return;
  TCellRange range;
  range.FirstRow = static_cast<std::uint16_t>(std::min(first_row, last_row) - 1);
  range.LastRow = static_cast<std::uint16_t>(std::max(first_row, last_row) - 1);
  range.FirstCol = static_cast<std::uint16_t>(std::min(first_col, last_col) - 1);
  range.LastCol = static_cast<std::uint16_t>(std::max(first_col, last_col) - 1);
  if (sheet->Ranges.empty() || !sheet->Ranges.back().Merged || sheet->Ranges.back().Ranges.size() >= 1027) {
    TRangeItem item;
    item.Merged = true;
    sheet->Ranges.push_back(std::move(item));
  }
  sheet->Ranges.back().Ranges.push_back(range);
  ++version_;
}

void TXLSFile::SetRowOutlineLevel(int first_row, int last_row, int level) {
  CheckRow(first_row);
  CheckRow(last_row);
  TWorkSheet* sheet = WritableSheet();
  if (!sheet) return;
  level = std::clamp(level, 0, 7);
  for (int row = std::min(first_row, last_row); row <= std::max(first_row, last_row); ++row) {
    TRowRecord& record = EnsureRow(*sheet, row - 1);
    record.Data[12] = static_cast<std::uint8_t>((record.Data[12] & ~0x07) | level);
  }
  sheet->GutsDirty = true;
  const bool has_guts =
      std::any_of(sheet->ListA.begin(), sheet->ListA.end(), [](const TBaseRecord& r) { return r.Id == rid::kGuts; });
  if (!has_guts) {
    auto at = std::find_if(sheet->ListA.begin(), sheet->ListA.end(),
                           [](const TBaseRecord& r) { return r.Id == rid::kDefaultRowHeight; });
    sheet->ListA.insert(at, TBaseRecord(rid::kGuts, std::vector<std::uint8_t>(8, 0)));
  }
}

std::vector<std::uint8_t> TXLSFile::WorkbookStream() {
  TByteWriter out;
  WriteWorkbook(*book_, out);
  return std::move(out.Bytes());
}

void TXLSFile::WriteContainer(TOle2Storage& storage, std::vector<std::uint8_t> stream) {
  WriteKeptElements(storage, other_streams_);
  storage.OpenStream("Workbook").Write(std::move(stream));
  storage.Release();
}

void TXLSFile::SaveFile(const std::string& file_name) {
  const std::string busy = "Can't write to file \"" + file_name + "\". Check it is not in use by another user";
  if (FileExists(file_name)) throw Error(busy);
  std::vector<std::uint8_t> stream = WorkbookStream();
  try {
    TOle2Storage storage = TOle2Storage::CreateFile(file_name);
    WriteContainer(storage, std::move(stream));
  } catch (const Error&) {
    if (FileExists(file_name)) throw Error(busy);  // made by someone else meanwhile
    throw Error("Error writing output file");
  }
}

std::vector<std::uint8_t> TXLSFile::SaveToMemory() {
  std::vector<std::uint8_t> image;
  TOle2Storage storage = TOle2Storage::CreateMemory(image);
  WriteContainer(storage, WorkbookStream());
  return image;
}

void TXLSFile::SaveInPieces(const std::function<void(TImagePieces)>& take) {
  std::vector<std::span<const std::uint8_t>> pieces;
  TOle2Storage storage = TOle2Storage::CreatePieces(pieces);
  WriteContainer(storage, WorkbookStream());
  take(pieces);
}

}  // namespace ln40
