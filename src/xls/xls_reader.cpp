// Reading a BIFF8 workbook stream into the model: the sections, the record kinds the
// model interprets, cells, shared formulas and the helpers of the model types.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "text/codepage.h"
#include "text/error.h"
#include "xls_formula.h"
#include "xls_model.h"
#include "xls_strings.h"

namespace ln40::xls {

// ---- model helpers ---------------------------------------------------------------------

void TBoundSheet::SetName(const std::u16string& name) {
  std::vector<std::uint8_t> head(Record.Data.begin(), Record.Data.begin() + std::min<std::size_t>(6, Record.Data.size()));
  head.resize(6, 0);
  TByteWriter out;
  out.Append(head);
  WriteXlString(out, name, false);
  Record.Data = std::move(out.Bytes());
  Record.Continues.clear();
  Name = name.substr(0, 255);
  Base = Name;
  Number = 0;
}

const TFormatEntry* TWorkbookGlobals::FindFormat(int index) const {
  auto it = std::lower_bound(Formats.begin(), Formats.end(), index,
                             [](const TFormatEntry& entry, int value) { return entry.Index < value; });
  if (it == Formats.end() || it->Index != index) return nullptr;
  return &*it;
}

std::u16string TWorkbookGlobals::FormatCode(int index) const {
  if (const TFormatEntry* entry = FindFormat(index)) return entry->Code;
  if (index >= 0 && index <= 49) return BuiltInFormatCode(index);
  return u"";
}

int TWorkbookGlobals::FindSlot(TGlobalSlot slot) const {
  for (std::size_t i = 0; i < Items.size(); ++i) {
    if (Items[i].Slot == slot) return static_cast<int>(i);
  }
  return -1;
}

TRgb TWorkbookGlobals::PaletteColor(int index) const {
  if (Palette >= 0 && Palette < static_cast<int>(Items.size())) {
    const std::vector<std::uint8_t>& data = Items[Palette].Record.Data;
    const std::size_t at = 2 + static_cast<std::size_t>(index - 1) * 4;
    if (data.size() >= 2 && index >= 1 && index <= Get16(data.data()) && at + 3 <= data.size()) {
      return {data[at], data[at + 1], data[at + 2]};
    }
  }
  if (index >= 1 && index <= 56) return DefaultPalette()[index - 1];
  return {};
}

const TXlsCell* TWorkSheet::FindCell(int row, int col) const {
  if (row < 0 || row >= static_cast<int>(Cells.size())) return nullptr;
  const std::vector<TXlsCell>& cells = Cells[row];
  // Rows are mostly filled from column A on: the cell is then at its column's index.
  if (col >= 0 && col < static_cast<int>(cells.size()) && cells[col].Col == col) return &cells[col];
  auto it = std::lower_bound(cells.begin(), cells.end(), col,
                             [](const TXlsCell& cell, int value) { return cell.Col < value; });
  if (it == cells.end() || it->Col != col) return nullptr;
  return &*it;
}

TXlsCell* TWorkSheet::FindCell(int row, int col) {
  return const_cast<TXlsCell*>(static_cast<const TWorkSheet*>(this)->FindCell(row, col));
}

TBaseRecord* TWorkSheet::Window2() {
  return !ListB.empty() && ListB.front().Id == rid::kWindow2 ? &ListB.front() : nullptr;
}

const TBaseRecord* TWorkSheet::Window2() const {
  return !ListB.empty() && ListB.front().Id == rid::kWindow2 ? &ListB.front() : nullptr;
}

double RkToDouble(std::uint32_t rk) {
  double value;
  if (rk & 0x02) {
    value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
  } else {
    const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
    std::memcpy(&value, &bits, sizeof value);
  }
  return (rk & 0x01) ? value / 100 : value;
}

// An RK form is used only when it reads back as exactly the same number: multiplying by 100
// rounds, and a product that happens to be whole must not change the stored value.
bool DoubleToRk(double value, std::uint32_t& rk) {
  for (int m : {1, 100}) {
    const double y = value * m;
    std::uint64_t bits;
    std::memcpy(&bits, &y, sizeof bits);
    std::uint32_t candidate = 0;
    if ((bits & 0x3FFFFFFFFull) == 0) {
      candidate = static_cast<std::uint32_t>(bits >> 32) | (m == 100 ? 1u : 0u);
    } else if (std::isfinite(y) && y == std::floor(y) && y >= -536870912.0 && y <= 536870911.0) {
      candidate = static_cast<std::uint32_t>(static_cast<std::int32_t>(y) * 4) + 2 + (m == 100 ? 1u : 0u);
    } else {
      continue;
    }
    if (RkToDouble(candidate) == value) {
      rk = candidate;
      return true;
    }
  }
  return false;
}

std::u16string ErrorText(int code) {
  switch (code) {
    case 0x00: return u"#NULL!";
    case 0x07: return u"#DIV/0!";
    case 0x0F: return u"#VALUE!";
    case 0x17: return u"#REF!";
    case 0x1D: return u"#NAME?";
    case 0x24: return u"#NUM!";
    case 0x2A: return u"#N/A";
    default: return u"";
  }
}

CellValue BoolErrValue(std::uint8_t value, bool is_error) {
  if (!is_error) return CellValue::Boolean(value != 0);
  std::u16string text = ErrorText(value);
  return CellValue::String(text.empty() ? u"#NULL!" : text);
}

CellValue FormulaResult(const std::uint8_t* result) {
  if (result[6] != 0xFF || result[7] != 0xFF) return CellValue::Number(GetDouble(result));
  switch (result[0]) {
    case 0: return CellValue::String(u"");
    case 1: return CellValue::Boolean(result[2] == 1);
    case 2: {
      std::u16string text = ErrorText(result[2]);
      return text.empty() ? CellValue::Empty() : CellValue::String(text);
    }
    default: return CellValue::Empty();
  }
}

CellValue CellValueOf(const TXlsCell& cell, const TSST& sst) {
  switch (cell.Kind) {
    case TCellKind::Rk: return CellValue::Number(RkToDouble(cell.Rk));
    case TCellKind::Number: return CellValue::Number(cell.Number);
    case TCellKind::LabelSst: return CellValue::String(sst.Text(cell.Rk));
    case TCellKind::BoolErr: return BoolErrValue(cell.BoolErr, cell.IsError);
    case TCellKind::Label:
    case TCellKind::Formula: return cell.Extra ? cell.Extra->Value : CellValue::Empty();
    case TCellKind::Blank:
    case TCellKind::Opaque: break;
  }
  return CellValue::Empty();
}

void CellValueOf(const TXlsCell& cell, const TSST& sst, CellValue& into) {
  switch (cell.Kind) {
    case TCellKind::Rk:
    case TCellKind::Number:
      into.kind = CellValue::Kind::Number;
      into.number = cell.Kind == TCellKind::Rk ? RkToDouble(cell.Rk) : cell.Number;
      into.text.clear();
      into.boolean = false;
      return;
    case TCellKind::LabelSst:
      into.kind = CellValue::Kind::String;
      into.number = 0;
      sst.Text(cell.Rk, into.text);
      into.boolean = false;
      return;
    default:
      into = CellValueOf(cell, sst);
      return;
  }
}

// ---- reading ---------------------------------------------------------------------------

namespace {

constexpr std::uint16_t kTypeGlobals = 0x0005;
constexpr std::uint16_t kTypeWorksheet = 0x0010;
constexpr std::uint16_t kTypeChart = 0x0020;

[[noreturn]] void ThrowPasswordProtected() { throw Error("File is password protected"); }

std::uint16_t BofType(const TRecordView& bof) {
  if (bof.Data.size() < 4) ThrowFileInvalid();
  if (Get16(bof.Data.data()) != 0x0600) throw Error("Template file is saved with an invalid Excel version");
  return Get16(bof.Data.data() + 2);
}

void RequireSize(const TRecordView& view, std::size_t size) {
  if (view.Data.size() < size) ThrowFileInvalid();
}

// Reads the records of a section after its BOF up to and including its EOF into `records`
// (nested BOF ... EOF substreams included), for sheets kept as record lists.
void ReadRecordList(TRecordReader& reader, std::vector<TBaseRecord>& records, TBaseRecord& eof) {
  int depth = 0;
  while (reader.Next()) {
    const std::uint16_t id = reader.Current().Id;
    if (id == rid::kFilePass) ThrowPasswordProtected();
    if (id == rid::kEof && depth == 0) {
      eof = reader.CurrentRecord();
      return;
    }
    if (id == rid::kBof) ++depth;
    if (id == rid::kEof) --depth;
    records.push_back(reader.CurrentRecord());
  }
  ThrowFileInvalid();  // the stream ended inside the section
}

// ---- globals ----

void ReadGlobals(TRecordReader& reader, TWorkbook& book) {
  TWorkbookGlobals& g = book.Globals;
  auto keep = [&g](TBaseRecord record) { g.Items.push_back({TGlobalSlot::Record, std::move(record)}); };
  while (reader.Next()) {
    const TRecordView& view = reader.Current();
    switch (view.Id) {
      case rid::kBof: ThrowFileInvalid();
      case rid::kEof:
        g.Eof = reader.CurrentRecord();
        return;
      case rid::kFilePass: ThrowPasswordProtected();
      case rid::kBoundSheet: {
        RequireSize(view, 8);
        TRecordCursor cursor(view);
        cursor.Skip(6);
        TBoundSheet sheet;
        sheet.Name = ReadXlString(cursor, false);
        for (const TBoundSheet& other : g.Sheets) {
          if (other.Name == sheet.Name) throw Error("Sheet name already exists: " + Utf16ToCp1252(sheet.Name));
        }
        sheet.Base = sheet.Name;
        sheet.Record = reader.CurrentRecord();
        g.Sheets.push_back(std::move(sheet));
        break;
      }
      case rid::kSst: g.SST.Load(view); break;
      case rid::kFont:
        if (g.FindSlot(TGlobalSlot::Fonts) < 0) g.Items.push_back({TGlobalSlot::Fonts, {}});
        g.Fonts.push_back(reader.CurrentRecord());
        break;
      case rid::kFormat: {
        if (g.FindSlot(TGlobalSlot::Formats) < 0) g.Items.push_back({TGlobalSlot::Formats, {}});
        RequireSize(view, 5);
        TRecordCursor cursor(view);
        TFormatEntry entry;
        entry.Index = cursor.U16();
        entry.Code = ReadXlString(cursor, true);
        entry.Record = reader.CurrentRecord();
        auto at = std::upper_bound(g.Formats.begin(), g.Formats.end(), entry.Index,
                                   [](int value, const TFormatEntry& e) { return value < e.Index; });
        g.Formats.insert(at, std::move(entry));
        break;
      }
      case rid::kXf: {
        if (g.FindSlot(TGlobalSlot::Xfs) < 0) g.Items.push_back({TGlobalSlot::Xfs, {}});
        TXfBytes xf{};
        std::memcpy(xf.data(), view.Data.data(), std::min<std::size_t>(xf.size(), view.Data.size()));
        g.XFs.push_back(xf);
        break;
      }
      case rid::kPalette:
        g.Palette = static_cast<int>(g.Items.size());
        keep(reader.CurrentRecord());
        break;
      case rid::kWindow1:
        g.Window1 = static_cast<int>(g.Items.size());
        keep(reader.CurrentRecord());
        break;
      case rid::kObProj:
        g.HasMacros = true;
        keep(reader.CurrentRecord());
        break;
      case rid::kCodeName: {
        TRecordCursor cursor(view);
        g.CodeName = ReadXlString(cursor, true);
        keep(reader.CurrentRecord());
        break;
      }
      case rid::kName: g.Names.push_back(reader.CurrentRecord()); break;
      case rid::kSupBook:
      case rid::kExternSheet:
      case rid::kExternName:
      case rid::kExternName2: g.ExternRefs.push_back(reader.CurrentRecord()); break;
      case rid::kMsoDrawingGroup: g.DrawingGroup.push_back(reader.CurrentRecord()); break;
      case rid::kIndex:
      case rid::kDbCell:
      case rid::kExtSst:
      case rid::kRecalcId:
      case rid::kMsoDrawingSelection:
      case rid::kXct:
      case rid::kCrn: break;
      default: keep(reader.CurrentRecord()); break;
    }
  }
  ThrowFileInvalid();
}

// ---- worksheets ----

struct SharedFormula {
  TCellRange range;
  std::vector<std::uint8_t> tokens;  // rgce
  std::vector<std::uint8_t> extra;   // rgcb
  TBaseRecord record;                // kept for cells that cannot be expanded
  bool needed = false;               // some cell still refers to it
};

class SheetReader {
 public:
  SheetReader(TRecordReader& reader, TWorkbook& book, TWorkSheet& sheet)
      : reader_(reader), sst_(book.Globals.SST), sheet_(sheet) {}

