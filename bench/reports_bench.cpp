// The lists of a large race: 5,000 runners in 100 classes. The target for the result list
// with its HTML page is under 100 ms.
#include <benchmark/benchmark.h>

#include "reports/lists.h"
#include "reports/print_layout.h"
#include "reports/recording_canvas.h"
#include "sheet/runner_sheet.h"

namespace ln40 {
namespace {

std::string TwoDigits(int value) {
  std::string text(value < 10 ? "0" : "");
  text += std::to_string(value);
  return text;
}

TGridTable LargeRace() {
  using namespace runner_sheet;
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  constexpr int kRunners = 5000;
  sheet.SetRowCount(kRunners + 1);
  for (int i = 0; i < kRunners; ++i) {
    const int row = i + 1;
    const int start = 36000 + (i % 400) * 15;
    const int net = 1200 + (i * 7919) % 3600;
    sheet.SetCell(kFirstName, row, "Runner" + std::to_string(i));
    sheet.SetCell(kLastName, row, "Nordmann");
    std::string klass(i % 2 ? "H" : "D");
    klass += std::to_string(10 + (i / 2 * 37) % 50);
    sheet.SetCell(kClass, row, klass);
    sheet.SetCell(kClub, row, "Club " + std::to_string(i % 150));
    sheet.SetCell(kStartNumber, row, std::to_string(i + 1));
    sheet.SetCell(kStartTime, row, TwoDigits(start / 3600) + ":" + TwoDigits(start / 60 % 60) + ":" + TwoDigits(start % 60));
    sheet.SetCell(kId, row, std::to_string(100000 + i));
    sheet.SetCell(kNetTime, row, "00:" + TwoDigits(net / 60 % 60) + ":" + TwoDigits(net % 60));
  }
  return sheet;
}

const TGridTable& Race() {
  static const TGridTable race = LargeRace();
  return race;
}

void BM_ResultListAndPage(benchmark::State& state) {
  size_t bytes = 0;
  int classes = 0;
  for (auto _ : state) {
    const ListDocument doc = BuildResultList(Race(), "Race", "Sub");
    const std::string page = RenderTableHtml(doc.table, doc.html, doc.look);
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
    classes = 0;
    for (int row = 1; row < doc.table.RowCount(); ++row) classes += doc.table.KindOfRow(row) == RowKind::GroupHeading;
  }
  state.counters["page_bytes"] = static_cast<double>(bytes);
  state.counters["classes"] = classes;
}
BENCHMARK(BM_ResultListAndPage)->Unit(benchmark::kMillisecond);

void BM_ResultListOnly(benchmark::State& state) {
  for (auto _ : state) {
    const ListDocument doc = BuildResultList(Race(), "Race", "Sub");
    benchmark::DoNotOptimize(doc.table.RowCount());
  }
}
BENCHMARK(BM_ResultListOnly)->Unit(benchmark::kMillisecond);

void BM_StartListAndPage(benchmark::State& state) {
  for (auto _ : state) {
    const ListDocument doc = BuildStartList(Race(), "Race", "Sub");
    const std::string page = RenderTableHtml(doc.table, doc.html, doc.look);
    benchmark::DoNotOptimize(page.data());
  }
}
BENCHMARK(BM_StartListAndPage)->Unit(benchmark::kMillisecond);

void BM_PrintResultList(benchmark::State& state) {
  const ListDocument doc = BuildResultList(Race(), "Race", "Sub");
  int pages = 0;
  for (auto _ : state) {
    RecordingCanvas canvas;
    pages = PrintTable(doc.table, doc.print, doc.look, canvas, 46000.5, Locale::WorkedExample());
    benchmark::DoNotOptimize(pages);
  }
  state.counters["pages"] = pages;
}
BENCHMARK(BM_PrintResultList)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ln40
