#include "workbook_decoder.h"

#include <algorithm>
#include <cstring>

#include "text/codepage.h"
#include "text/error.h"
#include "xls_strings.h"

namespace ln40::xls {
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

// The value as a number, a string whose text the caller fills in, or nothing; the text's
// room is kept for the next cell.
void SetNumber(CellValue& value, double number) {
  value.kind = CellValue::Kind::Number;
  value.number = number;
  value.text.clear();
  value.boolean = false;
}

void SetString(CellValue& value) {
  value.kind = CellValue::Kind::String;
  value.number = 0;
  value.boolean = false;
}

void SetEmpty(CellValue& value) {
  value.kind = CellValue::Kind::Empty;
  value.number = 0;
  value.text.clear();
  value.boolean = false;
}

}  // namespace

TWorkbookDecoder::TWorkbookDecoder(std::span<const std::uint8_t> stream, TWorkbookGlobals& globals,
                                   bool keep_records)
    : stream_(stream), globals_(globals), keep_records_(keep_records), reader_(stream) {
  cell_.Value = &value_;
}

// ---- sections --------------------------------------------------------------------------

// The globals once, and the sheets in any order around them; between sections only EOF
// records (the zero padding after the last one ends the stream).
void TWorkbookDecoder::Decode(TSheetSink& sink) {
  reader_ = TRecordReader(stream_);
  sheet_offsets_.clear();
  bool globals_read = false;
  while (reader_.Next()) {
    const TRecordView& view = reader_.Current();
    if (view.Id == rid::kEof) continue;
    if (view.Id == rid::kFilePass) ThrowPasswordProtected();
    if (view.Id != rid::kBof) ThrowFileInvalid();
    const std::uint16_t type = BofType(view);
    if (type == kTypeGlobals) {
      if (globals_read) ThrowFileInvalid();
      globals_read = true;
      if (keep_records_) globals_.Bof = reader_.CurrentRecord();
      ReadGlobals();
    } else {
      sheet_offsets_.push_back(view.Offset);
      ReadSheet(static_cast<int>(sheet_offsets_.size()), type, sink);
    }
  }
  // Without a globals section (an empty stream, or sheets only) there is no workbook.
  if (!globals_read) ThrowFileInvalid();
}

void TWorkbookDecoder::DecodeSheetAgain(int sheet, TSheetSink& sink) {
  if (sheet < 1 || sheet > static_cast<int>(sheet_offsets_.size())) return;
  reader_ = TRecordReader(stream_.subspan(sheet_offsets_[static_cast<std::size_t>(sheet - 1)]));
  reader_.Next();
  ReadSheet(sheet, BofType(reader_.Current()), sink);
}

void TWorkbookDecoder::DecodeWorksheetSection(TSheetSink& sink) {
  reader_ = TRecordReader(stream_);
  if (!reader_.Next() || reader_.Current().Id != rid::kBof || BofType(reader_.Current()) != kTypeWorksheet) {
    ThrowFileInvalid();
  }
  ReadSheet(1, kTypeWorksheet, sink);
}

void TWorkbookDecoder::ReadSheet(int sheet, std::uint16_t type, TSheetSink& sink) {
  values_ = sink.WantsValues();
  SetEmpty(value_);
  const TXlsSheetKind kind = type == kTypeWorksheet ? TXlsSheetKind::Worksheet
                             : type == kTypeChart   ? TXlsSheetKind::Chart
                                                    : TXlsSheetKind::Unsupported;
  sink.BeginSheet(sheet, kind);
  if (kind == TXlsSheetKind::Worksheet) {
    ReadWorksheet(sink);
  } else {
    ReadRecordList(sink, false);
    sink.EndSheet();
  }
}

void TWorkbookDecoder::ReadRecordList(TSheetSink& sink, bool embedded) {
  int depth = 0;
  while (reader_.Next()) {
    const std::uint16_t id = reader_.Current().Id;
    if (id == rid::kFilePass) ThrowPasswordProtected();
    if (id == rid::kEof && depth == 0) {
      if (embedded) sink.OtherRecord(id, true);
      return;
    }
    if (id == rid::kBof) ++depth;
    if (id == rid::kEof) --depth;
    sink.OtherRecord(id, embedded);
  }
  ThrowFileInvalid();  // the stream ended inside the section
}