  void Read() {
    while (reader_.Next()) {
      const TRecordView& view = reader_.Current();
      if (view.Id == rid::kEof) {
        sheet_.Eof = reader_.CurrentRecord();
        ExpandSharedFormulas();
        return;
      }
      Handle(view);
    }
    ThrowFileInvalid();
  }

 private:
  void Keep() { (window2_seen_ ? sheet_.ListB : sheet_.ListA).push_back(reader_.CurrentRecord()); }

  void Handle(const TRecordView& view) {
    switch (view.Id) {
      case rid::kBof: ReadEmbeddedSubstream(); break;
      case rid::kFilePass: ThrowPasswordProtected();
      case rid::kRow: ReadRow(view); break;
      case rid::kLabelSst: {
        RequireSize(view, 10);
        const std::uint32_t index = Get32(view.Data.data() + 6);
        if (index >= sst_.EntryCount()) ThrowFileInvalid();
        TXlsCell& cell = NewCell(view);
        cell.Kind = TCellKind::LabelSst;
        cell.Rk = index;
        sst_.AddRef(index);
        break;
      }
      case rid::kLabel: {
        RequireSize(view, 9);
        TRecordCursor cursor(view);
        cursor.Skip(6);
        auto extra = std::make_unique<TCellExtra>();
        extra->Value = CellValue::String(ReadXlString(cursor, true));
        extra->Record = reader_.CurrentRecord();
        TXlsCell& cell = NewCell(view);
        cell.Kind = TCellKind::Label;
        cell.Extra = std::move(extra);
        break;
      }
      case rid::kNumber: {
        RequireSize(view, 14);
        TXlsCell& cell = NewCell(view);
        cell.Kind = TCellKind::Number;
        cell.Number = GetDouble(view.Data.data() + 6);
        break;
      }
      case rid::kRk: {
        RequireSize(view, 10);
        TXlsCell& cell = NewCell(view);
        cell.Kind = TCellKind::Rk;
        cell.Rk = Get32(view.Data.data() + 6);
        break;
      }
      case rid::kBlank: {
        RequireSize(view, 6);
        NewCell(view).Kind = TCellKind::Blank;
        break;
      }
      case rid::kBoolErr: {
        RequireSize(view, 8);
        TXlsCell& cell = NewCell(view);
        cell.Kind = TCellKind::BoolErr;
        cell.BoolErr = view.Data[6];
        cell.IsError = view.Data[7] != 0;
        break;
      }
      case rid::kRString: {
        RequireSize(view, 6);
        auto extra = std::make_unique<TCellExtra>();
        extra->Record = reader_.CurrentRecord();
        TXlsCell& cell = NewCell(view);
        cell.Kind = TCellKind::Opaque;
        cell.Extra = std::move(extra);
        break;
      }
      case rid::kFormula: ReadFormula(view); break;
      case rid::kMulRk: {
        RequireSize(view, 6);
        const int row = Get16(view.Data.data());
        const int first = Get16(view.Data.data() + 2);
        const std::size_t count = (view.Data.size() - 6) / 6;
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint8_t* p = view.Data.data() + 4 + 6 * i;
          TXlsCell& cell = PlaceCell(row, first + static_cast<int>(i), Get16(p));
          cell.Kind = TCellKind::Rk;
          cell.Rk = Get32(p + 2);
        }
        break;
      }
      case rid::kMulBlank: {
        RequireSize(view, 6);
        const int row = Get16(view.Data.data());
        const int first = Get16(view.Data.data() + 2);
        const std::size_t count = (view.Data.size() - 6) / 2;
        for (std::size_t i = 0; i < count; ++i) {
          PlaceCell(row, first + static_cast<int>(i), Get16(view.Data.data() + 4 + 2 * i)).Kind = TCellKind::Blank;
        }
        break;
      }
      case rid::kString: {
        TXlsCell* formula = LastFormula();
        if (!formula) ThrowFileInvalid();
        TRecordCursor cursor(view);
        std::u16string text = ReadXlString(cursor, true);
        if (formula->Extra->Value.kind == CellValue::Kind::String) formula->Extra->Value.text = std::move(text);
        break;
      }
      case rid::kShrFmla: ReadSharedFormula(); break;
      case rid::kArray:
      case rid::kTable: {
        TXlsCell* formula = LastFormula();
        if (!formula) ThrowFileInvalid();
        formula->Extra->Record.Attached.push_back(reader_.CurrentRecord());
        break;
      }
      case rid::kColInfo: ReadColInfo(view); break;
      case rid::kMergedCells: ReadMergedCells(view); break;
      case rid::kCondFmt:
      case rid::kCf: {
        TRangeItem item;
        item.Record = reader_.CurrentRecord();
        sheet_.Ranges.push_back(std::move(item));
        break;
      }
      case rid::kNote: sheet_.Notes.push_back(reader_.CurrentRecord()); break;
      case rid::kHLink:
      case rid::kHLinkTooltip: sheet_.Hyperlinks.push_back(reader_.CurrentRecord()); break;
      case rid::kHorizontalPageBreaks: sheet_.HPageBreaks.push_back(reader_.CurrentRecord()); break;
      case rid::kVerticalPageBreaks: sheet_.VPageBreaks.push_back(reader_.CurrentRecord()); break;
      case rid::kDimensions:
        if (view.Data.size() >= 12) {
          sheet_.DimFirstRow = Get32(view.Data.data());
          sheet_.DimLastRow1 = Get32(view.Data.data() + 4);
          sheet_.DimFirstCol = Get16(view.Data.data() + 8);
          sheet_.DimLastCol1 = Get16(view.Data.data() + 10);
        }
        break;
      case rid::kWindow2:
        window2_seen_ = true;
        Keep();
        break;
      case rid::kMsoDrawing:
      case rid::kObj:
      case rid::kTxo: sheet_.Drawing.push_back(reader_.CurrentRecord()); break;
      case rid::kCodeName: sheet_.CodeName = reader_.CurrentRecord(); break;
      case rid::kIndex:
      case rid::kDbCell:
      case rid::kExtSst:
      case rid::kRecalcId:
      case rid::kMsoDrawingSelection:
      case rid::kXct:
      case rid::kCrn: break;
      default: Keep(); break;
    }
  }

