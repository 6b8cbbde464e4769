#include "xls_sheet_scan.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "text/error.h"
#include "xls_strings.h"
#include "workbook_stream.h"

namespace ln40 {

using namespace xls;

namespace {

constexpr std::uint16_t kBiff8 = 0x0600;
constexpr std::uint16_t kTypeGlobals = 0x0005;
constexpr std::uint16_t kTypeWorksheet = 0x0010;

// Walks the cells of a sheet in the order they must come: each place after the one before.
class CellOrder {
 public:
  bool Place(int row, int col) {
    if (col >= kMaxColumns) return false;
    const long key = static_cast<long>(row) * kMaxColumns + col;
    if (key <= last_) return false;
    last_ = key;
    return true;
  }

 private:
  long last_ = -1;
};

// The records of the first sheet one by one, by their headers alone. Next() is false at the
// end of the stream and at what the scan leaves to the full load: a CONTINUE record, or an
// ARRAY or TABLE record, which TRecordReader would join to the record before. Otherwise
// the records and their checks are TRecordReader's (a record must lie in the stream; a
// STRING follows a formula or its shared formula).
class PlainRecords {
 public:
  PlainRecords(std::span<const std::uint8_t> stream, std::size_t position) : stream_(stream), position_(position) {}

  bool Next() {
    if (stream_.size() - position_ < 4) return false;
    const std::uint8_t* header = stream_.data() + position_;
    const std::uint16_t id = Get16(header);
    const std::size_t length = Get16(header + 2);
    if (id == 0 || stream_.size() - position_ - 4 < length) return false;
    if (id == rid::kContinue || id == rid::kArray || id == rid::kTable) return false;
    if (id == rid::kString && previous_ != rid::kFormula && previous_ != rid::kShrFmla) return false;
    view_.Id = id;
    view_.Offset = position_;
    view_.Data = stream_.subspan(position_ + 4, length);
    position_ += 4 + length;
    previous_ = id;
    return true;
  }
  const TRecordView& Current() const { return view_; }
  std::vector<std::uint8_t> JoinedData() const { return {view_.Data.begin(), view_.Data.end()}; }
  std::size_t Position() const { return position_; }

 private:
  std::span<const std::uint8_t> stream_;
  std::size_t position_;
  std::uint16_t previous_ = rid::kBof;
  TRecordView view_;  // never with CONTINUE records
};

// TRecordReader as ReadSheet walks it, for the other sheets.
class JoinedRecords {
 public:
  explicit JoinedRecords(TRecordReader& reader) : reader_(reader) {}
  bool Next() { return reader_.Next(); }
  const TRecordView& Current() const { return reader_.Current(); }
  std::vector<std::uint8_t> JoinedData() const { return reader_.CurrentRecord().JoinedData(); }

