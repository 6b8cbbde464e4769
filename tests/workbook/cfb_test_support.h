#pragma once
// Helpers of the compound file tests: a temporary folder, a checksum, and a second,
// deliberately plain container builder that lays out any directory tree and any sector
// order, in 512- or 4096-byte sectors, so that the reader is tested on files our writer
// would never produce, and damage can be made by patching a known layout.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ln40::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// CRC-32 as zlib computes it (polynomial 0xEDB88320).
std::uint32_t Crc32(const std::vector<std::uint8_t>& bytes);

// Bytes 0, 1, 2, ... (mod 251), so that a misplaced sector shows.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed = 0);

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

inline constexpr std::uint32_t kNone = 0xFFFFFFFF;   // no sibling or child
inline constexpr std::uint32_t kEnd = 0xFFFFFFFE;    // end of a sector chain
inline constexpr std::uint32_t kFree = 0xFFFFFFFF;   // free sector

// One directory entry of a hand-made container, links given explicitly.
struct TestEntry {
  std::u16string name;
  std::uint8_t type = 2;  // 1 storage, 2 stream, 5 root
  std::uint32_t left = kNone;
  std::uint32_t right = kNone;
  std::uint32_t child = kNone;
  std::vector<std::uint8_t> data;
};

struct TestLayout {
  unsigned sector_shift = 9;  // 9 (version 3) or 12 (version 4)
  std::vector<TestEntry> entries;  // entries[0] is the root
  // Lays every chain out from the last sector to the first, so that no two neighbours of
  // a chain are neighbours in the file.
  bool reverse_chains = false;
};

// Where the builder put things, for tests that patch the image afterwards.
struct TestImage {
  std::vector<std::uint8_t> bytes;
  std::vector<std::uint32_t> start;  // per entry: first sector (or mini sector)
  std::uint32_t directory_start = 0;
  std::uint32_t mini_stream_start = kEnd;
  std::uint32_t sector_count = 0;
};

// Streams under 4096 bytes go into the mini stream. At most 109 FAT sectors (no DIFAT).
TestImage BuildTestImage(const TestLayout& layout);

// A version 3 container whose FAT has `fat_sectors` sectors (more than the header's 109,
// so the rest are listed in DIFAT sectors), most of them empty. The FAT sectors are listed
// in reverse order of their place in the file. The root holds one stream, "Data", of
// Pattern(5000) at the end of the file. `difat_start` receives the first DIFAT sector.
std::vector<std::uint8_t> BuildDifatImage(std::uint32_t fat_sectors, std::uint32_t* difat_start = nullptr);

// Patching a built image.
std::size_t SectorOffset(const std::vector<std::uint8_t>& image, std::uint32_t sector);
std::uint32_t FatEntry(const std::vector<std::uint8_t>& image, std::uint32_t sector);
void SetFatEntry(std::vector<std::uint8_t>& image, std::uint32_t sector, std::uint32_t value);
std::size_t EntryOffset(const std::vector<std::uint8_t>& image, std::uint32_t entry);
void Put32At(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value);
std::uint32_t Get32At(const std::vector<std::uint8_t>& image, std::size_t offset);

}  // namespace ln40::test
