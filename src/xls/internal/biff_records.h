#pragma once
// BIFF8 records of a workbook stream ([MS-XLS] 2.1.4 Record): the framing with CONTINUE
// records and the records that attach to the one before them, a cursor that reads a
// record's data across its CONTINUE records, and a little-endian byte writer.
//
// Everything here reads from memory and checks bounds before every read; damaged data
// ends in ln40::Error with kFileInvalidMessage. Internal to src/workbook.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace ln40::xls {

inline constexpr const char* kFileInvalidMessage = "Error reading Excel records. File invalid";
[[noreturn]] void ThrowFileInvalid();

// Record ids ([MS-XLS] 2.3 Record Enumeration).
namespace rid {
inline constexpr std::uint16_t kFormula = 0x0006;
inline constexpr std::uint16_t kEof = 0x000A;
inline constexpr std::uint16_t kCalcCount = 0x000C;
inline constexpr std::uint16_t kCalcMode = 0x000D;
inline constexpr std::uint16_t kPrecision = 0x000E;
inline constexpr std::uint16_t kRefMode = 0x000F;
inline constexpr std::uint16_t kDelta = 0x0010;
inline constexpr std::uint16_t kIteration = 0x0011;
inline constexpr std::uint16_t kProtect = 0x0012;
inline constexpr std::uint16_t kPassword = 0x0013;
inline constexpr std::uint16_t kHeader = 0x0014;
inline constexpr std::uint16_t kFooter = 0x0015;
inline constexpr std::uint16_t kExternSheet = 0x0017;
inline constexpr std::uint16_t kName = 0x0018;
inline constexpr std::uint16_t kWindowProtect = 0x0019;
inline constexpr std::uint16_t kVerticalPageBreaks = 0x001A;
inline constexpr std::uint16_t kHorizontalPageBreaks = 0x001B;
inline constexpr std::uint16_t kNote = 0x001C;
inline constexpr std::uint16_t kSelection = 0x001D;
inline constexpr std::uint16_t kDateMode = 0x0022;
inline constexpr std::uint16_t kExternName = 0x0023;
inline constexpr std::uint16_t kFilePass = 0x002F;
inline constexpr std::uint16_t kFont = 0x0031;
inline constexpr std::uint16_t kContinue = 0x003C;
inline constexpr std::uint16_t kWindow1 = 0x003D;
inline constexpr std::uint16_t kBackup = 0x0040;
inline constexpr std::uint16_t kCodePage = 0x0042;
inline constexpr std::uint16_t kDefColWidth = 0x0055;
inline constexpr std::uint16_t kXct = 0x0059;
inline constexpr std::uint16_t kCrn = 0x005A;
inline constexpr std::uint16_t kWriteAccess = 0x005C;
inline constexpr std::uint16_t kObj = 0x005D;
inline constexpr std::uint16_t kSaveRecalc = 0x005F;
inline constexpr std::uint16_t kColInfo = 0x007D;
inline constexpr std::uint16_t kGuts = 0x0080;
inline constexpr std::uint16_t kWsBool = 0x0081;
inline constexpr std::uint16_t kGridSet = 0x0082;
inline constexpr std::uint16_t kHCenter = 0x0083;
inline constexpr std::uint16_t kVCenter = 0x0084;
inline constexpr std::uint16_t kBoundSheet = 0x0085;
inline constexpr std::uint16_t kCountry = 0x008C;
inline constexpr std::uint16_t kHideObj = 0x008D;
inline constexpr std::uint16_t kPalette = 0x0092;
inline constexpr std::uint16_t kFnGroupCount = 0x009C;
inline constexpr std::uint16_t kPrintHeaders = 0x002A;
inline constexpr std::uint16_t kPrintGridlines = 0x002B;
inline constexpr std::uint16_t kSetup = 0x00A1;
inline constexpr std::uint16_t kMulRk = 0x00BD;
inline constexpr std::uint16_t kMulBlank = 0x00BE;
inline constexpr std::uint16_t kMms = 0x00C1;
inline constexpr std::uint16_t kObProj = 0x00D3;
inline constexpr std::uint16_t kRString = 0x00D6;
inline constexpr std::uint16_t kDbCell = 0x00D7;
inline constexpr std::uint16_t kBookBool = 0x00DA;
inline constexpr std::uint16_t kXf = 0x00E0;
inline constexpr std::uint16_t kInterfaceHdr = 0x00E1;
inline constexpr std::uint16_t kInterfaceEnd = 0x00E2;
inline constexpr std::uint16_t kMergedCells = 0x00E5;
inline constexpr std::uint16_t kMsoDrawingGroup = 0x00EB;
inline constexpr std::uint16_t kMsoDrawing = 0x00EC;
inline constexpr std::uint16_t kMsoDrawingSelection = 0x00ED;
inline constexpr std::uint16_t kSst = 0x00FC;
inline constexpr std::uint16_t kLabelSst = 0x00FD;
inline constexpr std::uint16_t kExtSst = 0x00FF;
inline constexpr std::uint16_t kTabId = 0x013D;
inline constexpr std::uint16_t kUsesElfs = 0x0160;
inline constexpr std::uint16_t kDsf = 0x0161;
inline constexpr std::uint16_t kSupBook = 0x01AE;
inline constexpr std::uint16_t kProt4Rev = 0x01AF;
inline constexpr std::uint16_t kCondFmt = 0x01B0;
inline constexpr std::uint16_t kCf = 0x01B1;
inline constexpr std::uint16_t kTxo = 0x01B6;
inline constexpr std::uint16_t kRefreshAll = 0x01B7;
inline constexpr std::uint16_t kHLink = 0x01B8;
inline constexpr std::uint16_t kCodeName = 0x01BA;
inline constexpr std::uint16_t kProt4RevPass = 0x01BC;
inline constexpr std::uint16_t kExcel9File = 0x01C0;
inline constexpr std::uint16_t kRecalcId = 0x01C1;
inline constexpr std::uint16_t kDimensions = 0x0200;
inline constexpr std::uint16_t kBlank = 0x0201;
inline constexpr std::uint16_t kNumber = 0x0203;
inline constexpr std::uint16_t kLabel = 0x0204;
inline constexpr std::uint16_t kBoolErr = 0x0205;
inline constexpr std::uint16_t kString = 0x0207;
inline constexpr std::uint16_t kRow = 0x0208;
inline constexpr std::uint16_t kIndex = 0x020B;
inline constexpr std::uint16_t kArray = 0x0221;
inline constexpr std::uint16_t kExternName2 = 0x0223;
inline constexpr std::uint16_t kDefaultRowHeight = 0x0225;
inline constexpr std::uint16_t kTable = 0x0236;
inline constexpr std::uint16_t kWindow2 = 0x023E;
inline constexpr std::uint16_t kRk = 0x027E;
inline constexpr std::uint16_t kStyle = 0x0293;
inline constexpr std::uint16_t kFormat = 0x041E;
inline constexpr std::uint16_t kShrFmla = 0x04BC;
inline constexpr std::uint16_t kHLinkTooltip = 0x0800;
inline constexpr std::uint16_t kBookExt = 0x0863;
inline constexpr std::uint16_t kBof = 0x0809;
inline constexpr std::uint16_t kUnknown01EF = 0x00EF;
}  // namespace rid

