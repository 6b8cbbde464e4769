// The workbook commands on a race of 5,000 runners and 20,000 read times:
//   BM_AutosaveTick      one autosave tick: both tables into a workbook image, written to a
//                        temporary file, flushed, autosave.bak refreshed, renamed into place
//                        (in $LN40_BENCH_CACHE, else /tmp/ln40_bench). Target well under 1 s
//                        (the event thread stands still meanwhile); aim < 150 ms.
//   BM_BothTablesImage   the same workbook built in memory only (the share of the writer).
//   BM_SaveTableAsXml    "Save as XML file" of the 20,000-row read-times table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "table/grid_table.h"
#include "exchange/autosave.h"
#include "exchange/grid_excel_io.h"
#include "reports/table_xml_export.h"

namespace {

using ln40::TGridExcelIO;
using ln40::TGridTable;

constexpr int kRunners = 5000;
constexpr int kReadTimes = 20000;

std::string BenchFolder() {
  const char* folder = std::getenv("LN40_BENCH_CACHE");
  std::string path = folder && *folder ? folder : "/tmp/ln40_bench";
  path += "/autosave";
  std::filesystem::create_directories(path);
  return path + "/";
}

std::string Clock(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return text;
}

// The tables of a large race day, with the texts the program puts into them.
struct RaceDay {
  TGridTable sheet{12};
  TGridTable times{6};
  RaceDay() {
    sheet.SetColumnHeaders({"Fornavn", "Etternavn", "Klasse", "Klubb", "Kj\xF8nn", "L\xF8ype", "Startnr", "Brikkenr",
                            "Starttid", "Kid", "Inkomst", "Sluttid"});
    sheet.SetRowCount(kRunners + 1);
    for (int row = 1; row <= kRunners; ++row) {
      const int start = 36000 + row * 15;
      const int finish = start + 1800 + (row * 37) % 3600;
      const std::string cells[12] = {"Runner" + std::to_string(row), "Family" + std::to_string(row % 997),
                                     "H" + std::to_string(10 + row % 12 * 5), "IL Club " + std::to_string(row % 150),
                                     row % 2 ? "M" : "K", std::string(1, static_cast<char>('A' + row % 6)),
                                     std::to_string(row), std::to_string(500000 + row), Clock(start),
                                     std::to_string(row), Clock(finish), Clock(finish - start)};
      for (int col = 0; col < 12; ++col) sheet.SetCell(col, row, cells[col]);
    }
    times.SetColumnHeaders({"#", "Kivono/startno", "Text", "LN20 time", "Time", "Data"});
    times.SetRowCount(kReadTimes + 2);
    for (int row = 2; row < kReadTimes + 2; ++row) {
      const int number = (row * 7) % kRunners + 1;
      char data[32];
      std::snprintf(data, sizeof data, "A0100%04d0%s.%03d\r", number, Clock(row * 2).c_str() + 3, row % 1000);
      const std::string cells[6] = {std::to_string(row - 1), std::to_string(number), "Time",
                                    std::string(data + 9, 10), Clock(36000 + row * 2), data};
      for (int col = 0; col < 6; ++col) times.SetCell(col, row, cells[col]);
    }
  }
};

RaceDay& Race() {
  static RaceDay race;
  return race;
}

void BM_AutosaveTick(benchmark::State& state) {
  const TGridExcelIO sheet(Race().sheet), times(Race().times);
  const std::string folder = BenchFolder();
  for (auto _ : state) ln40::AutosaveTables(folder, sheet, times);
  state.counters["cells"] = kRunners * 12 + kReadTimes * 6;
}
BENCHMARK(BM_AutosaveTick)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BothTablesImage(benchmark::State& state) {
  const TGridExcelIO sheet(Race().sheet), times(Race().times);
  for (auto _ : state) benchmark::DoNotOptimize(ln40::BothTablesImage(sheet, times));
}
BENCHMARK(BM_BothTablesImage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SaveTableAsXml(benchmark::State& state) {
  const std::string path = BenchFolder() + "times.xlm";
  const std::vector<std::string> names = {"#", "Kivono/startno", "Text", "LN20 time", "Time", "Data"};
  for (auto _ : state) ln40::SaveTableAsXml(Race().times, names, path);
}
BENCHMARK(BM_SaveTableAsXml)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
