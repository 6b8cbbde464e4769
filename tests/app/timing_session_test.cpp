// The timing session on real files and pseudo-terminals: a run that was killed is restored
// from its autosave and its journal, the reader's repeat of the line it never saw
// acknowledged is not counted twice, a journal that cannot be written stops nothing, and a
// headless station opens a lost line again by itself.
#include "app/timing_session.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <regex>
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

// The machine's serial ports: none unless a test puts some in.
class NoPorts : public SerialDeviceSource {
 public:
  std::vector<SerialDevice> devices;
  std::optional<std::vector<SerialDevice>> ListDevices() override { return devices; }
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
  // Attempts on a port that cannot be opened are no open.
  EXPECT_THROW(session->OpenPort((folder_ / "no-reader-yet").string()), EComPort);
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

TEST_F(TimingSessionTest, AReaderAnotherProgramHoldsIsSaidOnceAndConnectedWhenItIsLetGo) {
  constexpr std::chrono::milliseconds kDiscoveryEvery{3000};
  PtyReader reader;
  TComPort holder(loop_);  // as ModemManager holds a newly plugged device for a while
  holder.SetPort(reader.Path());
  holder.Open();
  ports_.devices = {{reader.Path(), "usb:VID_0403&PID_6001"}};
  auto session = NewSession();
  session->Start();
  try {
    session->Discover();
    FAIL() << "opened a held port";
  } catch (const std::exception& error) {
    session->SayDiscoveryError(error.what());
  }
  timers_.Advance(4 * kDiscoveryEvery);
  const auto said = std::count_if(front_.statuses.begin(), front_.statuses.end(), [](const std::string& text) {
    return text.starts_with("Unable to open com port");
  });
  EXPECT_EQ(said, 1);
  EXPECT_FALSE(session->Link().Connected());

  holder.Close();
  timers_.Advance(kDiscoveryEvery);
  EXPECT_TRUE(session->Link().Connected());
  EXPECT_EQ(front_.statuses.back(), "connected to " + reader.Path());
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

// ---- files in every state the folder can put them in ---------------------------------------

// What can stand at the place of a file the station writes on its own. Full: the logs'
// disk has a few bytes left (through the logs' file calls; the other files see no change).
enum class FileState { Normal, Missing, Folder, Pipe, LinkToFile, DanglingLink, LinkToPipe, ReadOnly, Full, Count };

const char* const kFileStateNames[] = {"normal",           "missing",         "a folder",
                                       "a named pipe",     "a link to a file", "a dangling link",
                                       "a link to a pipe", "read-only",        "full"};

// A disk with `room` bytes left for the logs: a write gets what fits, then ENOSPC.
struct LogDisk {
  size_t room = SIZE_MAX;
  LogFileCalls Calls() {
    LogFileCalls calls;
    calls.write = [this](int fd, const void* bytes, size_t count) -> ssize_t {
      if (room == 0) {
        errno = ENOSPC;
        return -1;
      }
      const ssize_t written = ::write(fd, bytes, std::min(count, room));
      if (written > 0 && room != SIZE_MAX) room -= static_cast<size_t>(written);
      return written;
    };
    return calls;
  }
};

// A hang is the fault looked for: SIGALRM ends the test with what was being done.
char g_doing[256];
void SayWhereItHung(int) {
  static const char kHung[] = "hung while ";
  [[maybe_unused]] ssize_t ignored = ::write(2, kHung, sizeof kHung - 1);
  ignored = ::write(2, g_doing, std::strlen(g_doing));
  ::_exit(1);
}

// Every line is a whole line of its log: lines glued together or cut short fail.
bool OnlyWholeLines(const fs::path& log, const std::regex& line) {
  std::error_code error;
  if (!fs::is_regular_file(log, error)) return true;
  const std::string text = ReadAll(log);
  size_t begin = 0;
  for (size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", begin)) {
    if (!std::regex_match(text.substr(begin, end - begin), line)) return false;
    begin = end + 2;
  }
  return begin == text.size();
}

// A property: whatever stands at the place of the logs, the journal, the autosave or the data
// folder itself, and however it changes between lines, every line from the reader is
// acknowledged and put in the read-times table, nothing hangs, each log keeps whole lines
// only, and once the folder is put right the stop writes everything: the journal holds
// every line the test did not remove with its files, in order and once. LN40_FILE_STATES_SEED
// and LN40_FILE_STATES_STEPS run other and longer sequences.
TEST_F(TimingSessionTest, EveryLineIsHandledWhateverStandsAtThePlaceOfItsFiles) {
  const char* seed_text = std::getenv("LN40_FILE_STATES_SEED");
  const char* steps_text = std::getenv("LN40_FILE_STATES_STEPS");
  const unsigned seed = seed_text ? static_cast<unsigned>(std::strtoul(seed_text, nullptr, 10)) : 20261211u;
  const int steps = steps_text ? std::atoi(steps_text) : 60;
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const auto pick = [&](int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); };

  const fs::path elsewhere = folder_.string() + "-elsewhere";
  fs::remove_all(elsewhere);
  fs::create_directories(elsewhere);
  ASSERT_EQ(::mkfifo((elsewhere / "pipe").c_str(), 0644), 0);
  const std::vector<std::string> names = {"Chronex.log",  "BFG_Test race_10.10.04.log", "journal.sqlite",
                                          "journal.sqlite-wal", "autosave.xls", "autosave.bak", ""};  // "": the folder
  const std::regex chronex_line(R"(("[A-F]","\d","\d","\d*","[^"]*","[^"]*",00000,0000,0000)?)");
  const std::regex bfg_line(R"("Test race"\|"\d*"\|"10\.10\.04"\|"[^"]*"\|""\|)");

  struct sigaction on_alarm {};
  on_alarm.sa_handler = SayWhereItHung;
  ::sigaction(SIGALRM, &on_alarm, nullptr);

  PtyReader reader;
  reader.SetNonBlocking();
  LogDisk disk;
  auto session = NewSession();
  session->Station().Logs().SetFileCalls(disk.Calls());
  session->Start();
  session->OpenPort(reader.Path());
  WaitOnAQuietLine();

  // Puts `state` at the place of `name`, after putting the place right.
  const auto put = [&](const std::string& name, FileState state) {
    const fs::path path = name.empty() ? folder_ : folder_ / name;
    std::error_code ignored;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
    if (name.empty()) {
      if (!fs::is_directory(folder_)) fs::remove(folder_, ignored);
      fs::create_directories(folder_, ignored);
    } else if (!fs::is_regular_file(fs::symlink_status(path, ignored))) {
      fs::remove_all(path, ignored);
    } else {
      fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    switch (state) {
      case FileState::Missing: fs::remove_all(path, ignored); break;
      case FileState::Folder:
        if (!name.empty()) fs::remove(path, ignored);
        fs::create_directories(path, ignored);
        break;
      case FileState::Pipe:
        fs::remove_all(path, ignored);
        ::mkfifo(path.c_str(), 0644);
        break;
      case FileState::LinkToFile:
      case FileState::DanglingLink:
      case FileState::LinkToPipe:
        fs::remove_all(path, ignored);
        // Each name has a file of its own elsewhere (which an append through a dangling link
        // creates); all share the pipe.
        if (state == FileState::LinkToFile) std::ofstream(elsewhere / ("file " + name), std::ios::app);
        if (state == FileState::DanglingLink) fs::remove(elsewhere / ("nothing " + name), ignored);
        fs::create_symlink(elsewhere / (state == FileState::LinkToFile   ? "file " + name
                                        : state == FileState::LinkToPipe ? std::string("pipe")
                                                                         : "nothing " + name),
                           path, ignored);
        break;
      case FileState::ReadOnly:
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, ignored);
        break;
      default: break;
    }
  };

  std::vector<std::string> sent;
  // Lines from here on are in the journal at the end: the test removed journal files (or the
  // folder) before, and what was in them only while the journal had no copy open is gone.
  size_t journaled_from = 0;
  for (int step = 0; step < steps; ++step) {
    const std::string& name = names[static_cast<size_t>(pick(static_cast<int>(names.size())))];
    const auto state = static_cast<FileState>(pick(static_cast<int>(FileState::Count)));
    if (state != FileState::Normal && (name.empty() || name.starts_with("journal"))) journaled_from = sent.size();
    std::snprintf(g_doing, sizeof g_doing, "step %d: %s is %s\n", step, name.empty() ? "the folder" : name.c_str(),
                  kFileStateNames[static_cast<int>(state)]);
    SCOPED_TRACE(g_doing);
    ::alarm(60);
    put(name, state);
    disk.room = state == FileState::Full ? static_cast<size_t>(pick(120)) : SIZE_MAX;

    for (int count = 1 + pick(2); count > 0; --count) {
      char line[64];
      const int number = static_cast<int>(sent.size()) + 1;
      std::snprintf(line, sizeof line, "A01%06d%03d:%02d.%03d\r", number, number / 60, number % 60, pick(1000));
      sent.push_back(line);
      const int before = front_.lines;
      reader.Write(line);
      ASSERT_TRUE(RunUntil(loop_, [&] { return front_.lines > before; })) << "not handled: " << line;
      ASSERT_EQ(reader.Read(2), "+\r") << line;
      TGridTable& table = session->ReadTimes();
      ASSERT_EQ(table.Cell(read_times::kData, table.RowCount() - 1), line);
    }
    if (pick(4) == 0) session->AutosaveTick();
    EXPECT_TRUE(OnlyWholeLines(folder_ / names[0], chronex_line));
    EXPECT_TRUE(OnlyWholeLines(folder_ / names[1], bfg_line));
  }

  std::snprintf(g_doing, sizeof g_doing, "stopping with every file put right\n");
  for (const std::string& name : names) put(name, FileState::Normal);
  disk.room = SIZE_MAX;
  EXPECT_EQ(session->Stop(true), "");
  ::alarm(0);
  EXPECT_EQ(Column(session->ReadTimes(), read_times::kData), sent);
  session.reset();
  std::vector<std::string> journaled;
  JournalReader(folder_.string()).ForEachLine([&](const JournalLine& entry) {
    if (entry.kind == JournalLineKind::Message) journaled.push_back(entry.bytes);
  });
  // In order, each line once, none missing since the last removal.
  auto next = sent.begin();
  for (const std::string& line : journaled) {
    next = std::find(next, sent.end(), line);
    ASSERT_NE(next, sent.end()) << "journaled out of order or twice: " << line;
    ++next;
  }
  const std::vector<std::string> since(sent.begin() + static_cast<std::ptrdiff_t>(journaled_from), sent.end());
  ASSERT_GE(journaled.size(), since.size());
  EXPECT_EQ(std::vector<std::string>(journaled.end() - static_cast<std::ptrdiff_t>(since.size()), journaled.end()),
            since);
  fs::remove_all(elsewhere);
}

}  // namespace
}  // namespace ln40