// ---- globals ---------------------------------------------------------------------------

void TWorkbookDecoder::ReadGlobals() {
  TWorkbookGlobals& g = globals_;
  const auto keep = [&](TGlobalSlot slot = TGlobalSlot::Record) {
    if (!keep_records_) return;
    if (slot == TGlobalSlot::Record) {
      g.Items.push_back({slot, reader_.CurrentRecord()});
    } else if (g.FindSlot(slot) < 0) {
      g.Items.push_back({slot, {}});
    }
  };
  const auto kept = [&] { return keep_records_ ? reader_.CurrentRecord() : TBaseRecord(); };
  while (reader_.Next()) {
    const TRecordView& view = reader_.Current();
    switch (view.Id) {
      case rid::kBof: ThrowFileInvalid();
      case rid::kEof:
        if (keep_records_) g.Eof = reader_.CurrentRecord();
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
        sheet.Record = kept();
        g.Sheets.push_back(std::move(sheet));
        break;
      }
      case rid::kSst: g.SST.Load(view); break;
      case rid::kFont:
        keep(TGlobalSlot::Fonts);
        if (keep_records_) g.Fonts.push_back(reader_.CurrentRecord());
        break;
      case rid::kFormat: {
        keep(TGlobalSlot::Formats);
        RequireSize(view, 5);
        TRecordCursor cursor(view);
        TFormatEntry entry;
        entry.Index = cursor.U16();
        entry.Code = ReadXlString(cursor, true);
        entry.Record = kept();
        // After those of the same index, so that the first of them is the one found.
        auto at = std::upper_bound(g.Formats.begin(), g.Formats.end(), entry.Index,
                                   [](int value, const TFormatEntry& e) { return value < e.Index; });
        g.Formats.insert(at, std::move(entry));
        break;
      }
      case rid::kXf: {
        keep(TGlobalSlot::Xfs);
        TXfBytes xf{};
        std::memcpy(xf.data(), view.Data.data(), std::min<std::size_t>(xf.size(), view.Data.size()));
        g.XFs.push_back(xf);
        break;
      }
      // [MS-XLS] 2.4.77 Date1904: 1 when the serials count from 1904.
      case rid::kDateMode:
        g.Dates = view.Data.size() >= 2 && Get16(view.Data.data()) == 1 ? DateSystem::d1904 : DateSystem::d1900;
        keep();
        break;
      case rid::kPalette:
        g.Palette = static_cast<int>(g.Items.size());
        keep();
        break;
      case rid::kWindow1:
        g.Window1 = static_cast<int>(g.Items.size());
        keep();
        break;
      case rid::kObProj:
        g.HasMacros = true;
        keep();
        break;
      case rid::kCodeName: {
        TRecordCursor cursor(view);
        g.CodeName = ReadXlString(cursor, true);
        keep();
        break;
      }
      case rid::kName:
        if (keep_records_) g.Names.push_back(reader_.CurrentRecord());
        break;
      case rid::kSupBook:
      case rid::kExternSheet:
      case rid::kExternName:
      case rid::kExternName2:
        if (keep_records_) g.ExternRefs.push_back(reader_.CurrentRecord());
        break;
      case rid::kMsoDrawingGroup:
        if (keep_records_) g.DrawingGroup.push_back(reader_.CurrentRecord());
        break;
      default:
        if (!IsRecordWrittenAnew(view.Id)) keep();
        break;
    }
  }
  ThrowFileInvalid();
}

// ---- worksheets ------------------------------------------------------------------------