// The largest data part of one record ([MS-XLS] 2.1.4): longer data goes on in CONTINUE
// records.
inline constexpr std::size_t kMaxRecordData = 8224;

inline std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline double GetDouble(const std::uint8_t* p) {
  std::uint64_t bits = static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutDouble(std::uint8_t* p, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Put32(p, static_cast<std::uint32_t>(bits));
  Put32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

// A growing buffer of little-endian values.
class TByteWriter {
 public:
  std::vector<std::uint8_t>& Bytes() { return bytes_; }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
  std::size_t Size() const { return bytes_.size(); }
  // Byte by byte: push_back into reserved room is cheaper than growing with resize.
  void U8(std::uint8_t v) { bytes_.push_back(v); }
  void U16(std::uint16_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  void U32(std::uint32_t v) {
    U16(static_cast<std::uint16_t>(v));
    U16(static_cast<std::uint16_t>(v >> 16));
  }
  void F64(double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    U32(static_cast<std::uint32_t>(bits));
    U32(static_cast<std::uint32_t>(bits >> 32));
  }
  void Append(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Append(std::span<const std::uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }
  // A record header; the caller appends exactly `length` bytes of data.
  void Header(std::uint16_t id, std::size_t length) {
    U16(id);
    U16(static_cast<std::uint16_t>(length));
  }
  void Record(std::uint16_t id, std::span<const std::uint8_t> data) {
    Header(id, data.size());
    Append(data);
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// One CONTINUE record that carries on the data of the record before it.
struct TContinueRecord {
  std::vector<std::uint8_t> Data;
};

// One record: its id, its data and its CONTINUE records. Records this layer does not
// interpret are kept as they are and written back byte for byte. `Attached` holds the
// records read together with this one: ARRAY or TABLE after a FORMULA, HLINKTOOLTIP after
// an HLINK; they are written right after it.
struct TBaseRecord {
  std::uint16_t Id = 0;
  std::vector<std::uint8_t> Data;
  std::vector<TContinueRecord> Continues;
  std::vector<TBaseRecord> Attached;

  TBaseRecord() = default;
  TBaseRecord(std::uint16_t id, std::vector<std::uint8_t> data) : Id(id), Data(std::move(data)) {}

  std::size_t Length() const { return Data.size(); }
  // Bytes written by WriteTo: headers, data, CONTINUE records and attached records.
  std::size_t WrittenSize() const;
  void WriteTo(TByteWriter& out) const;
  // The data with every CONTINUE's data after it.
  std::vector<std::uint8_t> JoinedData() const;
};

// A record as found in the stream: views into the stream's bytes.
struct TRecordView {
  std::uint16_t Id = 0;
  std::size_t Offset = 0;  // stream position of the header
  std::span<const std::uint8_t> Data;
  std::vector<std::span<const std::uint8_t>> Continues;

  TBaseRecord ToRecord() const;
};

// Cuts a workbook stream into records ([MS-XLS] 2.1.4): a CONTINUE after a record is read
// with it; an ARRAY or TABLE directly after a FORMULA and an HLINKTOOLTIP after an HLINK are
// read as attachments of that record; a STRING is accepted only after a FORMULA, SHRFMLA,
// ARRAY or TABLE record.
class TRecordReader {
 public:
  explicit TRecordReader(std::span<const std::uint8_t> stream) : stream_(stream) {}

  // Reads the next record. False at the end of the stream: fewer than 4 bytes left, or a
  // record id of 0 (the zero padding after the last EOF).
  bool Next();
  const TRecordView& Current() const { return current_; }
  const std::vector<TRecordView>& Attached() const { return attached_; }
  // The current record with its attachments as a kept record.
  TBaseRecord CurrentRecord() const;
  std::size_t Position() const { return position_; }

 private:
  bool PeekId(std::uint16_t& id) const;
  void ReadOne(TRecordView& view);
  // The CONTINUE records after the record just read (rare: out of line).
  void ReadContinues(TRecordView& view);
  // An ARRAY or TABLE right after a FORMULA, an HLINKTOOLTIP right after an HLINK.
  void ReadAttachment();

  std::span<const std::uint8_t> stream_;
  std::size_t position_ = 0;
  std::uint16_t previous_id_ = 0;
  TRecordView current_;
  std::vector<TRecordView> attached_;
};

// Inline, the parts every record takes: the decoders call Next once for every record.
inline bool TRecordReader::PeekId(std::uint16_t& id) const {
  if (stream_.size() - position_ < 4) return false;
  id = Get16(stream_.data() + position_);
  return id != 0;
}

inline void TRecordReader::ReadOne(TRecordView& view) {
  const std::uint8_t* header = stream_.data() + position_;
  view.Id = Get16(header);
  view.Offset = position_;
  const std::size_t length = Get16(header + 2);
  if (stream_.size() - position_ - 4 < length) ThrowFileInvalid();
  view.Data = stream_.subspan(position_ + 4, length);
  position_ += 4 + length;
  view.Continues.clear();
  std::uint16_t next = 0;
  if (PeekId(next) && next == rid::kContinue) ReadContinues(view);
  previous_id_ = view.Id;
}

inline bool TRecordReader::Next() {
  if (!attached_.empty()) attached_.clear();
  std::uint16_t id = 0;
  if (!PeekId(id)) return false;
  if (id == rid::kString && previous_id_ != rid::kFormula && previous_id_ != rid::kShrFmla &&
      previous_id_ != rid::kArray && previous_id_ != rid::kTable) {
    ThrowFileInvalid();
  }
  ReadOne(current_);
  if (current_.Id == rid::kFormula || current_.Id == rid::kHLink) ReadAttachment();
  return true;
}

// Reads a record's data and then its CONTINUE records' data as one sequence of bytes,
// except for the characters of strings: where character data crosses into a CONTINUE,
// that record begins with one option byte that gives the width of the characters in it
// ([MS-XLS] 2.5.293 XLUnicodeRichExtendedString).
class TRecordCursor {
 public:
  TRecordCursor(std::span<const std::uint8_t> data, const std::vector<std::span<const std::uint8_t>>& continues);
  explicit TRecordCursor(const TRecordView& view) : TRecordCursor(view.Data, view.Continues) {}
  explicit TRecordCursor(std::span<const std::uint8_t> data);

  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  double F64();
  void Skip(std::size_t count);
  void Bytes(std::uint8_t* out, std::size_t count);
  void AppendBytes(std::string& out, std::size_t count);

  // `count` characters, 16-bit when `wide`, appended to `out` as UTF-16.
  void Chars(std::size_t count, bool wide, std::u16string& out);
  // Bytes left in all segments, option bytes of CONTINUE records included (an upper bound
  // of what can still be read).
  std::size_t Remaining() const { return total_ - consumed_; }
  bool AtEnd() { return Remaining() == 0; }

 private:
  void NextSegment();
  std::span<const std::uint8_t> segment_;
  std::size_t at_ = 0;
  std::size_t index_ = 0;  // index of the next CONTINUE segment
  const std::vector<std::span<const std::uint8_t>>* continues_ = nullptr;
  std::size_t total_ = 0;
  std::size_t consumed_ = 0;
};

}  // namespace ln40::xls