  // An embedded chart: a chart substream right after the OBJ record that anchors it. It is
  // kept with the drawing records, as read. Any other BOF inside a sheet is damage.
  void ReadEmbeddedSubstream() {
    const TRecordView& view = reader_.Current();
    if (sheet_.Drawing.empty() || sheet_.Drawing.back().Id != rid::kObj || BofType(view) != kTypeChart) {
      ThrowFileInvalid();
    }
    sheet_.Drawing.push_back(reader_.CurrentRecord());
    std::vector<TBaseRecord> records;
    TBaseRecord eof;
    ReadRecordList(reader_, records, eof);
    for (TBaseRecord& record : records) sheet_.Drawing.push_back(std::move(record));
    sheet_.Drawing.push_back(std::move(eof));
  }

  void ReadRow(const TRecordView& view) {
    RequireSize(view, 16);
    const int row = Get16(view.Data.data());
    if (row >= static_cast<int>(sheet_.Rows.size())) sheet_.Rows.resize(row + 1);
    TRowRecord& slot = sheet_.Rows[row];
    if (slot.Present) throw Error("Duplicated ROW record");
    slot.Present = true;
    std::memcpy(slot.Data.data(), view.Data.data(), slot.Data.size());
  }

  TXlsCell& NewCell(const TRecordView& view) {
    return PlaceCell(Get16(view.Data.data()), Get16(view.Data.data() + 2), Get16(view.Data.data() + 4));
  }

