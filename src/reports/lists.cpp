#include "reports/lists.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "table/cell_compare.h"

#include "sheet/runner_sheet.h"

namespace ln40 {
namespace {

constexpr const char* kFooterTag = "<center><b>Vexa timing system</b></center>";

// Copies the taken sheet rows into the list's body: the first into the initial empty body
// row, each further one into a row appended at the end.
class BodyFiller {
 public:
  explicit BodyFiller(TGridTable& list) : list_(list) {}
  void Copy(const TGridTable& sheet, int sheet_row) {
    if (taken_ > 0) list_.AddRow();
    const int row = list_.RowCount() - 1;
    const int cols = std::min(sheet.ColCount(), list_.ColCount());
    for (int col = 0; col < cols; ++col) {
      const std::string& text = sheet.Cell(col, sheet_row);
      if (!text.empty()) list_.SetCell(col, row, text);
    }
    ++taken_;
  }

 private:
  TGridTable& list_;
  int taken_ = 0;
};

HTMLSettings ListHtmlSettings(const std::string& heading) {
  HTMLSettings html;
  html.BorderSize = 0;
  html.PrefixTag = "<h1><center>" + heading + "</center></h1>";
  html.SuffixTag = kFooterTag;
  return html;
}

// Places down the whole table: a runner whose net time text equals the one above shares
// its place; any row that is not a runner (header, class heading, summary) starts again at 1.
void WritePlaces(TGridTable& list) {
  using namespace result_list;
  int place = 1;
  std::string previous;
  for (int row = 0; row < list.RowCount(); ++row) {
    if (row == 0 || list.KindOfRow(row) != RowKind::Body) {
      place = 1;
      previous.clear();
      continue;
    }
    const std::string& time = list.Cell(kNetTime, row);
    if (time != previous) list.SetCell(kPlace, row, std::to_string(place));
    else list.SetCell(kPlace, row, list.Cell(kPlace, row - 1));
    ++place;
    previous = time;
  }
}

// The order of class names. It follows the table's comparison rule wherever that rule is
// consistent (9 before 10, H21 before h21, the empty class first), and settles the pairs on
// which the rule contradicts itself: a number compared with a text reads the text as 0 when
// the number comes first and compares bytes when the text does, so a race with classes 9, 10
// and H21 could be sorted into several runs of one class, each becoming a class of its own
// with its own winner. Here empty names come first, then numbers, dates, times and texts,
// each kind by value and equal values by bytes.
struct ClassKey {
  int rank = 0;
  double value = 0;
  const std::string* name = nullptr;
};

ClassKey KeyOfClass(const std::string& name, const Locale& locale) {
  ClassKey key;
  key.name = &name;
  if (name.empty()) return key;
  const CellClass cls = ClassifyCellText(name, locale);
  switch (cls) {
    case CellClass::Number: key.rank = 1; break;
    case CellClass::Date:
    case CellClass::DateTime: key.rank = 2; break;
    case CellClass::Time: key.rank = 3; break;
    case CellClass::Text: key.rank = 4; break;
  }
  if (key.rank < 4) key.value = ReadCellValue(cls, name, locale);
  return key;
}

bool ClassBefore(const ClassKey& a, const ClassKey& b) {
  if (a.rank != b.rank) return a.rank < b.rank;
  if (a.value != b.value) return a.value < b.value;
  return CompareBytes(*a.name, *b.name) < 0;
}

// GroupByColumn(col) on the class column with the class order above: the class names are
// replaced by their ranks (numbers, which compare consistently) for the grouping, and the
// headings then get the names back.
void GroupByClass(TGridTable& list, int col) {
  std::vector<std::string> names;
  std::unordered_map<std::string, int> seen;
  for (int row = 1; row < list.RowCount(); ++row) {
    if (seen.emplace(list.Cell(col, row), 0).second) names.push_back(list.Cell(col, row));
  }
  std::vector<ClassKey> keys;
  keys.reserve(names.size());
  for (const std::string& name : names) keys.push_back(KeyOfClass(name, list.GetLocale()));
  std::sort(keys.begin(), keys.end(), ClassBefore);

  const size_t digits = std::to_string(keys.size()).size();
  std::unordered_map<std::string, std::string> rank_of;
  std::unordered_map<std::string, std::string> name_of;
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string rank = std::to_string(i);
    rank.insert(0, digits - rank.size(), '0');
    rank_of[*keys[i].name] = rank;
    name_of[rank] = *keys[i].name;
  }
  for (int row = 1; row < list.RowCount(); ++row) list.SetCell(col, row, rank_of[list.Cell(col, row)]);

