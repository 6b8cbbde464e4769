// The workbook reader and writer on a sheet of 65,000 runners x 12 columns:
//   BM_OpenAndRender65000x12   OpenFile of a workbook written by LibreOffice (made at the
//                              first run with soffice from a CSV and kept in the cache
//                              folder; made by our own writer where soffice is missing) and
//                              every cell rendered with its number format. Target < 300 ms,
//                              peak memory < 150 MB (counter peak_MB, measured in a child
//                              process doing one open and render).
//   BM_Write65000x12           NewFile, 780,000 SetCellValue calls (texts, numbers, times
//                              with a format) and the save into memory. Target < 300 ms.
//   BM_Write65000x12ToFile     the same saved with SaveFile (temporary file, fsync, rename).
// The peers run in the same process afterwards: python3-xlrd opening the same file and
// reading every cell value, python3-xlwt writing the same data; the ratios are printed.
// The cache folder is $LN40_BENCH_CACHE, else /tmp/ln40_bench.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "text/locale.h"
#include "xls/number_format.h"
#include "xls/xls_file.h"

namespace {

constexpr int kRows = 65000;
constexpr int kCols = 12;

std::string CacheFolder() {
  const char* folder = std::getenv("LN40_BENCH_CACHE");
  std::string path = folder && *folder ? folder : "/tmp/ln40_bench";
  std::filesystem::create_directories(path);
  return path;
}

// Prefix and number; built by appending, which keeps GCC 12 from a false restrict warning.
std::string Join(const char* prefix, long value) {
  std::string text(prefix);
  text += std::to_string(value);
  return text;
}

std::string TimeText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
  return text;
}

// The runner of row i (1-based): first name, last name, class, club, gender, course, start
// number, chip, start time, identity, finish time, net time.
struct Runner {
  std::string text[6];
  long number[2];
  int start, id, finish;
};

Runner RunnerOf(int i) {
  Runner r;
  r.text[0] = Join("Runner", i);
  r.text[1] = Join("Family", i % 997);
  r.text[2] = Join("H", 10 + i % 9);
  r.text[3] = Join("Club ", i % 131);
  r.text[4] = std::string(1, i % 2 ? 'M' : 'K');
  r.text[5] = Join("Course ", i % 7);
  r.number[0] = 100 + i;
  r.number[1] = 5000000 + i;
  r.start = 10 * 3600 + (i % 600) * 60;
  r.id = i * 7;
  r.finish = r.start + 1800 + (i * 37) % 5400;
  return r;
}

const char* const kHeader[kCols] = {"First name", "Last name", "Class", "Club", "Gender", "Course",
                                    "Start number", "Chip", "Start time", "Id", "Finish time", "Net time"};

std::string WriteCsv() {
  const std::string path = CacheFolder() + "/runners_65000x12.csv";
  std::ofstream out(path);
  for (int c = 0; c < kCols; ++c) out << (c ? "," : "") << kHeader[c];
  out << "\n";
  for (int i = 1; i < kRows; ++i) {
    const Runner r = RunnerOf(i);
    for (const std::string& t : r.text) out << t << ",";
    out << r.number[0] << "," << r.number[1] << "," << TimeText(r.start) << "," << r.id << "," << TimeText(r.finish)
        << "," << TimeText(r.finish - r.start) << "\n";
  }
  return path;
}

