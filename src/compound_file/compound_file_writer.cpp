#include "compound_file_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "text/codepage.h"
#include "text/error.h"
#include "compound_file/compound_file_format.h"

namespace ln40::cfb {
namespace {

constexpr unsigned kShift = 9;
constexpr std::uint32_t kSectorSize = 1u << kShift;
constexpr std::uint32_t kIdsPerSector = kSectorSize / 4;
constexpr std::uint32_t kEntriesPerSector = kSectorSize / kDirectoryEntrySize;
// [MS-CFB] 2.6.1: a version 3 stream holds at most 0x80000000 bytes.
constexpr std::uint64_t kMaxStreamSize = 0x80000000ull;

std::uint32_t CeilDiv(std::uint64_t value, std::uint64_t unit) {
  return static_cast<std::uint32_t>(value / unit + (value % unit != 0));
}

bool InMiniStream(const NewElement& element) {
  return !element.is_storage && !element.data.empty() && element.data.size() < kMiniStreamCutoff;
}

struct TreeLinks {
  std::uint32_t left = kNoStream;
  std::uint32_t right = kNoStream;
  std::uint32_t child = kNoStream;
  std::uint8_t color = kBlack;
};

// Builds the sibling tree of one storage from its elements sorted by name: the middle one
// becomes the root of each range. Such a tree has all its empty links at depth d or d + 1,
// so colouring the nodes of the deepest level red (when that level is not full) gives every
// path the same number of black nodes and never two reds in a row.
class TreeBuilder {
 public:
  TreeBuilder(const std::vector<std::uint32_t>& sorted, std::vector<TreeLinks>& links)
      : sorted_(sorted), links_(links) {}

  std::uint32_t Build() {
    const std::size_t n = sorted_.size();
    if (n == 0) return kNoStream;
    std::size_t full = 0;  // the depth of the deepest level, from 0
    while ((std::size_t{2} << full) - 1 < n) ++full;
    const bool perfect = (std::size_t{2} << full) - 1 == n;
    red_depth_ = perfect ? ~std::size_t{0} : full;
    return Range(0, n, 0);
  }

 private:
  std::uint32_t Range(std::size_t first, std::size_t last, std::size_t depth) {
    if (first == last) return kNoStream;
    const std::size_t middle = first + (last - first) / 2;
    const std::uint32_t id = sorted_[middle];
    links_[id].left = Range(first, middle, depth + 1);
    links_[id].right = Range(middle + 1, last, depth + 1);
    links_[id].color = depth == red_depth_ ? kRed : kBlack;
    return id;
  }

  const std::vector<std::uint32_t>& sorted_;
  std::vector<TreeLinks>& links_;
  std::size_t red_depth_ = 0;
};

void WriteChain(std::uint8_t* table, std::uint32_t first, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    Put32(table + 4 * (static_cast<std::size_t>(first) + i), i + 1 < count ? first + i + 1 : kEndOfChain);
  }
}

}  // namespace

void StreamBuffer::Reserve(std::uint64_t end) {
  const std::size_t pieces = static_cast<std::size_t>((end + kPieceSize - 1) >> kPieceShift);
  if (pieces == 0) return;
  if (pieces_.empty()) pieces_.emplace_back();
  const std::size_t first_needed = static_cast<std::size_t>(std::min<std::uint64_t>(end, kPieceSize));
  if (first_capacity_ < first_needed) {
    const std::size_t capacity = std::max({first_needed, std::min(2 * first_capacity_, kPieceSize), std::size_t{64}});
    auto grown = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
    if (size_) std::memcpy(grown.get(), pieces_[0].get(), static_cast<std::size_t>(std::min<std::uint64_t>(size_, first_capacity_)));
    pieces_[0] = std::move(grown);
    first_capacity_ = capacity;
  }
  while (pieces_.size() < pieces) pieces_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(kPieceSize));
}

void StreamBuffer::Fill(std::uint64_t position, const std::uint8_t* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const std::size_t within = static_cast<std::size_t>(position & (kPieceSize - 1));
    const std::size_t chunk = std::min(kPieceSize - within, count - done);
    std::uint8_t* target = pieces_[static_cast<std::size_t>(position >> kPieceShift)].get() + within;
    if (bytes) {
      std::memcpy(target, bytes + done, chunk);
    } else {
      std::memset(target, 0, chunk);
    }
    done += chunk;
    position += chunk;
  }
}

