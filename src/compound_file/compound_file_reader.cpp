#include "compound_file_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "text/codepage.h"
#include "text/error.h"
#include "compound_file/compound_file_format.h"

namespace ln40::cfb {
namespace {

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

std::string Quoted(std::u16string_view name) {
  std::string quoted(1, '"');
  quoted += Utf16ToCp1252(name);
  quoted += '"';
  return quoted;
}

// Users of the tree (kept elements, the fuzz harness) walk storages recursively; a bound
// on the nesting keeps a crafted file from exhausting the stack. Real files nest a few deep.
constexpr std::uint32_t kMaxStorageDepth = 256;

std::uint64_t CeilDiv(std::uint64_t value, std::uint64_t unit) { return value / unit + (value % unit != 0); }

// Which chain owns each sector, so that a chain that comes back to one of its own sectors
// (a loop) or runs into another chain's sector (an overlap) is found at the first such step.
class SectorOwners {
 public:
  explicit SectorOwners(std::size_t count) : owner_(count, 0) {}

  // Returns 0 when the sector was free and is now owned by `label` (a number from 1),
  // otherwise the label of its owner.
  std::uint32_t Claim(std::uint32_t sector, std::uint32_t label) {
    std::uint32_t& owner = owner_[sector];
    if (owner != 0) return owner;
    owner = label;
    return 0;
  }

 private:
  std::vector<std::uint32_t> owner_;
};

}  // namespace

// The fields of one 128-byte directory entry that the reader uses.
struct CompoundFileReader::RawEntry {
  std::uint16_t name_length = 0;
  std::uint8_t type = kTypeUnused;
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
  const std::uint8_t* name = nullptr;
};

// Does the checking and building of one construction; see the header for the rules.
class CompoundFileReader::Builder {
 public:
  Builder(CompoundFileReader& reader, std::string display_name)
      : reader_(reader), image_(reader.image_), display_name_(std::move(display_name)) {}

  void Build() {
    ReadHeader();
    ReadFat();
    ReadDirectory();
    ReadMiniFat();
    ReadMiniStream();
    WalkTree();
  }

 private:
  std::string Damage(const std::string& what) const { return "The file \"" + display_name_ + "\" is damaged: " + what; }
  [[noreturn]] void Damaged(const std::string& what) const { throw Error(Damage(what)); }

  [[noreturn]] void Unlistable(std::uint32_t storage, const std::string& what) const {
    const std::string name =
        storage == kRootId ? display_name_ : Utf16ToCp1252(reader_.nodes_[storage].name);
    throw Error("Can't read file \"" + name + "\": " + what);
  }

  std::uint32_t Label(std::string text) {
    labels_.push_back(std::move(text));
    return static_cast<std::uint32_t>(labels_.size());
  }

  const std::uint8_t* SectorData(std::uint32_t sector) const {
    return image_.data() + ((static_cast<std::size_t>(sector) + 1) << shift_);
  }

  void ReadHeader() {
    const std::uint8_t* h = image_.data();
    if (Get16(h + kHeaderByteOrder) != kByteOrderMark) Damaged("the header's byte order mark is wrong");
    const std::uint16_t version = Get16(h + kHeaderMajorVersion);
    if (version != 3 && version != 4) Damaged("the header gives format version " + std::to_string(version));
    shift_ = Get16(h + kHeaderSectorShift);
    if (shift_ != 9 && shift_ != 12) {
      Damaged("the header gives a sector shift of " + std::to_string(shift_) + " (9 or 12 expected)");
    }
    if (Get16(h + kHeaderMiniSectorShift) != kMiniSectorShift) {
      Damaged("the header gives a mini sector shift of " + std::to_string(Get16(h + kHeaderMiniSectorShift)) +
              " (6 expected)");
    }
    if (Get32(h + kHeaderMiniStreamCutoff) != kMiniStreamCutoff) {
      Damaged("the header gives a mini stream cutoff of " + std::to_string(Get32(h + kHeaderMiniStreamCutoff)) +
              " (4096 expected)");
    }
    version_ = version;
    reader_.sector_shift_ = shift_;
    sector_size_ = std::size_t{1} << shift_;

    // The header fills the first sector. A last sector cut short is padded with zeros so
    // that every sector can be addressed whole; the bytes a stream needs must still lie in
    // the file (see WithinFile).
    file_size_ = image_.size();
    const std::size_t body = file_size_ > sector_size_ ? file_size_ - sector_size_ : 0;
    const std::uint64_t sectors = CeilDiv(body, sector_size_);
    sector_count_ = static_cast<std::uint32_t>(std::min<std::uint64_t>(sectors, kMaxRegularSector + 1ull));
    image_.Resize((static_cast<std::size_t>(sector_count_) + 1) << shift_);
    owners_ = SectorOwners(sector_count_);
  }

