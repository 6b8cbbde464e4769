#include "xls_sst.h"

#include <algorithm>
#include <cstring>

#include "text/error.h"
#include "xls_strings.h"

namespace ln40::xls {
namespace {

std::uint32_t HashBytes(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < size; ++i) {
    h ^= bytes[i];
    h *= 1099511628211ull;
  }
  return static_cast<std::uint32_t>(h ^ (h >> 32));
}

// The pool holds at most what 32-bit offsets reach.
constexpr std::size_t kMaxPool = 0xFFFF0000u;

// Appends one entry in the stored form to `out`.
void BuildEntry(std::vector<std::uint8_t>& out, std::u16string_view chars, std::size_t runs, std::uint32_t extension) {
  const bool narrow = FitsIn8Bit(chars);
  std::uint8_t flags = narrow ? 0 : 1;
  if (extension > 0) flags |= 0x04;
  if (runs > 0) flags |= 0x08;
  const std::size_t header = 3 + (runs > 0 ? 2 : 0) + (extension > 0 ? 4 : 0);
  const std::size_t start = out.size();
  out.resize(start + header + chars.size() * (narrow ? 1 : 2));
  std::uint8_t* p = out.data() + start;
  Put16(p, static_cast<std::uint16_t>(chars.size()));
  p[2] = flags;
  p += 3;
  if (runs > 0) {
    Put16(p, static_cast<std::uint16_t>(runs));
    p += 2;
  }
  if (extension > 0) {
    Put32(p, extension);
    p += 4;
  }
  for (char16_t c : chars) {
    if (narrow) {
      *p++ = static_cast<std::uint8_t>(c);
    } else {
      Put16(p, c);
      p += 2;
    }
  }
}

struct EntryLayout {
  std::size_t count = 0;
  bool wide = false;
  std::size_t header = 3;
  std::size_t tail = 0;  // runs and extension bytes
};

EntryLayout Layout(std::span<const std::uint8_t> bytes) {
  EntryLayout layout;
  layout.count = Get16(bytes.data());
  const std::uint8_t flags = bytes[2];
  layout.wide = (flags & 0x01) != 0;
  std::size_t runs = 0;
  std::uint32_t extension = 0;
  if (flags & 0x08) {
    runs = Get16(bytes.data() + layout.header);
    layout.header += 2;
  }
  if (flags & 0x04) {
    extension = Get32(bytes.data() + layout.header);
    layout.header += 4;
  }
  layout.tail = runs * 4 + extension;
  return layout;
}

}  // namespace

void TSST::Clear() {
  pool_.clear();
  entries_.clear();
  slots_.clear();
}

void TSST::Load(const TRecordView& record) {
  TRecordCursor cursor(record);
  cursor.U32();  // total references: counted anew from the cells
  const std::uint32_t unique = cursor.U32();
  // Each entry takes at least 3 bytes: a larger count cannot be right, and the
  // reservation stays within what the record holds.
  entries_.reserve(entries_.size() + std::min<std::size_t>(unique, cursor.Remaining() / 3));
  std::u16string chars;
  for (std::uint32_t i = 0; i < unique; ++i) {
    const std::size_t count = cursor.U16();
    const std::uint8_t flags = cursor.U8();
    std::size_t runs = 0;
    std::uint32_t extension = 0;
    if (flags & 0x08) runs = cursor.U16();
    if (flags & 0x04) extension = cursor.U32();
    chars.clear();
    cursor.Chars(count, (flags & 0x01) != 0, chars);
    if (runs * 4 + static_cast<std::size_t>(extension) > cursor.Remaining()) ThrowFileInvalid();
    scratch_.clear();
    BuildEntry(scratch_, chars, runs, extension);
    const std::size_t head = scratch_.size();
    scratch_.resize(head + runs * 4 + extension);
    cursor.Bytes(scratch_.data() + head, runs * 4 + extension);
    Insert(scratch_.data(), scratch_.size(), false);
  }
}

std::int64_t TSST::Find(const std::uint8_t* bytes, std::size_t size, std::uint32_t hash) const {
  if (slots_.empty()) return -1;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const Slot& probe = slots_[slot];
    if (probe.id1 == 0) return -1;
    if (probe.hash != hash) continue;
    const Entry& entry = entries_[probe.id1 - 1];
    if (entry.size == size && std::memcmp(pool_.data() + entry.offset, bytes, size) == 0) return probe.id1 - 1;
  }
}

// At least 64 slots, a power of two, filled to three quarters at most: the index of a large
// table stays small enough to be mostly in the cache, its probes short.
std::size_t TSST::SlotsFor(std::size_t entries) {
  std::size_t slots = 64;
  while (slots * 3 < entries * 4) slots *= 2;
  return slots;
}

