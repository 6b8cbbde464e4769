// The full load: the model of a workbook built from the calls of the record decoder
// (workbook_decoder.h), shared formulas made absolute, and the helpers of the model types.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "workbook_decoder.h"
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

// ---- the model built from the decoder's calls ------------------------------------------

namespace {

struct SharedTokens {
  TCellRange range;
  std::vector<std::uint8_t> tokens;  // rgce
  std::vector<std::uint8_t> extra;   // rgcb
  TBaseRecord record;                // kept for cells that cannot be expanded
  bool needed = false;               // some cell still refers to it
};

// The full load's sink: every sheet as the model holds it. What the decoder does not
// interpret, and the records a cell keeps, are taken from the decoder as they are.
class ModelBuilder final : public TSheetSink {
 public:
  ModelBuilder(const TWorkbookDecoder& decoder, TSST& sst) : records_(decoder.Records()), sst_(sst) {}

  std::vector<std::unique_ptr<TSheet>> TakeSheets() { return std::move(sheets_); }

  void BeginSheet(int /*sheet*/, TXlsSheetKind kind) override {
    work_ = nullptr;
    list_ = nullptr;
    std::unique_ptr<TSheet> sheet;
    if (kind == TXlsSheetKind::Worksheet) {
      auto work = std::make_unique<TWorkSheet>();
      work_ = work.get();
      sheet = std::move(work);
    } else {
      std::unique_ptr<TRecordListSheet> list;
      if (kind == TXlsSheetKind::Chart) {
        list = std::make_unique<TChartSheet>();
      } else {
        list = std::make_unique<TUnsupportedSheet>();
      }
      list_ = list.get();
      sheet = std::move(list);
    }
    sheet->Bof = records_.CurrentRecord();
    sheets_.push_back(std::move(sheet));
    window2_seen_ = false;
    pending_.clear();
    shared_.clear();
  }

  void EndSheet() override {
    sheets_.back()->Eof = records_.CurrentRecord();
    if (!work_) return;
    ExpandSharedFormulas();
    // The row list reaches every row with cells, with or without a ROW record of its own:
    // some writers give none, and the sheet is written back so.
    if (work_->Rows.size() < work_->Cells.size()) work_->Rows.resize(work_->Cells.size());
  }

  void Cell(const TSheetCell& cell) override {
    TXlsCell& placed = PlaceCell(cell.Row, cell.Col, static_cast<std::uint16_t>(cell.Xf));
    switch (cell.From) {
      case TSheetCell::Source::Blank: placed.Kind = TCellKind::Blank; break;
      case TSheetCell::Source::Rk:
        placed.Kind = TCellKind::Rk;
        placed.Rk = cell.Raw;
        break;
      case TSheetCell::Source::Number:
        placed.Kind = TCellKind::Number;
        placed.Number = cell.Value->number;
        break;
      case TSheetCell::Source::SharedString:
        placed.Kind = TCellKind::LabelSst;
        placed.Rk = cell.Raw;
        sst_.AddRef(cell.Raw);
        break;
      case TSheetCell::Source::Label:
        placed.Kind = TCellKind::Label;
        placed.Extra = KeptCell(*cell.Value);
        break;
      case TSheetCell::Source::BoolErr:
        placed.Kind = TCellKind::BoolErr;
        placed.BoolErr = static_cast<std::uint8_t>(cell.Raw);
        placed.IsError = cell.IsError;
        break;
      case TSheetCell::Source::Formula: PlaceFormula(cell, placed); break;
      case TSheetCell::Source::RichString:
        placed.Kind = TCellKind::Opaque;
        placed.Extra = KeptCell(CellValue::Empty());
        break;
    }
  }

  void FormulaText(int row, int col, const std::u16string& text) override {
    Formula(row, col).Extra->Value.text = text;
  }

  void SharedFormula(int row, int col, const TSharedFormula& formula) override {
    SharedTokens& shared = shared_[{row, col}];
    shared.range = formula.Range;
    shared.tokens.assign(formula.Tokens.begin(), formula.Tokens.end());
    shared.extra.assign(formula.Extra.begin(), formula.Extra.end());
    shared.record = records_.CurrentRecord();
    shared.needed = false;
  }

  void FormulaPart(int row, int col, std::uint16_t /*id*/) override {
    Formula(row, col).Extra->Record.Attached.push_back(records_.CurrentRecord());
  }