  // [MS-CFB] 2.5 DIFAT sectors and 2.3 FAT sectors.
  void ReadFat() {
    const std::uint8_t* h = image_.data();
    const std::uint32_t fat_count = Get32(h + kHeaderFatSectorCount);
    if (fat_count == 0 || fat_count > sector_count_) {
      Damaged("the header gives " + std::to_string(fat_count) + " FAT sectors in a file of " +
              std::to_string(sector_count_) + " sectors");
    }
    const std::uint32_t fat_label = Label("the FAT");
    std::vector<std::uint32_t> fat_sectors;
    fat_sectors.reserve(fat_count);
    auto add_fat_sector = [&](std::uint32_t sector) {
      if (sector >= sector_count_) {
        Damaged("FAT sector " + std::to_string(fat_sectors.size()) + " is at " + SectorName(sector) +
                ", outside the file");
      }
      const std::uint32_t owner = owners_.Claim(sector, fat_label);
      if (owner == fat_label) Damaged("sector " + std::to_string(sector) + " is listed twice as a FAT sector");
      if (owner != 0) Damaged("sector " + std::to_string(sector) + " belongs both to " + labels_[owner - 1] + " and to the FAT");
      fat_sectors.push_back(sector);
    };
    for (std::size_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_count; ++i) {
      add_fat_sector(Get32(h + kHeaderDifat + 4 * i));
    }
    const std::uint32_t difat_label = Label("the DIFAT");
    std::uint32_t next = Get32(h + kHeaderFirstDifatSector);
    const std::size_t per_sector = sector_size_ / 4 - 1;
    while (fat_sectors.size() < fat_count) {
      if (next >= sector_count_) {
        Damaged("the DIFAT lists " + std::to_string(fat_sectors.size()) + " of the " + std::to_string(fat_count) +
                " FAT sectors and then points to " + SectorName(next));
      }
      ClaimOrFail(next, difat_label);
      const std::uint8_t* data = SectorData(next);
      for (std::size_t i = 0; i < per_sector && fat_sectors.size() < fat_count; ++i) {
        add_fat_sector(Get32(data + 4 * i));
      }
      next = Get32(data + 4 * per_sector);
    }

    const std::size_t per_fat_sector = sector_size_ / 4;
    fat_.resize(fat_sectors.size() * per_fat_sector);
    for (std::size_t s = 0; s < fat_sectors.size(); ++s) {
      const std::uint8_t* data = SectorData(fat_sectors[s]);
      for (std::size_t i = 0; i < per_fat_sector; ++i) fat_[s * per_fat_sector + i] = Get32(data + 4 * i);
    }
    usable_sectors_ = static_cast<std::uint32_t>(std::min<std::size_t>(sector_count_, fat_.size()));
  }

  static std::string SectorName(std::uint32_t sector) {
    switch (sector) {
      case kFreeSector: return "a free sector mark";
      case kEndOfChain: return "an end-of-chain mark";
      case kFatSector: return "a FAT sector mark";
      case kDifatSector: return "a DIFAT sector mark";
      default: break;
    }
    if (sector > kMaxRegularSector) return "the value " + Hex32(sector);
    return "sector " + std::to_string(sector);
  }

  void ClaimOrFail(std::uint32_t sector, std::uint32_t label) {
    const std::uint32_t owner = owners_.Claim(sector, label);
    if (owner == 0) return;
    if (owner == label) Damaged("the sector chain of " + labels_[label - 1] + " loops back to sector " + std::to_string(sector));
    Damaged("sector " + std::to_string(sector) + " belongs both to " + labels_[owner - 1] + " and to " +
            labels_[label - 1]);
  }

