// The grid editing logic at the sizes organisers reach: a series pasted down a column of
// 10,000 runners, and the find dialog walking a full worksheet of 65,000 rows and 12 columns
// (the most the workbook format holds) without finding anything, which visits every cell.
// Target: under 50 ms each.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "table/clipboard_text.h"
#include "table/find_dialog.h"
#include "table/find_text.h"
#include "table/grid_table.h"
#include "table/series_paste.h"

namespace ln40 {
namespace {

constexpr int kPasteCells = 10000;
constexpr int kRows = 65000;
constexpr int kCols = 12;

std::string TimeText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return text;
}

// A runner sheet of `rows` runners: names, class, club, sex, course, start number, chip,
// start time, id, finish and net time, Windows-1252 texts.
TGridTable MakeSheet(int rows) {
  static const std::vector<std::string> first = {"Ola", "Kari", "Per", "Anne", "Lars", "Ingrid", "Bj\xF8rn",
                                                 "Marit", "Jon", "Solveig", "Knut", "Silje", "\xC5se", "Tor"};
  static const std::vector<std::string> last = {"Hansen", "Johansen", "Olsen", "Larsen", "Andersen", "Pedersen",
                                                "Nilsen", "Berg", "Haugen", "J\xF8rgensen", "S\xE6ther", "Lie"};
  static const std::vector<std::string> classes = {"H10", "D10", "H21", "D21", "H35", "D35", "H50", "D50",
                                                   "N\xE6rmilj\xF8"};
  static const std::vector<std::string> clubs = {"Halden SK", "Fredrikstad OK", "B\xE6rum IL", "Troms\xF8 IL"};
  std::mt19937 random(20240613);
  TGridTable table(kCols);
  table.SetColumnHeaders({"Fornavn", "Etternavn", "Klasse", "Klubb", "Kj\xF8nn", "L\xF8ype", "Startnr", "Brikkenr",
                          "Starttid", "Kid", "Inkomst", "Sluttid"});
  table.SetRowCount(rows + 1);
  for (int r = 1; r <= rows; ++r) {
    const std::string& cls = classes[random() % classes.size()];
    const int start = 10 * 3600 + static_cast<int>(random() % 240) * 60;
    const int net = 1200 + static_cast<int>(random() % 5400);
    table.SetCell(0, r, first[random() % first.size()]);
    table.SetCell(1, r, last[random() % last.size()]);
    table.SetCell(2, r, cls);
    table.SetCell(3, r, clubs[random() % clubs.size()]);
    table.SetCell(4, r, cls[0] == 'D' ? "K" : "M");
    table.SetCell(5, r, std::to_string(1 + random() % 8));
    table.SetCell(6, r, std::to_string(r));
    table.SetCell(7, r, std::to_string(100000 + random() % 900000));
    table.SetCell(8, r, TimeText(start));
    table.SetCell(9, r, std::to_string(1000000 + random() % 9000000));
    table.SetCell(10, r, TimeText(start + net));
    table.SetCell(11, r, TimeText(net));
  }
  return table;
}

// Copy two typed values, select 10,000 cells of their column, paste. The paste rewrites the
// same cells each time, so one table serves every iteration.
void PasteSeries(benchmark::State& state, int col, const std::string& a, const std::string& b) {
  TGridTable table = MakeSheet(kPasteCells);
  table.SetCell(col, 1, a);
  table.SetCell(col, 2, b);
  const std::string copied = CopySelectionText(table, GridSelection::Cells(col, 1, col, 2));
  const GridSelection column = GridSelection::Cells(col, 1, col, kPasteCells);
  for (auto _ : state) {
    const PasteOutcome outcome = PasteText(table, column, copied);
    benchmark::DoNotOptimize(outcome.rule);
  }
  state.SetItemsProcessed(state.iterations() * kPasteCells);
  state.SetLabel(a + ", " + b + " ... " + table.Cell(col, kPasteCells));
}

void BM_PasteIntegerSeries(benchmark::State& state) { PasteSeries(state, 6, "101", "102"); }
void BM_PasteTimeSeries(benchmark::State& state) { PasteSeries(state, 8, "10:00:00", "10:00:30"); }
void BM_PasteDateSeries(benchmark::State& state) { PasteSeries(state, 9, "28.01.2005", "28.02.2005"); }
void BM_PasteDecimalSeries(benchmark::State& state) { PasteSeries(state, 5, "1.5", "2"); }
void BM_PasteRepeat(benchmark::State& state) { PasteSeries(state, 2, "H21", "D21"); }
BENCHMARK(BM_PasteIntegerSeries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteTimeSeries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteDateSeries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteDecimalSeries)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteRepeat)->Unit(benchmark::kMillisecond);