void StreamBuffer::Adopt(std::vector<std::uint8_t> bytes) {
  if (size_ != 0) throw std::logic_error("StreamBuffer::Adopt on a buffer with contents");
  size_ = bytes.size();
  adopted_ = std::move(bytes);
}

void StreamBuffer::Write(std::uint64_t position, const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  if (!adopted_.empty()) {
    const std::vector<std::uint8_t> contents = std::move(adopted_);
    adopted_.clear();
    size_ = 0;
    Write(0, contents.data(), contents.size());
  }
  const std::uint64_t end = position + count;
  Reserve(end);
  if (position > size_) Fill(size_, nullptr, static_cast<std::size_t>(position - size_));
  Fill(position, bytes, count);
  size_ = std::max(size_, end);
}

std::size_t StreamBuffer::Read(std::uint64_t position, std::uint8_t* out, std::size_t count) const {
  if (position >= size_) return 0;
  const std::size_t total = static_cast<std::size_t>(std::min<std::uint64_t>(count, size_ - position));
  if (!adopted_.empty()) {
    std::memcpy(out, adopted_.data() + position, total);
    return total;
  }
  std::size_t done = 0;
  while (done < total) {
    const std::size_t within = static_cast<std::size_t>(position & (kPieceSize - 1));
    const std::size_t chunk = std::min(kPieceSize - within, total - done);
    std::memcpy(out + done, pieces_[static_cast<std::size_t>(position >> kPieceShift)].get() + within, chunk);
    done += chunk;
    position += chunk;
  }
  return total;
}

void StreamBuffer::ForEachPiece(const std::function<void(std::span<const std::uint8_t>)>& take) const {
  if (!adopted_.empty()) {
    take(adopted_);
    return;
  }
  for (std::uint64_t at = 0; at < size_; at += kPieceSize) {
    const std::uint8_t* piece = pieces_[static_cast<std::size_t>(at >> kPieceShift)].get();
    take({piece, static_cast<std::size_t>(std::min<std::uint64_t>(kPieceSize, size_ - at))});
  }
}

void WriteCompoundFile(const std::vector<NewElement>& elements, std::vector<std::uint8_t>& image) {
  WriteCompoundFile(elements, image, [&image](std::span<const std::uint8_t> bytes) {
    image.insert(image.end(), bytes.begin(), bytes.end());
  });
}