  // The cell at row, col with the XF, replacing a cell read before at the same place.
  TXlsCell& PlaceCell(int row, int col, std::uint16_t xf) {
    if (col >= kMaxColumns) ThrowFileInvalid();
    if (row >= static_cast<int>(sheet_.Cells.size())) sheet_.Cells.resize(row + 1);
    std::vector<TXlsCell>& cells = sheet_.Cells[row];
    if (cells.empty() && row < static_cast<int>(sheet_.Rows.size()) && sheet_.Rows[row].Present) {
      // The row's ROW record tells how many cells to expect.
      const TRowRecord& record = sheet_.Rows[row];
      cells.reserve(static_cast<std::size_t>(std::clamp(record.ColLast1() - record.ColFirst(), 1, kMaxColumns)));
    }
    TXlsCell* cell = nullptr;
    if (cells.empty() || cells.back().Col < col) {
      cell = &cells.emplace_back();
    } else {
      auto it = std::lower_bound(cells.begin(), cells.end(), col, [](const TXlsCell& c, int v) { return c.Col < v; });
      if (it != cells.end() && it->Col == col) {
        if (it->Kind == TCellKind::LabelSst) sst_.Release(it->Rk);
        *it = TXlsCell{};
      } else {
        it = cells.insert(it, TXlsCell{});
      }
      cell = &*it;
    }
    cell->Col = static_cast<std::uint16_t>(col);
    cell->XF = xf;
    return *cell;
  }