  // A later ROW record for a row replaces the earlier one.
  void Row(int row) override {
    if (row >= static_cast<int>(work_->Rows.size())) work_->Rows.resize(row + 1);
    TRowRecord& slot = work_->Rows[row];
    slot.Present = true;
    std::memcpy(slot.Data.data(), records_.Current().Data.data(), slot.Data.size());
  }

  void ColumnInfo(const TColumnInfo& info) override {
    const TColInfo column{true, info.Width, info.Xf, info.Flags, info.Reserved};
    for (int col = info.First; col <= info.Last; ++col) work_->Columns[col] = column;
  }

  void Dimensions(std::uint32_t first_row, std::uint32_t last_row1, int first_col, int last_col1) override {
    work_->DimFirstRow = first_row;
    work_->DimLastRow1 = last_row1;
    work_->DimFirstCol = static_cast<std::uint16_t>(first_col);
    work_->DimLastCol1 = static_cast<std::uint16_t>(last_col1);
  }

  void MergedRanges(std::span<const TCellRange> ranges) override {
    TRangeItem item;
    item.Merged = true;
    item.Ranges.assign(ranges.begin(), ranges.end());
    work_->Ranges.push_back(std::move(item));
  }

  void OtherRecord(std::uint16_t id, bool embedded) override {
    if (list_) {
      list_->Records.push_back(records_.CurrentRecord());
      return;
    }
    if (embedded) {
      work_->Drawing.push_back(records_.CurrentRecord());
      return;
    }
    switch (id) {
      case rid::kCondFmt:
      case rid::kCf: {
        TRangeItem item;
        item.Record = records_.CurrentRecord();
        work_->Ranges.push_back(std::move(item));
        break;
      }
      case rid::kNote: work_->Notes.push_back(records_.CurrentRecord()); break;
      case rid::kHLink:
      case rid::kHLinkTooltip: work_->Hyperlinks.push_back(records_.CurrentRecord()); break;
      case rid::kHorizontalPageBreaks: work_->HPageBreaks.push_back(records_.CurrentRecord()); break;
      case rid::kVerticalPageBreaks: work_->VPageBreaks.push_back(records_.CurrentRecord()); break;
      case rid::kWindow2:
        window2_seen_ = true;
        Keep();
        break;
      case rid::kMsoDrawing:
      case rid::kObj:
      case rid::kTxo: work_->Drawing.push_back(records_.CurrentRecord()); break;
      case rid::kCodeName: work_->CodeName = records_.CurrentRecord(); break;
      default:
        if (!IsRecordWrittenAnew(id)) Keep();
        break;
    }
  }

 private:
  void Keep() { (window2_seen_ ? work_->ListB : work_->ListA).push_back(records_.CurrentRecord()); }

  std::unique_ptr<TCellExtra> KeptCell(const CellValue& value) {
    auto extra = std::make_unique<TCellExtra>();
    extra->Record = records_.CurrentRecord();
    extra->Value = value;
    return extra;
  }

  // The cell at row, col with the XF, replacing a cell read before at the same place.
  TXlsCell& PlaceCell(int row, int col, std::uint16_t xf) {
    std::vector<std::vector<TXlsCell>>& rows = work_->Cells;
    if (row >= static_cast<int>(rows.size())) rows.resize(row + 1);
    std::vector<TXlsCell>& cells = rows[row];
    // Mostly as many cells as the row before: room for them at once spares the growing
    // steps, and stays small in a sparse sheet.
    if (cells.empty() && row > 0) cells.reserve(rows[row - 1].size());
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

  // The formula cell the decoder names: it stands, as the decoder has checked.
  TXlsCell& Formula(int row, int col) { return *work_->FindCell(row, col); }

  // [MS-XLS] 2.4.127 Formula, kept prepared for writing: the result becomes #NULL! and the
  // formula is calculated when the saved file is opened.
  void PlaceFormula(const TSheetCell& cell, TXlsCell& placed) {
    std::unique_ptr<TCellExtra> extra = KeptCell(*cell.Value);
    std::vector<std::uint8_t>& data = extra->Record.Data;
    const std::uint8_t null_result[8] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF};
    std::memcpy(data.data() + 6, null_result, 8);
    data[14] |= 0x02;
    std::memset(data.data() + 16, 0, 4);
    const bool shared_reference = data.size() >= 27 && Get16(data.data() + 20) == 5 && data[22] == 0x01;
    placed.Kind = TCellKind::Formula;
    placed.Extra = std::move(extra);
    if (shared_reference) pending_.push_back({cell.Row, cell.Col});
  }

