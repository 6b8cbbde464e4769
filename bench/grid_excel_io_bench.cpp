// The exchange between tables and workbook files at race-day sizes:
//   BM_SaveBothTables           5,000 runners (12 columns) and 20,000 read times (6 columns)
//                               written as the sheets "LN40" and "Excel" of one file with a
//                               single write (ExportTables). Target < 150 ms.
//   BM_SaveBothTablesTwoCalls   the same with two ExportFile calls, the second reopening the
//                               file the first wrote.
//   BM_ImportRunnerWorkbook     ImportFile of a 65,000-row runner workbook (12 columns,
//                               written by the exchange once and kept in the cache folder)
//                               into the runner sheet. Target < 400 ms.
// and the parts of the import, to show where its time goes:
//   BM_SavePart_ExportSheets    the cells of both tables into the workbook model
//   BM_SavePart_FileImage       the file image of that model (SaveToMemory)
//   BM_ImportPart_Read          what an import reads a workbook with: the file opened and
//                               checked by TWorkbookReader, the first sheet's cells decoded
//                               into a sink that counts them
//   BM_ImportPart_OpenFile      reading and decoding the file in full (TXLSFile::OpenFile),
//                               the editable workbook an import no longer builds
//   BM_ImportPart_Render        FormatCellValue of every cell with its number format
//   BM_ImportPart_Fill          the table: Utf16ToCp1252 and SetCell of the rendered texts
// The cache folder is $LN40_BENCH_CACHE, else /tmp/ln40_bench.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "table/grid_table.h"
#include "table/table_look.h"
#include "text/clock.h"
#include "text/codepage.h"
#include "text/date_time.h"
#include "exchange/grid_excel_io.h"
#include "xls/number_format.h"
#include "xls/workbook_reader.h"