  list.GroupByColumn(col);
  for (int row = 1; row < list.RowCount(); ++row) {
    if (list.KindOfRow(row) == RowKind::GroupHeading) list.SetCell(1, row, name_of[list.Cell(1, row)]);
  }
}

}  // namespace

ListDocument BuildResultList(const TGridTable& sheet, const std::string& race, const std::string& sub,
                             const SystemColors& colors) {
  using namespace result_list;
  ListDocument doc{TGridTable(sheet.ColCount() + 1), ListTableLook(colors), {}, {}};
  TGridTable& list = doc.table;
  list.SetLocale(sheet.GetLocale());

  // Runners with a net time. The header row is never a runner, whatever its headings say,
  // and neither is a body row repeating the heading "Sluttid" (a workbook's own header row).
  BodyFiller filler(list);
  for (int row = 1; row < sheet.RowCount(); ++row) {
    const std::string& net = sheet.Cell(runner_sheet::kNetTime, row);
    if (!net.empty() && net != "Sluttid") filler.Copy(sheet, row);
  }

  list.InsertColumn(0, 2);
  list.Grouping().mergeHeader = true;
  list.Grouping().headerColor = colors.light3D;
  list.Grouping().summary = true;
  list.MergeColumns(2, 3);   // first name + last name; the class moves to column 3
  GroupByClass(list, 3);     // by class; the net time moves to column 11
  list.SortRowsInGroups(kNetTime, SortDirection::Ascending);
  WritePlaces(list);
  for (int col = kFirstHidden; col <= kLastHidden; ++col) list.HideColumn(col);
  list.SetCell(kMark, 0, " ");
  list.SetCell(kPlace, 0, "Plass");
  list.SetCell(kName, 0, "Navn");
  list.SetCell(kClub, 0, "Klubb");

  doc.print = ListPrintSettings("Resultatliste " + race + " " + sub);
  doc.html = ListHtmlSettings("Resultatliste " + race);
  return doc;
}

ListDocument BuildStartList(const TGridTable& sheet, const std::string& race, const std::string& sub,
                            const SystemColors& colors) {
  using namespace start_list;
  ListDocument doc{TGridTable(sheet.ColCount()), ListTableLook(colors), {}, {}};
  TGridTable& list = doc.table;
  list.SetLocale(sheet.GetLocale());

  BodyFiller filler(list);
  for (int row = 0; row < sheet.RowCount(); ++row) {
    const std::string& start = sheet.Cell(runner_sheet::kStartTime, row);
    if (start.empty()) continue;
    if (row == 0) {
      for (int col = 0; col < sheet.ColCount(); ++col) list.SetCell(col, 0, sheet.Cell(col, 0));
    } else if (start != "Starttid") {
      filler.Copy(sheet, row);
    }
  }

  list.InsertColumn(0, 1);
  list.MergeColumns(1, 2);  // first name + last name; the class moves to column 2
  list.Grouping().mergeHeader = true;
  list.Grouping().headerColor = kSilver;
  list.Grouping().mergeSummary = true;
  list.Grouping().summary = false;
  GroupByClass(list, 2);  // by class; the start time moves to column 7
  list.SortRowsInGroups(kStartTime, SortDirection::Ascending);
  for (int col : {3, 4, 5, 6, 8, 9, 10, 11}) {
    if (col < list.ColCount()) list.HideColumn(col);
  }
  list.SetCell(kMark, 0, " ");
  list.SetCell(kName, 0, "Navn");
  list.SetCell(kClub, 0, "Klubb");

  doc.print = ListPrintSettings("Startliste " + race + " " + sub);
  doc.html = ListHtmlSettings("Startliste " + race);
  return doc;
}

}  // namespace ln40
