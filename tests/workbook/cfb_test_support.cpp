#include "cfb_test_support.h"

#include <unistd.h>

#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace ln40::test {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "ln40cfb.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::uint32_t Crc32(const std::vector<std::uint8_t>& bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i + seed) % 251);
  return bytes;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

void Put32At(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) image.at(offset + i) = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32At(const std::vector<std::uint8_t>& image, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(image.at(offset + i)) << (8 * i);
  return value;
}

namespace {

void Put16At(std::vector<std::uint8_t>& image, std::size_t offset, std::uint16_t value) {
  image.at(offset) = static_cast<std::uint8_t>(value);
  image.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

unsigned ShiftOf(const std::vector<std::uint8_t>& image) { return image.at(30) | (image.at(31) << 8); }

std::uint32_t CeilDiv(std::uint64_t value, std::uint64_t unit) {
  return static_cast<std::uint32_t>((value + unit - 1) / unit);
}

}  // namespace

std::size_t SectorOffset(const std::vector<std::uint8_t>& image, std::uint32_t sector) {
  return (static_cast<std::size_t>(sector) + 1) << ShiftOf(image);
}

std::uint32_t FatEntry(const std::vector<std::uint8_t>& image, std::uint32_t sector) {
  const std::uint32_t per = (1u << ShiftOf(image)) / 4;
  const std::uint32_t fat_sector = Get32At(image, 76 + 4 * (sector / per));
  return Get32At(image, SectorOffset(image, fat_sector) + 4 * (sector % per));
}

void SetFatEntry(std::vector<std::uint8_t>& image, std::uint32_t sector, std::uint32_t value) {
  const std::uint32_t per = (1u << ShiftOf(image)) / 4;
  const std::uint32_t fat_sector = Get32At(image, 76 + 4 * (sector / per));
  Put32At(image, SectorOffset(image, fat_sector) + 4 * (sector % per), value);
}

std::size_t EntryOffset(const std::vector<std::uint8_t>& image, std::uint32_t entry) {
  const std::uint32_t per = (1u << ShiftOf(image)) / 128;
  std::uint32_t sector = Get32At(image, 48);
  for (std::uint32_t i = 0; i < entry / per; ++i) sector = FatEntry(image, sector);
  return SectorOffset(image, sector) + 128 * (entry % per);
}

TestImage BuildTestImage(const TestLayout& layout) {
  const unsigned shift = layout.sector_shift;
  const std::uint32_t sector_size = 1u << shift;
  const std::uint32_t ids_per_sector = sector_size / 4;
  const auto& entries = layout.entries;
  const auto entry_count = static_cast<std::uint32_t>(entries.size());
  TestImage result;
  result.start.assign(entry_count, kEnd);

  // Mini sectors for the small streams.
  std::vector<std::uint32_t> mini_first(entry_count, 0);
  std::uint32_t mini_sectors = 0;
  for (std::uint32_t id = 1; id < entry_count; ++id) {
    const auto size = entries[id].data.size();
    if (entries[id].type != 2 || size == 0 || size >= 4096) continue;
    mini_first[id] = mini_sectors;
    mini_sectors += CeilDiv(size, 64);
  }

  // Chains in ordinary sectors: directory, mini FAT, mini stream, large streams.
  struct Chain {
    std::uint32_t count;
    std::uint32_t entry;  // kNone for the container's own chains
    std::vector<std::uint32_t> sectors;
  };
  std::vector<Chain> chains;
  chains.push_back({CeilDiv(entry_count, sector_size / 128), kNone, {}});
  chains.push_back({CeilDiv(mini_sectors, ids_per_sector), kNone, {}});
  chains.push_back({CeilDiv(std::uint64_t{mini_sectors} * 64, sector_size), kNone, {}});
  for (std::uint32_t id = 1; id < entry_count; ++id) {
    if (entries[id].type == 2 && entries[id].data.size() >= 4096) {
      chains.push_back({CeilDiv(entries[id].data.size(), sector_size), id, {}});
    }
  }
  std::uint32_t data_sectors = 0;
  for (const Chain& chain : chains) data_sectors += chain.count;
  std::uint32_t fat_sectors = 1;
  while (fat_sectors * ids_per_sector < fat_sectors + data_sectors) ++fat_sectors;
  if (fat_sectors > 109) throw std::runtime_error("test image too large");
  std::uint32_t next = fat_sectors;
  for (Chain& chain : chains) {
    for (std::uint32_t i = 0; i < chain.count; ++i) {
      chain.sectors.push_back(layout.reverse_chains ? next + chain.count - 1 - i : next + i);
    }
    next += chain.count;
  }
  result.sector_count = next;

  std::vector<std::uint8_t> image((static_cast<std::size_t>(next) + 1) * sector_size, 0);
  const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(image.data(), signature, 8);
  Put16At(image, 24, 0x3E);
  Put16At(image, 26, shift == 12 ? 4 : 3);
  Put16At(image, 28, 0xFFFE);
  Put16At(image, 30, static_cast<std::uint16_t>(shift));
  Put16At(image, 32, 6);
  Put32At(image, 40, shift == 12 ? chains[0].count : 0);
  Put32At(image, 44, fat_sectors);
  Put32At(image, 48, chains[0].sectors.front());
  Put32At(image, 56, 4096);
  Put32At(image, 60, chains[1].count ? chains[1].sectors.front() : kEnd);
  Put32At(image, 64, chains[1].count);
  Put32At(image, 68, kEnd);
  for (std::uint32_t i = 0; i < 109; ++i) Put32At(image, 76 + 4 * i, i < fat_sectors ? i : kFree);
  result.directory_start = chains[0].sectors.front();

  auto sector = [&](std::uint32_t id) { return SectorOffset(image, id); };
  for (std::uint32_t i = 0; i < fat_sectors * ids_per_sector; ++i) {
    Put32At(image, sector(i / ids_per_sector) + 4 * (i % ids_per_sector), i < fat_sectors ? 0xFFFFFFFD : kFree);
  }
  for (const Chain& chain : chains) {
    for (std::size_t i = 0; i < chain.sectors.size(); ++i) {
      SetFatEntry(image, chain.sectors[i], i + 1 < chain.sectors.size() ? chain.sectors[i + 1] : kEnd);
    }
  }

  // Mini FAT and mini stream, mini chains reversed like the others when asked.
  const Chain& mini_fat = chains[1];
  const Chain& mini_stream = chains[2];
  auto mini_fat_set = [&](std::uint32_t mini, std::uint32_t value) {
    Put32At(image, sector(mini_fat.sectors[mini / ids_per_sector]) + 4 * (mini % ids_per_sector), value);
  };
  for (std::uint32_t i = 0; i < mini_fat.count * ids_per_sector; ++i) mini_fat_set(i, kFree);
  for (std::uint32_t id = 1; id < entry_count; ++id) {
    const auto& data = entries[id].data;
    if (entries[id].type != 2 || data.empty() || data.size() >= 4096) continue;
    const std::uint32_t count = CeilDiv(data.size(), 64);
    std::vector<std::uint32_t> minis;
    for (std::uint32_t i = 0; i < count; ++i) {
      minis.push_back(mini_first[id] + (layout.reverse_chains ? count - 1 - i : i));
    }
    for (std::uint32_t i = 0; i < count; ++i) {
      mini_fat_set(minis[i], i + 1 < count ? minis[i + 1] : kEnd);
      const std::uint64_t at = std::uint64_t{minis[i]} * 64;
      const std::size_t piece = std::min<std::size_t>(64, data.size() - i * 64);
      std::memcpy(image.data() + sector(mini_stream.sectors[at / sector_size]) + at % sector_size,
                  data.data() + i * 64, piece);
    }
    result.start[id] = minis.front();
  }
  if (mini_stream.count) result.mini_stream_start = mini_stream.sectors.front();

  for (const Chain& chain : chains) {
    if (chain.entry == kNone) continue;
    const auto& data = entries[chain.entry].data;
    for (std::size_t i = 0; i < chain.sectors.size(); ++i) {
      const std::size_t piece = std::min<std::size_t>(sector_size, data.size() - i * sector_size);
      std::memcpy(image.data() + sector(chain.sectors[i]), data.data() + i * sector_size, piece);
    }
    result.start[chain.entry] = chain.sectors.front();
  }

  // Directory entries.
  const std::uint32_t per_sector = sector_size / 128;
  for (std::uint32_t id = 0; id < chains[0].count * per_sector; ++id) {
    const std::size_t e = sector(chains[0].sectors[id / per_sector]) + 128 * (id % per_sector);
    Put32At(image, e + 68, kNone);
    Put32At(image, e + 72, kNone);
    Put32At(image, e + 76, kNone);
    if (id >= entry_count) continue;
    const TestEntry& entry = entries[id];
    for (std::size_t i = 0; i < entry.name.size(); ++i) Put16At(image, e + 2 * i, entry.name[i]);
    Put16At(image, e + 64, static_cast<std::uint16_t>(2 * (entry.name.size() + 1)));
    image[e + 66] = id == 0 ? 5 : entry.type;
    image[e + 67] = 1;
    Put32At(image, e + 68, entry.left);
    Put32At(image, e + 72, entry.right);
    Put32At(image, e + 76, entry.child);
    if (id == 0) {
      Put32At(image, e + 116, result.mini_stream_start);
      Put32At(image, e + 120, mini_sectors * 64);
    } else if (entry.type == 2) {
      Put32At(image, e + 116, result.start[id]);
      Put32At(image, e + 120, static_cast<std::uint32_t>(entry.data.size()));
    }
  }
  result.bytes = std::move(image);
  return result;
}

std::vector<std::uint8_t> BuildDifatImage(std::uint32_t fat_sectors, std::uint32_t* difat_start) {
  const std::uint32_t difat_sectors = fat_sectors > 109 ? CeilDiv(fat_sectors - 109, 127) : 0;
  const std::uint32_t directory = fat_sectors + difat_sectors;
  const std::uint32_t data = directory + 1;
  const std::uint32_t total = data + 10;
  if (total > fat_sectors * 128) throw std::runtime_error("FAT too small");
  std::vector<std::uint8_t> image((static_cast<std::size_t>(total) + 1) * 512, 0);
  const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(image.data(), signature, 8);
  Put16At(image, 24, 0x3E);
  Put16At(image, 26, 3);
  Put16At(image, 28, 0xFFFE);
  Put16At(image, 30, 9);
  Put16At(image, 32, 6);
  Put32At(image, 44, fat_sectors);
  Put32At(image, 48, directory);
  Put32At(image, 56, 4096);
  Put32At(image, 60, kEnd);
  Put32At(image, 68, difat_sectors ? fat_sectors : kEnd);
  Put32At(image, 72, difat_sectors);
  if (difat_start) *difat_start = fat_sectors;

  // FAT sector i of the table is file sector fat_sectors - 1 - i.
  std::vector<std::uint32_t> listed(fat_sectors);
  for (std::uint32_t i = 0; i < fat_sectors; ++i) listed[i] = fat_sectors - 1 - i;
  for (std::uint32_t i = 0; i < 109; ++i) Put32At(image, 76 + 4 * i, i < fat_sectors ? listed[i] : kFree);
  for (std::uint32_t d = 0; d < difat_sectors; ++d) {
    const std::size_t at = (static_cast<std::size_t>(fat_sectors) + d + 1) * 512;
    for (std::uint32_t i = 0; i < 127; ++i) {
      const std::uint32_t index = 109 + d * 127 + i;
      Put32At(image, at + 4 * i, index < fat_sectors ? listed[index] : kFree);
    }
    Put32At(image, at + 508, d + 1 < difat_sectors ? fat_sectors + d + 1 : kEnd);
  }
  std::memset(image.data() + 512, 0xFF, static_cast<std::size_t>(fat_sectors) * 512);
  for (std::uint32_t s = 0; s < fat_sectors; ++s) SetFatEntry(image, s, 0xFFFFFFFD);
  for (std::uint32_t d = 0; d < difat_sectors; ++d) SetFatEntry(image, fat_sectors + d, 0xFFFFFFFC);
  SetFatEntry(image, directory, kEnd);
  for (std::uint32_t i = 0; i < 10; ++i) SetFatEntry(image, data + i, i + 1 < 10 ? data + i + 1 : kEnd);

  const std::size_t root = (static_cast<std::size_t>(directory) + 1) * 512;
  const std::u16string names[2] = {u"Root Entry", u"Data"};
  for (std::size_t e = 0; e < 4; ++e) {
    const std::size_t at = root + 128 * e;
    Put32At(image, at + 68, kNone);
    Put32At(image, at + 72, kNone);
    Put32At(image, at + 76, kNone);
    if (e >= 2) continue;
    for (std::size_t i = 0; i < names[e].size(); ++i) Put16At(image, at + 2 * i, names[e][i]);
    Put16At(image, at + 64, static_cast<std::uint16_t>(2 * (names[e].size() + 1)));
    image[at + 66] = e == 0 ? 5 : 2;
    image[at + 67] = 1;
    Put32At(image, at + 116, e == 0 ? kEnd : data);
    Put32At(image, at + 120, e == 0 ? 0 : 5000);
  }
  Put32At(image, root + 76, 1);
  const std::vector<std::uint8_t> bytes = Pattern(5000);
  std::memcpy(image.data() + (static_cast<std::size_t>(data) + 1) * 512, bytes.data(), bytes.size());
  return image;
}

}  // namespace ln40::test