void TSST::Rehash(std::size_t slots) {
  slots_.assign(slots, Slot{});
  const std::size_t mask = slots - 1;
  for (std::size_t id = 0; id < entries_.size(); ++id) {
    const std::uint32_t hash = entries_[id].hash;
    std::size_t slot = hash & mask;
    while (slots_[slot].id1 != 0) slot = (slot + 1) & mask;
    slots_[slot] = Slot{hash, static_cast<std::uint32_t>(id + 1)};
  }
}

TSST::Id TSST::Insert(const std::uint8_t* bytes, std::size_t size, bool dedupe) {
  const std::uint32_t hash = HashBytes(bytes, size);
  if (dedupe) {
    // The index is built at the first look-up: a table only read from a file never needs it.
    if (slots_.empty() && !entries_.empty()) Rehash(SlotsFor(entries_.size()));
    const std::int64_t found = Find(bytes, size, hash);
    if (found >= 0) return static_cast<Id>(found);
  }
  if (pool_.size() + size > kMaxPool) throw Error("Too many strings in the workbook");
  Entry entry;
  entry.offset = static_cast<std::uint32_t>(pool_.size());
  entry.size = static_cast<std::uint32_t>(size);
  entry.hash = hash;
  if (pool_.capacity() < pool_.size() + size) pool_.reserve(std::max(pool_.size() + size, pool_.size() + 0x7E8000));
  pool_.insert(pool_.end(), bytes, bytes + size);
  entries_.push_back(entry);
  const Id id = static_cast<Id>(entries_.size() - 1);
  if (slots_.empty() && !dedupe) return id;  // no index yet
  const bool known = !dedupe && Find(bytes, size, hash) >= 0;
  if (entries_.size() * 4 > slots_.size() * 3) {
    Rehash(SlotsFor(entries_.size()));
  } else if (!known) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot].id1 != 0) slot = (slot + 1) & mask;
    slots_[slot] = Slot{hash, id + 1};
  }
  return id;
}

TSST::Id TSST::Add(std::u16string_view text) {
  scratch_.clear();
  BuildEntry(scratch_, text.substr(0, std::min<std::size_t>(text.size(), 0xFFFF)), 0, 0);
  const Id id = Insert(scratch_.data(), scratch_.size(), true);
  ++entries_[id].refs;
  return id;
}

std::span<const std::uint8_t> TSST::EntryBytes(Id id) const {
  const Entry& entry = entries_[id];
  return {pool_.data() + entry.offset, entry.size};
}

std::u16string TSST::Text(Id id) const {
  std::u16string text;
  Text(id, text);
  return text;
}

void TSST::Text(Id id, std::u16string& into) const {
  const std::span<const std::uint8_t> bytes = EntryBytes(id);
  const EntryLayout layout = Layout(bytes);
  const std::uint8_t* chars = bytes.data() + layout.header;
  into.resize(layout.count);
  if (!layout.wide) {  // nearly every text
    for (std::size_t i = 0; i < layout.count; ++i) into[i] = chars[i];
    return;
  }
  for (std::size_t i = 0; i < layout.count; ++i) into[i] = static_cast<char16_t>(Get16(chars + 2 * i));
}

bool TSST::Less(Id a, Id b) const {
  const Entry& x = entries_[a];
  const Entry& y = entries_[b];
  if (x.size != y.size) return x.size < y.size;
  const int order = std::memcmp(pool_.data() + x.offset, pool_.data() + y.offset, x.size);
  if (order != 0) return order < 0;
  return a < b;
}

std::vector<TSST::Id> TSST::WriteOrder() const {
  // Sorted on keys held beside the ids: the size and the first 16 bytes (big-endian, so that
  // the numbers compare as the bytes do) settle almost every comparison without a look into
  // the pool.
  struct Key {
    std::uint32_t size;
    Id id;
    std::uint64_t head[2];
  };
  std::vector<Key> keys;
  keys.reserve(entries_.size());
  for (Id id = 0; id < entries_.size(); ++id) {
    const Entry& entry = entries_[id];
    if (entry.refs == 0) continue;
    Key key{entry.size, id, {0, 0}};
    const std::uint8_t* bytes = pool_.data() + entry.offset;
    for (std::uint32_t i = 0; i < std::min<std::uint32_t>(entry.size, 16); ++i) {
      key.head[i / 8] |= std::uint64_t{bytes[i]} << (56 - 8 * (i % 8));
    }
    keys.push_back(key);
  }
  std::sort(keys.begin(), keys.end(), [this](const Key& a, const Key& b) {
    if (a.size != b.size) return a.size < b.size;
    if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
    if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
    return Less(a.id, b.id);
  });
  std::vector<Id> order;
  order.reserve(keys.size());
  for (const Key& key : keys) order.push_back(key.id);
  return order;
}

