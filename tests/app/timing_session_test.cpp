// The timing session on real files and pseudo-terminals: a run that was killed is restored
// from its autosave and its journal, the reader's repeat of the line it never saw
// acknowledged is not counted twice, a journal that cannot be written stops nothing, and a
// headless station opens a lost line again by itself.
#include "app/timing_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "fake_timers.h"
#include "journal/journal_reader.h"
#include "link/event_loop.h"
#include "pty_reader.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::FakeTimers;
using testing::PtyReader;
using testing::RunUntil;

constexpr std::chrono::milliseconds kWatchEvery{500};
constexpr std::chrono::milliseconds kJournalRetryEvery{2000};

class NoPorts : public SerialDeviceSource {
 public:
  std::optional<std::vector<SerialDevice>> ListDevices() override { return std::vector<SerialDevice>{}; }
};

// The front end as plain values.
class FakeFrontEnd : public SessionFrontEnd, public PortListControls {
 public:
  StationOptions options;
  std::vector<std::string> statuses, messages;
  std::string warning;
  int lines = 0;

  StationOptions Options() const override { return options; }
  void SetNulltime(const std::string& text) override { options.nulltime = text; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowWarning(const std::string& text) override { warning = text; }
  void ShowActivityLamp() override {}
  void SetAutosaveIndicator(bool) override {}
  void LineHandled(const std::string&) override { ++lines; }
  void ClearPortList() override {}
  void AddPortListEntry(const std::string&) override {}
  int PortListCount() const override { return 0; }
  std::string PortListEntry(int) const override { return {}; }
  int SelectedPortListEntry() const override { return -1; }
  void SelectPortListEntry(int) override {}
  std::string TimeStatus() const override { return time_status; }
  void SetTimeStatus(const std::string& text) override { time_status = text; }
  void HideActivityLamp() override {}
  std::string time_status = "?";
};

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

int CountLines(const fs::path& path) {
  const std::string text = ReadAll(path);
  int count = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++count;
  return count;
}

std::vector<std::string> Column(TGridTable& table, int col) {
  std::vector<std::string> cells;
  for (int row = 2; row < table.RowCount(); ++row) cells.push_back(table.Cell(col, row));
  return cells;
}

class TimingSessionTest : public ::testing::Test {
 protected:
  TimingSessionTest() : folder_(fs::temp_directory_path() / ("ln40session" + std::to_string(::getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    front_.options.nulltime = "10:00:00";
  }
  ~TimingSessionTest() override { fs::remove_all(folder_); }

  std::unique_ptr<TimingSession> NewSession(bool reconnect = false) {
    SessionSetup setup;
    setup.dataFolder = folder_.string() + "/";
    setup.clock = &clock_;
    setup.locale = Locale::WorkedExample();
    setup.events = &loop_;
    setup.timers = &timers_;
    setup.devices = &ports_;
    setup.portList = &front_;
    setup.reconnect = reconnect;
    return std::make_unique<TimingSession>(setup, front_);
  }

  // A runner sheet with start numbers 1 to 4, all starting at 10:00:00.
  static void PutRunners(TimingSession& session) {
    TGridTable& sheet = session.Sheet();
    for (int number = 1; number <= 4; ++number) {
      if (number > 1) sheet.AddRow();
      sheet.SetCell(runner_sheet::kFirstName, number, "Runner" + std::to_string(number));
      sheet.SetCell(runner_sheet::kStartNumber, number, std::to_string(number));
      sheet.SetCell(runner_sheet::kStartTime, number, "10:00:00");
    }
  }

  // Sends one line as the reader and waits for its acknowledgement.
  void SendAcknowledged(PtyReader& reader, TimingSession& session, const std::string& line) {
    const int before = front_.lines;
    reader.Write(line);
    ASSERT_TRUE(RunUntil(loop_, [&] { return front_.lines > before; })) << line;
    EXPECT_EQ(reader.Read(2), "+\r") << line;
    (void)session;
  }

  // The reader's line is quiet for a while after the port opened: a first line that came at
  // once could be the end of a message begun before the open.
  static void WaitOnAQuietLine() { std::this_thread::sleep_for(300ms); }

  fs::path Log(const char* name) const { return folder_ / name; }

  fs::path folder_;
  FakeFrontEnd front_;
  TEventLoop loop_;
  FakeTimers timers_;
  FixedClock clock_{46367.5};  // 11.12.2026 12:00
  NoPorts ports_;
};

const char* const kLines[] = {"A01000001000:31.000\r", "A01000002000:45.500\r", "B01000003001:02.250\r",
                              "A01000004001:20.000\r", "C01000005001:21.000\r"};

TEST_F(TimingSessionTest, AKilledRunIsRestoredFromItsAutosaveAndJournalWithoutLoggingTwice) {
  std::vector<std::string> expected_times, expected_net;
  {
    PtyReader reader;
    reader.SetNonBlocking();
    auto session = NewSession();
    PutRunners(*session);
    session->Start();
    session->OpenPort(reader.Path());
    WaitOnAQuietLine();
    for (int i = 0; i < 3; ++i) SendAcknowledged(reader, *session, kLines[i]);
    session->Autosave();
    for (int i = 3; i < 5; ++i) SendAcknowledged(reader, *session, kLines[i]);
    expected_times = Column(session->ReadTimes(), read_times::kTime);
    expected_net = {session->Sheet().Cell(runner_sheet::kNetTime, 1), session->Sheet().Cell(runner_sheet::kNetTime, 4)};
    // Killed: no Stop, no close mark, no final autosave.
  }
  ASSERT_EQ(expected_times, (std::vector<std::string>{"10:00:31", "10:00:45", "10:01:02", "10:01:20", "10:01:21"}));
  ASSERT_EQ(expected_net, (std::vector<std::string>{"00:00:31", "00:01:20"}));

  PtyReader reader;
  reader.SetNonBlocking();
  front_.options.clearOnOpen = true;  // the restored race must survive the first open
  auto session = NewSession();
  session->Start();
  session->OpenPort(reader.Path());
  EXPECT_EQ(Column(session->ReadTimes(), read_times::kTime), expected_times);
  EXPECT_EQ(Column(session->ReadTimes(), read_times::kNumber), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
  EXPECT_EQ(session->ReadTimes().Cell(read_times::kData, 6), kLines[4]);
  EXPECT_EQ(session->Sheet().Cell(runner_sheet::kNetTime, 1), expected_net[0]);
  EXPECT_EQ(session->Sheet().Cell(runner_sheet::kNetTime, 4), expected_net[1]);
  EXPECT_EQ(session->ReadTimes().Cell(0, 0), "#");  // headings restored
  EXPECT_EQ(session->Sheet().Cell(runner_sheet::kStartNumber, 0), "Startnr");
  EXPECT_NE(std::find(front_.statuses.begin(), front_.statuses.end(),
                      "Restored 2 times received after the last autosave"),
            front_.statuses.end());
  // Nothing went to the reader for the restored lines, and no log line came twice.
  reader.SetNonBlocking();
  loop_.RunFor(20ms);
  EXPECT_EQ(reader.Read(1), "");
  EXPECT_EQ(CountLines(Log("Chronex.log")), 5);
  EXPECT_EQ(CountLines(Log("BFG_Test race_10.10.04.log")), 5);

  // The next line is numbered on.
  WaitOnAQuietLine();
  SendAcknowledged(reader, *session, "A01000003001:40.000\r");
  EXPECT_EQ(session->ReadTimes().Cell(read_times::kNumber, 7), "6");
}

std::vector<std::vector<std::string>> AllCells(TGridTable& table) {
  std::vector<std::vector<std::string>> rows;
  for (int row = 0; row < table.RowCount(); ++row) {
    std::vector<std::string> cells;
    for (int col = 0; col < table.ColCount(); ++col) cells.push_back(table.Cell(col, row));
    rows.push_back(cells);
  }
  return rows;
}

// What the autosave of a killed run gives back is what the tables held, whatever the options
// the lines were handled with: the read-times rows are written again from the journal, which
// keeps what typed workbook cells lose (the line's CR, milliseconds, leading zeros).
TEST_F(TimingSessionTest, TheRestoredTablesAreTheSavedOnesCellForCell) {
  struct Case {
    const char* name;
    bool keep_milliseconds;
    bool remove_leading_zeros;
  };
  for (const Case& c : {Case{"plain", false, true}, Case{"milliseconds", true, true},
                        Case{"leading zeros kept", false, false}}) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    front_.options.keepMilliseconds = c.keep_milliseconds;
    front_.options.removeLeadingZeros = c.remove_leading_zeros;
    std::vector<std::vector<std::string>> read_times, sheet;
    {
      PtyReader reader;
      reader.SetNonBlocking();
      auto session = NewSession();
      PutRunners(*session);
      session->Start();
      session->OpenPort(reader.Path());
      WaitOnAQuietLine();
      for (const char* line : kLines) SendAcknowledged(reader, *session, line);
      session->Autosave();
      read_times = AllCells(session->ReadTimes());
      sheet = AllCells(session->Sheet());
    }
    auto session = NewSession();
    session->Start();
    EXPECT_EQ(AllCells(session->ReadTimes()), read_times);
    // The runner sheet comes back as any workbook opens into it, so a start number with
    // leading zeros reads as the number it is.
    if (c.remove_leading_zeros) {
      EXPECT_EQ(AllCells(session->Sheet()), sheet);
    }
  }
}

// A station killed after a line was journaled and before it was acknowledged: the line is in
// the journal but the reader never saw its acknowledgement and sends it again.
TEST_F(TimingSessionTest, TheLineTheReaderSendsAgainAfterARestartIsAcknowledgedAndCountedOnce) {
  struct Case {
    const char* name;
    bool logs_written_before_the_kill;
  };
  for (const Case& c : {Case{"killed before the logs", false}, Case{"killed after the logs", true}}) {
    SCOPED_TRACE(c.name);
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const std::string line = kLines[0];
    {
      Journal journal(folder_.string());
      journal.Start(clock_.Now());
      JournalLine entry;
      entry.arrival = clock_.Now();
      entry.bytes = line;
      entry.options = front_.options;
      entry.chronexSizeBefore = 0;
      entry.bfgSizeBefore = 0;
      std::ofstream(Log("Chronex.log"));
      std::ofstream(Log("BFG_Test race_10.10.04.log"));
      journal.Append(entry);
      if (c.logs_written_before_the_kill) {
        std::ofstream(Log("Chronex.log")) << "written\r\n";
        std::ofstream(Log("BFG_Test race_10.10.04.log")) << "written\r\n";
      }
    }
    PtyReader reader;
    auto session = NewSession();
    session->Start();
    session->OpenPort(reader.Path());
    ASSERT_EQ(session->ReadTimes().RowCount(), 3);
    EXPECT_EQ(CountLines(Log("Chronex.log")), 1);
    EXPECT_EQ(CountLines(Log("BFG_Test race_10.10.04.log")), 1);

    reader.SetNonBlocking();
    reader.WriteOnQuietLine(line);
    loop_.RunFor(100ms);
    EXPECT_EQ(reader.Read(2), "+\r");
    EXPECT_EQ(session->ReadTimes().RowCount(), 3);  // not a second time
    SendAcknowledged(reader, *session, kLines[1]);
    EXPECT_EQ(session->ReadTimes().RowCount(), 4);
    session->Stop(false);
    session.reset();

    std::vector<JournalLineKind> kinds;
    JournalReader(folder_.string()).ForEachLine([&](const JournalLine& entry) { kinds.push_back(entry.kind); });
    EXPECT_EQ(kinds, (std::vector<JournalLineKind>{JournalLineKind::Message, JournalLineKind::Repeat,
                                                   JournalLineKind::Message}));
  }
}

TEST_F(TimingSessionTest, AJournalThatCannotBeWrittenStopsNothingAndCatchesUp) {
  // Something else stands where the journal goes, so it cannot be opened.
  fs::create_directories(folder_ / "journal.sqlite");
  PtyReader reader;
  reader.SetNonBlocking();
  auto session = NewSession();
  session->Start();
  EXPECT_FALSE(front_.warning.empty());
  session->OpenPort(reader.Path());
  WaitOnAQuietLine();
  for (int i = 0; i < 3; ++i) SendAcknowledged(reader, *session, kLines[i]);
  EXPECT_FALSE(front_.warning.empty());
  EXPECT_TRUE(timers_.Enabled(kJournalRetryEvery));

  fs::remove_all(folder_ / "journal.sqlite");
  timers_.Advance(kJournalRetryEvery);
  EXPECT_EQ(front_.warning, "");
  EXPECT_FALSE(timers_.Enabled(kJournalRetryEvery));
  session->Stop(false);
  session.reset();
  std::vector<std::string> journaled;
  JournalReader(folder_.string()).ForEachLine([&](const JournalLine& entry) { journaled.push_back(entry.bytes); });
  EXPECT_EQ(journaled, (std::vector<std::string>{kLines[0], kLines[1], kLines[2]}));
}

// Stopped while neither the journal nor the autosave can be written: the acknowledged times
// would live only in memory, so both tables go to a rescue file outside the data folder.
TEST_F(TimingSessionTest, AStopThatCannotWriteTheJournalSavesTheTablesElsewhereAndSaysWhere) {
  fs::create_directories(folder_ / "journal.sqlite");
  fs::create_directories(folder_ / "autosave.xls" / "in-the-way");
  const fs::path home = folder_ / "home";
  fs::create_directories(home);
  const char* old_home = std::getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";
  ::setenv("HOME", home.c_str(), 1);
  PtyReader reader;
  reader.SetNonBlocking();
  auto session = NewSession();
  session->Start();
  session->OpenPort(reader.Path());
  WaitOnAQuietLine();
  SendAcknowledged(reader, *session, kLines[0]);
  const std::string said = session->Stop(true);
  ::setenv("HOME", saved_home.c_str(), 1);

  std::vector<fs::path> rescued;
  for (const auto& entry : fs::directory_iterator(home)) rescued.push_back(entry.path());
  ASSERT_EQ(rescued.size(), 1u);
  EXPECT_TRUE(rescued[0].filename().string().starts_with("ln40util-rescue-"));
  EXPECT_NE(said.find("Both tables were saved to " + rescued[0].string()), std::string::npos) << said;
  EXPECT_NE(ReadAll(rescued[0]).find("A01000001000:31.000"), std::string::npos);
}

TEST_F(TimingSessionTest, ACleanStopMeansANewRunThatKeepsThePreviousAutosave) {
  {
    PtyReader reader;
    reader.SetNonBlocking();
    auto session = NewSession();
    session->Start();
    session->OpenPort(reader.Path());
    WaitOnAQuietLine();
    SendAcknowledged(reader, *session, kLines[0]);
    EXPECT_EQ(session->Stop(true), "");
  }
  const std::string previous = ReadAll(folder_ / "autosave.xls");
  auto session = NewSession();
  session->Start();
  EXPECT_EQ(session->ReadTimes().RowCount(), 2);  // a new run starts empty
  session->Autosave();
  session->Autosave();
  int kept = 0;
  for (const auto& entry : fs::directory_iterator(folder_)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("autosave-") && name.ends_with(".xls")) {
      ++kept;
      EXPECT_TRUE(ReadAll(entry.path()) == previous) << name;
    }
  }
  EXPECT_EQ(kept, 1);
  EXPECT_TRUE(ReadAll(folder_ / "autosave.xls") != previous);
}

TEST_F(TimingSessionTest, TheHeadlessStationOpensALostLineAgainEverySecondTheWindowDoesNot) {
  for (const bool reconnect : {true, false}) {
    SCOPED_TRACE(reconnect ? "serve --reconnect" : "the window");
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const fs::path link = folder_ / "reader";
    auto reader = std::make_unique<PtyReader>();
    fs::create_symlink(reader->Path(), link);
    auto session = NewSession(reconnect);
    session->Start();
    session->OpenPort(link.string());
    ASSERT_TRUE(session->Link().Connected());

    // The cable is pulled: the next probes fail and the watch closes the port.
    reader.reset();
    timers_.Advance(2 * kWatchEvery);
    loop_.RunFor(10ms);
    EXPECT_FALSE(session->Link().Connected());
    EXPECT_EQ(front_.time_status, kDisconnected);

    // It comes back behind the same name.
    reader = std::make_unique<PtyReader>();
    fs::remove(link);
    fs::create_symlink(reader->Path(), link);
    timers_.Advance(1s);
    EXPECT_EQ(session->Link().Connected(), reconnect);
    session.reset();
  }
}

}  // namespace
}  // namespace ln40