  TXlsCell* LastFormula() {
    if (formula_row_ < 0) return nullptr;
    TXlsCell* cell = sheet_.FindCell(formula_row_, formula_col_);
    return cell && cell->Kind == TCellKind::Formula ? cell : nullptr;
  }

  // [MS-XLS] 2.4.127 Formula
  void ReadFormula(const TRecordView& view) {
    RequireSize(view, 20);
    auto extra = std::make_unique<TCellExtra>();
    extra->Record = reader_.CurrentRecord();
    std::vector<std::uint8_t>& data = extra->Record.Data;
    extra->Value = FormulaResult(data.data() + 6);
    // Prepared for writing: the result becomes #NULL! and the formula is calculated when
    // the saved file is opened.
    const std::uint8_t null_result[8] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(data.data() + 6, null_result, 8);
    data[14] |= 0x02;
    std::memset(data.data() + 16, 0, 4);

    const int row = Get16(data.data());
    const int col = Get16(data.data() + 2);
    const bool shared_reference = data.size() >= 27 && Get16(data.data() + 20) == 5 && data[22] == 0x01;
    TXlsCell& cell = NewCell(view);
    cell.Kind = TCellKind::Formula;
    cell.Extra = std::move(extra);
    formula_row_ = row;
    formula_col_ = col;
    if (shared_reference) pending_.push_back({row, col});
  }

