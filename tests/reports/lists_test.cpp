#include "reports/lists.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "report_test_support.h"

namespace ln40 {
namespace {

using testing::DescribeBody;
using testing::MakeSheet;
using testing::Runner;
using testing::Snapshot;

// "#CLASS" for a class heading, "--" for a summary row, else place|name|club|net time.
// Runners sharing a place may come in any order; they are listed here sorted.
std::vector<std::string> ResultRows(const TGridTable& list) {
  std::vector<std::string> rows = DescribeBody(list, {1, 2, 3, 11});
  for (int row = 1; row < list.RowCount(); ++row) {
    std::string& text = rows[static_cast<size_t>(row - 1)];
    if (list.KindOfRow(row) == RowKind::GroupSummary) text = "--";
    if (list.KindOfRow(row) == RowKind::GroupHeading) text = "#" + list.Cell(1, row);
  }
  const auto place = [](const std::string& row) { return row.substr(0, row.find('|')); };
  size_t first = 0;
  while (first < rows.size()) {
    size_t last = first + 1;
    while (last < rows.size() && rows[first].find('|') != std::string::npos && place(rows[last]) == place(rows[first])) {
      ++last;
    }
    std::sort(rows.begin() + static_cast<long>(first), rows.begin() + static_cast<long>(last));
    first = last;
  }
  return rows;
}

// "#CLASS" for a class heading, else name|club|start time|Kid.
std::vector<std::string> StartRows(const TGridTable& list) {
  std::vector<std::string> rows = DescribeBody(list, {1, 2, 7, 8});
  for (int row = 1; row < list.RowCount(); ++row) {
    if (list.KindOfRow(row) == RowKind::GroupHeading) rows[static_cast<size_t>(row - 1)] = "#" + list.Cell(1, row);
  }
  return rows;
}

TEST(ResultList, Cases) {
  const struct {
    const char* name;
    std::vector<Runner> runners;
    std::vector<std::string> rows;
  } cases[] = {
      {"no runner has a net time: one nameless class, one empty row",
       {{"Ola", "Dal", "H21", "IL", "10:00:00", ""}},
       {"#", "|||", "--"}},
      {"runners without a net time are left out",
       {{"Ola", "Dal", "H21", "IL", "", "00:30:00"}, {"Per", "Li", "H21", "IL", "10:00:00", ""}},
       {"#H21", "1|Ola Dal|IL|00:30:00", "--"}},
      {"rows whose net time reads Sluttid are left out",
       {{"Fornavn", "Etternavn", "Klasse", "Klubb", "Starttid", "Sluttid"}, {"Ola", "Dal", "H21", "IL", "", "00:30:00"}},
       {"#H21", "1|Ola Dal|IL|00:30:00", "--"}},
      {"H21 on sheet rows 5, 2 and 9: 1, 2, 2",
       {{"A", "a", "D21", "", "", "00:50:00"},
        {"Two", "H", "H21", "", "", "00:41:10"},
        {"C", "c", "D21", "", "", "00:51:00"},
        {"D", "d", "D21", "", "", "00:52:00"},
        {"Five", "H", "H21", "", "", "00:39:02"},
        {"E", "e", "D21", "", "", "00:53:00"},
        {"F", "f", "D21", "", "", "00:54:00"},
        {"G", "g", "D21", "", "", "00:55:00"},
        {"Nine", "H", "H21", "", "", "00:41:10"}},
       {"#D21", "1|A a||00:50:00", "2|C c||00:51:00", "3|D d||00:52:00", "4|E e||00:53:00", "5|F f||00:54:00",
        "6|G g||00:55:00", "--", "#H21", "1|Five H||00:39:02", "2|Nine H||00:41:10", "2|Two H||00:41:10", "--"}},
      {"a tie skips the next place: 1, 2, 2, 4",
       {{"A", "", "H21", "", "", "00:20:00"},
        {"B", "", "H21", "", "", "00:30:00"},
        {"C", "", "H21", "", "", "00:30:00"},
        {"D", "", "H21", "", "", "00:40:00"}},
       {"#H21", "1|A||00:20:00", "2|B||00:30:00", "2|C||00:30:00", "4|D||00:40:00", "--"}},
      {"places restart per class, also after an equal time",
       {{"A", "", "D21", "", "", "00:30:00"},
        {"B", "", "D21", "", "", "00:40:00"},
        {"C", "", "H21", "", "", "00:40:00"},
        {"D", "", "H21", "", "", "00:45:00"}},
       {"#D21", "1|A||00:30:00", "2|B||00:40:00", "--", "#H21", "1|C||00:40:00", "2|D||00:45:00", "--"}},
      {"class names compare exactly: H21 before h21",
       {{"a", "", "h21", "", "", "00:10:00"}, {"b", "", "H21", "", "", "00:20:00"}},
       {"#H21", "1|b||00:20:00", "--", "#h21", "1|a||00:10:00", "--"}},
      {"digit class names sort as numbers: 9 before 10",
       {{"a", "", "10", "", "", "00:10:00"}, {"b", "", "9", "", "", "00:20:00"}},
       {"#9", "1|b||00:20:00", "--", "#10", "1|a||00:10:00", "--"}},
      {"an empty class comes first",
       {{"a", "", "H21", "", "", "00:10:00"}, {"b", "", "", "", "", "00:20:00"}},
       {"#", "1|b||00:20:00", "--", "#H21", "1|a||00:10:00", "--"}},
      {"net times compare as times: 9:05:00 before 10:00:00",
       {{"a", "", "H", "", "", "10:00:00"}, {"b", "", "H", "", "", "9:05:00"}},
       {"#H", "1|b||9:05:00", "2|a||10:00:00", "--"}},
      {"names are trimmed when a part is empty",
       {{"", "Olsen", "H", "", "", "00:20:00"}, {"Kari", "", "H", "", "", "00:21:00"}},
       {"#H", "1|Olsen||00:20:00", "2|Kari||00:21:00", "--"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TGridTable sheet = MakeSheet(c.runners);
    const ListDocument doc = BuildResultList(sheet, "Race", "Sub");
    EXPECT_EQ(ResultRows(doc.table), c.rows);
  }
}

// Digit-only and other class names in one race: the comparison rule orders such a pair
// one way or the other depending on which comes first, which once split classes into
// several headings, each with its own winner.
TEST(Lists, MixedClassNamesGiveOneHeadingPerClass) {
  const char* const classes[] = {"H21", "9", "10", "D21", "", "h21", "H13-14", "12.5"};
  std::vector<Runner> runners;
  for (int i = 0; i < 96; ++i) {
    runners.push_back({"R" + std::to_string(i), "", classes[(i * 5) % 8], "", "10:00:00",
                       "00:" + std::to_string(10 + i % 50) + ":00"});
  }
  const TGridTable sheet = MakeSheet(runners);
  const std::vector<std::string> order = {"", "9", "10", "12.5", "D21", "H13-14", "H21", "h21"};
  const ListDocument results = BuildResultList(sheet, "R", "S");
  const ListDocument starts = BuildStartList(sheet, "R", "S");
  for (const TGridTable* list : {&results.table, &starts.table}) {
    std::vector<std::string> headings;
    int runners_seen = 0;
    for (int row = 1; row < list->RowCount(); ++row) {
      if (list->KindOfRow(row) == RowKind::GroupHeading) headings.push_back(list->Cell(1, row));
      if (list->KindOfRow(row) == RowKind::Body) ++runners_seen;
    }
    EXPECT_EQ(headings, order);
    EXPECT_EQ(runners_seen, 96);
  }
}

TEST(ResultList, NetTimeThatIsNoTimeIsStillListed) {
  // Where "DNF" ranks depends on which of a pair is compared first; it is listed either way.
  const TGridTable sheet = MakeSheet({{"a", "", "H", "", "", "DNF"}, {"b", "", "H", "", "", "00:20:00"}});
  const std::vector<std::string> rows = ResultRows(BuildResultList(sheet, "R", "S").table);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows.front(), "#H");
  EXPECT_TRUE(std::find(rows.begin(), rows.end(), "1|a||DNF") != rows.end() ||
              std::find(rows.begin(), rows.end(), "2|a||DNF") != rows.end());
}

TEST(ResultList, ColumnsHeadingsAndHiddenColumns) {
  const TGridTable sheet = MakeSheet({{"Ola", "Dal", "H21", "IL", "10:00:00", "00:30:00", "77", "12", "3456", "10:30:00"}});
  const TGridTable& list = BuildResultList(sheet, "R", "S").table;
  ASSERT_EQ(list.ColCount(), 13);
  const std::vector<std::string> headings = {" ", "Plass", "Navn", "Klubb", "", "", "", "", "", "", "", "", ""};
  for (int col = 0; col < 13; ++col) {
    EXPECT_EQ(list.Cell(col, 0), headings[static_cast<size_t>(col)]) << col;
    EXPECT_EQ(list.IsColumnHidden(col), col >= 4 && col <= 10) << col;
  }
  // Runner row 2: the hidden columns keep gender .. finish time in their order.
  EXPECT_EQ(list.Cell(6, 2), "12");        // start number
  EXPECT_EQ(list.Cell(7, 2), "3456");      // chip
  EXPECT_EQ(list.Cell(8, 2), "10:00:00");  // start time
  EXPECT_EQ(list.Cell(9, 2), "77");        // Kid
  EXPECT_EQ(list.Cell(10, 2), "10:30:00"); // finish
  EXPECT_EQ(list.Cell(12, 2), "");
  // The class heading spans from column 1 to the last column, in the 3D-light colour.
  const auto span = list.MergeSpanAt(1, 1);
  ASSERT_TRUE(span);
  EXPECT_EQ(span->width, 12);
  EXPECT_EQ(list.CellBackground(1, 1), SystemColors{}.light3D);
}

TEST(ResultList, WiderSheetKeepsItsFurtherColumnsBeforeTheEmptyOne) {
  TGridTable sheet = MakeSheet({{"Ola", "Dal", "H21", "IL", "", "00:30:00"}});
  sheet.SetColCount(14);
  sheet.SetCell(12, 0, "Extra");
  sheet.SetCell(12, 1, "e12");
  sheet.SetCell(13, 1, "e13");
  const TGridTable& list = BuildResultList(sheet, "R", "S").table;
  ASSERT_EQ(list.ColCount(), 15);
  EXPECT_EQ(list.Cell(11, 2), "00:30:00");
  EXPECT_EQ(list.Cell(12, 2), "e12");
  EXPECT_EQ(list.Cell(13, 2), "e13");
  EXPECT_EQ(list.Cell(14, 2), "");
  EXPECT_EQ(list.Cell(12, 0), "");  // shown with an empty heading
  EXPECT_FALSE(list.IsColumnHidden(12));
  EXPECT_FALSE(list.IsColumnHidden(14));
}

TEST(ResultList, HeaderRowWithOtherHeadingsIsNoRunner) {
  TGridTable sheet = MakeSheet({{"Ola", "Dal", "H21", "IL", "", "00:30:00"}});
  sheet.SetCell(11, 0, "Nettotid");
  EXPECT_EQ(ResultRows(BuildResultList(sheet, "R", "S").table),
            (std::vector<std::string>{"#H21", "1|Ola Dal|IL|00:30:00", "--"}));
}

TEST(ResultList, PrintAndPageSettings) {
  const ListDocument doc = BuildResultList(MakeSheet({}), "Vinter", "Runde 3");
  EXPECT_EQ(doc.print.TitleText, "Resultatliste Vinter Runde 3");
  EXPECT_EQ(doc.print.Title, PrintPosition::TopCenter);
  EXPECT_EQ(doc.print.HeaderSize, 30);
  EXPECT_EQ(doc.print.FooterSize, 30);
  EXPECT_EQ(doc.print.LeftSize, 0);
  EXPECT_EQ(doc.print.Borders, PrintBorders::None);
  EXPECT_TRUE(doc.print.RepeatFixedRows);
  EXPECT_EQ(doc.print.HeaderFont.size, 14);
  EXPECT_EQ(doc.print.PagePrefix, "Vexa timing system LN40     ");
  EXPECT_EQ(doc.print.PagePrefix.size(), 28u);
  EXPECT_EQ(doc.print.PageNr, PrintPosition::BottomCenter);
  EXPECT_EQ(doc.print.Date, PrintPosition::None);
  EXPECT_EQ(doc.html.PrefixTag, "<h1><center>Resultatliste Vinter</center></h1>");
  EXPECT_EQ(doc.html.SuffixTag, "<center><b>Vexa timing system</b></center>");
  EXPECT_EQ(doc.html.BorderSize, 0);
  EXPECT_EQ(doc.html.Width, 100);
  EXPECT_FALSE(doc.look.bands);
}

TEST(ResultList, RunnerSheetIsUnchanged) {
  TGridTable sheet = MakeSheet({{"b", "", "H21", "", "", "00:41:10"},
                                {"a", "", "D21", "", "", "00:39:02"},
                                {"c", "", "H21", "", "10:00:00", ""}});
  sheet.HideColumn(4);
  const std::vector<std::string> before = Snapshot(sheet);
  BuildResultList(sheet, "R", "S");
  BuildStartList(sheet, "R", "S");
  EXPECT_EQ(Snapshot(sheet), before);
  EXPECT_FALSE(sheet.IsGrouped());
  EXPECT_TRUE(sheet.IsColumnHidden(4));
  EXPECT_FALSE(sheet.IsColumnHidden(5));
}

std::string Head(const std::string& text) {
  return "<td bgcolor=\"#F0F0F0\" valign=\"top\"><b><font color=\"#000000\">" + text + "</font></b></td>\r\n";
}
std::string Cell(const std::string& text) {
  if (text.empty()) return "<td bgcolor=\"#FFFFFF\"><font color=\"#000000\" ><br></font></td>\r\n";
  return "<td valign=\"top\" bgcolor=\"#FFFFFF\"><font color=\"#000000\" >" + text + "</font></td>\r\n";
}
std::string ClassHeading(const std::string& name, int colspan, const std::string& color) {
  if (name.empty()) {
    return "<td colspan=\"" + std::to_string(colspan) + "\" bgcolor=\"" + color +
           "\"><font color=\"#000000\" ><br></font></td>\r\n";
  }
  return "<td colspan=\"" + std::to_string(colspan) + "\" valign=\"top\" bgcolor=\"" + color +
         "\"><font color=\"#000000\" >" + name + "</font></td>\r\n";
}
std::string Row(const std::string& cells) { return "<tr>\r\n" + cells + "</tr>\r\n"; }

const char* const kListTableTag = "<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\"  width=\"100%\">\r\n";
const char* const kListEnd = "</table>\r\n<center><b>Vexa timing system</b></center>\r\n\r\n";

TEST(ResultList, PageByteForByte) {
  const TGridTable sheet = MakeSheet({{"Kari", "Li", "H21", "IL Nord", "10:00:00", "00:41:10", "9", "1", "111"},
                                      {"Per", "Dal", "H21", "OK S\xF8r", "10:01:00", "00:39:02", "8", "2", "222"}});
  const ListDocument doc = BuildResultList(sheet, "Vinterkarusell", "3");
  const std::string expected =
      std::string("<h1><center>Resultatliste Vinterkarusell</center></h1>\r\n") + kListTableTag +
      Row(Head(" ") + Head("Plass") + Head("Navn") + Head("Klubb") + Head("<br>") + Head("<br>")) +
      Row(Cell("") + ClassHeading("H21", 5, "#E3E3E3")) +
      Row(Cell("") + Cell("1") + Cell("Per Dal") + Cell("OK S\xF8r") + Cell("00:39:02") + Cell("")) +
      Row(Cell("") + Cell("2") + Cell("Kari Li") + Cell("IL Nord") + Cell("00:41:10") + Cell("")) +
      Row(Cell("") + Cell("") + Cell("") + Cell("") + Cell("") + Cell("")) + kListEnd;
  EXPECT_EQ(RenderTableHtml(doc.table, doc.html, doc.look), expected);
}

TEST(ResultList, PageWithoutNetTimes) {
  const ListDocument doc = BuildResultList(MakeSheet({{"Ola", "Dal", "H21", "IL", "10:00:00"}}), "R", "S");
  const std::string expected =
      std::string("<h1><center>Resultatliste R</center></h1>\r\n") + kListTableTag +
      Row(Head(" ") + Head("Plass") + Head("Navn") + Head("Klubb") + Head("<br>") + Head("<br>")) +
      Row(Cell("") + ClassHeading("", 5, "#E3E3E3")) +
      Row(Cell("") + Cell("") + Cell("") + Cell("") + Cell("") + Cell("")) +
      Row(Cell("") + Cell("") + Cell("") + Cell("") + Cell("") + Cell("")) + kListEnd;
  EXPECT_EQ(RenderTableHtml(doc.table, doc.html, doc.look), expected);
}

TEST(StartList, Cases) {
  const struct {
    const char* name;
    std::vector<Runner> runners;
    std::vector<std::string> rows;
  } cases[] = {
      {"runners without a start time are out, those without a net time in",
       {{"Ola", "Dal", "H21", "IL", "", "00:30:00"}, {"Per", "Li", "H21", "OK", "10:00:00", ""}},
       {"#H21", "Per Li|OK|10:00:00|"}},
      {"by class, then start time",
       {{"a", "", "H21", "", "10:02:00"}, {"b", "", "D21", "", "10:03:00"}, {"c", "", "H21", "", "10:01:00"},
        {"d", "", "D21", "", "9:59:00"}},
       {"#D21", "d||9:59:00|", "b||10:03:00|", "#H21", "c||10:01:00|", "a||10:02:00|"}},
      {"equal start times by Kid",
       {{"a", "", "H21", "", "10:00:00", "", "300"}, {"b", "", "H21", "", "10:00:00", "", "100"},
        {"c", "", "H21", "", "10:00:00", "", "200"}},
       {"#H21", "b||10:00:00|100", "c||10:00:00|200", "a||10:00:00|300"}},
      {"no runner has a start time: one nameless class and one empty row",
       {{"a", "", "H21", "", "", "00:30:00"}},
       {"#", "|||"}},
      {"a workbook's header row in the body is no runner",
       {{"Fornavn", "Etternavn", "Klasse", "Klubb", "Starttid"}, {"a", "", "H21", "", "10:00:00"}},
       {"#H21", "a||10:00:00|"}},
      {"an empty class comes first, 9 before 10",
       {{"a", "", "10", "", "10:00:00"}, {"b", "", "9", "", "10:00:00"}, {"c", "", "", "", "10:00:00"}},
       {"#", "c||10:00:00|", "#9", "b||10:00:00|", "#10", "a||10:00:00|"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ListDocument doc = BuildStartList(MakeSheet(c.runners), "Race", "Sub");
    EXPECT_EQ(StartRows(doc.table), c.rows);
  }
}

TEST(StartList, ColumnsHeadingsAndHiddenColumns) {
  const TGridTable sheet =
      MakeSheet({{"Ola", "Dal", "H21", "IL", "10:00:00", "00:30:00", "77", "12", "3456", "10:30:00"}});
  const ListDocument doc = BuildStartList(sheet, "R", "S");
  const TGridTable& list = doc.table;
  ASSERT_EQ(list.ColCount(), 11);
  EXPECT_EQ(list.Cell(0, 0), " ");
  EXPECT_EQ(list.Cell(1, 0), "Navn");
  EXPECT_EQ(list.Cell(2, 0), "Klubb");
  EXPECT_EQ(list.Cell(7, 0), "Starttid");
  for (int col = 0; col < 11; ++col) {
    EXPECT_EQ(list.IsColumnHidden(col), col != 0 && col != 1 && col != 2 && col != 7) << col;
  }
  EXPECT_EQ(list.Cell(5, 2), "12");    // start number, hidden
  EXPECT_EQ(list.Cell(6, 2), "3456");  // chip, hidden
  const auto span = list.MergeSpanAt(1, 1);
  ASSERT_TRUE(span);
  EXPECT_EQ(span->width, 10);
  EXPECT_EQ(list.CellBackground(1, 1), kSilver);
  EXPECT_EQ(doc.print.TitleText, "Startliste R S");
  EXPECT_EQ(doc.html.PrefixTag, "<h1><center>Startliste R</center></h1>");

  // Neither start number nor chip number reaches the page.
  const std::string html = RenderTableHtml(list, doc.html, doc.look);
  EXPECT_EQ(html.find(">12<"), std::string::npos);
  EXPECT_EQ(html.find("3456"), std::string::npos);
  EXPECT_NE(html.find(">Ola Dal<"), std::string::npos);
}

TEST(StartList, TimeColumnWithoutHeading) {
  TGridTable sheet = MakeSheet({{"a", "", "H21", "", "10:00:00"}});
  sheet.SetCell(8, 0, "");
  const TGridTable& list = BuildStartList(sheet, "R", "S").table;
  EXPECT_EQ(list.Cell(7, 0), "");
  EXPECT_EQ(list.Cell(2, 0), "Klubb");
}

TEST(StartList, WiderSheet) {
  TGridTable sheet = MakeSheet({{"a", "", "H21", "", "10:00:00"}});
  sheet.SetColCount(14);
  sheet.SetCell(12, 0, "Twelve");
  sheet.SetCell(13, 0, "Thirteen");
  sheet.SetCell(12, 1, "v12");
  sheet.SetCell(13, 1, "v13");
  const TGridTable& list = BuildStartList(sheet, "R", "S").table;
  ASSERT_EQ(list.ColCount(), 13);
  EXPECT_EQ(list.Cell(11, 2), "v12");
  EXPECT_TRUE(list.IsColumnHidden(11));
  EXPECT_EQ(list.Cell(12, 0), "Thirteen");
  EXPECT_EQ(list.Cell(12, 2), "v13");
  EXPECT_FALSE(list.IsColumnHidden(12));
}

TEST(StartList, PageByteForByte) {
  const TGridTable sheet = MakeSheet({{"Kari", "Li", "D16", "IL Nord", "10:02:00", "", "9", "1", "111"},
                                      {"Ida", "Dal", "D16", "OK S\xF8r", "10:01:00", "", "8", "2", "222"}});
  const ListDocument doc = BuildStartList(sheet, "Vinterkarusell", "3");
  const std::string expected =
      std::string("<h1><center>Startliste Vinterkarusell</center></h1>\r\n") + kListTableTag +
      Row(Head(" ") + Head("Navn") + Head("Klubb") + Head("Starttid")) +
      Row(Cell("") + ClassHeading("D16", 3, "#C0C0C0")) +
      Row(Cell("") + Cell("Ida Dal") + Cell("OK S\xF8r") + Cell("10:01:00")) +
      Row(Cell("") + Cell("Kari Li") + Cell("IL Nord") + Cell("10:02:00")) + kListEnd;
  EXPECT_EQ(RenderTableHtml(doc.table, doc.html, doc.look), expected);
}

}  // namespace
}  // namespace ln40
