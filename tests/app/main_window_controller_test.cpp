#include "app/main_window_controller.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "fake_main_window.h"
#include "fake_timers.h"
#include "link/event_loop.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;
using testing::FakeMainWindow;

// The session's timers: Timer1 (discovery), Timer2 (watch), Timer3 (autosave).
constexpr std::chrono::milliseconds kDiscoveryEvery{3000};
constexpr std::chrono::milliseconds kWatchEvery{500};
constexpr std::chrono::milliseconds kAutosaveEvery{60000};

class PortsOfTheMachine : public SerialDeviceSource {
 public:
  std::vector<SerialDevice> devices;
  std::optional<std::vector<SerialDevice>> ListDevices() override { return devices; }
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : folder_(fs::temp_directory_path() / ("ln40window" + std::to_string(::getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    settings_ = std::make_unique<TSettingsFile>((folder_ / "vexa" / "ln40util.conf").string());
  }
  ~MainWindowTest() override { fs::remove_all(folder_); }

  MainWindowController& Window() {
    if (!window_) {
      window_ = std::make_unique<MainWindowController>(view_, loop_, timers_, clock_, Locale::WorkedExample(),
                                                       folder_.string() + "/", *settings_, ports_);
    }
    return *window_;
  }

  fs::path folder_;
  FakeMainWindow view_;
  TEventLoop loop_;
  testing::FakeTimers timers_;
  FixedClock clock_{46364.5};
  PortsOfTheMachine ports_;
  std::unique_ptr<TSettingsFile> settings_;
  std::unique_ptr<MainWindowController> window_;
};

TEST_F(MainWindowTest, WithoutAPortTheWindowReturnsToSetupUntilOneAppears) {
  Window().StartUpRoutine();
  EXPECT_EQ(view_.page, page::kSetup);
  EXPECT_TRUE(timers_.Enabled(kDiscoveryEvery));
  EXPECT_EQ(view_.log_label, "Logfile path:" + folder_.string() + "/");

  Window().PageTabClicked(page::kReadTimes);
  EXPECT_EQ(view_.page, page::kReadTimes);
  Window().Timer1Tick();
  EXPECT_EQ(view_.page, page::kSetup);

  // A reader appears (a pseudo-terminal standing for its adapter).
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  close(slave);
  ports_.devices = {{name, "usb:VID_0403&PID_6001"}};
  Window().Timer1Tick();
  EXPECT_FALSE(timers_.Enabled(kDiscoveryEvery));
  EXPECT_TRUE(timers_.Enabled(kWatchEvery));
  EXPECT_TRUE(Window().Link().Connected());
  EXPECT_EQ(view_.entries, (std::vector<std::string>{std::string(name) + " Serial port",
                                                     std::string(name) + " Vexa USB LN40 "}));
  // The open created the logs under the default names.
  EXPECT_TRUE(fs::exists(folder_ / "Chronex.log"));
  EXPECT_TRUE(fs::exists(folder_ / "BFG_Test race_10.10.04.log"));
  Window().Link().SetConnected(false);
  close(master);
}

TEST_F(MainWindowTest, StoredMillisecondsHoldAfterEveryStartUp) {
  {
    std::ofstream file;
    fs::create_directories(folder_ / "vexa");
    file.open(folder_ / "vexa" / "ln40util.conf");
    file << "cbtidel=dword:1\ncbautosave=dword:1\n";
  }
  for (int run = 0; run < 2; ++run) {
    Window().StartUpRoutine();
    EXPECT_TRUE(view_.options.keepMilliseconds);
    EXPECT_TRUE(Window().Station().Handler().Flags().MillisecondMode);
    EXPECT_EQ(Window().Station().Handler().Flags().StampFormat, "dd.MM.yyyy,zzz");
  }
}

TEST_F(MainWindowTest, TheAutosaveBoxSwitchesTheMinuteAutosaveAndTheOneAtClose) {
  const fs::path autosave = folder_ / "autosave.xls";
  Window().StartUpRoutine();
  EXPECT_TRUE(timers_.Enabled(kAutosaveEvery));
  view_.options.autosave = false;
  Window().cbautosaveClick();
  EXPECT_FALSE(timers_.Enabled(kAutosaveEvery));
  EXPECT_TRUE(Window().CloseRequested());
  EXPECT_FALSE(fs::exists(autosave));
  view_.options.autosave = true;
  Window().cbautosaveClick();
  EXPECT_TRUE(timers_.Enabled(kAutosaveEvery));
  Window().Timer3Tick();
  EXPECT_TRUE(fs::exists(autosave));
  EXPECT_FALSE(view_.autosave_indicator);

  // An autosave that fails never keeps the window open: a folder stands where the file goes.
  fs::remove(autosave);
  fs::create_directories(autosave / "in-the-way");
  EXPECT_TRUE(Window().CloseRequested());
  EXPECT_TRUE(view_.errors.empty());
}

TEST_F(MainWindowTest, PagesAndTheOptionsPanel) {
  Window().StartUpRoutine();
  Window().ShowHelpClick();
  EXPECT_EQ(view_.page, page::kHelp);
  EXPECT_FALSE(view_.panel);
  Window().PageTabClicked(page::kHelp);
  EXPECT_TRUE(view_.panel);

  view_.panel = false;
  Window().SetupExcelTimingClick();
  EXPECT_EQ(view_.page, page::kExcelTiming);
  EXPECT_TRUE(view_.panel);
  Window().OnlineClick();
  EXPECT_EQ(view_.urls, std::vector<std::string>{kMakerAddress});
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsOrStaysOpen) {
  Window().StartUpRoutine();
  view_.options.removeLeadingZeros = false;
  view_.options.raceName = "Holmenkollstafetten";
  EXPECT_TRUE(Window().CloseRequested());  // the Close button, "Exit" and the frame all come here
  TSettingsFile stored(settings_->Path());
  ASSERT_TRUE(stored.Open());
  EXPECT_EQ(stored.ReadInteger("cbtrim"), 0);
  EXPECT_EQ(stored.ReadText("Edit3"), "Holmenkollstafetten");

  fs::remove_all(folder_ / "vexa");
  std::ofstream(folder_ / "vexa") << "a file where the folder should be";
  EXPECT_FALSE(Window().CloseRequested());
  EXPECT_EQ(view_.messages.back(), "Failed to set data for 'cbtidel'");
}

TEST_F(MainWindowTest, ABusyPortAtStartUpIsReportedAndTheSettingsStillLoad) {
  fs::create_directories(folder_ / "vexa");
  std::ofstream(folder_ / "vexa" / "ln40util.conf") << "cbtidel=dword:1\ncbautosave=dword:0\n";
  ports_.devices = {{(folder_ / "no-such-port").string(), "usb:VID_0403&PID_6001"}};
  Window().StartUpRoutine();
  ASSERT_EQ(view_.errors.size(), 1u);
  const std::string port = (folder_ / "no-such-port").string();
  EXPECT_EQ(view_.errors[0], "Unable to open com port " + port +
                                 ": No such file or directory. Plug the reader in, or choose another port.\n"
                                 "System call: open(" + port + "): ENOENT (errno 2)");
  EXPECT_TRUE(view_.options.keepMilliseconds);
  EXPECT_FALSE(view_.options.autosave);
  EXPECT_FALSE(timers_.Enabled(kAutosaveEvery));
}

TEST_F(MainWindowTest, AReaderAnotherProgramHoldsIsReportedOnceAndConnectedWhenItIsLetGo) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  close(slave);
  TComPort holder(loop_);  // as ModemManager holds a newly plugged device for a while
  holder.SetPort(name);
  holder.Open();
  ports_.devices = {{name, "usb:VID_0403&PID_6001"}};
  Window().StartUpRoutine();
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_TRUE(view_.errors[0].starts_with("Unable to open com port " + std::string(name) +
                                          ": Device or resource busy. Another program has the port open"))
      << view_.errors[0];
  EXPECT_TRUE(timers_.Enabled(kDiscoveryEvery));

  // The user edits a field meanwhile; the retries leave it alone and say nothing more.
  view_.options.raceName = "Spring race";
  timers_.Advance(4 * kDiscoveryEvery);
  EXPECT_EQ(view_.errors.size(), 1u);
  EXPECT_EQ(view_.options.raceName, "Spring race");
  EXPECT_FALSE(Window().Link().Connected());

  holder.Close();
  timers_.Advance(kDiscoveryEvery);
  EXPECT_TRUE(Window().Link().Connected());
  EXPECT_FALSE(timers_.Enabled(kDiscoveryEvery));
  EXPECT_EQ(view_.statuses.back(), "Connected to " + std::string(name));
  EXPECT_EQ(view_.errors.size(), 1u);

  // Asked for by the user, an error is shown even when it was shown before.
  Window().Link().SetConnected(false);
  holder.Open();
  Window().ComPortsClick();
  Window().ComPortsClick();
  EXPECT_EQ(view_.errors.size(), 3u);
  holder.Close();
  close(master);
}

TEST_F(MainWindowTest, ReaderLinesReachTheTablesThroughTheWindow) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);
  close(slave);
  ports_.devices = {{name, "usb:VID_0403&PID_6001"}};
  view_.options.nulltime = "10:00:00";
  fs::create_directories(folder_ / "vexa");
  std::ofstream(folder_ / "vexa" / "ln40util.conf") << "cbtidel=dword:0\n";  // keep the nulltime field
  Window().StartUpRoutine();
  ASSERT_TRUE(Window().Link().Connected());
  Window().Sheet().SetCell(6, 1, "1234");
  Window().Sheet().SetCell(8, 1, "10:00:00");

  // The message comes on a line that has been quiet since the port opened for longer than
  // the message takes at 1200 baud, so it is known to be whole.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::string line = "A01001234012:34.567\r";
  ASSERT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (Window().ReadTimes().RowCount() < 3 && std::chrono::steady_clock::now() < deadline) {
    loop_.RunFor(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(Window().ReadTimes().RowCount(), 3);
  EXPECT_EQ(Window().ReadTimes().Cell(4, 2), "10:12:34");
  EXPECT_EQ(Window().Sheet().Cell(11, 1), "00:12:34");
  EXPECT_TRUE(view_.lamp);
  EXPECT_GT(view_.tables_changed, 0);
  char ack[2] = {};
  EXPECT_EQ(read(master, ack, 2), 2);

  // "Get data again" with 25: the request goes out and acknowledgements stop.
  view_.input_answer = "25";
  Window().GetDataAgainClick();
  char request[16] = {};
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(std::string(request, read(master, request, sizeof request)), "+\r!-0025\r");
  EXPECT_FALSE(timers_.Enabled(kWatchEvery));
  Window().Link().SetConnected(false);
  close(master);
}

TEST_F(MainWindowTest, EntryImportAndStartAssignmentFromTheToolbar) {
  const fs::path entries = folder_ / "entries.xml";
  std::ofstream(entries) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EntryList><Eventname>Vinterkarusell</Eventname>"
                            "<SingleEntry><EntryClass shortName=\"H21\"/><Person><PersonName><Family>Dahl</Family>"
                            "<Given>Ola</Given></PersonName></Person></SingleEntry>"
                            "<SingleEntry><EntryClass shortName=\"D21\"/><Person><PersonName><Family>Li</Family>"
                            "<Given>Kari</Given></PersonName></Person></SingleEntry></EntryList>";
  view_.file_to_open = entries.string();
  Window().GetDataFromKlubbenOnlineClick();
  EXPECT_EQ(view_.options.raceName, "Vinterkarusell");
  ASSERT_EQ(Window().Sheet().RowCount(), 3);  // the empty first row is gone
  EXPECT_EQ(Window().Sheet().Cell(0, 1), "Ola");

  view_.options.nulltime = "10:00:00";
  view_.answer = DialogAnswer::No;  // no vacant runners
  Window().AssignStartNumbersClick();
  EXPECT_EQ(view_.questions, std::vector<std::string>{"Insert vacant runners before each class?"});
  std::vector<std::string> numbers{Window().Sheet().Cell(6, 1), Window().Sheet().Cell(6, 2)};
  EXPECT_EQ(numbers, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(Window().Sheet().Cell(8, 1), "10:00:15");  // the first start 15 s after the nulltime
  EXPECT_EQ(Window().Sheet().Cell(8, 2), "10:00:30");
  EXPECT_TRUE(view_.errors.empty());

  view_.file_to_open.reset();  // a cancelled dialog changes nothing
  Window().GetDataFromKlubbenOnlineClick();
  EXPECT_EQ(Window().Sheet().RowCount(), 3);
}

TEST_F(MainWindowTest, EntryFileThatCannotBeReadIsShownAndChangesNothing) {
  const int rows = Window().Sheet().RowCount();  // the new sheet's empty first row included
  view_.file_to_open = folder_.string();
  Window().GetDataFromKlubbenOnlineClick();
  EXPECT_EQ(view_.errors, std::vector<std::string>{"Cannot read the entry file " + folder_.string() + ": it is a folder"});
  EXPECT_EQ(Window().Sheet().RowCount(), rows);
  EXPECT_FALSE(view_.autosave_indicator);
}

}  // namespace
}  // namespace ln40
