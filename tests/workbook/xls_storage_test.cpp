// Kept elements: what a workbook file holds besides its "Workbook" stream survives a save,
// and workbooks written by other programs (fixtures/make_fixtures.sh) read correctly.
#include "xls/xls_storage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "cfb_test_support.h"
#include "text/error.h"

namespace ln40 {
namespace {

using test::Crc32;
using test::Pattern;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kFixtures = LN40_CFB_FIXTURES;

TXlsStorage Stream(const std::string& name, std::vector<std::uint8_t> contents) {
  TXlsStorage entry;
  entry.Name = name;
  entry.Contents = std::move(contents);
  return entry;
}

TXlsStorage Storage(const std::string& name, TXlsStorageList elements) {
  TXlsStorage entry;
  entry.Name = name;
  entry.Elements = std::move(elements);
  return entry;
}

// The tree of a kept list as text, e.g. "A(3) S[B(1)]", with contents checksums left out.
std::string Shape(const TXlsStorageList& list) {
  std::string text;
  for (const TXlsStorage& entry : list) {
    if (!text.empty()) text += ' ';
    text += entry.Name;
    if (!entry.Contents.empty()) text += "(" + std::to_string(entry.Contents.size()) + ")";
    if (!entry.Elements.empty()) text += "[" + Shape(entry.Elements) + "]";
  }
  return text;
}

TEST(XlsStorageTest, WritesKeptElementsByTheSaveRules) {
  const TXlsStorageList kept = {
      Stream("\x05SummaryInformation", Pattern(4096, 1)),
      Stream("Workbook", Pattern(10, 2)),  // the root's workbook is written by its own code
      Stream("Empty", {}),
      Storage("EmptyStorage", {}),
      Storage("OnlyEmpty", {Stream("e", {})}),  // has elements, so it is written, empty
      Storage("_VBA_PROJECT_CUR", {Storage("VBA", {Stream("dir", Pattern(700, 3)), Stream("Workbook", Pattern(20, 4))}),
                                   Stream("PROJECT", Pattern(400, 5)), Stream("Nothing", {})}),
  };
  std::vector<std::uint8_t> image;
  TOle2Storage created = TOle2Storage::CreateMemory(image);
  WriteKeptElements(created, kept);
  created.OpenStream("Workbook").Write("\x09\x08", 2);
  created.Release();

  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  const TXlsStorageList read = ReadKeptElements(storage);
  EXPECT_EQ(Shape(read),
            "OnlyEmpty _VBA_PROJECT_CUR[VBA[dir(700) Workbook(20)] PROJECT(400)] \x05SummaryInformation(4096)");
  EXPECT_EQ(read[1].Elements[0].Elements[0].Contents, Pattern(700, 3));
  EXPECT_EQ(read[2].Contents, Pattern(4096, 1));
  EXPECT_EQ(storage.OpenStream("Workbook").ReadAll(), (std::vector<std::uint8_t>{9, 8}));
}

TEST(XlsStorageTest, KeptElementsOfAnOpenedFileSurviveASaveUnchanged) {
  // What opening and saving a workbook does, with names no code page but UTF-16 holds.
  const std::u16string module = u"\u041B\u0438\u0441\u04421";  // "Лист1", a localised sheet module
  std::vector<std::uint8_t> original;
  {
    TOle2Storage storage = TOle2Storage::CreateMemory(original);
    storage.OpenStream("\x05" "DocumentSummaryInformation").Write(Pattern(300).data(), 300);
    storage.OpenStream("Zero");  // an empty stream is not kept across a save
    storage.EnterStorage("Macros");
    storage.OpenStream(module).Write("m1", 2);
    storage.OpenStream(std::u16string(u"\u041B\u0438\u0441\u04422")).Write("m2", 2);
    storage.LeaveStorage();
    storage.OpenStream("Workbook").Write(Pattern(9000).data(), 9000);
    storage.Release();
  }
  TOle2Storage opened = TOle2Storage::OpenMemory(original);
  const TXlsStorageList kept = ReadKeptElements(opened);
  EXPECT_EQ(Shape(kept), "Zero Macros[????1(2) ????2(2)] \x05" "DocumentSummaryInformation(300)");
  EXPECT_EQ(kept[1].Elements[0].WideName, module);

  std::vector<std::uint8_t> saved;
  TOle2Storage resaved = TOle2Storage::CreateMemory(saved);
  WriteKeptElements(resaved, kept);
  resaved.OpenStream("Workbook").Write(Pattern(9000).data(), 9000);
  resaved.Release();

  TOle2Storage reopened = TOle2Storage::OpenMemory(saved);
  const TXlsStorageList again = ReadKeptElements(reopened);
  EXPECT_EQ(Shape(again), "Macros[????1(2) ????2(2)] \x05" "DocumentSummaryInformation(300)");
  reopened.EnterStorage("Macros");
  EXPECT_THROW(reopened.EnterStorage(module), Error);  // it is a stream
  EXPECT_EQ(reopened.OpenStream(module).ReadAll(), (std::vector<std::uint8_t>{'m', '1'}));
}

struct FixtureStream {
  const char* name;
  std::size_t size;
  std::uint32_t crc;  // zlib CRC-32, as python3-olefile reads the same stream
};

struct Fixture {
  const char* file;
  std::vector<FixtureStream> streams;  // in enumeration order
};

class ThirdPartyFixtureTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(ThirdPartyFixtureTest, ReadsEveryStream) {
  const Fixture& fixture = GetParam();
  TOle2Storage storage = TOle2Storage::OpenFile(kFixtures + "/" + fixture.file);
  const std::vector<TOle2Element> elements = storage.ListElements();
  ASSERT_EQ(elements.size(), fixture.streams.size());
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const FixtureStream& expected = fixture.streams[i];
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(elements[i].Name, expected.name);
    EXPECT_EQ(elements[i].Type, TOle2ElementType::Stream);
    EXPECT_EQ(elements[i].Size, expected.size);
    const std::vector<std::uint8_t> bytes = storage.OpenStream(expected.name).ReadAll();
    EXPECT_EQ(bytes.size(), expected.size);
    EXPECT_EQ(Crc32(bytes), expected.crc);
  }
  // The workbook starts with a BIFF8 BOF record (0x0809, version 0x0600).
  const std::vector<std::uint8_t> workbook = storage.OpenStream("Workbook").ReadAll();
  ASSERT_GE(workbook.size(), 6u);
  EXPECT_THAT(std::vector<std::uint8_t>(workbook.begin(), workbook.begin() + 6), ElementsAre(0x09, 0x08, 0x10, 0x00, 0x00, 0x06));
}

TEST_P(ThirdPartyFixtureTest, SavedAgainKeepsEveryStream) {
  const Fixture& fixture = GetParam();
  TOle2Storage opened = TOle2Storage::OpenFile(kFixtures + "/" + fixture.file);
  const TXlsStorageList kept = ReadKeptElements(opened);
  const std::vector<std::uint8_t> workbook = opened.OpenStream("Workbook").ReadAll();

  test::TempFolder folder;
  TOle2Storage saved = TOle2Storage::CreateFile(folder.File("saved.xls"));
  WriteKeptElements(saved, kept);
  saved.OpenStream("Workbook").Write(workbook.data(), workbook.size());
  saved.Release();

  TOle2Storage reopened = TOle2Storage::OpenFile(folder.File("saved.xls"));
  for (const FixtureStream& expected : fixture.streams) {
    EXPECT_EQ(Crc32(reopened.OpenStream(expected.name).ReadAll()), expected.crc) << expected.name;
  }
  EXPECT_EQ(reopened.ListElements().size(), fixture.streams.size());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ThirdPartyFixtureTest,
    ::testing::Values(
        Fixture{"libreoffice_runners.xls",
                {{"\x01Ole", 20, 0xBE8E300C},
                 {"\x01" "CompObj", 73, 0xB2C541A2},
                 {"Workbook", 28550, 0xB8400ACA},
                 {"\x05SummaryInformation", 172, 0xEDA704E5},
                 {"\x05" "DocumentSummaryInformation", 116, 0x113E1127}}},
        Fixture{"gnumeric_runners.xls",
                {{"Workbook", 29956, 0xFBB077BD},
                 {"\x05SummaryInformation", 92, 0xC1CB66B0},
                 {"\x05" "DocumentSummaryInformation", 72, 0x45306EC0}}},
        Fixture{"xlwt_runners.xls", {{"Workbook", 4096, 0xEDD7E92D}}}),
    [](const auto& info) {
      const std::string file = info.param.file;
      return file.substr(0, file.find('_'));
    });

}  // namespace
}  // namespace ln40
