#pragma once
// Constants and small helpers of the Compound File Binary format shared by the container
// reader and writer: field offsets, special sector and entry ids, little-endian access and
// the ordering of directory entry names. Internal to src/workbook.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ln40::cfb {

// [MS-CFB] 2.2 Compound File Header
inline constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
inline constexpr std::size_t kHeaderSize = 512;
inline constexpr std::size_t kHeaderMinorVersion = 24;
inline constexpr std::size_t kHeaderMajorVersion = 26;
inline constexpr std::size_t kHeaderByteOrder = 28;
inline constexpr std::size_t kHeaderSectorShift = 30;
inline constexpr std::size_t kHeaderMiniSectorShift = 32;
inline constexpr std::size_t kHeaderDirectorySectorCount = 40;
inline constexpr std::size_t kHeaderFatSectorCount = 44;
inline constexpr std::size_t kHeaderFirstDirectorySector = 48;
inline constexpr std::size_t kHeaderMiniStreamCutoff = 56;
inline constexpr std::size_t kHeaderFirstMiniFatSector = 60;
inline constexpr std::size_t kHeaderMiniFatSectorCount = 64;
inline constexpr std::size_t kHeaderFirstDifatSector = 68;
inline constexpr std::size_t kHeaderDifatSectorCount = 72;
inline constexpr std::size_t kHeaderDifat = 76;
inline constexpr std::size_t kHeaderDifatEntries = 109;

inline constexpr std::uint16_t kMinorVersion = 0x003E;
inline constexpr std::uint16_t kByteOrderMark = 0xFFFE;
inline constexpr unsigned kMiniSectorShift = 6;
inline constexpr std::uint32_t kMiniSectorSize = 1u << kMiniSectorShift;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;

// [MS-CFB] 2.1 Compound File Sector Numbers and Types
inline constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;

// [MS-CFB] 2.6.1 Compound File Directory Entry
inline constexpr std::size_t kDirectoryEntrySize = 128;
inline constexpr std::size_t kEntryName = 0;
inline constexpr std::size_t kEntryNameLength = 64;
inline constexpr std::size_t kEntryObjectType = 66;
inline constexpr std::size_t kEntryColor = 67;
inline constexpr std::size_t kEntryLeftSibling = 68;
inline constexpr std::size_t kEntryRightSibling = 72;
inline constexpr std::size_t kEntryChild = 76;
inline constexpr std::size_t kEntryStartSector = 116;
inline constexpr std::size_t kEntryStreamSize = 120;
inline constexpr std::size_t kMaxNameChars = 31;  // plus the terminating null

inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

inline constexpr std::uint8_t kTypeUnused = 0;
inline constexpr std::uint8_t kTypeStorage = 1;
inline constexpr std::uint8_t kTypeStream = 2;
inline constexpr std::uint8_t kTypeRoot = 5;

inline constexpr std::uint8_t kRed = 0;
inline constexpr std::uint8_t kBlack = 1;

inline std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void Put64(std::uint8_t* p, std::uint64_t v) {
  Put32(p, static_cast<std::uint32_t>(v));
  Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// The upper case of one UTF-16 code unit as directory names are compared: the simple
// (one-to-one) mappings of the Latin, Greek, Cyrillic and full-width Latin letters.
// Code units outside those blocks compare as they are.
char16_t UpperCaseNameChar(char16_t c);

// [MS-CFB] 2.6.4 Red-Black Tree: a shorter name sorts first; names of equal length compare
// code unit by code unit after upper-casing. Returns <0, 0 or >0.
int CompareEntryNames(std::u16string_view a, std::u16string_view b);

// Whether a name may name an element: 1 to 31 UTF-16 code units, none of them '/', '\', ':',
// '!' or a null ([MS-CFB] 2.6.1 Directory Entry Name).
bool IsValidEntryName(std::u16string_view name);

}  // namespace ln40::cfb