  // [MS-XLS] 2.4.260 ShrFmla
  void ReadSharedFormula() {
    if (!LastFormula()) ThrowFileInvalid();
    const std::vector<std::uint8_t> data = reader_.CurrentRecord().JoinedData();
    if (data.size() < 10) ThrowFileInvalid();
    SharedFormula shared;
    shared.range.FirstRow = Get16(data.data());
    shared.range.LastRow = Get16(data.data() + 2);
    shared.range.FirstCol = data[4];
    shared.range.LastCol = data[5];
    const std::size_t length = Get16(data.data() + 8);
    if (10 + length > data.size()) ThrowFileInvalid();
    shared.tokens.assign(data.begin() + 10, data.begin() + 10 + static_cast<std::ptrdiff_t>(length));
    shared.extra.assign(data.begin() + 10 + static_cast<std::ptrdiff_t>(length), data.end());
    shared.record = reader_.CurrentRecord();
    shared_[{formula_row_, formula_col_}] = std::move(shared);
  }

  // Every formula whose tokens are only a PtgExp to a shared formula gets that formula's
  // tokens, made absolute for its cell. A PtgExp of an array formula stays as it is (with
  // the array's record); so does one of a shared formula this walker cannot rewrite, and
  // that SHRFMLA record is then kept after its first formula, as it was read.
  void ExpandSharedFormulas() {
    std::vector<std::uint8_t> tokens;
    for (const auto& [row, col] : pending_) {
      TXlsCell* cell = sheet_.FindCell(row, col);
      if (!cell || cell->Kind != TCellKind::Formula) continue;
      std::vector<std::uint8_t>& data = cell->Extra->Record.Data;
      const int anchor_row = Get16(data.data() + 23);
      const int anchor_col = Get16(data.data() + 25);
      auto it = shared_.find({anchor_row, anchor_col});
      if (it == shared_.end()) continue;
      const SharedFormula& shared = it->second;
      if (row < shared.range.FirstRow || row > shared.range.LastRow || col < shared.range.FirstCol ||
          col > shared.range.LastCol) {
        continue;
      }
      SharedFormula& entry = it->second;
      if (!ExpandSharedTokens(shared.tokens, row, col, tokens) || tokens.size() > 0xFFFF) {
        entry.needed = true;
        continue;
      }
      std::vector<std::uint8_t> rebuilt(data.begin(), data.begin() + 20);
      rebuilt[14] &= static_cast<std::uint8_t>(~0x08);  // no longer part of a shared formula
      rebuilt.push_back(static_cast<std::uint8_t>(tokens.size()));
      rebuilt.push_back(static_cast<std::uint8_t>(tokens.size() >> 8));
      rebuilt.insert(rebuilt.end(), tokens.begin(), tokens.end());
      rebuilt.insert(rebuilt.end(), shared.extra.begin(), shared.extra.end());
      if (rebuilt.size() > kMaxRecordData) {
        entry.needed = true;
        continue;
      }
      cell->Extra->Record.Continues.clear();
      data = std::move(rebuilt);
    }
    for (auto& [anchor, shared] : shared_) {
      if (!shared.needed) continue;
      TXlsCell* cell = sheet_.FindCell(anchor.first, anchor.second);
      if (cell && cell->Kind == TCellKind::Formula) cell->Extra->Record.Attached.push_back(std::move(shared.record));
    }
  }

