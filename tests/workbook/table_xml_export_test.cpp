// The XML export of the read-times table, byte for byte.
#include "reports/table_xml_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cfb_test_support.h"
#include "text/error.h"

namespace ln40 {
namespace {

const std::vector<std::string> kNames = {"#", "Kivono/startno", "Text", "LN20 time", "Time", "Data"};

// A read-times table as a new one looks: headings in row 0, one empty body row.
TGridTable NewReadTimes() {
  TGridTable table(6);
  table.SetColumnHeaders(kNames);
  return table;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(TableXmlExport, EmptyTableGivesTheHeadingsRecordAndOneEmptyRecord) {
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n"
      "<kivos>\r\n"
      "<kivo>\r\n"
      "<#>#</#>\r\n"
      "<Kivono/startno>Kivono/startno</Kivono/startno>\r\n"
      "<Text>Text</Text>\r\n"
      "<LN20 time>LN20 time</LN20 time>\r\n"
      "<Time>Time</Time>\r\n"
      "<Data>Data</Data>\r\n"
      "</kivo>\r\n"
      "<kivo>\r\n"
      "<#></#>\r\n"
      "<Kivono/startno></Kivono/startno>\r\n"
      "<Text></Text>\r\n"
      "<LN20 time></LN20 time>\r\n"
      "<Time></Time>\r\n"
      "<Data></Data>\r\n"
      "</kivo>\r\n"
      "</kivos>\r\n";
  EXPECT_EQ(TableToXml(NewReadTimes(), kNames), expected);
}

TEST(TableXmlExport, CellTextsAreEscapedInOrderAndKeptAsTheyStand) {
  struct Case {
    std::string cell;
    std::string written;
  };
  const Case cases[] = {
      {"A&B<C> \"x\"", "A&amp;B&lt;C&gt; &quot;x&quot;"},
      {"&amp;", "&amp;amp;"},                      // no entity survives unescaped
      {"12:34:56\r", "12:34:56\r"},                // the raw message keeps its CR
      {"L\xF8ype \x80", "L\xF8ype \x80"},          // Windows-1252 bytes as they stand
      {"it's", "it's"},                            // the apostrophe is not replaced
  };
  for (const Case& c : cases) {
    TGridTable table = NewReadTimes();
    table.SetCell(5, 1, c.cell);
    const std::string xml = TableToXml(table, kNames);
    EXPECT_NE(xml.find("<Data>" + c.written + "</Data>\r\n</kivo>\r\n</kivos>\r\n"), std::string::npos) << c.cell;
  }
}

TEST(TableXmlExport, ColumnsBeyondTheNameListAreNumberedFields) {
  TGridTable table(8);
  table.SetColumnHeaders(kNames);
  table.SetCell(6, 1, "g");
  table.SetCell(7, 1, "h");
  const std::string xml = TableToXml(table, kNames);
  EXPECT_NE(xml.find("<Data></Data>\r\n<FIELD6>g</FIELD6>\r\n<FIELD7>h</FIELD7>\r\n</kivo>\r\n</kivos>"),
            std::string::npos);
  EXPECT_EQ(XmlFieldName(kNames, 12), "FIELD12");
  EXPECT_EQ(XmlFieldName({}, 0), "FIELD0");
}

TEST(TableXmlExport, HiddenColumnIsLeftOutAndNamesFollowThePositions) {
  TGridTable table = NewReadTimes();
  table.SetCell(1, 1, "17");
  table.SetCell(2, 1, "Finish");
  table.HideColumn(1);
  const std::string xml = TableToXml(table, kNames);
  // Five shown columns named "#" ... "Time"; the "Text" column is the second one now.
  EXPECT_NE(xml.find("<kivo>\r\n<#></#>\r\n<Kivono/startno>Finish</Kivono/startno>\r\n"), std::string::npos);
  EXPECT_EQ(xml.find("<Data>"), std::string::npos);
  EXPECT_EQ(xml.find("17"), std::string::npos);
}

TEST(TableXmlExport, ManyRowsGiveOneRecordEach) {
  TGridTable table = NewReadTimes();
  table.SetRowCount(101);
  for (int row = 2; row < 101; ++row) table.SetCell(0, row, std::to_string(row - 1));
  const std::string xml = TableToXml(table, kNames);
  std::size_t records = 0;
  for (std::size_t at = xml.find("<kivo>"); at != std::string::npos; at = xml.find("<kivo>", at + 1)) ++records;
  EXPECT_EQ(records, 101u);
  EXPECT_NE(xml.find("<kivo>\r\n<#>99</#>\r\n"), std::string::npos);
}

TEST(TableXmlExport, SaveWritesTheFileAndReplacesAnEarlierOne) {
  test::TempFolder folder;
  const std::string path = folder.File("times.xlm");
  { std::ofstream(path) << "an older file that is longer than nothing"; }
  TGridTable table = NewReadTimes();
  table.SetCell(2, 1, "A&B");
  SaveTableAsXml(table, kNames, path);
  EXPECT_EQ(ReadAll(path), TableToXml(table, kNames));
  // Nothing but the file itself is left in the folder.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(TableXmlExport, FileThatCannotBeCreatedIsReportedWithItsName) {
  test::TempFolder folder;
  const std::string missing = folder.File("no such folder/times.xml");
  try {
    SaveTableAsXml(NewReadTimes(), kNames, missing);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot Create file " + missing);
  }
  // A folder in the way is not a file that can be created either; it is left as it was.
  const std::string folder_in_the_way = folder.File("times.xml");
  std::filesystem::create_directory(folder_in_the_way);
  EXPECT_THROW(SaveTableAsXml(NewReadTimes(), kNames, folder_in_the_way), Error);
  EXPECT_TRUE(std::filesystem::is_directory(folder_in_the_way));
}

}  // namespace
}  // namespace ln40