void FillWorkbook(ln40::TXLSFile& book) {
  book.NewFile(1);
  ln40::TCellFormat time_format;
  time_format.NumberFormat = u"hh:mm:ss";
  const int time_xf = book.AddFormat(time_format);
  for (int c = 0; c < kCols; ++c) {
    const std::string h = kHeader[c];
    book.SetCellValue(1, c + 1, ln40::CellValue::String(std::u16string(h.begin(), h.end())));
  }
  std::u16string text;
  for (int i = 1; i < kRows; ++i) {
    const Runner r = RunnerOf(i);
    for (int c = 0; c < 6; ++c) {
      text.assign(r.text[c].begin(), r.text[c].end());
      book.SetCellValue(i + 1, c + 1, ln40::CellValue::String(text));
    }
    book.SetCellValue(i + 1, 7, ln40::CellValue::Number(static_cast<double>(r.number[0])));
    book.SetCellValue(i + 1, 8, ln40::CellValue::Number(static_cast<double>(r.number[1])));
    book.SetCellValue(i + 1, 9, ln40::CellValue::Number(r.start / 86400.0), time_xf);
    book.SetCellValue(i + 1, 10, ln40::CellValue::Number(r.id));
    book.SetCellValue(i + 1, 11, ln40::CellValue::Number(r.finish / 86400.0), time_xf);
    book.SetCellValue(i + 1, 12, ln40::CellValue::Number((r.finish - r.start) / 86400.0), time_xf);
  }
}

// The LibreOffice workbook, made once.
std::string& SourceNote() {
  static std::string note;
  return note;
}

const std::string& ReadFixture() {
  static const std::string path = [] {
    const std::string xls = CacheFolder() + "/lo_runners_65000x12.xls";
    if (std::filesystem::exists(xls)) {
      SourceNote() = "LibreOffice (cached)";
      return xls;
    }
    if (std::system("command -v soffice > /dev/null 2>&1") == 0) {
      const std::string csv = WriteCsv();
      const std::string folder = CacheFolder();
      const std::string command = "cd '" + folder + "' && HOME='" + folder + "/home' soffice --headless --norestore " +
                                  "--convert-to 'xls:MS Excel 97' --outdir '" + folder + "' '" + csv +
                                  "' > /dev/null 2>&1 && mv '" + folder + "/runners_65000x12.xls' '" + xls + "'";
      if (std::system(command.c_str()) == 0 && std::filesystem::exists(xls)) {
        SourceNote() = "LibreOffice";
        return xls;
      }
    }
    const std::string own = CacheFolder() + "/own_runners_65000x12.xls";
    std::filesystem::remove(own);
    ln40::TXLSFile book;
    FillWorkbook(book);
    book.SaveFile(own);
    SourceNote() = "our own writer (soffice not available)";
    return own;
  }();
  return path;
}

std::size_t OpenAndRender(const std::string& path) {
  static const ln40::Locale locale = ln40::Locale::WorkedExample();
  ln40::TXLSFile book;
  book.OpenFile(path);
  book.SetActiveSheet(1);
  std::size_t chars = 0;
  const int rows = book.UsedRowCount();
  const int cols = book.UsedColCount();
  for (int r = 1; r <= rows; ++r) {
    for (int c = 1; c <= cols; ++c) {
      const ln40::TXlsCellValue cell = book.GetCell(r, c);
      chars += ln40::FormatCellValue(cell.Value, book.NumberFormat(cell.XF), locale).size();
    }
  }
  return chars;
}