void TWorkbookDecoder::ReadWorksheet(TSheetSink& sink) {
  formula_row_ = formula_col_ = -1;
  formula_has_text_ = false;
  last_drawing_ = 0;
  while (reader_.Next()) {
    const TRecordView& view = reader_.Current();
    switch (view.Id) {
      case rid::kEof: sink.EndSheet(); return;
      case rid::kBof: ReadEmbeddedSubstream(sink); break;
      case rid::kFilePass: ThrowPasswordProtected();
      case rid::kLabelSst:
      case rid::kLabel:
      case rid::kNumber:
      case rid::kRk:
      case rid::kBlank:
      case rid::kBoolErr:
      case rid::kRString:
      case rid::kFormula: ReadCellRecord(view, sink); break;
      case rid::kMulRk:
      case rid::kMulBlank: ReadMultipleCells(view, sink); break;
      case rid::kString:
      case rid::kShrFmla:
      case rid::kArray:
      case rid::kTable: ReadFormulaParts(view, sink); break;
      case rid::kRow:
        RequireSize(view, 16);
        sink.Row(Get16(view.Data.data()));
        break;
      case rid::kColInfo: {
        RequireSize(view, 10);
        const std::uint8_t* data = view.Data.data();
        TColumnInfo info;
        info.First = Get16(data);
        info.Last = std::min<int>(Get16(data + 2), kMaxColumns - 1);
        info.Width = Get16(data + 4);
        info.Xf = Get16(data + 6);
        info.Flags = Get16(data + 8);
        info.Reserved = view.Data.size() >= 12 ? Get16(data + 10) : 0;
        sink.ColumnInfo(info);
        break;
      }
      // [MS-XLS] 2.4.168 MergeCells
      case rid::kMergedCells: {
        RequireSize(view, 2);
        const std::size_t count = Get16(view.Data.data());
        if (2 + count * 8 > view.Data.size()) ThrowFileInvalid();
        ranges_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint8_t* p = view.Data.data() + 2 + 8 * i;
          ranges_[i] = {Get16(p), Get16(p + 2), Get16(p + 4), Get16(p + 6)};
        }
        sink.MergedRanges(ranges_);
        break;
      }
      case rid::kDimensions:
        if (view.Data.size() >= 12) {
          const std::uint8_t* data = view.Data.data();
          sink.Dimensions(Get32(data), Get32(data + 4), Get16(data + 8), Get16(data + 10));
        }
        break;
      case rid::kMsoDrawing:
      case rid::kObj:
      case rid::kTxo:
        last_drawing_ = view.Id;
        sink.OtherRecord(view.Id, false);
        break;
      default: sink.OtherRecord(view.Id, false); break;
    }
  }
  ThrowFileInvalid();
}

void TWorkbookDecoder::PlaceCell(TSheetSink& sink, int row, int col, int xf) {
  if (col >= kMaxColumns) ThrowFileInvalid();
  if (row == formula_row_ && col == formula_col_) formula_row_ = formula_col_ = -1;
  cell_.Row = row;
  cell_.Col = col;
  cell_.Xf = xf;
  sink.Cell(cell_);
}

// [MS-XLS] 2.4.149 LabelSst, 2.4.148 Label, 2.4.180 Number, 2.4.220 RK, 2.4.20 Blank,
// 2.4.24 BoolErr, 2.4.223 RString, 2.4.127 Formula: row, column and XF, then the value,
// decoded when the sink wants values.
void TWorkbookDecoder::ReadCellRecord(const TRecordView& view, TSheetSink& sink) {
  const std::uint8_t* data = view.Data.data();
  cell_.Raw = 0;
  cell_.IsError = false;
  switch (view.Id) {
    case rid::kLabelSst:
      RequireSize(view, 10);
      cell_.From = TSheetCell::Source::SharedString;
      cell_.Raw = Get32(data + 6);
      if (cell_.Raw >= globals_.SST.EntryCount()) ThrowFileInvalid();
      if (values_) {
        SetString(value_);
        globals_.SST.Text(cell_.Raw, value_.text);
      }
      break;
    case rid::kLabel: {
      RequireSize(view, 9);
      cell_.From = TSheetCell::Source::Label;
      // Read in any case: the text may be damaged.
      TRecordCursor cursor(view);
      cursor.Skip(6);
      SetString(value_);
      ReadXlString(cursor, true, value_.text);
      if (!values_) SetEmpty(value_);
      break;
    }
    case rid::kNumber:
      RequireSize(view, 14);
      cell_.From = TSheetCell::Source::Number;
      if (values_) SetNumber(value_, GetDouble(data + 6));
      break;
    case rid::kRk:
      RequireSize(view, 10);
      cell_.From = TSheetCell::Source::Rk;
      cell_.Raw = Get32(data + 6);
      if (values_) SetNumber(value_, RkToDouble(cell_.Raw));
      break;
    case rid::kBlank:
      RequireSize(view, 6);
      cell_.From = TSheetCell::Source::Blank;
      SetEmpty(value_);
      break;
    case rid::kBoolErr:
      RequireSize(view, 8);
      cell_.From = TSheetCell::Source::BoolErr;
      cell_.Raw = data[6];
      cell_.IsError = data[7] != 0;
      if (values_) value_ = BoolErrValue(data[6], cell_.IsError);
      break;
    case rid::kRString:  // its text is not read: the cell shows nothing
      RequireSize(view, 6);
      cell_.From = TSheetCell::Source::RichString;
      SetEmpty(value_);
      break;
    case rid::kFormula:
      RequireSize(view, 20);
      cell_.From = TSheetCell::Source::Formula;
      if (values_) value_ = FormulaResult(data + 6);
      break;
  }
  const int row = Get16(data);
  const int col = Get16(data + 2);
  PlaceCell(sink, row, col, Get16(data + 4));
  if (view.Id == rid::kFormula) {
    formula_row_ = row;
    formula_col_ = col;
    formula_has_text_ = FormulaResult(data + 6).kind == CellValue::Kind::String;
  }
}

