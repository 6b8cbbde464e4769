// TOle2Storage and TOle2Stream: containers we write read back identically, the reader
// copes with layouts and tree shapes our writer never makes, and the interface keeps its
// promises on names, positions, modes and files.
#include "compound_file/ole2_storage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

#include "cfb_test_support.h"
#include "text/error.h"
#include "compound_file/compound_file_format.h"

namespace ln40 {
namespace {

using test::BuildTestImage;
using test::Pattern;
using test::TempFolder;
using test::TestEntry;
using test::TestLayout;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// Every stream of the current storage and below, by path, read through the interface.
std::map<std::string, std::vector<std::uint8_t>> ReadTree(TOle2Storage& storage, const std::string& prefix = "") {
  std::map<std::string, std::vector<std::uint8_t>> streams;
  for (const TOle2Element& element : storage.ListElements()) {
    if (element.Type == TOle2ElementType::Stream) {
      TOle2Stream stream = storage.OpenStream(element.WideName);
      EXPECT_EQ(stream.Size(), element.Size) << element.Name;
      streams[prefix + element.Name] = stream.ReadAll();
    } else if (element.Type == TOle2ElementType::Storage) {
      storage.EnterStorage(element.WideName);
      streams.merge(ReadTree(storage, prefix + element.Name + "/"));
      storage.LeaveStorage();
    }
  }
  return streams;
}

std::vector<std::string> Names(const std::vector<TOle2Element>& elements) {
  std::vector<std::string> names;
  for (const TOle2Element& element : elements) names.push_back(element.Name);
  return names;
}

void Write(TOle2Storage& storage, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  TOle2Stream stream = storage.OpenStream(name);
  EXPECT_EQ(stream.Write(bytes.data(), bytes.size()), bytes.size());
}

TEST(Ole2StorageTest, StreamsOfEverySizeRoundTripInMemory) {
  // Sizes around the mini sector (64), the sector (512) and the mini stream cutoff (4096).
  const std::vector<std::size_t> sizes = {0, 1, 63, 64, 65, 511, 512, 513, 4095, 4096, 4097, 100000};
  std::map<std::string, std::vector<std::uint8_t>> expected;
  std::vector<std::uint8_t> image;
  {
    TOle2Storage storage = TOle2Storage::CreateMemory(image);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      const std::string name = "s" + std::to_string(sizes[i]);
      expected[name] = Pattern(sizes[i], static_cast<std::uint8_t>(i));
      Write(storage, name, expected[name]);
    }
    storage.EnterStorage("Sub");
    Write(storage, "Workbook", expected["Sub/Workbook"] = Pattern(5000, 7));
    storage.EnterStorage("Deeper");
    Write(storage, "Leaf", expected["Sub/Deeper/Leaf"] = Pattern(300, 9));
    storage.LeaveStorage();
    storage.LeaveStorage();
    storage.EnterStorage("EmptyStorage");
    storage.LeaveStorage();
    storage.Release();
  }
  ASSERT_FALSE(image.empty());
  EXPECT_EQ(image.size() % 512, 0u);

  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  EXPECT_EQ(ReadTree(storage), expected);
  storage.EnterStorage("EmptyStorage");
  EXPECT_TRUE(storage.ListElements().empty());
}

// An image in pieces is the image in one piece, the large streams' pieces their own bytes.
TEST(Ole2StorageTest, ImageInPiecesIsTheImageInOnePiece) {
  const std::vector<std::uint8_t> large = Pattern(100000, 3), small = Pattern(700, 4);
  const auto fill = [&](TOle2Storage& storage) {
    Write(storage, "Small", small);
    storage.OpenStream("Workbook").Write(std::vector<std::uint8_t>(large));  // taken whole
    Write(storage, "Large", Pattern(5000, 5));
    storage.Release();
  };
  std::vector<std::uint8_t> image;
  TOle2Storage whole = TOle2Storage::CreateMemory(image);
  fill(whole);
  std::vector<std::span<const std::uint8_t>> pieces;
  TOle2Storage in_pieces = TOle2Storage::CreatePieces(pieces);
  fill(in_pieces);

  std::vector<std::uint8_t> joined;
  bool large_seen = false;
  for (const std::span<const std::uint8_t> piece : pieces) {
    joined.insert(joined.end(), piece.begin(), piece.end());
    large_seen = large_seen || (piece.size() == large.size() && std::equal(piece.begin(), piece.end(), large.begin()));
  }
  EXPECT_EQ(joined, image);
  EXPECT_TRUE(large_seen);
}

TEST(Ole2StorageTest, ListsElementsInDirectoryOrderWhateverTheCreationOrder) {
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  for (const char* name : {"Workbook", "b", "\x05SummaryInformation", "A", "Ab", "aa", "C"}) Write(created, name, {1});
  const std::vector<std::string> order = {"A", "b", "C", "aa", "Ab", "Workbook", "\x05SummaryInformation"};
  EXPECT_EQ(Names(created.ListElements()), order);
  created.Release();
  EXPECT_EQ(Names(TOle2Storage::OpenMemory(image).ListElements()), order);
}

// Reads a written image's directory raw and checks the sibling tree of the root: ordered
// by the directory's comparison, root black, no red child of a red node, and the same
// count of black nodes on every path.
void CheckRedBlackTree(const std::vector<std::uint8_t>& image, std::size_t expected_count) {
  std::size_t visited = 0;
  std::function<int(std::uint32_t, const std::u16string*, const std::u16string*, bool)> check =
      [&](std::uint32_t id, const std::u16string* low, const std::u16string* high, bool parent_red) -> int {
    if (id == test::kNone) return 1;
    ++visited;
    const std::size_t e = test::EntryOffset(image, id);
    std::u16string name;
    const std::size_t length = image[e + 64] / 2 - 1;
    for (std::size_t i = 0; i < length; ++i) name.push_back(static_cast<char16_t>(image[e + 2 * i] | (image[e + 2 * i + 1] << 8)));
    if (low) {
      EXPECT_LT(cfb::CompareEntryNames(*low, name), 0);
    }
    if (high) {
      EXPECT_LT(cfb::CompareEntryNames(name, *high), 0);
    }
    const bool red = image[e + 67] == cfb::kRed;
    EXPECT_FALSE(red && parent_red) << "two reds in a row at entry " << id;
    const int left = check(test::Get32At(image, e + 68), low, &name, red);
    const int right = check(test::Get32At(image, e + 72), &name, high, red);
    EXPECT_EQ(left, right) << "black heights differ below entry " << id;
    return left + (red ? 0 : 1);
  };
  const std::uint32_t top = test::Get32At(image, test::EntryOffset(image, 0) + 76);
  if (top != test::kNone) {
    EXPECT_EQ(image[test::EntryOffset(image, top) + 67], cfb::kBlack);
  }
  check(top, nullptr, nullptr, false);
  EXPECT_EQ(visited, expected_count);
}

TEST(Ole2StorageTest, WritesValidRedBlackTreesOfAnySize) {
  for (std::size_t count = 1; count <= 70; ++count) {
    SCOPED_TRACE(count);
    std::vector<std::uint8_t> image;
    TOle2Storage storage = TOle2Storage::CreateMemory(image);
    for (std::size_t i = 0; i < count; ++i) {
      // Mixed lengths and cases so that both rules of the comparison matter.
      std::string name = (i % 2 ? "x" : "Y") + std::to_string((i * 7919) % 1000);
      storage.OpenStream(name);
    }
    storage.Release();
    CheckRedBlackTree(image, count);
  }
}

constexpr std::uint32_t N = test::kNone;

// Trees of shapes our writer does not make, in both sector sizes, with chains laid out
// backwards so that no two neighbouring sectors of a stream are neighbours in the file.
struct ShapeCase {
  const char* label;
  unsigned shift;
  bool reverse;
  // Links of the root's five elements 1..5 (sorted by name): left, right for each.
  std::array<std::pair<std::uint32_t, std::uint32_t>, 5> links;
  std::uint32_t top;
};

class TreeShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(TreeShapeTest, ReadsEveryStreamAndListsInOrder) {
  const ShapeCase& c = GetParam();
  TestLayout layout;
  layout.sector_shift = c.shift;
  layout.reverse_chains = c.reverse;
  layout.entries.resize(8);
  layout.entries[0] = {u"Root Entry", 5, N, N, c.top, {}};
  // Sorted: "A" < "Sub" < "Tiny" < "Empty" < "Workbook"
  const std::u16string names[5] = {u"A", u"Sub", u"Tiny", u"Empty", u"Workbook"};
  const std::vector<std::uint8_t> data[5] = {Pattern(300, 1), {}, Pattern(1, 2), {}, Pattern(10000, 3)};
  for (int i = 0; i < 5; ++i) {
    layout.entries[i + 1] = {names[i], static_cast<std::uint8_t>(i == 1 ? 1 : 2), c.links[i].first, c.links[i].second, N,
                             data[i]};
  }
  layout.entries[2].child = 6;  // Sub holds "Inner" and, to its right, "Small"
  layout.entries[6] = {u"Inner", 2, N, 7, N, Pattern(5000, 4)};
  layout.entries[7] = {u"Small", 2, N, N, N, Pattern(4095, 5)};
  const std::vector<std::uint8_t> image = BuildTestImage(layout).bytes;

  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  EXPECT_THAT(Names(storage.ListElements()), ElementsAre("A", "Sub", "Tiny", "Empty", "Workbook"));
  const std::map<std::string, std::vector<std::uint8_t>> expected = {
      {"A", data[0]},          {"Tiny", data[2]}, {"Empty", {}}, {"Workbook", data[4]}, {"Sub/Inner", Pattern(5000, 4)},
      {"Sub/Small", Pattern(4095, 5)}};
  EXPECT_EQ(ReadTree(storage), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, TreeShapeTest,
    ::testing::Values(
        // Each element the right sibling of the one before: a list leaning right.
        ShapeCase{"RightChain512", 9, false, {{{N, 2}, {N, 3}, {N, 4}, {N, 5}, {N, N}}}, 1},
        ShapeCase{"RightChain4096Reversed", 12, true, {{{N, 2}, {N, 3}, {N, 4}, {N, 5}, {N, N}}}, 1},
        // Each element the left sibling of the one after: a list leaning left.
        ShapeCase{"LeftChain4096", 12, false, {{{N, N}, {1, N}, {2, N}, {3, N}, {4, N}}}, 5},
        ShapeCase{"LeftChain512Reversed", 9, true, {{{N, N}, {1, N}, {2, N}, {3, N}, {4, N}}}, 5},
        // Zigzag: 1 -> right 5 -> left 2 -> right 4 -> left 3.
        ShapeCase{"Zigzag4096", 12, true, {{{N, 5}, {N, 4}, {N, N}, {3, N}, {2, N}}}, 1}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Ole2StorageTest, NamesDifferingInCaseOnlyAreFoundExactlyFirst) {
  // Our writer refuses such twins, but another program's file may hold them.
  TestLayout layout;
  layout.entries = {{u"Root Entry", 5, N, N, 1, {}},
                    {u"abc", 2, N, 2, N, Pattern(10, 1)},
                    {u"ABC", 2, N, N, N, Pattern(20, 2)}};
  TOle2Storage storage = TOle2Storage::OpenMemory(BuildTestImage(layout).bytes);
  EXPECT_THAT(Names(storage.ListElements()), ElementsAre("abc", "ABC"));
  EXPECT_EQ(storage.OpenStream("ABC").ReadAll(), Pattern(20, 2));
  EXPECT_EQ(storage.OpenStream("abc").ReadAll(), Pattern(10, 1));
  EXPECT_EQ(storage.OpenStream("aBc").ReadAll(), Pattern(10, 1));
}

TEST(Ole2StorageTest, LargeContainerUsesDifatSectorsAndReadsBack) {
  // 7.5 MB needs more than 109 FAT sectors of 128 entries each.
  const std::vector<std::uint8_t> big = Pattern(7'500'000, 3);
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  Write(created, "Workbook", big);
  Write(created, "Small", Pattern(100));
  created.Release();
  EXPECT_GT(test::Get32At(image, 44), 109u) << "FAT sectors";
  EXPECT_GE(test::Get32At(image, 72), 1u) << "DIFAT sectors";

  TOle2Storage storage = TOle2Storage::OpenMemory(std::move(image));
  EXPECT_EQ(storage.OpenStream("Workbook").ReadAll(), big);
  EXPECT_EQ(storage.OpenStream("Small").ReadAll(), Pattern(100));
}

TEST(Ole2StorageTest, NamesCompareWithoutCaseAndKeepTheirCharacters) {
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  Write(created, "Workbook", {1});
  Write(created, "\xE6\xF8\xE5 \x80", {2});  // "æøå €" in Windows-1252
  Write(created, "\xE6gir", {5});
  created.OpenStream(std::u16string(u"\u041B\u0438\u0441\u04421")).Write("\x03", 1);  // Cyrillic "Лист1"
  EXPECT_THAT([&] { created.OpenStream("WORKBOOK"); }, ThrowsMessage<Error>("WORKBOOK already exists."));
  EXPECT_THAT([&] { created.OpenStream("\xC6GIR"); }, ThrowsMessage<Error>("\xC6GIR already exists."));
  EXPECT_THAT([&] { created.OpenStream(std::u16string(u"\u043B\u0418\u0421\u04221")); },
              ThrowsMessage<Error>("????1 already exists."));
  for (const std::string& bad : std::vector<std::string>{"", "a/b", "a\\b", "a:b", "a!b", std::string(32, 'x')}) {
    EXPECT_THAT([&] { created.OpenStream(bad); }, ThrowsMessage<Error>(HasSubstr("is not valid"))) << bad;
  }
  created.OpenStream(std::string(31, 'x'));
  created.Release();

  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  EXPECT_EQ(storage.OpenStream("wORKBOOK").ReadAll(), std::vector<std::uint8_t>{1});
  EXPECT_EQ(storage.OpenStream("\xC6\xD8\xC5 \x80").ReadAll(), std::vector<std::uint8_t>{2});
  EXPECT_EQ(storage.OpenStream(std::u16string(u"\u043B\u0438\u0441\u04421")).ReadAll(), std::vector<std::uint8_t>{3});
  bool found = false;
  for (const TOle2Element& element : storage.ListElements()) {
    if (element.WideName == u"\u041B\u0438\u0441\u04421") {
      found = true;
      EXPECT_EQ(element.Name, "????1");
    }
  }
  EXPECT_TRUE(found);
}

TEST(Ole2StorageTest, StreamPositionsBehaveLikeAFile) {
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  TOle2Stream stream = created.OpenStream("S");
  stream.Write("abc", 3);
  EXPECT_EQ(stream.Seek(2, TSeekOrigin::End), 5u);
  stream.Write("Z", 1);  // leaves a gap of two zeros
  EXPECT_EQ(stream.Seek(1, TSeekOrigin::Begin), 1u);
  stream.Write("B", 1);  // overwrites in place
  EXPECT_EQ(stream.Size(), 6u);
  EXPECT_THAT([&] { stream.Seek(-7, TSeekOrigin::End); }, ThrowsMessage<Error>(HasSubstr("before the start")));
  created.Release();
  EXPECT_THAT([&] { stream.Write("x", 1); }, ThrowsMessage<Error>("The stream \"S\" is closed"));

  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  TOle2Stream read = storage.OpenStream("S");
  char buffer[8] = {};
  EXPECT_EQ(read.Read(buffer, 0), 0u);
  EXPECT_EQ(read.Read(buffer, sizeof buffer), 6u);
  EXPECT_EQ(std::string(buffer, 6), std::string("aBc\0\0Z", 6));
  EXPECT_EQ(read.Read(buffer, sizeof buffer), 0u);
  EXPECT_EQ(read.Seek(-2, TSeekOrigin::Current), 4u);
  EXPECT_EQ(read.Read(buffer, 1), 1u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(read.Seek(100, TSeekOrigin::Begin), 100u);
  EXPECT_EQ(read.Read(buffer, 1), 0u);
  EXPECT_THAT([&] { read.Write("x", 1); }, ThrowsMessage<Error>(HasSubstr("is open for reading")));
}

// A block written whole is taken without a copy; writing after it, into it and beyond a
// second block must behave as if every byte had been written one by one.
TEST(Ole2StorageTest, WholeBlocksMixWithOrdinaryWrites) {
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  const std::vector<std::uint8_t> block = Pattern(3 << 20, 7);  // more than one piece of 1 MiB
  TOle2Stream taken = created.OpenStream("Taken");
  EXPECT_EQ(taken.Write(block), block.size());
  TOle2Stream mixed = created.OpenStream("Mixed");
  mixed.Write(block);
  mixed.Seek(5, TSeekOrigin::Begin);
  mixed.Write("xy", 2);
  mixed.Seek(0, TSeekOrigin::End);
  mixed.Write(std::vector<std::uint8_t>{1, 2, 3});  // not at the start: an ordinary write
  created.Release();

  std::vector<std::uint8_t> expected = block;
  expected[5] = 'x';
  expected[6] = 'y';
  expected.insert(expected.end(), {1, 2, 3});
  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  EXPECT_EQ(storage.OpenStream("Taken").ReadAll(), block);
  EXPECT_EQ(storage.OpenStream("Mixed").ReadAll(), expected);
}

TEST(Ole2StorageTest, MissingElementsAreNotFound) {
  // An old workbook: its records are in "Book", and there is no "Workbook".
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  Write(created, "Book", Pattern(600));
  created.EnterStorage("Macros");
  created.LeaveStorage();
  created.Release();

  TOle2Storage storage = TOle2Storage::OpenMemory(image, "old.xls");
  EXPECT_THAT([&] { storage.OpenStream("Workbook"); }, ThrowsMessage<Error>("Workbook could not be found."));
  EXPECT_THAT([&] { storage.OpenStream("Macros"); }, ThrowsMessage<Error>("Macros could not be found."));
  EXPECT_THAT([&] { storage.EnterStorage("Book"); }, ThrowsMessage<Error>("Book could not be found."));
  EXPECT_THAT([&] { storage.LeaveStorage(); }, ThrowsMessage<Error>(HasSubstr("root storage")));
  EXPECT_EQ(storage.CurrentStorageName(), "old.xls");
  storage.EnterStorage("MACROS");
  EXPECT_EQ(storage.CurrentStorageName(), "Macros");
}

TEST(Ole2StorageTest, CreatedFileAppearsOnlyWhenReleased) {
  TempFolder folder;
  const std::string name = folder.File("book.xls");
  {
    TOle2Storage storage = TOle2Storage::CreateFile(name);
    Write(storage, "Workbook", Pattern(5000));
    EXPECT_FALSE(std::filesystem::exists(name));
    storage.Release();
  }
  EXPECT_EQ(TOle2Storage::OpenFile(name).OpenStream("Workbook").ReadAll(), Pattern(5000));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << "a temporary file was left";
  EXPECT_EQ(std::filesystem::status(name).permissions() & std::filesystem::perms::owner_read,
            std::filesystem::perms::owner_read);

  // Creating over an existing file fails and leaves that file alone.
  const auto before = test::ReadBytes(name);
  EXPECT_THAT([&] { TOle2Storage::CreateFile(name); }, ThrowsMessage<Error>(name + " already exists."));
  EXPECT_EQ(test::ReadBytes(name), before);

  // A storage given up without Release leaves nothing behind.
  { TOle2Storage abandoned = TOle2Storage::CreateFile(folder.File("abandoned.xls")); }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);

  // Someone else takes the name before Release: that file is kept, ours is not written.
  TOle2Storage late = TOle2Storage::CreateFile(folder.File("late.xls"));
  test::WriteBytes(folder.File("late.xls"), {'x'});
  EXPECT_THAT([&] { late.Release(); }, ThrowsMessage<Error>(folder.File("late.xls") + " already exists."));
  EXPECT_EQ(test::ReadBytes(folder.File("late.xls")), std::vector<std::uint8_t>{'x'});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

// Large files are read into a mapping of their own; a file whose end cuts its last sector
// short is padded there like any other.
TEST(Ole2StorageTest, LargeFileWithAShortLastSectorReadsBack) {
  TempFolder folder;
  const std::string name = folder.File("large.xls");
  const std::vector<std::uint8_t> data = Pattern(3 << 20);
  TOle2Storage storage = TOle2Storage::CreateFile(name);
  Write(storage, "Workbook", data);
  storage.Release();
  std::vector<std::uint8_t> bytes = test::ReadBytes(name);
  bytes.resize(bytes.size() + 100, 0);  // trailing bytes after the last whole sector
  test::WriteBytes(name, bytes);
  EXPECT_EQ(TOle2Storage::OpenFile(name).OpenStream("Workbook").ReadAll(), data);
}

TEST(ByteImageTest, GrowsWithZerosWhereverItLives) {
  for (const std::size_t size : {std::size_t{100}, std::size_t{3} << 20}) {
    TByteImage image = TByteImage::Zeroed(size);
    std::memset(image.data(), 0xAB, image.size());
    image.Resize(size - 10);
    image.Resize(size + 10);  // within the room it has, and the bytes given up come back zero
    ASSERT_EQ(image.size(), size + 10);
    EXPECT_EQ(image.data()[size - 11], 0xAB);
    EXPECT_EQ(image.data()[size - 10], 0);
    EXPECT_EQ(image.data()[size + 9], 0);
    image.Resize(size * 2);  // beyond it: moved, contents kept
    EXPECT_EQ(image.data()[0], 0xAB);
    EXPECT_EQ(image.data()[size * 2 - 1], 0);
    TByteImage moved = std::move(image);
    EXPECT_EQ(moved.size(), size * 2);
    EXPECT_EQ(image.size(), 0u);
  }
}

TEST(Ole2StorageTest, FilesThatCannotBeOpenedNameTheFile) {
  TempFolder folder;
  const std::string text = folder.File("runners.xls");
  test::WriteBytes(text, std::vector<std::uint8_t>(2000, 'a'));
  EXPECT_THAT([&] { TOle2Storage::OpenFile(text); }, ThrowsMessage<Error>("The file \"" + text + "\" is invalid"));
  const std::string stub = folder.File("stub.xls");  // the signature and nothing more
  test::WriteBytes(stub, {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1});
  EXPECT_THAT([&] { TOle2Storage::OpenFile(stub); }, ThrowsMessage<Error>("The file \"" + stub + "\" is invalid"));
  const std::string missing = folder.File("missing.xls");
  EXPECT_THAT([&] { TOle2Storage::OpenFile(missing); },
              ThrowsMessage<Error>("Can't open file \"" + missing + "\". No such file or directory"));
  EXPECT_THAT([&] { TOle2Storage::OpenFile(folder.path().string()); },
              ThrowsMessage<Error>(HasSubstr("Is a directory")));
  const std::string no_folder = folder.File("none/new.xls");
  EXPECT_THAT([&] { TOle2Storage::CreateFile(no_folder); },
              ThrowsMessage<Error>("Can't write file \"" + no_folder + "\". No such file or directory"));
}

TEST(Ole2StorageTest, FileNamesAreWindows1252) {
  TempFolder folder;
  const std::string name = folder.File("l\xF8p\xE6.xls");  // "løpæ.xls"
  TOle2Storage storage = TOle2Storage::CreateFile(name);
  Write(storage, "Workbook", {1, 2, 3});
  storage.Release();
  EXPECT_TRUE(std::filesystem::exists(folder.path() / u8"l\u00F8p\u00E6.xls"));
  EXPECT_EQ(TOle2Storage::OpenFile(name).OpenStream("Workbook").ReadAll(), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace ln40