  // Every formula whose tokens are only a PtgExp to a shared formula gets that formula's
  // tokens, made absolute for its cell. A PtgExp of an array formula stays as it is (with
  // the array's record); so does one of a shared formula this walker cannot rewrite, and
  // that SHRFMLA record is then kept after its first formula, as it was read.
  void ExpandSharedFormulas() {
    std::vector<std::uint8_t> tokens;
    for (const auto& [row, col] : pending_) {
      TXlsCell* cell = work_->FindCell(row, col);
      if (!cell || cell->Kind != TCellKind::Formula) continue;
      std::vector<std::uint8_t>& data = cell->Extra->Record.Data;
      const int anchor_row = Get16(data.data() + 23);
      const int anchor_col = Get16(data.data() + 25);
      auto it = shared_.find({anchor_row, anchor_col});
      if (it == shared_.end()) continue;
      SharedTokens& shared = it->second;
      if (row < shared.range.FirstRow || row > shared.range.LastRow || col < shared.range.FirstCol ||
          col > shared.range.LastCol) {
        continue;
      }
      if (!ExpandSharedTokens(shared.tokens, row, col, tokens) || tokens.size() > 0xFFFF) {
        shared.needed = true;
        continue;
      }
      std::vector<std::uint8_t> rebuilt(data.begin(), data.begin() + 20);
      rebuilt[14] &= static_cast<std::uint8_t>(~0x08);  // no longer part of a shared formula
      rebuilt.push_back(static_cast<std::uint8_t>(tokens.size()));
      rebuilt.push_back(static_cast<std::uint8_t>(tokens.size() >> 8));
      rebuilt.insert(rebuilt.end(), tokens.begin(), tokens.end());
      rebuilt.insert(rebuilt.end(), shared.extra.begin(), shared.extra.end());
      if (rebuilt.size() > kMaxRecordData) {
        shared.needed = true;
        continue;
      }
      cell->Extra->Record.Continues.clear();
      data = std::move(rebuilt);
    }
    for (auto& [anchor, shared] : shared_) {
      if (!shared.needed) continue;
      TXlsCell* cell = work_->FindCell(anchor.first, anchor.second);
      if (cell && cell->Kind == TCellKind::Formula) cell->Extra->Record.Attached.push_back(std::move(shared.record));
    }
  }

  const TRecordReader& records_;
  TSST& sst_;
  std::vector<std::unique_ptr<TSheet>> sheets_;
  TWorkSheet* work_ = nullptr;        // the sheet being read, when a worksheet
  TRecordListSheet* list_ = nullptr;  // or when a chart or other sheet
  bool window2_seen_ = false;
  std::vector<std::pair<int, int>> pending_;  // formulas that refer to a shared formula
  std::map<std::pair<int, int>, SharedTokens> shared_;
};

}  // namespace

std::unique_ptr<TWorkSheet> ReadWorksheetSection(std::span<const std::uint8_t> records, TWorkbook& book) {
  TWorkbookDecoder decoder(records, book.Globals, true);
  ModelBuilder builder(decoder, book.Globals.SST);
  decoder.DecodeWorksheetSection(builder);
  std::unique_ptr<TSheet> sheet = std::move(builder.TakeSheets().front());
  return std::unique_ptr<TWorkSheet>(static_cast<TWorkSheet*>(sheet.release()));
}

void LoadWorkbook(std::span<const std::uint8_t> stream, TWorkbook& book) {
  TWorkbookDecoder decoder(stream, book.Globals, true);
  ModelBuilder builder(decoder, book.Globals.SST);
  decoder.Decode(builder);
  book.Sheets = builder.TakeSheets();
  TWorkbookGlobals& g = book.Globals;
  g.AfterXfOrStyle = -1;
  for (std::size_t i = 0; i < g.Items.size(); ++i) {
    if (g.Items[i].Slot == TGlobalSlot::Xfs || (g.Items[i].Slot == TGlobalSlot::Record && g.Items[i].Record.Id == rid::kStyle)) {
      g.AfterXfOrStyle = static_cast<int>(i + 1);
    }
  }
}

}  // namespace ln40::xls