// A 10,000-line block from the clipboard written into a column: parse and plain paste.
void BM_PastePlainBlock(benchmark::State& state) {
  TGridTable table = MakeSheet(kPasteCells);
  std::string text;
  for (int r = 1; r <= kPasteCells; ++r) text += std::to_string(5000 + r) + "\r\n";
  for (auto _ : state) {
    const PastedBlock block = PastePlain(table, 6, 1, text);
    benchmark::DoNotOptimize(block.fieldCount);
  }
  state.SetItemsProcessed(state.iterations() * kPasteCells);
}
BENCHMARK(BM_PastePlainBlock)->Unit(benchmark::kMillisecond);

const TGridTable& BigSheet() {
  static const TGridTable sheet = MakeSheet(kRows);
  return sheet;
}

// A search for a text no cell holds walks all 780,000 cells.
void FindNothing(benchmark::State& state, const char* text, FindOptions options) {
  const TGridTable& table = BigSheet();
  for (auto _ : state) benchmark::DoNotOptimize(FindNextCell(table, text, options, std::nullopt));
  state.SetItemsProcessed(state.iterations() * int64_t{kRows} * kCols);
}

void BM_FindContains(benchmark::State& state) {
  FindOptions options;
  options.direction = static_cast<FindDirection>(state.range(0));
  FindNothing(state, "r\xF8nningen", options);
}
BENCHMARK(BM_FindContains)
    ->Arg(static_cast<int>(FindDirection::TopToBottom))
    ->Arg(static_cast<int>(FindDirection::LeftToRight))
    ->Arg(static_cast<int>(FindDirection::BottomToTop))
    ->Unit(benchmark::kMillisecond);

void BM_FindCaseSensitive(benchmark::State& state) {
  FindOptions options;
  options.caseSensitive = true;
  FindNothing(state, "R\xF8nningen", options);
}
BENCHMARK(BM_FindCaseSensitive)->Unit(benchmark::kMillisecond);

void BM_FindWholeWords(benchmark::State& state) {
  FindOptions options;
  options.wholeWords = true;
  FindNothing(state, "olsen jr", options);
}
BENCHMARK(BM_FindWholeWords)->Unit(benchmark::kMillisecond);

void BM_FindIgnoringHtmlTags(benchmark::State& state) {
  FindOptions options;
  options.ignoreHtmlTags = true;
  FindNothing(state, "r\xF8nningen", options);
}
BENCHMARK(BM_FindIgnoringHtmlTags)->Unit(benchmark::kMillisecond);

void BM_FindWildcard(benchmark::State& state) {
  FindOptions options;
  options.wildcards = true;
  FindNothing(state, "*ss*n|H9?", options);
}
BENCHMARK(BM_FindWildcard)->Unit(benchmark::kMillisecond);

// Comparisons read every cell as a number or a time: the slowest kind of pattern.
void BM_FindWildcardComparison(benchmark::State& state) {
  FindOptions options;
  options.wildcards = true;
  FindNothing(state, ">=99999999&<100000000", options);
}
BENCHMARK(BM_FindWildcardComparison)->Unit(benchmark::kMillisecond);

// "Ok" in the find dialog for the last runner's start number, searched from the top.
void BM_FindDialogOk(benchmark::State& state) {
  TGridTable table = BigSheet();
  FindDialogState dialog;
  dialog.SetBox(FindBox::WholeWords, true);
  for (auto _ : state) {
    dialog.EditText("");
    dialog.EditText(std::to_string(kRows));
    benchmark::DoNotOptimize(dialog.Ok(table));
  }
}
BENCHMARK(BM_FindDialogOk)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ln40
