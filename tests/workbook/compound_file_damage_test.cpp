// Damaged and foreign files are refused with a message that names the damage; the reader
// never loops, crashes or reads outside the image on them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "cfb_test_support.h"
#include "text/error.h"
#include "compound_file/ole2_storage.h"
#include "xls/xls_storage.h"

namespace ln40 {
namespace {

using test::kEnd;
using test::kFree;
using test::kNone;
using test::Pattern;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* const kName = "damaged.xls";

// Root: Small (mini), Workbook (10 sectors), Sub (storage holding Inner), Other (10
// sectors). Chains are laid out in order: directory, mini FAT, mini stream, Workbook, Other.
test::TestImage Sample() {
  test::TestLayout layout;
  layout.entries = {
      {u"Root Entry", 5, kNone, kNone, 1, {}},
      {u"Workbook", 2, 2, 3, kNone, Pattern(5000, 1)},
      {u"Small", 2, kNone, kNone, kNone, Pattern(200, 2)},
      {u"Sub", 1, kNone, 5, 4, {}},
      {u"Inner", 2, kNone, kNone, kNone, Pattern(100, 3)},
      {u"Other", 2, kNone, kNone, kNone, Pattern(5000, 4)},
  };
  return test::BuildTestImage(layout);
}

// Opens the image and reads everything in it, as opening a workbook does.
void OpenAndReadAll(std::vector<std::uint8_t> bytes) {
  TOle2Storage storage = TOle2Storage::OpenMemory(std::move(bytes), kName);
  ReadKeptElements(storage);
  storage.OpenStream("Workbook").ReadAll();
}

TEST(CompoundFileDamageTest, SampleIsSound) {
  const test::TestImage sample = Sample();
  TOle2Storage storage = TOle2Storage::OpenMemory(sample.bytes, kName);
  EXPECT_EQ(storage.OpenStream("Other").ReadAll(), Pattern(5000, 4));
  EXPECT_NO_THROW(OpenAndReadAll(sample.bytes));
}

TEST(CompoundFileDamageTest, ForeignBytesAreNotACompoundFile) {
  const std::vector<std::uint8_t> valid = Sample().bytes;
  std::vector<std::uint8_t> wrong_signature = valid;
  wrong_signature[7] ^= 1;
  const std::vector<std::uint8_t> cases[] = {
      {},
      std::vector<std::uint8_t>(valid.begin(), valid.begin() + 511),  // shorter than the header
      wrong_signature,
      std::vector<std::uint8_t>(4096, ' '),
  };
  for (const auto& bytes : cases) {
    EXPECT_THAT([&] { TOle2Storage::OpenMemory(bytes, kName); },
                ::testing::ThrowsMessage<Error>("The file \"damaged.xls\" is invalid"))
        << bytes.size() << " bytes";
  }
}

struct DamageCase {
  const char* label;
  std::function<void(test::TestImage&)> damage;
  std::string message;  // a part of the expected message
};

std::uint32_t Start(const test::TestImage& t, std::uint32_t entry) { return t.start[entry]; }

void SetEntry32(test::TestImage& t, std::uint32_t entry, std::size_t field, std::uint32_t value) {
  test::Put32At(t.bytes, test::EntryOffset(t.bytes, entry) + field, value);
}

void SetMiniFatEntry(test::TestImage& t, std::uint32_t mini, std::uint32_t value) {
  const std::uint32_t first = test::Get32At(t.bytes, 60);
  test::Put32At(t.bytes, test::SectorOffset(t.bytes, first) + 4 * mini, value);
}

constexpr std::size_t kLeft = 68, kRight = 72, kChild = 76, kStart = 116, kSize = 120;

const std::vector<DamageCase>& DamageCases() {
  static const std::vector<DamageCase> cases = {
      {"SectorShift", [](auto& t) { t.bytes[30] = 30; }, "The file \"damaged.xls\" is damaged: the header gives a sector shift of 30"},
      {"ByteOrder", [](auto& t) { t.bytes[28] = 0; }, "byte order"},
      {"Version", [](auto& t) { t.bytes[26] = 7; }, "format version 7"},
      {"MiniStreamCutoff", [](auto& t) { test::Put32At(t.bytes, 56, 512); }, "mini stream cutoff of 512"},
      {"FatCount", [](auto& t) { test::Put32At(t.bytes, 44, 1000000); }, "1000000 FAT sectors in a file of"},
      {"FatSectorOutsideFile", [](auto& t) { test::Put32At(t.bytes, 76, 5000); }, "FAT sector 0 is at sector 5000, outside the file"},
      {"DirectoryLoop", [](auto& t) { test::SetFatEntry(t.bytes, t.directory_start, t.directory_start); },
       "the sector chain of the directory loops back to sector"},
      {"FatLoop", [](auto& t) { test::SetFatEntry(t.bytes, Start(t, 1) + 5, Start(t, 1) + 1); },
       "the sector chain of stream \"Workbook\" loops back to sector"},
      {"ChainOutsideFile", [](auto& t) { test::SetFatEntry(t.bytes, Start(t, 1) + 3, 100000); },
       "the sector chain of stream \"Workbook\" points to sector 100000, outside the file"},
      {"ChainIntoFreeMark", [](auto& t) { test::SetFatEntry(t.bytes, Start(t, 1) + 3, kFree); },
       "points to a free sector mark"},
      {"ChainEndsEarly", [](auto& t) { test::SetFatEntry(t.bytes, Start(t, 1) + 4, kEnd); },
       "the sector chain of stream \"Workbook\" ends after 5 of its 10 sectors"},
      {"ChainsOverlap", [](auto& t) { SetEntry32(t, 5, kStart, Start(t, 1) + 5); }, "belongs both to"},
      {"ChainRunsIntoFat", [](auto& t) { test::SetFatEntry(t.bytes, Start(t, 1), 0); },
       "sector 0 belongs both to the FAT and to stream \"Workbook\""},
      {"MiniChainLoop", [](auto& t) { SetMiniFatEntry(t, Start(t, 2) + 2, Start(t, 2)); },
       "the mini sector chain of stream \"Small\" loops back to mini sector"},
      {"MiniChainOutside", [](auto& t) { SetMiniFatEntry(t, Start(t, 2) + 1, 4000); }, "outside the mini stream"},
      {"MiniStreamTooShort", [](auto& t) { SetEntry32(t, 0, kSize, 64); }, "outside the mini stream"},
      {"StreamSizeTooLarge", [](auto& t) { SetEntry32(t, 1, kSize, 0x7FFFFFFF); },
       "stream \"Workbook\" claims 2147483647 bytes, more than the file holds"},
      {"RootNotFirst", [](auto& t) { t.bytes[test::EntryOffset(t.bytes, 0) + 66] = 1; },
       "the first directory entry is not the root storage"},
      {"SiblingOutOfRange", [](auto& t) { SetEntry32(t, 2, kRight, 999); },
       "Can't read file \"damaged.xls\": directory entry 2 links to entry 999"},
      {"ChildOutOfRange", [](auto& t) { SetEntry32(t, 3, kChild, 500); },
       "Can't read file \"Sub\": directory entry 3 links to entry 500"},
      {"CycleInRoot", [](auto& t) { SetEntry32(t, 2, kLeft, 1); },
       "Can't read file \"damaged.xls\": directory entry 1 is linked twice"},
      {"CycleThroughParent", [](auto& t) { SetEntry32(t, 4, kRight, 3); },
       "Can't read file \"Sub\": directory entry 3 is linked twice"},
      {"UnusedEntryLinked", [](auto& t) { t.bytes[test::EntryOffset(t.bytes, 5) + 66] = 0; },
       "directory entry 5 is linked into the tree but unused"},
      {"NameLength", [](auto& t) { t.bytes[test::EntryOffset(t.bytes, 2) + 64] = 200; },
       "directory entry 2 gives a name length of 200 bytes"},
      {"DuplicateName",
       [](auto& t) {
         const std::size_t e = test::EntryOffset(t.bytes, 5);
         for (int i = 0; i < 5; ++i) t.bytes[e + 2 * i] = static_cast<std::uint8_t>("Small"[i]);
       },
       "Can't read file \"damaged.xls\": two elements are named \"Small\""},
      {"TruncatedHalf", [](auto& t) { t.bytes.resize(t.bytes.size() / 2); }, "is damaged: the sector chain of"},
      // "Other" needs 392 bytes of its last sector; 312 are left.
      {"TruncatedInLastSector", [](auto& t) { t.bytes.resize(t.bytes.size() - 200); },
       "stream \"Other\" reaches beyond the end of the file"},
  };
  return cases;
}

TEST(CompoundFileDamageTest, DamageIsRefusedAndNamed) {
  for (const DamageCase& c : DamageCases()) {
    SCOPED_TRACE(c.label);
    test::TestImage image = Sample();
    c.damage(image);
    EXPECT_THAT([&] { OpenAndReadAll(image.bytes); }, ::testing::ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

TEST(CompoundFileDamageTest, ReadsFatListedInDifatSectors) {
  for (std::uint32_t fat_sectors : {110u, 240u}) {
    TOle2Storage storage = TOle2Storage::OpenMemory(test::BuildDifatImage(fat_sectors), kName);
    EXPECT_EQ(storage.OpenStream("Data").ReadAll(), Pattern(5000)) << fat_sectors;
  }
}

TEST(CompoundFileDamageTest, DamagedDifatIsRefused) {
  std::uint32_t difat = 0;
  const std::vector<std::uint8_t> sound = test::BuildDifatImage(240, &difat);  // two DIFAT sectors
  struct Case {
    std::size_t offset;
    std::uint32_t value;
    const char* message;
  } cases[] = {
      {test::SectorOffset(sound, difat) + 508, difat, "the sector chain of the DIFAT loops back to sector"},
      {test::SectorOffset(sound, difat) + 508, kEnd, "the DIFAT lists 236 of the 240 FAT sectors and then points to an end-of-chain mark"},
      {test::SectorOffset(sound, difat) + 8, 3, "sector 3 is listed twice as a FAT sector"},
      {test::SectorOffset(sound, difat) + 12, difat, "sector 240 belongs both to the DIFAT and to the FAT"},
      {68, 9999, "the DIFAT lists 109 of the 240 FAT sectors and then points to sector 9999"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = sound;
    test::Put32At(bytes, c.offset, c.value);
    EXPECT_THAT([&] { OpenAndReadAll(bytes); }, ::testing::ThrowsMessage<Error>(HasSubstr(c.message))) << c.message;
  }
}

TEST(CompoundFileDamageTest, UnusedTailOfTheLastSectorMayBeMissing) {
  // Some writers stop the file where the data ends instead of filling the last sector.
  test::TestImage image = Sample();
  image.bytes.resize(image.bytes.size() - 100);
  TOle2Storage storage = TOle2Storage::OpenMemory(image.bytes, kName);
  EXPECT_EQ(storage.OpenStream("Other").ReadAll(), Pattern(5000, 4));
}

// Root: Workbook (10 sectors), Small (mini sectors 0-3), Tail (mini sectors 4-13, across
// both sectors of the mini stream). Without `with_workbook` the mini stream ends the file.
test::TestImage MiniSample(bool with_workbook) {
  test::TestLayout layout;
  layout.entries = {
      {u"Root Entry", 5, kNone, kNone, 1, {}},
      {u"Small", 2, kNone, 2, kNone, Pattern(200, 2)},
      {u"Tail", 2, kNone, kNone, kNone, Pattern(600, 3)},
  };
  if (with_workbook) {
    layout.entries[2].right = 3;
    layout.entries.push_back({u"Workbook", 2, kNone, kNone, kNone, Pattern(5000, 1)});
  }
  return test::BuildTestImage(layout);
}

// Some writers give the mini stream a size or a sector chain that runs past the end of the
// file; other readers accept such files, and so does ours: what the file holds is read,
// and only a stream whose data it does not hold cannot be opened.
TEST(CompoundFileDamageTest, MiniStreamPastTheEndOfTheFileIsReadAsFarAsItGoes) {
  const std::string missing_tail = "The file \"damaged.xls\" is damaged: stream \"Tail\" reaches beyond the end of the mini stream";
  struct Case {
    const char* label;
    bool with_workbook;
    std::function<void(test::TestImage&)> damage;
    std::string tail_error;  // empty: "Tail" reads whole
  };
  const std::uint32_t beyond = 100;  // a sector the FAT describes but the file does not hold
  const Case cases[] = {
      {"RootSizeBeyondFile", true, [](auto& t) { SetEntry32(t, 0, kSize, 0x100000); }, ""},
      {"RootSizeHuge", true, [](auto& t) { SetEntry32(t, 0, kSize, 0xFFFFFFC0); }, ""},
      {"ChainRunsPastEnd", true,
       [&](auto& t) {
         SetEntry32(t, 0, kSize, 3 * 512);
         test::SetFatEntry(t.bytes, t.mini_stream_start + 1, beyond);
       },
       ""},
      {"SecondSectorPastEnd", true, [&](auto& t) { test::SetFatEntry(t.bytes, t.mini_stream_start, beyond); },
       missing_tail},
      {"SecondSectorFreeMark", true, [](auto& t) { test::SetFatEntry(t.bytes, t.mini_stream_start, kFree); },
       missing_tail},
      // The mini stream ends the file: "Tail" needs 24 bytes of mini sector 13, at 320-344
      // of the last sector.
      {"CutAfterTheLastByteNeeded", false, [](auto& t) { t.bytes.resize(t.bytes.size() - 512 + 344); }, ""},
      {"CutInTheLastMiniSector", false, [](auto& t) { t.bytes.resize(t.bytes.size() - 512 + 330); },
       "The file \"damaged.xls\" is damaged: stream \"Tail\" reaches beyond the end of the file"},
      {"CutBeforeTheLastMiniSector", false, [](auto& t) { t.bytes.resize(t.bytes.size() - 512 + 300); },
       missing_tail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::TestImage image = MiniSample(c.with_workbook);
    c.damage(image);
    TOle2Storage storage = TOle2Storage::OpenMemory(image.bytes, kName);
    EXPECT_EQ(storage.OpenStream("Small").ReadAll(), Pattern(200, 2));
    if (c.with_workbook) {
      EXPECT_EQ(storage.OpenStream("Workbook").ReadAll(), Pattern(5000, 1));
    }
    std::vector<std::string> kept;
    for (const TXlsStorage& entry : ReadKeptElements(storage)) kept.push_back(entry.Name);
    const auto listed = storage.ListElements();
    const auto tail = std::find_if(listed.begin(), listed.end(), [](const TOle2Element& e) { return e.Name == "Tail"; });
    ASSERT_NE(tail, listed.end());
    EXPECT_EQ(tail->Size, 600u);
    if (c.tail_error.empty()) {
      EXPECT_TRUE(tail->Readable);
      EXPECT_EQ(storage.OpenStream("Tail").ReadAll(), Pattern(600, 3));
      EXPECT_THAT(kept, ::testing::Contains("Tail"));
    } else {
      EXPECT_FALSE(tail->Readable);
      EXPECT_THAT([&] { storage.OpenStream("Tail"); }, ::testing::ThrowsMessage<Error>(c.tail_error));
      EXPECT_THAT(kept, ::testing::ElementsAre("Small"));  // the unreadable stream is not kept
    }
  }
}

// What stays refused: a mini stream whose chain loops, or that the root's own size makes
// too short for a stream's chain, is damage and not a file cut short.
TEST(CompoundFileDamageTest, MiniStreamDamageWithinTheFileIsStillRefused) {
  test::TestImage looped = MiniSample(true);
  test::SetFatEntry(looped.bytes, looped.mini_stream_start + 1, looped.mini_stream_start);
  SetEntry32(looped, 0, kSize, 3 * 512);
  EXPECT_THAT([&] { OpenAndReadAll(looped.bytes); },
              ::testing::ThrowsMessage<Error>(HasSubstr("the sector chain of the mini stream loops back")));
  test::TestImage too_short = MiniSample(true);
  SetEntry32(too_short, 0, kSize, 64 * 6);
  EXPECT_THAT([&] { OpenAndReadAll(too_short.bytes); },
              ::testing::ThrowsMessage<Error>(HasSubstr("stream \"Tail\" points to sector 6, outside the mini stream")));
}

TEST(CompoundFileDamageTest, StoragesNestedTooDeeplyAreRefused) {
  test::TestLayout layout;
  layout.entries.push_back({u"Root Entry", 5, kNone, kNone, 1, {}});
  for (std::uint32_t i = 1; i <= 300; ++i) {
    layout.entries.push_back({u"S" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)), 1, kNone, kNone,
                              i < 300 ? i + 1 : kNone, {}});
  }
  EXPECT_THAT([&] { OpenAndReadAll(test::BuildTestImage(layout).bytes); },
              ::testing::ThrowsMessage<Error>(AllOf(StartsWith("Can't read file \""), HasSubstr("nested more than 256"))));
}

}  // namespace
}  // namespace ln40