// [MS-XLS] 2.4.181 MulRk, 2.4.180 MulBlank: row, first column, then an XF (and an RK value)
// per cell.
void TWorkbookDecoder::ReadMultipleCells(const TRecordView& view, TSheetSink& sink) {
  RequireSize(view, 6);
  const std::uint8_t* data = view.Data.data();
  const int row = Get16(data);
  const int first = Get16(data + 2);
  cell_.IsError = false;
  SetEmpty(value_);
  if (view.Id == rid::kMulRk) {
    cell_.From = TSheetCell::Source::Rk;
    const std::size_t count = (view.Data.size() - 6) / 6;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* p = data + 4 + 6 * i;
      cell_.Raw = Get32(p + 2);
      if (values_) SetNumber(value_, RkToDouble(cell_.Raw));
      PlaceCell(sink, row, first + static_cast<int>(i), Get16(p));
    }
  } else {
    cell_.From = TSheetCell::Source::Blank;
    cell_.Raw = 0;
    const std::size_t count = (view.Data.size() - 6) / 2;
    for (std::size_t i = 0; i < count; ++i) PlaceCell(sink, row, first + static_cast<int>(i), Get16(data + 4 + 2 * i));
  }
}

// The records that belong to the formula before them: its string result, the shared
// formula it anchors, an array or table formula.
void TWorkbookDecoder::ReadFormulaParts(const TRecordView& view, TSheetSink& sink) {
  if (formula_row_ < 0) ThrowFileInvalid();
  switch (view.Id) {
    case rid::kString: {
      TRecordCursor cursor(view);
      ReadXlString(cursor, true, text_);
      if (formula_has_text_) sink.FormulaText(formula_row_, formula_col_, text_);
      break;
    }
    // [MS-XLS] 2.4.260 ShrFmla: the range, then the tokens and their extra data.
    case rid::kShrFmla: {
      joined_.assign(view.Data.begin(), view.Data.end());
      for (const auto& part : view.Continues) joined_.insert(joined_.end(), part.begin(), part.end());
      if (joined_.size() < 10) ThrowFileInvalid();
      const std::size_t length = Get16(joined_.data() + 8);
      if (10 + length > joined_.size()) ThrowFileInvalid();
      TSharedFormula shared;
      shared.Range = {Get16(joined_.data()), Get16(joined_.data() + 2), joined_[4], joined_[5]};
      shared.Tokens = std::span(joined_).subspan(10, length);
      shared.Extra = std::span(joined_).subspan(10 + length);
      sink.SharedFormula(formula_row_, formula_col_, shared);
      break;
    }
    default: sink.FormulaPart(formula_row_, formula_col_, view.Id); break;
  }
}

// An embedded chart: a chart substream right after the OBJ record that anchors it. Any
// other BOF inside a sheet is damage.
void TWorkbookDecoder::ReadEmbeddedSubstream(TSheetSink& sink) {
  if (last_drawing_ != rid::kObj || BofType(reader_.Current()) != kTypeChart) ThrowFileInvalid();
  sink.OtherRecord(rid::kBof, true);
  ReadRecordList(sink, true);
  last_drawing_ = rid::kEof;
}

}  // namespace ln40::xls
