// The entry import of a club system's entry file of 10,000 entries (about 5 MB of UTF-8, with
// the elements the import passes over), the scanner alone on the same bytes, and the start
// assignment of the resulting sheet.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "sheet/entry_import.h"
#include "sheet/runner_sheet.h"
#include "sheet/start_assignment.h"
#include "xml/xml_scanner.h"

namespace ln40 {
namespace {

constexpr int kEntries = 10000;

std::string EntryDocument() {
  static const char* const kGiven[] = {"Ola",    "Kari", "Bj\xC3\xB8rn", "\xC3\x85se",
                                       "Ingrid", "Lars", "Solveig",      "Even"};
  static const char* const kFamily[] = {"Hansen", "S\xC3\xB8rensen", "Str\xC3\xB8m", "Berg", "S\xC3\xA6ther", "Dahl"};
  static const char* const kClub[] = {"IL Nordmarka", "\xC3\x98stmarka OK", "Fossum IF", "Halden SK", "OK Vang"};
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<EntryList xmlns=\"http://www.klubben.example/entries\">\n"
      "  <Eventname>Vinterkarusell \xC3\x98stmarka 3</Eventname>\n";
  for (int i = 0; i < kEntries; ++i) {
    const std::string n = std::to_string(i);
    const std::string klass = (i % 2 ? "H" : "D") + std::to_string(10 + i % 60);
    const std::string sex = i % 2 ? "M" : "F";
    doc += "  <SingleEntry>\n";
    doc += "    <EntryId>" + n + "</EntryId>\n";
    doc += "    <EntryClass shortName=\"" + klass + "\" classId=\"" + std::to_string(i % 60) + "\"/>\n";
    doc +=
        "    <Person sex=\"" + sex + "\" clubName=\"" + kClub[i % 5] + "\" clubId=\"" + std::to_string(i % 5) + "\">\n";
    doc += "      <PersonName>\n";
    doc += std::string("        <Family>") + kFamily[i % 6] + "</Family>\n";
    doc += std::string("        <Given>") + kGiven[i % 8] + "</Given>\n";
    doc += "      </PersonName>\n";
    doc += "      <Identity value=\"" + std::to_string(1000000 + i) + "\" type=\"klubben\"/>\n";
    doc += "      <Address street=\"Storgata " + n + "\" zip=\"0155\" city=\"Oslo\"/>\n";
    doc += "    </Person>\n";
    doc +=
        "    <CCard><CCardId>" + std::to_string(200000 + i) + "</CCardId><PunchingUnitType value=\"Emit\"/></CCard>\n";
    doc += "    <EntryDate>2024-01-01 12:00:00</EntryDate>\n";
    doc += "    <Fee amount=\"150\"/>\n";
    doc += "  </SingleEntry>\n";
  }
  return doc + "</EntryList>\n";
}

struct NullWindow : EntryImportWindow {
  void SetRaceName(const std::string&) override {}
  void SetAutosaveIndicatorVisible(bool) override {}
};

class EntryFile {
 public:
  EntryFile() : path_(std::filesystem::temp_directory_path() / ("xml_bench_" + std::to_string(getpid()) + ".xml")) {
    bytes_ = EntryDocument();
    std::ofstream(path_, std::ios::binary) << bytes_;
  }
  ~EntryFile() { std::filesystem::remove(path_); }
  std::string Path() const { return path_.string(); }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::filesystem::path path_;
  std::string bytes_;
};

const EntryFile& File() {
  static const EntryFile file;
  return file;
}

// The whole command after the dialog: load the file, scan it, fill a new sheet.
void BM_ImportEntryFile(benchmark::State& state) {
  const EntryFile& file = File();
  for (auto _ : state) {
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    EntryImportState import_state;
    NullWindow window;
    const int added = ImportEntryFile(file.Path(), sheet, import_state, window);
    if (added != kEntries) state.SkipWithError("wrong number of entries");
    benchmark::DoNotOptimize(sheet.RowCount());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.Bytes().size()));
  state.counters["MB"] = static_cast<double>(file.Bytes().size()) / 1e6;
}
BENCHMARK(BM_ImportEntryFile)->Unit(benchmark::kMillisecond);

// The scanner alone on the document in memory, with the events the import connects.
void BM_ScanEntryDocument(benchmark::State& state) {
  const EntryFile& file = File();
  TXmlScanner scanner;
  int64_t events = 0;
  scanner.OnStartTag =
      scanner.OnEmptyTag = [&](const std::string&, const TAttrList& attributes) { events += 1 + attributes.Count(); };
  scanner.OnContent = [&](const std::string&) { ++events; };
  scanner.LoadFromText(file.Bytes());
  for (auto _ : state) scanner.Execute();
  benchmark::DoNotOptimize(events);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.Bytes().size()));
}
BENCHMARK(BM_ScanEntryDocument)->Unit(benchmark::kMillisecond);

struct AnswerDialogs : StartAssignmentDialogs {
  DialogAnswer answer;
  explicit AnswerDialogs(DialogAnswer a) : answer(a) {}
  DialogAnswer AskYesNoCancel(const std::string&, const std::string&) override { return answer; }
  bool InputQuery(const std::string&, const std::string&, std::string&) override { return true; }
  void ShowMessage(const std::string&) override {}
};

// Start numbers and times for the imported 10,000 runners in 60 classes; arg 1 with two
// vacant runners per class.
void BM_AssignStartNumbers(benchmark::State& state) {
  TGridTable imported;
  SetUpRunnerSheet(imported);
  EntryImportState import_state;
  NullWindow window;
  ImportEntryFile(File().Path(), imported, import_state, window);
  AnswerDialogs dialogs(state.range(0) ? DialogAnswer::Yes : DialogAnswer::No);
  for (auto _ : state) {
    state.PauseTiming();
    TGridTable sheet = imported;
    state.ResumeTiming();
    SeededDrawSource draw(1);
    std::string previous_class;
    AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class);
    benchmark::DoNotOptimize(sheet.RowCount());
  }
}
BENCHMARK(BM_AssignStartNumbers)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ln40
