#include "biff_records.h"

#include "text/error.h"

namespace ln40::xls {

void ThrowFileInvalid() { throw Error(kFileInvalidMessage); }

std::size_t TBaseRecord::WrittenSize() const {
  std::size_t size = 4 + Data.size();
  for (const TContinueRecord& part : Continues) size += 4 + part.Data.size();
  for (const TBaseRecord& record : Attached) size += record.WrittenSize();
  return size;
}

void TBaseRecord::WriteTo(TByteWriter& out) const {
  out.Record(Id, Data);
  for (const TContinueRecord& part : Continues) out.Record(rid::kContinue, part.Data);
  for (const TBaseRecord& record : Attached) record.WriteTo(out);
}

std::vector<std::uint8_t> TBaseRecord::JoinedData() const {
  std::vector<std::uint8_t> joined = Data;
  for (const TContinueRecord& part : Continues) joined.insert(joined.end(), part.Data.begin(), part.Data.end());
  return joined;
}

TBaseRecord TRecordView::ToRecord() const {
  TBaseRecord record(Id, std::vector<std::uint8_t>(Data.begin(), Data.end()));
  record.Continues.reserve(Continues.size());
  for (const auto& part : Continues) record.Continues.push_back({std::vector<std::uint8_t>(part.begin(), part.end())});
  return record;
}

void TRecordReader::ReadContinues(TRecordView& view) {
  // Each CONTINUE takes at least its 4 header bytes, so this ends with the stream.
  std::uint16_t next = 0;
  while (PeekId(next) && next == rid::kContinue) {
    const std::size_t part = Get16(stream_.data() + position_ + 2);
    if (stream_.size() - position_ - 4 < part) ThrowFileInvalid();
    view.Continues.push_back(stream_.subspan(position_ + 4, part));
    position_ += 4 + part;
  }
}

void TRecordReader::ReadAttachment() {
  std::uint16_t next = 0;
  if (!PeekId(next)) return;
  const bool attached = current_.Id == rid::kFormula ? next == rid::kArray || next == rid::kTable
                                                     : next == rid::kHLinkTooltip;
  if (!attached) return;
  attached_.emplace_back();
  ReadOne(attached_.back());
}

TBaseRecord TRecordReader::CurrentRecord() const {
  TBaseRecord record = current_.ToRecord();
  for (const TRecordView& view : attached_) record.Attached.push_back(view.ToRecord());
  return record;
}

namespace {
const std::vector<std::span<const std::uint8_t>> kNoContinues;
}

TRecordCursor::TRecordCursor(std::span<const std::uint8_t> data,
                             const std::vector<std::span<const std::uint8_t>>& continues)
    : segment_(data), continues_(&continues) {
  total_ = data.size();
  for (const auto& part : continues) total_ += part.size();
}

TRecordCursor::TRecordCursor(std::span<const std::uint8_t> data) : TRecordCursor(data, kNoContinues) {}

void TRecordCursor::NextSegment() {
  if (index_ >= continues_->size()) ThrowFileInvalid();
  segment_ = (*continues_)[index_++];
  at_ = 0;
}

std::uint8_t TRecordCursor::U8() {
  while (at_ >= segment_.size()) NextSegment();
  ++consumed_;
  return segment_[at_++];
}

std::uint16_t TRecordCursor::U16() {
  if (segment_.size() - at_ >= 2) {
    const std::uint16_t v = Get16(segment_.data() + at_);
    at_ += 2;
    consumed_ += 2;
    return v;
  }
  const std::uint16_t low = U8();
  return static_cast<std::uint16_t>(low | (U8() << 8));
}

std::uint32_t TRecordCursor::U32() {
  if (segment_.size() - at_ >= 4) {
    const std::uint32_t v = Get32(segment_.data() + at_);
    at_ += 4;
    consumed_ += 4;
    return v;
  }
  const std::uint32_t low = U16();
  return low | (static_cast<std::uint32_t>(U16()) << 16);
}

double TRecordCursor::F64() {
  std::uint8_t bytes[8];
  Bytes(bytes, 8);
  return GetDouble(bytes);
}

void TRecordCursor::Skip(std::size_t count) {
  if (count > Remaining()) ThrowFileInvalid();
  while (count > 0) {
    while (at_ >= segment_.size()) NextSegment();
    const std::size_t take = std::min(count, segment_.size() - at_);
    at_ += take;
    consumed_ += take;
    count -= take;
  }
}

void TRecordCursor::Bytes(std::uint8_t* out, std::size_t count) {
  if (count > Remaining()) ThrowFileInvalid();
  while (count > 0) {
    while (at_ >= segment_.size()) NextSegment();
    const std::size_t take = std::min(count, segment_.size() - at_);
    std::memcpy(out, segment_.data() + at_, take);
    out += take;
    at_ += take;
    consumed_ += take;
    count -= take;
  }
}

void TRecordCursor::AppendBytes(std::string& out, std::size_t count) {
  if (count > Remaining()) ThrowFileInvalid();
  const std::size_t at = out.size();
  out.resize(at + count);
  Bytes(reinterpret_cast<std::uint8_t*>(out.data() + at), count);
}

void TRecordCursor::Chars(std::size_t count, bool wide, std::u16string& out) {
  // Every character takes at least one byte: a count beyond what is left is damage, and
  // checking it first keeps the reservation within the record's size.
  if (count > Remaining()) ThrowFileInvalid();
  out.reserve(out.size() + count);
  while (count > 0) {
    if (at_ >= segment_.size()) {
      // An empty CONTINUE (some writers put one after a full record) holds not even the
      // option byte: the characters go on in the next one.
      do {
        NextSegment();
      } while (segment_.empty());
      wide = (segment_[0] & 0x01) != 0;
      at_ = 1;
      ++consumed_;
    }
    const std::size_t available = segment_.size() - at_;
    if (wide) {
      const std::size_t take = std::min(count, available / 2);
      if (take == 0) ThrowFileInvalid();  // half a character before the record ends
      for (std::size_t i = 0; i < take; ++i) out.push_back(static_cast<char16_t>(Get16(segment_.data() + at_ + 2 * i)));
      at_ += 2 * take;
      consumed_ += 2 * take;
      count -= take;
    } else {
      const std::size_t take = std::min(count, available);
      for (std::size_t i = 0; i < take; ++i) out.push_back(static_cast<char16_t>(segment_[at_ + i]));
      at_ += take;
      consumed_ += take;
      count -= take;
    }
  }
}

}  // namespace ln40::xls