  // Follows a chain of the FAT from `start`. With `count` given, exactly that many sectors
  // are taken and a chain that ends sooner is damage; without, the chain runs to its end
  // mark. With `to_file_end`, a chain that ends sooner or leaves the file stops there
  // instead (up to `count` sectors). Each step claims its sector, so the walk ends after at
  // most sector_count_ steps.
  std::vector<std::uint32_t> FollowChain(std::uint32_t start, const std::string& what, const std::uint64_t* count,
                                         bool to_file_end = false) {
    const std::uint32_t label = Label(what);
    std::vector<std::uint32_t> chain;
    if (count) chain.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(*count, usable_sectors_)));
    std::uint32_t sector = start;
    while (count ? chain.size() < *count : sector != kEndOfChain) {
      if (to_file_end && (sector == kEndOfChain || sector >= usable_sectors_)) break;
      if (sector == kEndOfChain) {
        Damaged("the sector chain of " + what + " ends after " + std::to_string(chain.size()) + " of its " +
                std::to_string(*count) + " sectors");
      }
      if (sector >= usable_sectors_) {
        Damaged("the sector chain of " + what + " points to " + SectorName(sector) + ", outside the file");
      }
      ClaimOrFail(sector, label);
      chain.push_back(sector);
      sector = fat_[sector];
    }
    return chain;
  }

  // The same in the mini FAT, over the sectors of the mini stream, for stream `node`. A chain
  // that reaches the mini sectors a short mini stream lacks (see ReadMiniStream) leaves the
  // stream unreadable instead of the file damaged.
  std::vector<std::uint32_t> FollowMiniChain(std::uint32_t start, DirectoryNode& node, const std::string& what,
                                             std::uint64_t count) {
    const std::uint32_t label = Label(what);
    std::vector<std::uint32_t> chain;
    chain.reserve(static_cast<std::size_t>(count));
    std::uint32_t sector = start;
    while (chain.size() < count) {
      if (sector == kEndOfChain) {
        Damaged("the mini sector chain of " + what + " ends after " + std::to_string(chain.size()) + " of its " +
                std::to_string(count) + " mini sectors");
      }
      if (sector >= mini_sector_count_ && sector < claimed_mini_sectors_) {
        node.unreadable = Damage(what + " reaches beyond the end of the mini stream");
        return {};
      }
      if (sector >= mini_sector_count_) {
        Damaged("the mini sector chain of " + what + " points to " + SectorName(sector) +
                ", outside the mini stream");
      }
      const std::uint32_t owner = mini_owners_.Claim(sector, label);
      if (owner == label) {
        Damaged("the mini sector chain of " + what + " loops back to mini sector " + std::to_string(sector));
      }
      if (owner != 0) {
        Damaged("mini sector " + std::to_string(sector) + " belongs both to " + labels_[owner - 1] + " and to " +
                what);
      }
      chain.push_back(sector);
      sector = mini_fat_[sector];
    }
    return chain;
  }

  // The bytes a stream needs from its last sector must lie in the file as it was given.
  bool WithinFile(const DirectoryNode& node) const {
    const std::uint64_t unit = std::uint64_t{1} << node.piece_shift;
    for (std::size_t i = 0; i < node.pieces.size(); ++i) {
      const std::uint64_t needed = i + 1 < node.pieces.size() ? unit : node.size - i * unit;
      if (node.pieces[i] + needed > file_size_) return false;
    }
    return true;
  }

  // [MS-CFB] 2.6 Compound File Directory Sectors
  void ReadDirectory() {
    const std::vector<std::uint32_t> chain =
        FollowChain(Get32(image_.data() + kHeaderFirstDirectorySector), "the directory", nullptr);
    const std::size_t per_sector = sector_size_ / kDirectoryEntrySize;
    const std::size_t entry_count = chain.size() * per_sector;
    if (entry_count == 0) Damaged("the directory is empty");
    entries_.resize(entry_count);
    for (std::size_t i = 0; i < entry_count; ++i) {
      const std::uint8_t* e = SectorData(chain[i / per_sector]) + (i % per_sector) * kDirectoryEntrySize;
      RawEntry& entry = entries_[i];
      entry.name = e + kEntryName;
      entry.name_length = Get16(e + kEntryNameLength);
      entry.type = e[kEntryObjectType];
      entry.left = Get32(e + kEntryLeftSibling);
      entry.right = Get32(e + kEntryRightSibling);
      entry.child = Get32(e + kEntryChild);
      entry.start = Get32(e + kEntryStartSector);
      // In version 3 files the high half of the size is not always written as zero.
      entry.size = version_ == 3 ? Get32(e + kEntryStreamSize) : Get64(e + kEntryStreamSize);
    }
    reader_.nodes_.resize(entry_count);
    const RawEntry& root = entries_[kRootId];
    if (root.type != kTypeRoot) Damaged("the first directory entry is not the root storage");
    reader_.nodes_[kRootId].type = kTypeRoot;
    DecodeName(kRootId, reader_.nodes_[kRootId].name);
  }

  // The name of an entry: its name length counts the terminating null, in bytes. Returns
  // false for a length that cannot be (odd, or longer than the field).
  bool DecodeName(std::uint32_t id, std::u16string& name) const {
    const RawEntry& entry = entries_[id];
    const std::size_t length = std::min<std::size_t>(entry.name_length, 2 * (kMaxNameChars + 1));
    name.clear();
    for (std::size_t i = 0; i + 1 < length / 2; ++i) {
      const char16_t c = Get16(entry.name + 2 * i);
      if (c == 0) break;
      name.push_back(c);
    }
    return entry.name_length <= 2 * (kMaxNameChars + 1) && entry.name_length % 2 == 0;
  }

  // [MS-CFB] 2.4 MiniFAT Sectors
  void ReadMiniFat() {
    const std::uint32_t start = Get32(image_.data() + kHeaderFirstMiniFatSector);
    // Without a mini FAT the start should be the end mark; a free mark is seen as well.
    if (start == kFreeSector && Get32(image_.data() + kHeaderMiniFatSectorCount) == 0) return;
    const std::vector<std::uint32_t> chain = FollowChain(start, "the mini FAT", nullptr);
    const std::size_t per_sector = sector_size_ / 4;
    mini_fat_.resize(chain.size() * per_sector);
    for (std::size_t s = 0; s < chain.size(); ++s) {
      const std::uint8_t* data = SectorData(chain[s]);
      for (std::size_t i = 0; i < per_sector; ++i) mini_fat_[s * per_sector + i] = Get32(data + 4 * i);
    }
  }

  // The mini stream is the root entry's stream, held in ordinary sectors. Some writers give
  // it a size or a sector chain that runs past the end of the file; it is then read as far
  // as its chain lies in the file, and the streams in the part it lacks are unreadable.
  void ReadMiniStream() {
    const RawEntry& root = entries_[kRootId];
    DirectoryNode& node = reader_.nodes_[kRootId];
    node.piece_shift = shift_;
    const std::uint64_t count = CeilDiv(std::min<std::uint64_t>(root.size, std::uint64_t{usable_sectors_} << shift_),
                                        sector_size_);
    std::uint64_t present = 0;
    for (std::uint32_t sector : FollowChain(root.start, "the mini stream", &count, true)) {
      const std::uint64_t offset = (static_cast<std::uint64_t>(sector) + 1) << shift_;
      node.pieces.push_back(offset);
      // Only the file's last sector can be cut short; the mini stream ends within it then.
      const std::uint64_t held = std::min<std::uint64_t>(sector_size_, file_size_ - offset);
      present += held;
      if (held < sector_size_) break;
    }
    node.size = std::min<std::uint64_t>(root.size, present);
    mini_sector_count_ =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(CeilDiv(node.size, kMiniSectorSize), mini_fat_.size()));
    claimed_mini_sectors_ =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(CeilDiv(root.size, kMiniSectorSize), mini_fat_.size()));
    mini_owners_ = SectorOwners(mini_sector_count_);
  }

  // [MS-CFB] 2.6.4 Red-Black Tree: walks the sibling tree of every storage from the root,
  // in order, without recursion. Every entry may be reached once only.
  void WalkTree() {
    std::vector<bool> reached(entries_.size(), false);
    reached[kRootId] = true;
    std::vector<std::uint32_t> storages{kRootId};
    std::vector<std::uint32_t> depth(entries_.size(), 0);  // of storages, the root at 0
    std::vector<std::uint32_t> stack;
    for (std::size_t next = 0; next < storages.size(); ++next) {
      const std::uint32_t storage = storages[next];
      DirectoryNode& parent = reader_.nodes_[storage];
      auto descend = [&](std::uint32_t id, std::uint32_t from) {
        for (; id != kNoStream; id = entries_[id].left) {
          if (id >= entries_.size()) {
            Unlistable(storage, "directory entry " + std::to_string(from) + " links to entry " + std::to_string(id) +
                                    ", but the directory has " + std::to_string(entries_.size()) + " entries");
          }
          if (reached[id]) {
            Unlistable(storage, "directory entry " + std::to_string(id) + " is linked twice (the directory has a cycle)");
          }
          reached[id] = true;
          stack.push_back(id);
          from = id;
        }
      };
      descend(entries_[storage].child, storage);
      while (!stack.empty()) {
        const std::uint32_t id = stack.back();
        stack.pop_back();
        AddElement(storage, id);
        parent.children.push_back(id);
        descend(entries_[id].right, id);
      }
      parent.children_by_name = parent.children;
      std::stable_sort(parent.children_by_name.begin(), parent.children_by_name.end(),
                       [this](std::uint32_t a, std::uint32_t b) {
                         return CompareEntryNames(reader_.nodes_[a].name, reader_.nodes_[b].name) < 0;
                       });
      CheckDistinctNames(storage);
      for (std::uint32_t id : parent.children) {
        if (reader_.nodes_[id].type != kTypeStorage) continue;
        depth[id] = depth[storage] + 1;
        if (depth[id] > kMaxStorageDepth) {
          Unlistable(id, "storages are nested more than " + std::to_string(kMaxStorageDepth) + " levels deep");
        }
        storages.push_back(id);
      }
    }
  }

  // Names that differ only in letter case are tolerated (a look-up prefers the exact name),
  // but two elements of one name could not be told apart.
  void CheckDistinctNames(std::uint32_t storage) const {
    std::vector<const std::u16string*> names;
    for (std::uint32_t id : reader_.nodes_[storage].children) names.push_back(&reader_.nodes_[id].name);
    std::sort(names.begin(), names.end(), [](const std::u16string* a, const std::u16string* b) { return *a < *b; });
    for (std::size_t i = 1; i < names.size(); ++i) {
      if (*names[i] == *names[i - 1]) Unlistable(storage, "two elements are named " + Quoted(*names[i]));
    }
  }

  void AddElement(std::uint32_t storage, std::uint32_t id) {
    const RawEntry& entry = entries_[id];
    DirectoryNode& node = reader_.nodes_[id];
    if (entry.type == kTypeUnused) {
      Unlistable(storage, "directory entry " + std::to_string(id) + " is linked into the tree but unused");
    }
    if (entry.type == kTypeRoot) {
      Unlistable(storage, "directory entry " + std::to_string(id) + " is a second root storage");
    }
    node.type = entry.type;
    if (!DecodeName(id, node.name)) {
      Unlistable(storage, "directory entry " + std::to_string(id) + " gives a name length of " +
                              std::to_string(entry.name_length) + " bytes");
    }
    if (node.name.empty()) Unlistable(storage, "directory entry " + std::to_string(id) + " has no name");
    if (entry.type == kTypeStream) ReadStreamChain(id);
  }

  void ReadStreamChain(std::uint32_t id) {
    const RawEntry& entry = entries_[id];
    DirectoryNode& node = reader_.nodes_[id];
    const std::string what = "stream " + Quoted(node.name);
    if (entry.size > (static_cast<std::uint64_t>(sector_count_) << shift_)) {
      Damaged(what + " claims " + std::to_string(entry.size) + " bytes, more than the file holds");
    }
    node.size = entry.size;
    if (entry.size == 0) return;
    if (entry.size < kMiniStreamCutoff) {
      const std::uint64_t count = CeilDiv(entry.size, kMiniSectorSize);
      const DirectoryNode& mini_stream = reader_.nodes_[kRootId];
      node.piece_shift = kMiniSectorShift;
      node.pieces.reserve(static_cast<std::size_t>(count));
      for (std::uint32_t mini : FollowMiniChain(entry.start, node, what, count)) {
        const std::uint64_t offset = static_cast<std::uint64_t>(mini) << kMiniSectorShift;
        node.pieces.push_back(mini_stream.pieces[offset >> shift_] + (offset & (sector_size_ - 1)));
      }
      // A mini stream cut short by the end of the file may end inside this stream's last
      // mini sector.
      if (node.unreadable.empty() && !WithinFile(node)) {
        node.unreadable = Damage(what + " reaches beyond the end of the file");
      }
      if (!node.unreadable.empty()) node.pieces.clear();
      return;
    }
    const std::uint64_t count = CeilDiv(entry.size, sector_size_);
    node.piece_shift = shift_;
    node.pieces.reserve(static_cast<std::size_t>(count));
    for (std::uint32_t sector : FollowChain(entry.start, what, &count)) {
      node.pieces.push_back((static_cast<std::uint64_t>(sector) + 1) << shift_);
    }
    if (!WithinFile(node)) Damaged(what + " reaches beyond the end of the file");
  }

  CompoundFileReader& reader_;
  TByteImage& image_;
  std::string display_name_;
  std::uint16_t version_ = 3;
  unsigned shift_ = 9;
  std::size_t sector_size_ = 512;
  std::size_t file_size_ = 0;
  std::uint32_t sector_count_ = 0;
  std::uint32_t usable_sectors_ = 0;
  std::uint32_t mini_sector_count_ = 0;     // that the file holds
  std::uint32_t claimed_mini_sectors_ = 0;  // that the root's size gives, up to the mini FAT's
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> mini_fat_;
  std::vector<RawEntry> entries_;
  std::vector<std::string> labels_;
  SectorOwners owners_{0};
  SectorOwners mini_owners_{0};
};