  void ReadColInfo(const TRecordView& view) {
    RequireSize(view, 10);
    const int first = Get16(view.Data.data());
    const int last = std::min<int>(Get16(view.Data.data() + 2), kMaxColumns - 1);
    TColInfo info;
    info.Present = true;
    info.Width = Get16(view.Data.data() + 4);
    info.Xf = Get16(view.Data.data() + 6);
    info.Flags = Get16(view.Data.data() + 8);
    info.Reserved = view.Data.size() >= 12 ? Get16(view.Data.data() + 10) : 0;
    for (int col = first; col <= last; ++col) sheet_.Columns[col] = info;
  }

  // [MS-XLS] 2.4.168 MergeCells
  void ReadMergedCells(const TRecordView& view) {
    RequireSize(view, 2);
    const std::size_t count = Get16(view.Data.data());
    if (2 + count * 8 > view.Data.size()) ThrowFileInvalid();
    TRangeItem item;
    item.Merged = true;
    item.Ranges.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* p = view.Data.data() + 2 + 8 * i;
      TCellRange range;
      range.FirstRow = Get16(p);
      range.LastRow = Get16(p + 2);
      range.FirstCol = Get16(p + 4);
      range.LastCol = Get16(p + 6);
      item.Ranges.push_back(range);
    }
    sheet_.Ranges.push_back(std::move(item));
  }

