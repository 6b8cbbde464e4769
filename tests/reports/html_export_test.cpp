#include "reports/html_export.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "reports/safe_file.h"
#include "text/error.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& html) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < html.size()) {
    const size_t end = html.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(html.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Header A, B, C; one body row "x", "", "y z".
TGridTable SmallTable() {
  TGridTable table(3);
  table.SetColumnHeaders({"A", "B", "C"});
  table.SetCell(0, 1, "x");
  table.SetCell(2, 1, "y z");
  return table;
}

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/ln40_html_XXXXXX";
    path_ = ::mkdtemp(name);
  }
  ~TempFolder() { fs::remove_all(path_); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(SaveAsHtml, DefaultSettingsByteForByte) {
  const std::string expected =
      "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">\r\n"
      "<tr>\r\n"
      "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\">A</font></b></td>\r\n"
      "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\">B</font></b></td>\r\n"
      "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\">C</font></b></td>\r\n"
      "</tr>\r\n"
      "<tr>\r\n"
      "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >x</font></td>\r\n"
      "<td bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><br></font></td>\r\n"
      "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >y z</font></td>\r\n"
      "</tr>\r\n"
      "</table>\r\n"
      "\r\n";
  EXPECT_EQ(RenderTableHtml(SmallTable(), HTMLSettings{}, ListTableLook()), expected);
}

TEST(SaveAsHtml, TableTagPrefixAndSuffix) {
  const struct {
    const char* name;
    std::function<void(HTMLSettings&)> set;
    std::vector<std::string> first_lines;  // the lines before "<tr>"
    std::string last_lines;                // what follows "</table>"
  } cases[] = {
      {"list settings: two blanks before width",
       [](HTMLSettings& s) {
         s.BorderSize = 0;
         s.PrefixTag = "<h1>X</h1>";
         s.SuffixTag = "<b>Y</b>";
       },
       {"<h1>X</h1>", "<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">"},
       "<b>Y</b>\r\n\r\n"},
      {"style between blanks",
       [](HTMLSettings& s) {
         s.TableStyle = "class=\"res\"";
         s.CellSpacing = 2;
         s.CellPadding = 3;
         s.Width = 80;
       },
       {"<table border=\"1\" cellspacing=\"2\" cellpadding=\"3\"  class=\"res\"  width=\"80%\">"},
       "\r\n"},
      {"numbers beyond their ranges",
       [](HTMLSettings& s) {
         s.BorderSize = 12;
         s.CellSpacing = -1;
         s.Width = 150;
       },
       {"<table border=\"10\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">"},
       "\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HTMLSettings settings;
    c.set(settings);
    const std::string html = RenderTableHtml(SmallTable(), settings, ListTableLook());
    const std::vector<std::string> lines = Lines(html);
    ASSERT_GT(lines.size(), c.first_lines.size());
    for (size_t i = 0; i < c.first_lines.size(); ++i) EXPECT_EQ(lines[i], c.first_lines[i]);
    EXPECT_EQ(lines[c.first_lines.size()], "<tr>");
    const size_t end = html.rfind("</table>\r\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(html.substr(end + 10), c.last_lines);
  }
}

// One body cell under varied settings and looks: the complete line written for it.
TEST(SaveAsHtml, BodyCellAttributes) {
  const struct {
    const char* name;
    std::string text;
    std::function<void(HTMLSettings&, TableLook&, TGridTable&)> set;
    std::string line;
  } cases[] = {
      {"empty cell", "", nullptr, "<td bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><br></font></td>"},
      {"only blanks: valign kept, text <br>", "   ", nullptr,
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><br></font></td>"},
      {"ampersand kept without conversion", "Smith & Co", nullptr,
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >Smith & Co</font></td>"},
      {"ampersand converted", "Smith & Co", [](HTMLSettings& s, TableLook&, TGridTable&) { s.ConvertSpecialChars = true; },
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >Smith &amp; Co</font></td>"},
      {"each special character once", "<a href=\"x\">&amp;", [](HTMLSettings& s, TableLook&, TGridTable&) { s.ConvertSpecialChars = true; },
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >&lt;a href=&quot;x&quot;&gt;&amp;amp;</font></td>"},
      {"non-breaking blanks", "Ola  Dal", [](HTMLSettings& s, TableLook&, TGridTable&) { s.NonBreakingText = true; },
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >Ola&nbsp;&nbsp;Dal</font></td>"},
      {"CR as line break", "a\rb", nullptr,
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >a<br>b</font></td>"},
      {"Windows-1252 bytes unchanged", "Kj\xF8nn \xC6\xE5", nullptr,
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >Kj\xF8nn \xC6\xE5</font></td>"},
      {"colour off: no bgcolor, no font colour", "x", [](HTMLSettings& s, TableLook&, TGridTable&) { s.SaveColor = false; },
       "<td valign=\"top\">x</td>"},
      {"fonts off: colour alone", "x", [](HTMLSettings& s, TableLook&, TGridTable&) { s.SaveFonts = false; },
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\">x</font></td>"},
      {"both off", "x",
       [](HTMLSettings& s, TableLook&, TGridTable&) {
         s.SaveFonts = false;
         s.SaveColor = false;
       },
       "<td valign=\"top\">x</td>"},
      {"own background colour", "x", [](HTMLSettings&, TableLook&, TGridTable& t) { t.SetCellBackground(0, 1, 0x12AB0F); },
       "<td valign=\"top\" bgcolor=\"#12AB0F\"><font color=\"#000000\" >x</font></td>"},
      {"first band: info background", "x", [](HTMLSettings&, TableLook& l, TGridTable&) { l.bands = true; },
       "<td valign=\"top\" bgcolor=\"#FFFFE1\"><font color=\"#000000\" >x</font></td>"},
      {"right alignment", "7", [](HTMLSettings&, TableLook& l, TGridTable&) { l.columnAlignment = {HorizontalAlignment::Right}; },
       "<td align=\"right\" valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >7</font></td>"},
      {"no alignment on an empty cell", "", [](HTMLSettings&, TableLook& l, TGridTable&) { l.columnAlignment = {HorizontalAlignment::Center}; },
       "<td bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><br></font></td>"},
      {"bottom alignment", "x", [](HTMLSettings&, TableLook& l, TGridTable&) { l.verticalAlignment = VerticalAlignment::Bottom; },
       "<td valign=\"bottom\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >x</font></td>"},
      {"centre alignment writes no valign", "x", [](HTMLSettings&, TableLook& l, TGridTable&) { l.verticalAlignment = VerticalAlignment::Center; },
       "<td bgcolor=\"#FFFFFF\"><font color=\"#000000\" >x</font></td>"},
      {"bold, italic, underline in order", "x",
       [](HTMLSettings&, TableLook& l, TGridTable&) {
         l.font.bold = l.font.italic = l.font.underline = true;
       },
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><b><i><u>x</u></i></b></font></td>"},
      {"a cell in another face", "x",
       [](HTMLSettings&, TableLook& l, TGridTable&) {
         l.cellFont = [](int, int) { return FontSpec{"Arial", 8}; };
       },
       "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" face=\"Arial\">x</font></td>"},
      {"another face without colour", "x",
       [](HTMLSettings& s, TableLook& l, TGridTable&) {
         s.SaveColor = false;
         l.cellFont = [](int, int) { return FontSpec{"Arial", 8, false, true}; };
       },
       "<td valign=\"top\"><font  face=\"Arial\"><i>x</i></font></td>"},
      {"no word wrap", "x", [](HTMLSettings&, TableLook& l, TGridTable&) { l.wordWrap = false; },
       "<td nowrap valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >x</font></td>"},
      {"merged over two rows", "x",
       [](HTMLSettings&, TableLook&, TGridTable& t) {
         t.AddRow();
         t.SetMergeSpan(0, 1, 1, 2);
       },
       "<td rowspan=\"2\" valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >x</font></td>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGridTable table(1);
    table.SetCell(0, 0, "H");
    table.SetCell(0, 1, c.text);
    HTMLSettings settings;
    TableLook look = ListTableLook();
    if (c.set) c.set(settings, look, table);
    const std::vector<std::string> lines = Lines(RenderTableHtml(table, settings, look));
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[4], "<tr>");
    EXPECT_EQ(lines[5], c.line);
  }
}

TEST(SaveAsHtml, HeaderCells) {
  const struct {
    const char* name;
    std::string text;
    std::function<void(HTMLSettings&, TableLook&)> set;
    std::string line;
  } cases[] = {
      {"colour off keeps bgcolor and valign", "Navn", [](HTMLSettings& s, TableLook&) { s.SaveColor = false; },
       "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b>Navn</b></td>"},
      {"fonts off: no bold", "Navn", [](HTMLSettings& s, TableLook&) { s.SaveFonts = false; },
       "<td bgcolor=\"#F0F0F0\" valign=\"top\"><font color=\"#000000\">Navn</font></td>"},
      {"empty heading", "", nullptr, "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\"><br></font></b></td>"},
      {"no entities in the header row", "A&B", [](HTMLSettings& s, TableLook&) { s.ConvertSpecialChars = true; },
       "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\">A&B</font></b></td>"},
      {"CR as line break", "Start\rtid", nullptr,
       "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\">Start<br>tid</font></b></td>"},
      {"alignment, width and nowrap", "Nr",
       [](HTMLSettings& s, TableLook& l) {
         s.ColWidths = {40};
         l.columnAlignment = {HorizontalAlignment::Center};
         l.wordWrap = false;
       },
       "<td nowrap align=\"center\" bgcolor=\"#F0F0F0\" valign=\"top\" width=40><b><font color=\"#000000\">Nr</font></b></td>"},
      {"button face of the desktop", "X", [](HTMLSettings&, TableLook& l) { l.colors.buttonFace = 0xd4d0c8; },
       "<td bgcolor=\"#D4D0C8\" valign=\"top\"><b><font color=\"#000000\">X</font></b></td>"},
      {"header font not bold", "X", [](HTMLSettings&, TableLook& l) { l.headerFont.bold = false; },
       "<td bgcolor=\"#F0F0F0\" valign=\"top\"><font color=\"#000000\">X</font></td>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGridTable table(1);
    table.SetCell(0, 0, c.text);
    HTMLSettings settings;
    TableLook look = ListTableLook();
    if (c.set) c.set(settings, look);
    const std::vector<std::string> lines = Lines(RenderTableHtml(table, settings, look));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[2], c.line);
  }
}

TEST(SaveAsHtml, AllEmptyBodyGivesBreaksWithoutValign) {
  TGridTable table(3);
  table.SetColumnHeaders({"A", "B", "C"});
  table.SetRowCount(4);
  const std::vector<std::string> lines = Lines(RenderTableHtml(table, HTMLSettings{}, ListTableLook()));
  int breaks = 0;
  for (size_t i = 7; i < lines.size(); ++i) {
    if (lines[i].rfind("<td", 0) != 0) continue;
    EXPECT_EQ(lines[i].find("valign"), std::string::npos) << lines[i];
    EXPECT_NE(lines[i].find("><br></font></td>"), std::string::npos) << lines[i];
    ++breaks;
  }
  EXPECT_EQ(breaks, 9);
}

TEST(SaveAsHtml, HiddenColumnIsLeftOutEverywhere) {
  TGridTable table = SmallTable();
  table.HideColumn(1);
  const std::string html = RenderTableHtml(table, HTMLSettings{}, ListTableLook());
  EXPECT_EQ(html.find(">B<"), std::string::npos);
  const std::vector<std::string> lines = Lines(html);
  // table, <tr>, A, C, </tr>, <tr>, x, y z, </tr>, </table>, empty
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_NE(lines[3].find(">C<"), std::string::npos);
  EXPECT_NE(lines[7].find(">y z<"), std::string::npos);
}

TEST(SaveAsHtml, MergedGroupHeadingIsWrittenOnceWithItsVisibleWidth) {
  // Five columns, the fourth hidden; a heading in column 1 merged to the end of the row.
  TGridTable table(5);
  table.SetColumnHeaders({"", "a", "b", "c", "d"});
  table.SetCell(1, 1, "H21");
  table.SetMergeSpan(1, 1, 4, 1);
  table.SetCellBackground(1, 1, 0xC0C0C0);
  table.HideColumn(3);
  const std::vector<std::string> lines = Lines(RenderTableHtml(table, HTMLSettings{}, ListTableLook()));
  // table, <tr>, 4 headings, </tr>, <tr>, col 0, merged heading, </tr>
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[8], "<td bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><br></font></td>");
  EXPECT_EQ(lines[9], "<td colspan=\"3\" valign=\"top\" bgcolor=\"#C0C0C0\"><font color=\"#000000\" >H21</font></td>");
  EXPECT_EQ(lines[10], "</tr>");
}

TEST(SaveAsHtml, MergeStartingInAHiddenColumnKeepsItsText) {
  TGridTable table(4);
  table.SetCell(1, 1, "H21");
  table.SetMergeSpan(1, 1, 3, 1);
  table.HideColumn(1);
  const std::string html = RenderTableHtml(table, HTMLSettings{}, ListTableLook());
  EXPECT_NE(html.find("<td colspan=\"2\" valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >H21</font></td>"),
            std::string::npos);
}

TEST(SaveAsHtml, BandsAlternateFromTheFirstBodyRow) {
  TGridTable table(1);
  table.SetRowCount(4);
  for (int row = 1; row < 4; ++row) table.SetCell(0, row, "r");
  const std::string html = RenderTableHtml(table, HTMLSettings{}, BandedTableLook());
  const std::vector<std::string> lines = Lines(html);
  EXPECT_NE(lines[5].find("#FFFFE1"), std::string::npos);
  EXPECT_NE(lines[8].find("#FFFFFF"), std::string::npos);
  EXPECT_NE(lines[11].find("#FFFFE1"), std::string::npos);
}

TEST(SaveAsHtml, HeaderAndFooterFilesAreCopiedLineByLine) {
  TempFolder folder;
  {
    std::ofstream(folder.File("head.htm"), std::ios::binary) << "<html>\n<body>\r\nlast";
    std::ofstream(folder.File("foot.htm"), std::ios::binary) << "</body>\r</html>\n";
  }
  HTMLSettings settings;
  settings.HeaderFile = folder.File("head.htm");
  settings.FooterFile = folder.File("foot.htm");
  settings.PrefixTag = "P";
  const std::string html = RenderTableHtml(SmallTable(), settings, ListTableLook());
  EXPECT_EQ(html.rfind("<html>\r\n<body>\r\nlast\r\nP\r\n<table ", 0), 0u);
  EXPECT_EQ(html.substr(html.size() - 30), "</table>\r\n\r\n</body>\r\n</html>\r\n");

  settings.HeaderFile = folder.File("missing.htm");
  settings.FooterFile = folder.Path();  // a folder cannot be read as a file
  const std::string without = RenderTableHtml(SmallTable(), settings, ListTableLook());
  EXPECT_EQ(without.rfind("P\r\n<table ", 0), 0u);
  EXPECT_EQ(without.substr(without.size() - 12), "</table>\r\n\r\n");
}

TEST(SaveAsHtml, WritesTheFileAndReplacesAnOldOne) {
  TempFolder folder;
  const std::string path = folder.File("page.htm");
  std::ofstream(path, std::ios::binary) << "an old and much longer page than the new one will be ...........";
  std::vector<std::string> opened;
  HTMLSettings settings;
  settings.AutoPreview = true;
  SaveAsHTML(SmallTable(), settings, ListTableLook(), path, [&](const std::string& p) { opened.push_back(p); });
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(path, bytes));
  EXPECT_EQ(bytes, RenderTableHtml(SmallTable(), settings, ListTableLook()));
  EXPECT_EQ(opened, std::vector<std::string>{path});
  // Nothing but the page is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(SaveAsHtml, CannotCreateFileLeavesTheTargetAlone) {
  TempFolder folder;
  const std::string missing = folder.File("no/such/folder/Results.htm");
  try {
    SaveAsHTML(SmallTable(), HTMLSettings{}, ListTableLook(), missing);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot Create file " + missing);
  }
  // A folder standing where the page should go is not replaced.
  fs::create_directory(folder.File("Results.htm"));
  EXPECT_THROW(SaveAsHTML(SmallTable(), HTMLSettings{}, ListTableLook(), folder.File("Results.htm")), Error);
  EXPECT_TRUE(fs::is_directory(folder.File("Results.htm")));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(SaveAsHtml, PreviewGoesToTheTemporaryFolder) {
  TempFolder folder;
  ::setenv("TMPDIR", folder.Path().c_str(), 1);
  std::string opened;
  const std::string path =
      PreviewHtml(SmallTable(), HTMLSettings{}, ListTableLook(), [&](const std::string& p) { opened = p; });
  ::unsetenv("TMPDIR");
  EXPECT_EQ(path, folder.File("temp001.htm"));
  EXPECT_EQ(opened, path);
  EXPECT_TRUE(fs::exists(path));
}

TEST(SaveAsHtml, ColourTexts) {
  EXPECT_EQ(HtmlColor(0x000000), "#000000");
  EXPECT_EQ(HtmlColor(0xC0C0C0), "#C0C0C0");
  EXPECT_EQ(HtmlColor(0x0a0b0c), "#0A0B0C");
  EXPECT_EQ(HtmlColor(0xFF0000), "#FF0000");  // red first
}

}  // namespace
}  // namespace ln40