 private:
  TRecordReader& reader_;
};

}  // namespace

bool TSheetScan::Scan(TOle2Storage& storage) {
  Reset();
  std::vector<std::uint8_t> copy;
  if (!ScanStream(ReadWorkbookStream(storage, copy))) return false;
  copy_ = std::move(copy);  // a vector's bytes stay where they are when it is moved
  storage_.emplace(std::move(storage));
  return true;
}

bool TSheetScan::ScanStream(std::span<const std::uint8_t> stream) {
  Reset();
  stream_ = stream;
  bool scanned = false;
  try {
    scanned = ScanRecords();
  } catch (const Error&) {
    scanned = false;  // damage the record layer found: left to the full load
  }
  if (!scanned) Reset();
  return scanned;
}

void TSheetScan::Reset() {
  storage_.reset();
  copy_.clear();
  stream_ = {};
  first_sheet_ = 0;
  globals_ = TWorkbookGlobals();
  xf_codes_.clear();
  sheet_count_ = used_rows_ = used_cols_ = 0;
}

// The sections as the full load reads them: the globals once and first, then the sheets;
// between sections only EOF records.
bool TSheetScan::ScanRecords() {
  TRecordReader reader(stream_);
  bool globals_read = false;
  bool first_sheet_read = false;
  while (reader.Next()) {
    const TRecordView& view = reader.Current();
    if (view.Id == rid::kEof) continue;
    if (view.Id != rid::kBof || view.Data.size() < 4 || Get16(view.Data.data()) != kBiff8) return false;
    const std::uint16_t type = Get16(view.Data.data() + 2);
    if (type == kTypeGlobals) {
      if (globals_read || !ReadGlobals(reader)) return false;
      globals_read = true;
    } else if (!globals_read) {
      return false;
    } else if (type == kTypeWorksheet && !first_sheet_read) {
      first_sheet_ = reader.Position();
      PlainRecords records(stream_, first_sheet_);
      if (!ReadSheet(records, true)) return false;
      // On after its EOF. The offsets that reader gives are from there (none is needed).
      reader = TRecordReader(stream_.subspan(records.Position()));
      first_sheet_read = true;
    } else if (type == kTypeWorksheet) {
      JoinedRecords records(reader);
      if (!ReadSheet(records, false)) return false;
    } else {
      // A chart or another kind of sheet: its records up to its own EOF, nested
      // substreams included. It may not be the first sheet.
      if (!first_sheet_read) return false;
      int depth = 0;
      bool ended = false;
      while (!ended && reader.Next()) {
        const std::uint16_t id = reader.Current().Id;
        if (id == rid::kFilePass) return false;
        if (id == rid::kBof) ++depth;
        if (id == rid::kEof) ended = depth-- == 0;
      }
      if (!ended) return false;
    }
  }
  if (!globals_read || !first_sheet_read || globals_.Sheets.empty()) return false;
  sheet_count_ = static_cast<int>(globals_.Sheets.size());
  for (const TXfBytes& xf : globals_.XFs) xf_codes_.push_back(globals_.FormatCode(Get16(xf.data() + 2)));
  if (xf_codes_.empty()) xf_codes_.emplace_back();  // no XF: the general format
  return true;
}

// What the full load reads of the globals and can fail on, and the formats, XFs and
// strings the cells need.
bool TSheetScan::ReadGlobals(TRecordReader& reader) {
  while (reader.Next()) {
    const TRecordView& view = reader.Current();
    switch (view.Id) {
      case rid::kBof:
      case rid::kFilePass: return false;
      case rid::kEof: return true;
      case rid::kBoundSheet: {
        if (view.Data.size() < 8) return false;
        TRecordCursor cursor(view);
        cursor.Skip(6);
        TBoundSheet sheet;
        sheet.Name = ReadXlString(cursor, false);
        for (const TBoundSheet& other : globals_.Sheets) {
          if (other.Name == sheet.Name) return false;
        }
        globals_.Sheets.push_back(std::move(sheet));
        break;
      }
      case rid::kSst: globals_.SST.Load(view); break;
      case rid::kFormat: {
        if (view.Data.size() < 5) return false;
        TRecordCursor cursor(view);
        TFormatEntry entry;
        entry.Index = cursor.U16();
        entry.Code = ReadXlString(cursor, true);
        // After those of the same index, so that the first of them is the one found.
        auto at = std::upper_bound(globals_.Formats.begin(), globals_.Formats.end(), entry.Index,
                                   [](int value, const TFormatEntry& e) { return value < e.Index; });
        globals_.Formats.insert(at, std::move(entry));
        break;
      }
      case rid::kXf: {
        TXfBytes xf{};
        std::memcpy(xf.data(), view.Data.data(), std::min<std::size_t>(xf.size(), view.Data.size()));
        globals_.XFs.push_back(xf);
        break;
      }
      case rid::kCodeName: {
        TRecordCursor cursor(view);
        ReadXlString(cursor, true);
        break;
      }
      default: break;
    }
  }
  return false;  // the stream ended inside the globals
}

// Checks a worksheet as the full load would read it; of the first sheet also the order of
// its cells and its used range.
template <typename Records>
bool TSheetScan::ReadSheet(Records& records, bool first) {
  std::vector<bool> rows(kMaxRows);
  CellOrder order;
  // Any order is fine in the other sheets; only a column beyond the last fails there.
  const auto place = [&](int row, int col) { return first ? order.Place(row, col) : col < kMaxColumns; };
  bool formula_read = false;
  while (records.Next()) {
    const TRecordView& view = records.Current();
    const std::uint8_t* data = view.Data.data();
    const std::size_t size = view.Data.size();
    switch (view.Id) {
      case rid::kEof: return true;
      case rid::kBof:  // an embedded chart
      case rid::kFilePass: return false;
      case rid::kRow: {
        if (size < 16) return false;
        const int row = Get16(data);
        if (rows[row]) return false;
        rows[row] = true;
        if (first) {
          used_rows_ = std::max(used_rows_, row + 1);
          used_cols_ = std::max(used_cols_, std::min<int>(Get16(data + 4), kMaxColumns));
        }
        break;
      }
      case rid::kLabelSst:
        if (size < 10 || Get32(data + 6) >= globals_.SST.EntryCount() || !place(Get16(data), Get16(data + 2))) {
          return false;
        }
        break;
      case rid::kLabel: {
        if (size < 9) return false;
        TRecordCursor cursor(view);
        cursor.Skip(6);
        ReadXlString(cursor, true);
        if (!place(Get16(data), Get16(data + 2))) return false;
        break;
      }
      case rid::kNumber:
      case rid::kRk:
      case rid::kBlank:
      case rid::kBoolErr:
      case rid::kRString: {
        const std::size_t least = view.Id == rid::kNumber ? 14 : view.Id == rid::kRk ? 10 : view.Id == rid::kBoolErr ? 8 : 6;
        if (size < least || !place(Get16(data), Get16(data + 2))) return false;
        break;
      }
      case rid::kFormula:
        if (size < 20 || !place(Get16(data), Get16(data + 2))) return false;
        formula_read = true;
        break;
      case rid::kMulRk:
      case rid::kMulBlank: {
        if (size < 6) return false;
        const std::size_t count = (size - 6) / (view.Id == rid::kMulRk ? 6 : 2);
        for (std::size_t i = 0; i < count; ++i) {
          if (!place(Get16(data), Get16(data + 2) + static_cast<int>(i))) return false;
        }
        break;
      }
      case rid::kString: {
        if (!formula_read) return false;
        TRecordCursor cursor(view);
        ReadXlString(cursor, true);
        break;
      }
      case rid::kShrFmla: {
        if (!formula_read) return false;
        const std::vector<std::uint8_t> joined = records.JoinedData();
        if (joined.size() < 10 || 10u + Get16(joined.data() + 8) > joined.size()) return false;
        break;
      }
      case rid::kArray:
      case rid::kTable:
        if (!formula_read) return false;
        break;
      case rid::kColInfo:
        if (size < 10) return false;
        break;
      case rid::kMergedCells:
        if (first || size < 2 || 2 + std::size_t{Get16(data)} * 8 > size) return false;
        break;
      default: break;
    }
  }
  return false;  // the stream ended inside the sheet
}

const std::u16string& TSheetScan::NumberFormat(int xf) const {
  if (xf < 0 || xf >= static_cast<int>(xf_codes_.size())) xf = 0;
  return xf_codes_[static_cast<std::size_t>(xf)];
}

void TSheetScan::ForEachCell(const CellTaker& take) const {
  if (stream_.empty()) return;
  PlainRecords records(stream_, first_sheet_);  // as the scan walked them
  CellValue value;
  // A formula with a string result waits for the STRING record that may carry its text.
  bool waiting = false;
  int waiting_row = 0, waiting_col = 0, waiting_xf = 0;
  const auto set_number = [&](double n) {
    value.kind = CellValue::Kind::Number;
    value.number = n;
    value.text.clear();
    value.boolean = false;
  };
  const auto set_string = [&] {
    value.kind = CellValue::Kind::String;
    value.number = 0;
    value.boolean = false;
  };
  while (records.Next()) {
    const std::uint16_t id = records.Current().Id;
    const std::uint8_t* data = records.Current().Data.data();
    const std::size_t size = records.Current().Data.size();
    if (id == rid::kShrFmla) continue;  // it may stand between a formula and its STRING
    if (waiting) {
      if (id == rid::kString) {
        TRecordCursor cursor(std::span(data, size));
        value.text = ReadXlString(cursor, true);
      }
      take(waiting_row, waiting_col, value, waiting_xf);
      waiting = false;
    }
    // The place and XF of a cell record.
    const auto row = [data] { return Get16(data) + 1; };
    const auto col = [data] { return Get16(data + 2) + 1; };
    const auto xf = [data] { return static_cast<int>(Get16(data + 4)); };
    switch (id) {
      case rid::kEof: return;
      case rid::kLabelSst:
        set_string();
        globals_.SST.Text(Get32(data + 6), value.text);
        take(row(), col(), value, xf());
        break;
      case rid::kLabel: {
        TRecordCursor cursor(std::span(data, size));
        cursor.Skip(6);
        set_string();
        value.text = ReadXlString(cursor, true);
        take(row(), col(), value, xf());
        break;
      }
      case rid::kNumber:
        set_number(GetDouble(data + 6));
        take(row(), col(), value, xf());
        break;
      case rid::kRk:
        set_number(RkToDouble(Get32(data + 6)));
        take(row(), col(), value, xf());
        break;
      case rid::kMulRk: {
        const std::size_t count = (size - 6) / 6;
        for (std::size_t i = 0; i < count; ++i) {
          const std::uint8_t* p = data + 4 + 6 * i;
          set_number(RkToDouble(Get32(p + 2)));
          take(row(), col() + static_cast<int>(i), value, Get16(p));
        }
        break;
      }
      case rid::kBoolErr:
        value = BoolErrValue(data[6], data[7] != 0);
        take(row(), col(), value, xf());
        break;
      case rid::kFormula:
        value = FormulaResult(data + 6);
        if (value.kind == CellValue::Kind::String) {
          waiting = true;
          waiting_row = row();
          waiting_col = col();
          waiting_xf = xf();
        } else if (value.kind != CellValue::Kind::Empty) {
          take(row(), col(), value, xf());
        }
        break;
      default: break;  // blanks, rich strings (shown as nothing) and the other records
    }
  }
}

}  // namespace ln40