void WriteCompoundFile(const std::vector<NewElement>& elements, std::vector<std::uint8_t>& image,
                       const std::function<void(std::span<const std::uint8_t>)>& tail) {
  const auto element_count = static_cast<std::uint32_t>(elements.size());

  // The directory tree.
  std::vector<TreeLinks> links(element_count);
  for (std::uint32_t id = 0; id < element_count; ++id) {
    const NewElement& element = elements[id];
    if (!element.is_storage && id != 0) continue;
    std::vector<std::uint32_t> sorted = element.children;
    std::sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
      return CompareEntryNames(elements[a].name, elements[b].name) < 0;
    });
    links[id].child = TreeBuilder(sorted, links).Build();
  }
  links[0].color = kBlack;

  // Space: mini sectors for the small streams, sectors for the rest.
  std::vector<std::uint32_t> start(element_count, kEndOfChain);
  std::uint32_t mini_sectors = 0;
  std::uint32_t stream_sectors = 0;
  for (std::uint32_t id = 1; id < element_count; ++id) {
    const NewElement& element = elements[id];
    if (element.data.size() > kMaxStreamSize) {
      throw Error("The stream \"" + Utf16ToCp1252(element.name) + "\" is too large for a compound file");
    }
    if (InMiniStream(element)) {
      start[id] = mini_sectors;
      mini_sectors += CeilDiv(element.data.size(), kMiniSectorSize);
    } else if (!element.is_storage && !element.data.empty()) {
      stream_sectors += CeilDiv(element.data.size(), kSectorSize);
    }
  }
  const std::uint64_t mini_stream_size = static_cast<std::uint64_t>(mini_sectors) * kMiniSectorSize;
  const std::uint32_t directory_sectors = CeilDiv(element_count, kEntriesPerSector);
  const std::uint32_t mini_fat_sectors = CeilDiv(mini_sectors, kIdsPerSector);
  const std::uint32_t mini_stream_sectors = CeilDiv(mini_stream_size, kSectorSize);
  const std::uint64_t data_sectors =
      std::uint64_t{directory_sectors} + mini_fat_sectors + mini_stream_sectors + stream_sectors;

  // The FAT must cover itself and the DIFAT sectors that list it.
  std::uint64_t fat_sectors = 1;
  std::uint64_t difat_sectors = 0;
  for (;;) {
    const std::uint64_t total = fat_sectors + difat_sectors + data_sectors;
    const std::uint64_t need_fat = total / kIdsPerSector + (total % kIdsPerSector != 0);
    const std::uint64_t beyond_header = need_fat > kHeaderDifatEntries ? need_fat - kHeaderDifatEntries : 0;
    const std::uint64_t need_difat = beyond_header / (kIdsPerSector - 1) + (beyond_header % (kIdsPerSector - 1) != 0);
    if (need_fat <= fat_sectors && need_difat <= difat_sectors) break;
    fat_sectors = std::max(fat_sectors, need_fat);
    difat_sectors = std::max(difat_sectors, need_difat);
  }
  const std::uint64_t total_sectors = fat_sectors + difat_sectors + data_sectors;
  if (total_sectors > kMaxRegularSector) throw Error("The compound file would be too large");

  // Sector layout: FAT, DIFAT, directory, mini FAT, mini stream, then the large streams.
  const auto first_difat = static_cast<std::uint32_t>(fat_sectors);
  const auto first_directory = static_cast<std::uint32_t>(first_difat + difat_sectors);
  const std::uint32_t first_mini_fat = first_directory + directory_sectors;
  const std::uint32_t first_mini_stream = first_mini_fat + mini_fat_sectors;
  std::uint32_t next_sector = first_mini_stream + mini_stream_sectors;
  for (std::uint32_t id = 1; id < element_count; ++id) {
    const NewElement& element = elements[id];
    if (element.is_storage || element.data.empty() || InMiniStream(element)) continue;
    start[id] = next_sector;
    next_sector += CeilDiv(element.data.size(), kSectorSize);
  }

  // Everything before the large streams is built in place; the large streams follow it in
  // sector order, so that their bytes are handed on once and never zeroed first.
  image.clear();
  image.reserve((total_sectors + 1) * kSectorSize);
  image.resize((std::size_t{first_mini_stream} + mini_stream_sectors + 1) * kSectorSize, 0);
  auto sector = [&](std::uint64_t id) { return image.data() + (id + 1) * kSectorSize; };

  // [MS-CFB] 2.2 Compound File Header
  std::uint8_t* h = image.data();
  std::memcpy(h, kSignature, sizeof kSignature);
  Put16(h + kHeaderMinorVersion, kMinorVersion);
  Put16(h + kHeaderMajorVersion, 3);
  Put16(h + kHeaderByteOrder, kByteOrderMark);
  Put16(h + kHeaderSectorShift, kShift);
  Put16(h + kHeaderMiniSectorShift, kMiniSectorShift);
  Put32(h + kHeaderFatSectorCount, static_cast<std::uint32_t>(fat_sectors));
  Put32(h + kHeaderFirstDirectorySector, first_directory);
  Put32(h + kHeaderMiniStreamCutoff, kMiniStreamCutoff);
  Put32(h + kHeaderFirstMiniFatSector, mini_fat_sectors ? first_mini_fat : kEndOfChain);
  Put32(h + kHeaderMiniFatSectorCount, mini_fat_sectors);
  Put32(h + kHeaderFirstDifatSector, difat_sectors ? first_difat : kEndOfChain);
  Put32(h + kHeaderDifatSectorCount, static_cast<std::uint32_t>(difat_sectors));
  for (std::uint32_t i = 0; i < kHeaderDifatEntries; ++i) {
    Put32(h + kHeaderDifat + 4 * i, i < fat_sectors ? i : kFreeSector);
  }

  // [MS-CFB] 2.5 DIFAT sectors: the FAT sectors after the first 109, 127 to a sector, each
  // sector ending with the number of the next.
  for (std::uint64_t d = 0; d < difat_sectors; ++d) {
    std::uint8_t* data = sector(first_difat + d);
    for (std::uint32_t i = 0; i < kIdsPerSector - 1; ++i) {
      const std::uint64_t fat_index = kHeaderDifatEntries + d * (kIdsPerSector - 1) + i;
      Put32(data + 4 * i, fat_index < fat_sectors ? static_cast<std::uint32_t>(fat_index) : kFreeSector);
    }
    Put32(data + 4 * (kIdsPerSector - 1),
          d + 1 < difat_sectors ? static_cast<std::uint32_t>(first_difat + d + 1) : kEndOfChain);
  }

  // [MS-CFB] 2.3 FAT sectors: they are sectors 0 to F-1, so the FAT is one run of the image.
  std::uint8_t* fat = sector(0);
  std::memset(fat, 0xFF, fat_sectors * kSectorSize);
  for (std::uint64_t i = 0; i < fat_sectors; ++i) Put32(fat + 4 * i, kFatSector);
  for (std::uint64_t i = 0; i < difat_sectors; ++i) Put32(fat + 4 * (first_difat + i), kDifatSector);
  WriteChain(fat, first_directory, directory_sectors);
  WriteChain(fat, first_mini_fat, mini_fat_sectors);
  WriteChain(fat, first_mini_stream, mini_stream_sectors);

  // [MS-CFB] 2.4 MiniFAT sectors, likewise one run.
  std::uint8_t* mini_fat = sector(first_mini_fat);
  std::memset(mini_fat, 0xFF, static_cast<std::size_t>(mini_fat_sectors) * kSectorSize);

  // Stream data and chains.
  std::uint8_t* mini_stream = sector(first_mini_stream);
  for (std::uint32_t id = 1; id < element_count; ++id) {
    const NewElement& element = elements[id];
    if (element.is_storage || element.data.empty()) continue;
    if (InMiniStream(element)) {
      element.data.CopyTo(mini_stream + static_cast<std::size_t>(start[id]) * kMiniSectorSize);
      WriteChain(mini_fat, start[id], CeilDiv(element.data.size(), kMiniSectorSize));
    } else {
      WriteChain(fat, start[id], CeilDiv(element.data.size(), kSectorSize));
    }
  }

  // [MS-CFB] 2.6.1 Compound File Directory Entry. Unused entries keep zeros with no links.
  for (std::uint32_t id = 0; id < directory_sectors * kEntriesPerSector; ++id) {
    std::uint8_t* e = sector(first_directory + id / kEntriesPerSector) + (id % kEntriesPerSector) * kDirectoryEntrySize;
    Put32(e + kEntryLeftSibling, kNoStream);
    Put32(e + kEntryRightSibling, kNoStream);
    Put32(e + kEntryChild, kNoStream);
    if (id >= element_count) continue;
    const NewElement& element = elements[id];
    const std::u16string name = id == 0 ? u"Root Entry" : element.name;
    for (std::size_t i = 0; i < name.size(); ++i) Put16(e + kEntryName + 2 * i, name[i]);
    Put16(e + kEntryNameLength, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    e[kEntryObjectType] = id == 0 ? kTypeRoot : element.is_storage ? kTypeStorage : kTypeStream;
    e[kEntryColor] = links[id].color;
    Put32(e + kEntryLeftSibling, links[id].left);
    Put32(e + kEntryRightSibling, links[id].right);
    Put32(e + kEntryChild, links[id].child);
    if (id == 0) {
      Put32(e + kEntryStartSector, mini_stream_sectors ? first_mini_stream : kEndOfChain);
      Put64(e + kEntryStreamSize, mini_stream_size);
    } else if (!element.is_storage) {
      Put32(e + kEntryStartSector, start[id]);
      Put64(e + kEntryStreamSize, element.data.size());
    }
  }
  for (std::uint32_t id = 1; id < element_count; ++id) {
    const NewElement& element = elements[id];
    if (element.is_storage || element.data.empty() || InMiniStream(element)) continue;
    element.data.ForEachPiece(tail);
    static constexpr std::uint8_t kZeros[kSectorSize] = {};
    tail({kZeros, (kSectorSize - element.data.size() % kSectorSize) % kSectorSize});
  }
}

}  // namespace ln40::cfb
