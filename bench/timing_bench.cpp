// HandleReaderMessage on a read-times table that already holds 50,000 rows.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "sheet/runner_sheet.h"
#include "timing/message_handler.h"
#include "timing/read_times_table.h"
#include "timing/timing_station.h"

namespace {

using namespace ln40;

struct NullWindow : ReaderWindow {
  std::string ReaderNulltime() const override { return "10:00:00"; }
  void SetReaderNulltime(const std::string&) override {}
  bool RemoveLeadingZeros() const override { return true; }
  bool ChronexLogOn() const override { return true; }
  bool BfgLogOn() const override { return true; }
  bool InsertUnknownOn() const override { return true; }
  std::string RaceName() const override { return "Test race"; }
  std::string SubName() const override { return "10.10.04"; }
  void ShowActivityLamp() override {}
  void SetTimeStatus(const std::string&) override {}
  void EnableConnectionWatch() override {}
  void DisableConnectionWatch() override {}
};
struct NullDialog : MessageDialog {
  void ShowMessage(const std::string&) override {}
};
struct NullLink : ReaderLink {
  size_t bytes = 0;
  void SendText(const std::string& text) override { bytes += text.size(); }
};

constexpr int kFilledRows = 50000;

void BM_HandleReaderMessage(benchmark::State& state) {
  TGridTable table;
  SetUpReadTimesTable(table);
  NullWindow window;
  NullDialog dialog;
  NullLink link;
  FixedClock clock(46364.5);
  TReaderMessageHandler handler(table, window, dialog, link, clock, Locale::WorkedExample());
  handler.SetMillisecondMode(state.range(0) != 0);
  for (int i = 0; i < kFilledRows; ++i) handler.HandleReaderMessage("A01001234012:34.567\r");

  int handled = 0;
  for (auto _ : state) {
    handler.HandleReaderMessage("A01001234012:34.567\r");
    if (++handled % 1000 == 0) {
      state.PauseTiming();
      table.SetRowCount(kFilledRows + 2);
      state.ResumeTiming();
    }
  }
  benchmark::DoNotOptimize(link.bytes);
}
BENCHMARK(BM_HandleReaderMessage)->Arg(0)->Arg(1)->ArgName("ms")->Unit(benchmark::kMicrosecond);

}  // namespace

namespace {

using namespace ln40;

// A whole message as at a race: runner matching against a sheet of 10,000 runners and both
// log lines appended to real files.
void BM_HandleReaderMessageWithSheetAndLogs(benchmark::State& state) {
  char pattern[] = "/tmp/ln40benchXXXXXX";
  const std::string folder = mkdtemp(pattern);
  NullWindow window;
  NullDialog dialog;
  NullLink link;
  FixedClock clock(46364.5);
  TTimingStation station(window, dialog, link, clock, Locale::WorkedExample(), folder, nullptr);
  TGridTable& sheet = station.Sheet();
  constexpr int kRunners = 10000;
  sheet.SetRowCount(kRunners + 1);
  for (int row = 1; row <= kRunners; ++row) {
    sheet.SetCell(runner_sheet::kFirstName, row, "Runner");
    sheet.SetCell(runner_sheet::kStartNumber, row, std::to_string(row));
    sheet.SetCell(runner_sheet::kStartTime, row, "10:00:00");
  }
  station.BeforePortOpens(false);

  int handled = 0;
  for (auto _ : state) {
    // The start numbers late in the sheet cost the longest search.
    char message[32];
    std::snprintf(message, sizeof message, "A01%06d012:34.567\r", kRunners - handled % 100);
    station.HandleReaderMessage(message);
    ++handled;
  }
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_HandleReaderMessageWithSheetAndLogs)->Unit(benchmark::kMicrosecond);

}  // namespace
