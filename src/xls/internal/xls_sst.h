#pragma once
// TSST: the shared string table of a workbook ([MS-XLS] 2.4.265 SST). Every distinct text
// of the LABELSST cells is kept once, as the bytes of a BIFF8 rich string, with a reference
// count; cells refer to an entry by its id, which stays the same for the life of the
// table. The entries are written sorted by their size and then their bytes, so the index
// a cell's entry gets in a saved file is only known at the save.
//
// Characters are stored in the narrowest form: 8-bit when every character is below U+0100,
// 16-bit otherwise, whatever form the file used. Not thread-safe.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "biff_records.h"

namespace ln40::xls {

class TSST {
 public:
  using Id = std::uint32_t;

  // Reads an SST record with its CONTINUE records. The entries get the ids 0, 1, ... in
  // the order of the file (so a LABELSST index is the id) and no references yet. A string
  // count beyond what the record holds is damage (kFileInvalidMessage).
  void Load(const TRecordView& record);

  void Clear();

  // Ids handed out so far, referenced or not.
  std::size_t EntryCount() const { return entries_.size(); }
  // Bytes of all entries together.
  std::size_t PoolSize() const { return pool_.size(); }

  // Finds the entry of `text` (a plain string, no runs) or creates it, and counts one more
  // reference to it.
  Id Add(std::u16string_view text);
  void AddRef(Id id) { ++entries_[id].refs; }
  // Counts one reference less; an entry without references is left out of the next save.
  void Release(Id id) {
    if (entries_[id].refs > 0) --entries_[id].refs;
  }
  std::uint32_t RefCount(Id id) const { return entries_[id].refs; }

  std::u16string Text(Id id) const;
  // The same into `into`, whose room is reused: for reading many cells.
  void Text(Id id, std::u16string& into) const;
  // The entry as written: count, flags, optional run count and extension size,
  // characters, runs and extension bytes.
  std::span<const std::uint8_t> EntryBytes(Id id) const;

  // The referenced entries in the order they are written.
  std::vector<Id> WriteOrder() const;

  // Writes the SST record with its CONTINUE records and the EXTSST record
  // ([MS-XLS] 2.4.107). `stream_position` is the position in the workbook stream of the
  // first byte of `out` (0 when `out` holds the stream from its start), for the positions
  // EXTSST gives. `index_of` receives for every id its index in the written table
  // (unreferenced ids get 0xFFFFFFFF).
  void Write(TByteWriter& out, std::size_t stream_position, std::vector<std::uint32_t>& index_of);

 private:
  struct Entry {
    std::uint32_t offset = 0;  // in pool_
    std::uint32_t size = 0;
    std::uint32_t refs = 0;
    std::uint32_t hash = 0;
  };

  Id Insert(const std::uint8_t* bytes, std::size_t size, bool dedupe);
  std::int64_t Find(const std::uint8_t* bytes, std::size_t size, std::uint32_t hash) const;
  static std::size_t SlotsFor(std::size_t entries);
  void Rehash(std::size_t slots);
  bool Less(Id a, Id b) const;

  std::vector<std::uint8_t> pool_;
  std::vector<Entry> entries_;
  // Open addressing: id + 1, 0 for a free slot, with the entry's hash beside it so that a
  // probe passing other entries need not look them up. Empty until the first Add; equal
  // texts read from a file are all in it, the lowest id first on its probe path.
  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t id1 = 0;
  };
  std::vector<Slot> slots_;
  std::vector<std::uint8_t> scratch_;
};

}  // namespace ln40::xls