CompoundFileReader::CompoundFileReader(TByteImage image, std::string display_name)
    : image_(std::move(image)) {
  if (image_.size() < kHeaderSize || !std::equal(std::begin(kSignature), std::end(kSignature), image_.data())) {
    throw Error("The file \"" + display_name + "\" is invalid");
  }
  Builder(*this, std::move(display_name)).Build();
}

std::uint32_t CompoundFileReader::FindChild(std::uint32_t parent, std::u16string_view name) const {
  const std::vector<std::uint32_t>& sorted = nodes_[parent].children_by_name;
  auto it = std::lower_bound(sorted.begin(), sorted.end(), name, [this](std::uint32_t id, std::u16string_view key) {
    return CompareEntryNames(nodes_[id].name, key) < 0;
  });
  if (it == sorted.end() || CompareEntryNames(nodes_[*it].name, name) != 0) return kNoStream;
  for (auto exact = it; exact != sorted.end() && CompareEntryNames(nodes_[*exact].name, name) == 0; ++exact) {
    if (nodes_[*exact].name == name) return *exact;
  }
  return *it;
}

std::size_t CompoundFileReader::ReadStream(const DirectoryNode& node, std::uint64_t position, void* buffer,
                                           std::size_t count) const {
  if (position >= node.size || count == 0) return 0;
  const std::size_t total = static_cast<std::size_t>(std::min<std::uint64_t>(count, node.size - position));
  const std::uint64_t unit = std::uint64_t{1} << node.piece_shift;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < total) {
    const std::uint64_t piece = position >> node.piece_shift;
    const std::uint64_t within = position & (unit - 1);
    // Take neighbouring sectors that lie one after another in the image in one copy.
    std::uint64_t run = unit - within;
    std::uint64_t last = piece;
    while (run < total - done && last + 1 < node.pieces.size() && node.pieces[last + 1] == node.pieces[last] + unit) {
      ++last;
      run += unit;
    }
    const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(run, total - done));
    std::memcpy(out + done, image_.data() + node.pieces[piece] + within, chunk);
    done += chunk;
    position += chunk;
  }
  return total;
}

std::span<const std::uint8_t> CompoundFileReader::ContiguousStream(const DirectoryNode& node,
                                                                   std::uint64_t position) const {
  if (position >= node.size) return {};
  const std::uint64_t unit = std::uint64_t{1} << node.piece_shift;
  const std::size_t first = static_cast<std::size_t>(position >> node.piece_shift);
  for (std::size_t piece = first + 1; piece < node.pieces.size(); ++piece) {
    if (node.pieces[piece] != node.pieces[piece - 1] + unit) return {};
  }
  const std::uint64_t start = node.pieces[first] + (position & (unit - 1));
  const std::uint64_t length = node.size - position;
  if (start + length > image_.size()) return {};  // the last sector cut short by the file's end
  return {image_.data() + start, static_cast<std::size_t>(length)};
}

}  // namespace ln40::cfb
