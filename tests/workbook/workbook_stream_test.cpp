// Finding the workbook in its container: the BIFF8 workbook in a "Book" stream, a mini
// stream cut short by the end of the file, and the refusal of Excel 5.0/95 and older
// workbooks with a message that says what they are.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "cfb_test_support.h"
#include "text/error.h"
#include "compound_file/ole2_storage.h"
#include "xls/xls_file.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using namespace test;
using ::testing::ElementsAre;

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.what();
  }
  return "(no error)";
}

std::string OlderExcel(const std::string& file, const std::string& version) {
  return "\"" + file + "\" is an " + version + " workbook; save it as Excel 97-2003 or newer and open it again";
}

// A workbook whose one sheet holds `rows` numbers in column A, 0, 1, 2, ...; 250 rows make a
// stream larger than the mini stream takes.
std::vector<std::uint8_t> NumbersWorkbook(int rows = 1) {
  std::vector<Rec> records;
  for (int r = 0; r < rows; ++r) {
    records.push_back(RowRec(r, 0, 1));
    records.push_back(NumberRec(r, 0, r));
  }
  return HandWorkbook({{u"A", 0x10, records}});
}

// The BOF and EOF of an Excel 5.0/95 workbook's globals ([MS-XLS] 2.4.21, version 0x0500).
std::vector<std::uint8_t> Biff5Stream() { return Stream({{0x0809, Le16({0x0500, 0x0005, 0x0DBB, 0x07CC})}, {0x000A, {}}}); }

std::vector<std::uint8_t> ContainerOf(const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& streams) {
  std::vector<std::uint8_t> image;
  TOle2Storage storage = TOle2Storage::CreateMemory(image);
  for (const auto& [name, bytes] : streams) storage.OpenStream(name).Write(bytes.data(), bytes.size());
  storage.Release();
  return image;
}

std::vector<std::string> StreamNames(const std::vector<std::uint8_t>& image) {
  std::vector<std::string> names;
  for (const TOle2Element& element : TOle2Storage::OpenMemory(image).ListElements()) names.push_back(element.Name);
  return names;
}

TEST(WorkbookStream, Biff8InABookStreamIsReadInAnyLetterCase) {
  for (const char* name : {"Book", "BOOK", "book"}) {
    TXLSFile book;
    book.OpenMemory(Container(NumbersWorkbook(3), name));
    EXPECT_EQ(book.GetCellValue(3, 1).number, 2) << name;
  }
}

TEST(WorkbookStream, WorkbookStreamIsReadBeforeBook) {
  // Files saved for Excel 97 and 5.0/95 alike hold both: the Excel 5.0/95 copy in "Book".
  TXLSFile book;
  book.OpenMemory(ContainerOf({{"Book", Biff5Stream()}, {"Workbook", NumbersWorkbook(2)}}));
  EXPECT_EQ(book.GetCellValue(2, 1).number, 1);
}

TEST(WorkbookStream, BookReadAsTheWorkbookIsSavedAsWorkbookOnly) {
  TXLSFile book;
  book.OpenMemory(ContainerOf({{"\x05SummaryInformation", Pattern(300)}, {"Book", NumbersWorkbook()}}));
  ASSERT_EQ(book.OtherStreams().size(), 1u);
  EXPECT_EQ(book.OtherStreams()[0].Name, "\x05SummaryInformation");
  EXPECT_THAT(StreamNames(book.SaveToMemory()), ElementsAre("Workbook", "\x05SummaryInformation"));
}

TEST(WorkbookStream, OlderExcelWorkbooksAreRefusedWithTheirVersion) {
  const std::string excel5 = OlderExcel("(memory)", "Excel 5.0/95");
  const std::string excel4 = OlderExcel("(memory)", "Excel 4.0 or older");
  const auto eof = Stream({{0x000A, {}}});
  struct Case {
    const char* label;
    std::vector<std::uint8_t> image;
    std::string message;
  } cases[] = {
      {"Excel 5.0/95 in Book", Container(Biff5Stream(), "Book"), excel5},
      {"Excel 5.0/95 in Workbook", Container(Biff5Stream(), "Workbook"), excel5},
      {"Excel 5.0/95 records without a container", Biff5Stream(), excel5},
      {"Excel 4.0 (BIFF4)", Cat({Stream({{0x0409, Le16({0x0000, 0x0100, 0x0000})}}), eof}), excel4},
      {"Excel 3.0 (BIFF3)", Cat({Stream({{0x0209, Le16({0x0000, 0x0010, 0x0000})}}), eof}), excel4},
      {"Excel 2.1 (BIFF2)", Cat({Stream({{0x0009, Le16({0x0002, 0x0010})}}), eof}), excel4},
      {"text", {'N', 'a', 'm', 'e', ',', 'T', 'i', 'm', 'e', '\r', '\n'}, "The file \"(memory)\" is invalid"},
      {"container without a workbook", Container(NumbersWorkbook(), "Other"), "Workbook could not be found."},
  };
  for (const Case& c : cases) {
    TXLSFile book;
    EXPECT_EQ(ErrorOf([&] { book.OpenMemory(c.image); }), c.message) << c.label;
  }
}

TEST(WorkbookStream, OlderExcelFileIsRefusedByItsName) {
  TempFolder folder;
  const std::string path = folder.File("excel4.xls");
  WriteBytes(path, Cat({Stream({{0x0409, Le16({0x0000, 0x0100, 0x0000})}}), Stream({{0x000A, {}}})}));
  TXLSFile book;
  EXPECT_EQ(ErrorOf([&] { book.OpenFile(path); }), OlderExcel(path, "Excel 4.0 or older"));
}

// Root: Workbook, "\x05SummaryInformation" (mini sectors 0-4) and Filler (mini sectors
// 5-14, across both sectors of the mini stream). The FAT sends the mini stream's chain past
// the end of the file after its first sector.
TEST(WorkbookStream, MiniStreamCutShortLeavesAWorkbookInOrdinarySectorsReadable) {
  TestLayout layout;
  layout.entries = {
      {u"Root Entry", 5, kNone, kNone, 1, {}},
      {u"Workbook", 2, 2, kNone, kNone, NumbersWorkbook(250)},
      {u"\x05SummaryInformation", 2, 3, kNone, kNone, Pattern(300, 1)},
      {u"Filler", 2, kNone, kNone, kNone, Pattern(600, 2)},
  };
  TestImage image = BuildTestImage(layout);
  SetFatEntry(image.bytes, image.mini_stream_start, 100);
  TXLSFile book;
  book.OpenMemory(image.bytes);
  EXPECT_EQ(book.GetCellValue(250, 1).number, 249);
  ASSERT_EQ(book.OtherStreams().size(), 1u);  // Filler's data is not in the file
  EXPECT_EQ(book.OtherStreams()[0].Contents, Pattern(300, 1));
}

TEST(WorkbookStream, WorkbookInTheMissingPartOfTheMiniStreamIsNamedAsDamage) {
  TestLayout layout;
  layout.entries = {
      {u"Root Entry", 5, kNone, kNone, 1, {}},
      {u"Filler", 2, kNone, 2, kNone, Pattern(600, 2)},
      {u"Workbook", 2, kNone, kNone, kNone, NumbersWorkbook()},
  };
  TestImage image = BuildTestImage(layout);
  SetFatEntry(image.bytes, image.mini_stream_start, 100);
  TXLSFile book;
  EXPECT_EQ(ErrorOf([&] { book.OpenMemory(image.bytes); }),
            "The file \"(memory)\" is damaged: stream \"Workbook\" reaches beyond the end of the mini stream");
}

}  // namespace
}  // namespace ln40
