// Sorting, grouping and searching a runner sheet of 65,000 rows and 12 columns, the size of
// a full worksheet of the workbook format the sheet is saved in.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "table/grid_table.h"

namespace ln40 {
namespace {

constexpr int kRunners = 65000;

std::string TimeText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return text;
}

// Fornavn, Etternavn, Klasse, Klubb, Kjønn, Løype, Startnr, Brikkenr, Starttid, Kid, Inkomst,
// Sluttid: Windows-1252 names, start numbers 1 to 65000 in random order, times "hh:mm:ss".
TGridTable MakeRunnerSheet() {
  static const std::vector<std::string> first = {
      "Ola", "Kari", "Per", "Anne", "Lars", "Ingrid", "Bj\xF8rn", "Marit", "Jon", "Solveig", "Knut",
      "Silje", "Erik", "Hilde", "Tor", "\xC5se", "Magnus", "Nora", "Sindre", "Ragnhild", "Even",
      "Tone", "Geir", "Liv", "Hans", "Randi", "Eirik", "Berit", "Jens", "Sigrid"};
  static const std::vector<std::string> last = {
      "Hansen", "Johansen", "Olsen", "Larsen", "Andersen", "Pedersen", "Nilsen", "Kristiansen",
      "Jensen", "Karlsen", "Johnsen", "Pettersen", "Eriksen", "Berg", "Haugen", "Hagen",
      "Johannessen", "Andreassen", "Jacobsen", "Dahl", "J\xF8rgensen", "Halvorsen", "Henriksen",
      "Lund", "S\xF8rensen", "Jakobsen", "Moen", "Gundersen", "Iversen", "Str\xF8m", "Solberg",
      "Svendsen", "Eide", "Knutsen", "Martinsen", "Paulsen", "Bakken", "Kristoffersen", "Mathisen",
      "Lie", "Amundsen", "Nguyen", "Rasmussen", "Ali", "Lunde", "Solheim", "Berge", "Moe",
      "Nygaard", "Bakke", "Kristensen", "Fredriksen", "Holm", "Lien", "Hauge", "Christensen",
      "Andresen", "Nielsen", "Knudsen", "Evensen", "S\xE6ther", "Aas", "Myhre", "Hanssen", "Ahmed",
      "Haugland", "Thomassen", "Sivertsen", "Simonsen", "Danielsen", "Berntsen", "Sandvik", "R\xF8nning"};
  static const std::vector<std::string> classes = {
      "H10", "D10", "H12", "D12", "H14", "D14", "H16", "D16", "H17-20", "D17-20", "H21", "D21",
      "H21B", "D21B", "H35", "D35", "H40", "D40", "H45", "D45", "H50", "D50", "H55", "D55",
      "H60", "D60", "H65", "D65", "H70", "D70", "Direkte", "N\xE6rmilj\xF8"};
  static const char* const clubs[] = {"IL", "IF", "OK", "SK", "IK"};
  static const std::vector<std::string> places = {
      "Halden", "Fredrikstad", "Sarpsborg", "Moss", "Asker", "B\xE6rum", "Oslo", "Lillehammer",
      "Gj\xF8vik", "Hamar", "Elverum", "Kongsberg", "Drammen", "T\xF8nsberg", "Larvik", "Skien",
      "Porsgrunn", "Kristiansand", "Stavanger", "Bergen", "\xC5lesund", "Molde", "Trondheim",
      "Bod\xF8", "Troms\xF8"};

  std::mt19937 random(20240613);
  std::vector<int> numbers(kRunners);
  std::iota(numbers.begin(), numbers.end(), 1);
  std::shuffle(numbers.begin(), numbers.end(), random);

  TGridTable table(12);
  table.SetColumnHeaders({"Fornavn", "Etternavn", "Klasse", "Klubb", "Kj\xF8nn", "L\xF8ype", "Startnr",
                          "Brikkenr", "Starttid", "Kid", "Inkomst", "Sluttid"});
  table.SetRowCount(kRunners + 1);
  for (int r = 1; r <= kRunners; ++r) {
    const std::string& cls = classes[random() % classes.size()];
    const int start = 10 * 3600 + static_cast<int>(random() % 240) * 60;
    const int net = 1200 + static_cast<int>(random() % 5400);
    table.SetCell(0, r, first[random() % first.size()]);
    table.SetCell(1, r, last[random() % last.size()]);
    table.SetCell(2, r, cls);
    table.SetCell(3, r, places[random() % places.size()] + " " + clubs[random() % 5]);
    table.SetCell(4, r, cls[0] == 'D' ? "K" : "M");
    table.SetCell(5, r, std::to_string(1 + random() % 8));
    table.SetCell(6, r, std::to_string(numbers[static_cast<size_t>(r - 1)]));
    table.SetCell(7, r, std::to_string(100000 + random() % 900000));
    table.SetCell(8, r, TimeText(start));
    table.SetCell(9, r, std::to_string(1000000 + random() % 9000000));
    if (random() % 10 != 0) {  // some runners have not finished yet
      table.SetCell(10, r, TimeText(start + net));
      table.SetCell(11, r, TimeText(net));
    }
  }
  return table;
}

const TGridTable& Sheet() {
  static const TGridTable sheet = MakeRunnerSheet();
  return sheet;
}

// SortRows on one column of the unsorted sheet, the tie-break on the columns to its right.
void BM_SortRows(benchmark::State& state) {
  const int col = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TGridTable table = Sheet();
    state.ResumeTiming();
    table.SortRows(col, SortDirection::Ascending);
    benchmark::DoNotOptimize(table.Cell(col, 1));
    state.PauseTiming();
    table = TGridTable();  // the release of the copy is not part of the sort
    state.ResumeTiming();
  }
  state.SetLabel(Sheet().Cell(col, 0));
}
BENCHMARK(BM_SortRows)->Arg(0)->Arg(1)->Arg(2)->Arg(6)->Arg(8)->Arg(11)->Unit(benchmark::kMillisecond);