namespace {

// Builds the SST record and its CONTINUE records in `out`, one record at a time.
class SstRecordWriter {
 public:
  SstRecordWriter(TByteWriter& out, std::size_t stream_position) : out_(out), base_(stream_position) {
    data_.reserve(kMaxRecordData);
  }
  std::size_t Left() const { return kMaxRecordData - data_.size(); }
  std::vector<std::uint8_t>& Data() { return data_; }
  // The stream position and in-record offset (header included) of the next byte.
  std::size_t Position() const { return base_ + out_.Size() + 4 + data_.size(); }
  std::uint16_t Offset() const { return static_cast<std::uint16_t>(4 + data_.size()); }
  void StartContinue() {
    Flush();
    id_ = rid::kContinue;
  }
  void Flush() {
    out_.Record(id_, data_);
    data_.clear();
  }
  // Bytes that may be split at any byte.
  void Split(const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
      if (Left() == 0) StartContinue();
      const std::size_t take = std::min(size, Left());
      data_.insert(data_.end(), bytes, bytes + take);
      bytes += take;
      size -= take;
    }
  }

 private:
  TByteWriter& out_;
  std::size_t base_;
  std::uint16_t id_ = rid::kSst;
  std::vector<std::uint8_t> data_;
};

}  // namespace

void TSST::Write(TByteWriter& out, std::size_t stream_position, std::vector<std::uint32_t>& index_of) {
  const std::vector<Id> order = WriteOrder();
  index_of.assign(entries_.size(), 0xFFFFFFFFu);
  std::uint32_t total = 0;
  for (std::size_t i = 0; i < order.size(); ++i) {
    index_of[order[i]] = static_cast<std::uint32_t>(i);
    total += entries_[order[i]].refs;
  }
  const std::size_t bucket = std::max<std::size_t>(8, order.size() / 128 + 1);
  std::vector<std::uint32_t> bucket_position;
  std::vector<std::uint16_t> bucket_offset;

  SstRecordWriter sst(out, stream_position);
  auto& data = sst.Data();
  auto put32 = [&data](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  put32(total);
  put32(static_cast<std::uint32_t>(order.size()));

  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::span<const std::uint8_t> bytes = EntryBytes(order[i]);
    const EntryLayout layout = Layout(bytes);
    // The header is never split.
    if (sst.Left() < 32) sst.StartContinue();
    if (i % bucket == 0) {
      bucket_position.push_back(static_cast<std::uint32_t>(sst.Position()));
      bucket_offset.push_back(sst.Offset());
    }
    const std::size_t flag_at = data.size() + 2;
    data.insert(data.end(), bytes.begin(), bytes.begin() + layout.header);
    const std::uint8_t* chars = bytes.data() + layout.header;
    std::size_t done = 0;
    bool first = true;
    while (done < layout.count || first) {
      if (!first) {
        sst.StartContinue();
        data.push_back(0);  // this chunk's option byte, set below
      }
      const std::size_t remaining = layout.count - done;
      const std::size_t space = sst.Left();
      bool chunk_wide = false;
      std::size_t take = 0;
      if (!layout.wide) {
        take = std::min(space, remaining);
      } else {
        std::size_t narrow = std::min(space, remaining);
        for (std::size_t k = 0; k < narrow; ++k) {
          if (chars[2 * (done + k) + 1] != 0) {
            narrow = k;
            break;
          }
        }
        const std::size_t wide = std::min(space / 2, remaining);
        chunk_wide = narrow < wide;
        take = chunk_wide ? wide : narrow;
      }
      std::uint8_t& option = first ? data[flag_at] : data.back();
      option = static_cast<std::uint8_t>(chunk_wide ? (option | 0x01) : (option & ~0x01));
      if (!layout.wide) {
        data.insert(data.end(), chars + done, chars + done + take);
      } else {
        for (std::size_t k = 0; k < take; ++k) {
          data.push_back(chars[2 * (done + k)]);
          if (chunk_wide) data.push_back(chars[2 * (done + k) + 1]);
        }
      }
      done += take;
      first = false;
    }
    const std::size_t char_bytes = layout.count * (layout.wide ? 2 : 1);
    sst.Split(chars + char_bytes, layout.tail);
  }
  sst.Flush();

  TByteWriter ext;
  ext.U16(static_cast<std::uint16_t>(bucket));
  for (std::size_t k = 0; k < bucket_position.size(); ++k) {
    ext.U32(bucket_position[k]);
    ext.U16(bucket_offset[k]);
    ext.U16(0);
  }
  out.Record(rid::kExtSst, ext.Bytes());
}

}  // namespace ln40::xls