// Peak resident memory of one open and render, in a child process, in MB.
double PeakMegabytes(const std::string& path) {
  const pid_t child = fork();
  if (child == 0) {
    OpenAndRender(path);
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  return usage.ru_maxrss / 1024.0;
}

double g_read_seconds = 0, g_write_seconds = 0;

void BM_OpenAndRender65000x12(benchmark::State& state) {
  const std::string& path = ReadFixture();
  std::size_t chars = 0;
  double best = 1e9;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    chars = OpenAndRender(path);
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(chars);
  }
  g_read_seconds = best;
  state.counters["cells"] = kRows * kCols;
  state.counters["peak_MB"] = PeakMegabytes(path);
  state.SetLabel(SourceNote());
}
BENCHMARK(BM_OpenAndRender65000x12)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Write65000x12(benchmark::State& state) {
  double best = 1e9;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    ln40::TXLSFile book;
    FillWorkbook(book);
    std::vector<std::uint8_t> image = book.SaveToMemory();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(image.data());
  }
  g_write_seconds = best;
  state.counters["cells"] = kRows * kCols;
}
BENCHMARK(BM_Write65000x12)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Write65000x12ToFile(benchmark::State& state) {
  const std::string path = CacheFolder() + "/written_65000x12.xls";
  for (auto _ : state) {
    std::filesystem::remove(path);
    ln40::TXLSFile book;
    FillWorkbook(book);
    book.SaveFile(path);
  }
  state.counters["cells"] = kRows * kCols;
}
BENCHMARK(BM_Write65000x12ToFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Runs a Python peer that prints its own best time in seconds; negative when it could not.
double PythonSeconds(const std::string& script) {
  const std::string path = CacheFolder() + "/peer.py";
  {
    std::ofstream out(path);
    out << script;
  }
  FILE* pipe = popen(("/usr/bin/python3 " + path + " 2>/dev/null").c_str(), "r");
  if (!pipe) return -1;
  char line[128] = {};
  const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
  const int status = pclose(pipe);
  if (!read || status != 0) return -1;
  return std::atof(line);
}

void ComparePeers() {
  std::cout << "\nPeers (best of 3 runs each, timed inside Python):\n";
  const double xlrd = PythonSeconds(
      "import time, xlrd\n"
      "best = 1e9\n"
      "for _ in range(3):\n"
      "    t = time.perf_counter()\n"
      "    book = xlrd.open_workbook('" + ReadFixture() + "')\n"
      "    sheet = book.sheet_by_index(0)\n"
      "    n = 0\n"
      "    for r in range(sheet.nrows):\n"
      "        for v in sheet.row_values(r):\n"
      "            n += 1\n"
      "    best = min(best, time.perf_counter() - t)\n"
      "print(best)\n");
  if (xlrd > 0 && g_read_seconds > 0) {
    std::printf("  python3-xlrd open and read every cell: %.0f ms; ours (open and render): %.0f ms; ratio xlrd/ours %.1f\n",
                xlrd * 1000, g_read_seconds * 1000, xlrd / g_read_seconds);
  } else {
    std::printf("  python3-xlrd not available\n");
  }
  const double xlwt = PythonSeconds(
      "import time, io, xlwt\n"
      "header = ['First name', 'Last name', 'Class', 'Club', 'Gender', 'Course', 'Start number', 'Chip',\n"
      "          'Start time', 'Id', 'Finish time', 'Net time']\n"
      "best = 1e9\n"
      "for _ in range(3):\n"
      "    t = time.perf_counter()\n"
      "    book = xlwt.Workbook()\n"
      "    sheet = book.add_sheet('Sheet1')\n"
      "    timefmt = xlwt.easyxf(num_format_str='hh:mm:ss')\n"
      "    for c, h in enumerate(header):\n"
      "        sheet.write(0, c, h)\n"
      "    for i in range(1, 65000):\n"
      "        row = sheet.row(i)\n"
      "        start = 36000 + (i % 600) * 60\n"
      "        finish = start + 1800 + (i * 37) % 5400\n"
      "        for c, v in enumerate(['Runner%d' % i, 'Family%d' % (i % 997), 'H%d' % (10 + i % 9),\n"
      "                               'Club %d' % (i % 131), 'M' if i % 2 else 'K', 'Course %d' % (i % 7)]):\n"
      "            row.write(c, v)\n"
      "        row.write(6, 100 + i)\n"
      "        row.write(7, 5000000 + i)\n"
      "        row.write(8, start / 86400.0, timefmt)\n"
      "        row.write(9, i * 7)\n"
      "        row.write(10, finish / 86400.0, timefmt)\n"
      "        row.write(11, (finish - start) / 86400.0, timefmt)\n"
      "        if i % 1000 == 0:\n"
      "            sheet.flush_row_data()\n"
      "    stream = io.BytesIO()\n"
      "    book.save(stream)\n"
      "    best = min(best, time.perf_counter() - t)\n"
      "print(best)\n");
  if (xlwt > 0 && g_write_seconds > 0) {
    std::printf("  python3-xlwt write the same data: %.0f ms; ours (into memory): %.0f ms; ratio xlwt/ours %.1f\n",
                xlwt * 1000, g_write_seconds * 1000, xlwt / g_write_seconds);
  } else {
    std::printf("  python3-xlwt not available\n");
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  ComparePeers();
  return 0;
}