  TRecordReader& reader_;
  TSST& sst_;
  TWorkSheet& sheet_;
  bool window2_seen_ = false;
  int formula_row_ = -1, formula_col_ = -1;
  std::vector<std::pair<int, int>> pending_;
  std::map<std::pair<int, int>, SharedFormula> shared_;
};

}  // namespace

std::unique_ptr<TWorkSheet> ReadWorksheetSection(std::span<const std::uint8_t> records, TWorkbook& book) {
  TRecordReader reader(records);
  if (!reader.Next() || reader.Current().Id != rid::kBof || BofType(reader.Current()) != kTypeWorksheet) {
    ThrowFileInvalid();
  }
  auto sheet = std::make_unique<TWorkSheet>();
  sheet->Bof = reader.CurrentRecord();
  SheetReader(reader, book, *sheet).Read();
  return sheet;
}

void LoadWorkbook(std::span<const std::uint8_t> stream, TWorkbook& book) {
  TRecordReader reader(stream);
  bool globals_read = false;
  while (reader.Next()) {
    const TRecordView& view = reader.Current();
    if (view.Id == rid::kEof) continue;
    if (view.Id == rid::kFilePass) ThrowPasswordProtected();
    if (view.Id != rid::kBof) ThrowFileInvalid();
    const std::uint16_t type = BofType(view);
    if (type == kTypeGlobals) {
      if (globals_read) ThrowFileInvalid();
      globals_read = true;
      book.Globals.Bof = reader.CurrentRecord();
      ReadGlobals(reader, book);
    } else if (type == kTypeWorksheet) {
      auto sheet = std::make_unique<TWorkSheet>();
      sheet->Bof = reader.CurrentRecord();
      SheetReader(reader, book, *sheet).Read();
      book.Sheets.push_back(std::move(sheet));
    } else {
      std::unique_ptr<TRecordListSheet> sheet;
      if (type == kTypeChart) {
        sheet = std::make_unique<TChartSheet>();
      } else {
        sheet = std::make_unique<TUnsupportedSheet>();
      }
      sheet->Bof = reader.CurrentRecord();
      ReadRecordList(reader, sheet->Records, sheet->Eof);
      book.Sheets.push_back(std::move(sheet));
    }
  }
  // Without a globals section (an empty stream, or sheets only) there is no workbook.
  if (!globals_read) ThrowFileInvalid();
  TWorkbookGlobals& g = book.Globals;
  g.AfterXfOrStyle = -1;
  for (std::size_t i = 0; i < g.Items.size(); ++i) {
    if (g.Items[i].Slot == TGlobalSlot::Xfs || (g.Items[i].Slot == TGlobalSlot::Record && g.Items[i].Record.Id == rid::kStyle)) {
      g.AfterXfOrStyle = static_cast<int>(i + 1);
    }
  }
}

}  // namespace ln40::xls