namespace ln40 {
namespace {

std::string CacheFolder() {
  const char* folder = std::getenv("LN40_BENCH_CACHE");
  std::string path = folder && *folder ? folder : "/tmp/ln40_bench";
  std::filesystem::create_directories(path);
  return path;
}

std::string TimeText(int seconds) {
  return FormatTimeOfDay(static_cast<double>(seconds % 86400) / 86400.0, Locale::WorkedExample());
}

// A runner sheet as the race office fills it: names, class, club, start and finish times.
void FillRunners(TGridTable& table, int rows) {
  static const char* const kFirst[] = {"Ann", "Bj\xF8rn", "Cecilie", "Dag", "Eva", "Frode", "Gro", "H\xE5kon"};
  static const char* const kLast[] = {"Hansen", "Johansen", "Olsen", "Larsen", "Andersen", "Pedersen"};
  static const char* const kClass[] = {"H21", "D21", "H16", "D16", "H50", "D45"};
  static const char* const kClub[] = {"IL Tyrving", "Fossum IF", "NTNUI", "Halden SK", "Lillomarka OL"};
  table.SetColCount(12);
  table.SetRowCount(rows + 1);
  for (int r = 1; r <= rows; ++r) {
    const int i = r - 1;
    table.SetCell(0, r, kFirst[i % 8]);
    table.SetCell(1, r, kLast[i % 6]);
    table.SetCell(2, r, kClass[i % 6]);
    table.SetCell(3, r, kClub[i % 5]);
    table.SetCell(4, r, i % 2 ? "K" : "M");
    table.SetCell(5, r, "A");
    table.SetCell(6, r, std::to_string(100 + i));
    table.SetCell(7, r, std::to_string(500000 + i * 7));
    table.SetCell(8, r, TimeText(36000 + i * 30));
    table.SetCell(9, r, std::to_string(10000 + i));
    table.SetCell(10, r, TimeText(39000 + i * 31));
    table.SetCell(11, r, TimeText(3000 + i));
  }
}

// The read-times table: number, start number, kind, reader clock, time of day, message.
void FillReadTimes(TGridTable& table, int rows) {
  table.SetColCount(6);
  table.SetRowCount(rows + 1);
  for (int r = 1; r <= rows; ++r) {
    const std::string start = std::to_string(100 + r % 5000);
    table.SetCell(0, r, std::to_string(r));
    table.SetCell(1, r, start);
    table.SetCell(2, r, "Time");
    table.SetCell(3, r, std::to_string(3600000 + r * 913));
    table.SetCell(4, r, TimeText(39000 + r * 3));
    table.SetCell(5, r, "T" + start + " " + std::to_string(3600000 + r * 913) + "\r");
  }
}

struct Tables {
  Tables() : clock(46364.5), runner_io(runners, &runner_look), times_io(times, &times_look) {
    runner_look.bands = times_look.bands = true;
    runner_io.SetClock(&clock);
    times_io.SetClock(&clock);
    FillRunners(runners, 5000);
    FillReadTimes(times, 20000);
  }
  TGridTable runners{12}, times{6};
  TableLook runner_look, times_look;
  FixedClock clock;
  TGridExcelIO runner_io, times_io;
};

void BM_SaveBothTables(benchmark::State& state) {
  Tables tables;
  const std::string path = CacheFolder() + "/both_tables.xls";
  std::filesystem::remove(path);
  for (auto _ : state) {
    ExportTables(path, {{&tables.runner_io, "LN40"}, {&tables.times_io, "Excel"}});
  }
  state.counters["file_KB"] = static_cast<double>(std::filesystem::file_size(path)) / 1024.0;
}
BENCHMARK(BM_SaveBothTables)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SaveBothTablesTwoCalls(benchmark::State& state) {
  Tables tables;
  const std::string path = CacheFolder() + "/both_tables_two_calls.xls";
  std::filesystem::remove(path);
  for (auto _ : state) {
    tables.runner_io.ExportFile(path, "LN40");
    tables.times_io.ExportFile(path, "Excel");
  }
}
BENCHMARK(BM_SaveBothTablesTwoCalls)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The parts of the save: the cells into the workbook model, then the file image.
void BM_SavePart_ExportSheets(benchmark::State& state) {
  Tables tables;
  for (auto _ : state) {
    TXLSFile book;
    book.NewFile(1);
    tables.runner_io.ExportSheet(book, "LN40", -1, true);
    tables.times_io.ExportSheet(book, "Excel", -1);
    benchmark::DoNotOptimize(book.SheetCount());
  }
}
BENCHMARK(BM_SavePart_ExportSheets)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SavePart_FileImage(benchmark::State& state) {
  Tables tables;
  TXLSFile book;
  book.NewFile(1);
  tables.runner_io.ExportSheet(book, "LN40", -1, true);
  tables.times_io.ExportSheet(book, "Excel", -1);
  for (auto _ : state) benchmark::DoNotOptimize(book.SaveToMemory().size());
}
BENCHMARK(BM_SavePart_FileImage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

constexpr int kImportRows = 65000;

// The 65,000-row runner workbook, written once by the exchange.
std::string RunnerWorkbook() {
  const std::string path = CacheFolder() + "/runners_65000_exchange.xls";
  if (!std::filesystem::exists(path)) {
    TGridTable table(12);
    FillRunners(table, kImportRows);
    TGridExcelIO io(table);
    io.ExportFile(path, "LN40");
  }
  return path;
}

void BM_ImportRunnerWorkbook(benchmark::State& state) {
  const std::string path = RunnerWorkbook();
  TGridTable table(12);
  TGridExcelIO io(table);
  for (auto _ : state) io.ImportFile(path);
  state.counters["rows"] = table.RowCount() - 1;
}
BENCHMARK(BM_ImportRunnerWorkbook)->Unit(benchmark::kMillisecond)->MinTime(2.0);

struct CellCount final : TSheetSink {
  void Cell(const TSheetCell&) override { ++cells; }
  std::size_t cells = 0;
};

void BM_ImportPart_Read(benchmark::State& state) {
  const std::string path = RunnerWorkbook();
  for (auto _ : state) {
    TWorkbookReader reader;
    reader.OpenFile(path);
    CellCount count;
    reader.ReadSheet(1, count);
    benchmark::DoNotOptimize(count.cells);
  }
}
BENCHMARK(BM_ImportPart_Read)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ImportPart_OpenFile(benchmark::State& state) {
  const std::string path = RunnerWorkbook();
  for (auto _ : state) {
    TXLSFile book;
    book.OpenFile(path);
    benchmark::DoNotOptimize(book.UsedRowCount());
  }
}
BENCHMARK(BM_ImportPart_OpenFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Every cell's value and format code, then the rendering alone is timed.
void BM_ImportPart_Render(benchmark::State& state) {
  TXLSFile book;
  book.OpenFile(RunnerWorkbook());
  const Locale locale = Locale::WorkedExample();
  std::vector<std::pair<CellValue, std::u16string>> cells;
  const int rows = book.UsedRowCount(), cols = book.UsedColCount();  // each a walk over the rows
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= cols; ++c) {
      const TXlsCellValue cell = book.GetCell(r, c);
      cells.emplace_back(cell.Value, book.NumberFormat(cell.XF >= 0 ? cell.XF : 15));
    }
  }
  for (auto _ : state) {
    for (const auto& [value, code] : cells) benchmark::DoNotOptimize(FormatCellValue(value, code, locale));
  }
}
BENCHMARK(BM_ImportPart_Render)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// GetCell of every cell with its number format, without rendering.
void BM_ImportPart_GetCells(benchmark::State& state) {
  TXLSFile book;
  book.OpenFile(RunnerWorkbook());
  const int rows = book.UsedRowCount(), cols = book.UsedColCount();
  for (auto _ : state) {
    for (int r = 1; r <= rows; ++r) {
      for (int c = 1; c <= cols; ++c) {
        const TXlsCellValue cell = book.GetCell(r, c);
        benchmark::DoNotOptimize(book.NumberFormat(cell.XF >= 0 ? cell.XF : 15).size());
      }
    }
  }
}
BENCHMARK(BM_ImportPart_GetCells)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ImportPart_Fill(benchmark::State& state) {
  TXLSFile book;
  book.OpenFile(RunnerWorkbook());
  const Locale locale = Locale::WorkedExample();
  std::vector<std::u16string> texts;
  const int rows = book.UsedRowCount(), cols = book.UsedColCount();  // each a walk over the rows
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= cols; ++c) {
      const TXlsCellValue cell = book.GetCell(r, c);
      texts.push_back(FormatCellValue(cell.Value, book.NumberFormat(cell.XF >= 0 ? cell.XF : 15), locale));
    }
  }
  TGridTable table(12);
  for (auto _ : state) {
    table.ClearBody();
    table.SetRowCount(kImportRows + 1);
    size_t i = 0;
    for (int r = 1; r <= kImportRows; ++r) {
      for (int c = 0; c < 12; ++c) table.SetCell(c, r, Utf16ToCp1252(texts[i++]));
    }
  }
}
BENCHMARK(BM_ImportPart_Fill)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace ln40

BENCHMARK_MAIN();