// Sorting an already sorted sheet again, as a second click on the same heading would.
void BM_SortRowsSorted(benchmark::State& state) {
  TGridTable table = Sheet();
  table.SortRows(1, SortDirection::Ascending);
  for (auto _ : state) {
    table.SortRows(1, SortDirection::Ascending);
    benchmark::DoNotOptimize(table.Cell(1, 1));
  }
}
BENCHMARK(BM_SortRowsSorted)->Unit(benchmark::kMillisecond);

void BM_SortRowsByKeys(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TGridTable table = Sheet();
    state.ResumeTiming();
    table.SortRowsByKeys({{2, SortDirection::Ascending}, {11, SortDirection::Ascending}});
    benchmark::DoNotOptimize(table.Cell(2, 1));
    state.PauseTiming();
    table = TGridTable();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SortRowsByKeys)->Unit(benchmark::kMillisecond);

// GroupByColumn with merged headings as the read-times table has them.
void BM_GroupByColumn(benchmark::State& state) {
  const int col = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    TGridTable table = Sheet();
    table.Grouping().mergeHeader = true;
    state.ResumeTiming();
    table.GroupByColumn(col);
    benchmark::DoNotOptimize(table.RowCount());
    state.PauseTiming();
    table = TGridTable();
    state.ResumeTiming();
  }
  state.SetLabel(Sheet().Cell(col, 0));
}
BENCHMARK(BM_GroupByColumn)->Arg(2)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_Ungroup(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    TGridTable table = Sheet();
    table.Grouping().mergeHeader = true;
    table.Grouping().summary = true;
    table.GroupByColumn(2);
    state.ResumeTiming();
    table.Ungroup();
    benchmark::DoNotOptimize(table.RowCount());
    state.PauseTiming();
    table = TGridTable();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Ungroup)->Unit(benchmark::kMillisecond);

// The runner matching looks a start number up once per reader message. The number searched
// for is in the last row, so the whole column is walked.
void BM_FindInColumn(benchmark::State& state) {
  TGridTable table = Sheet();
  const std::string wanted = table.Cell(6, kRunners);
  for (auto _ : state) benchmark::DoNotOptimize(table.FindInColumn(6, wanted));
}
BENCHMARK(BM_FindInColumn)->Unit(benchmark::kMicrosecond);

void BM_FindInColumnText(benchmark::State& state) {
  TGridTable table = Sheet();
  for (auto _ : state) benchmark::DoNotOptimize(table.FindInColumn(1, "r\xF8nningen"));
}
BENCHMARK(BM_FindInColumnText)->Unit(benchmark::kMicrosecond);

void BM_FindInColumnGrouped(benchmark::State& state) {
  TGridTable table = Sheet();
  table.Grouping().mergeHeader = true;
  table.GroupByColumn(2);
  for (auto _ : state) benchmark::DoNotOptimize(table.FindInColumn(5, "999999"));
}
BENCHMARK(BM_FindInColumnGrouped)->Unit(benchmark::kMicrosecond);

// One reader message: a row appended to a long table and six cells written.
void BM_AppendRow(benchmark::State& state) {
  TGridTable table(6);
  table.SetRowCount(50000);
  const std::string raw = "A0123 001234567\r";
  for (auto _ : state) {
    table.AddRow();
    const int r = table.RowCount() - 1;
    table.SetCell(5, r, raw);
    table.SetCell(0, r, "12345");
    table.SetCell(1, r, "123");
    table.SetCell(2, r, "Time");
    table.SetCell(3, r, "01:23:45.678");
    table.SetCell(4, r, "11:23:45");
    if (table.RowCount() > 200000) {
      state.PauseTiming();
      table.SetRowCount(50000);
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_AppendRow);

}  // namespace
}  // namespace ln40
