// The workbook commands of the window: "Open excel file", "Save as excel file", "Save as
// XML file", and the autosave on Timer3 and at close, through the controller and a fake
// window, on real files. Also: reader messages arriving over a pseudo-terminal while
// autosaves run are all handled and acknowledged.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/main_window_controller.h"
#include "app/workbook_dialogs.h"
#include "fake_main_window.h"
#include "fake_timers.h"
#include "link/event_loop.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"
#include "reports/table_xml_export.h"
#include "xls/xls_file.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;
using testing::FakeMainWindow;

class NoPorts : public SerialDeviceSource {
 public:
  std::vector<SerialDevice> devices;
  std::optional<std::vector<SerialDevice>> ListDevices() override { return devices; }
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<std::u16string> SheetNames(const fs::path& file) {
  TXLSFile book;
  book.OpenFile(file.string());
  std::vector<std::u16string> names;
  for (int sheet = 1; sheet <= book.SheetCount(); ++sheet) names.push_back(book.SheetName(sheet));
  return names;
}

class WorkbookWindowTest : public ::testing::Test {
 protected:
  WorkbookWindowTest() : folder_(fs::temp_directory_path() / ("ln40wbwindow" + std::to_string(::getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "data");
    settings_ = std::make_unique<TSettingsFile>((folder_ / "vexa" / "ln40util.conf").string());
    window_ = std::make_unique<MainWindowController>(view_, loop_, timers_, clock_, Locale::WorkedExample(),
                                                     (folder_ / "data").string() + "/", *settings_, ports_);
    Window().Sheet().SetCell(0, 1, "Kari");
    Window().Sheet().SetCell(6, 1, "17");
  }
  ~WorkbookWindowTest() override {
    window_.reset();
    fs::remove_all(folder_);
  }
  MainWindowController& Window() { return *window_; }

  fs::path folder_;
  FakeMainWindow view_;
  TEventLoop loop_;
  testing::FakeTimers timers_;
  FixedClock clock_{46364.5};
  NoPorts ports_;
  std::unique_ptr<TSettingsFile> settings_;
  std::unique_ptr<MainWindowController> window_;
};

TEST(WorkbookDialogs, DefaultExtensionGoesOnlyToANameWithoutOne) {
  struct Case {
    std::string typed, extension, chosen;
  };
  const Case cases[] = {
      {"times", "xlm", "times.xlm"},
      {"/home/race/times", "xlm", "/home/race/times.xlm"},
      {"/home/race/times.xml", "xlm", "/home/race/times.xml"},
      {"/home/race.2026/times", "xlm", "/home/race.2026/times.xlm"},  // a dot in a folder name
      {"results.xls", "xls", "results.xls"},
      {"results", "", "results"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithDefaultExtension(c.typed, c.extension), c.chosen) << c.typed;
}

TEST(WorkbookDialogs, TitlesFiltersAndExtensions) {
  const OpenDialogOptions open = OpenExcelDialogOptions();
  EXPECT_EQ(open.title, "Open excel file");
  ASSERT_EQ(open.filters.size(), 2u);
  EXPECT_EQ(open.filters[0].name + "|" + open.filters[0].pattern + "|" + open.filters[1].name + "|" +
                open.filters[1].pattern,
            "Excel file|*.xls|All|*.*");
  EXPECT_EQ(open.default_extension, "xls");
  EXPECT_FALSE(open.file_must_exist);
  const SaveDialogOptions excel = SaveExcelDialogOptions();
  EXPECT_EQ(excel.title, "Save as excel sheet");
  EXPECT_EQ(excel.filters[1].name, "All files");
  EXPECT_EQ(excel.default_extension, "xls");
  EXPECT_FALSE(excel.confirm_overwrite);
  const SaveDialogOptions xml = SaveXmlDialogOptions();
  EXPECT_EQ(xml.title, "Save as xml file");
  EXPECT_EQ(xml.filters[0].name + "|" + xml.filters[0].pattern, "XML file|*.xml");
  EXPECT_EQ(xml.default_extension, "xlm");
  EXPECT_FALSE(xml.confirm_overwrite);
}

TEST_F(WorkbookWindowTest, SaveAsExcelThenOpenThroughTheToolbar) {
  view_.file_to_save = (folder_ / "race").string();
  Window().SaveAsExcelFileClick();
  ASSERT_EQ(view_.save_dialogs.size(), 1u);
  EXPECT_EQ(view_.save_dialogs[0].title, "Save as excel sheet");
  EXPECT_EQ(view_.save_dialogs[0].file_name, "");
  EXPECT_TRUE(view_.errors.empty());
  EXPECT_EQ(SheetNames(folder_ / "race.xls"), (std::vector<std::u16string>{u"LN40", u"Excel"}));

  // The dialog shows the name chosen last.
  view_.file_to_save.reset();
  Window().SaveAsExcelFileClick();
  EXPECT_EQ(view_.save_dialogs[1].file_name, (folder_ / "race.xls").string());

  Window().Sheet().SetCell(0, 1, "changed");
  Window().Sheet().SetColCount(3);
  const int changes = view_.tables_changed;
  view_.file_to_open = (folder_ / "race.xls").string();
  Window().OpenExcelFileClick();
  EXPECT_TRUE(view_.errors.empty());
  EXPECT_EQ(view_.open_dialogs.back().title, "Open excel file");
  EXPECT_EQ(Window().Sheet().Cell(0, 1), "Kari");
  EXPECT_EQ(Window().Sheet().Cell(6, 1), "17");
  EXPECT_EQ(Window().Sheet().ColCount(), 12);
  EXPECT_EQ(Window().Sheet().Cell(11, 0), "Sluttid");
  EXPECT_GT(view_.tables_changed, changes);
  Window().OpenExcelFileClick();
  EXPECT_EQ(view_.open_dialogs.back().file_name, (folder_ / "race.xls").string());
}

TEST_F(WorkbookWindowTest, OpenCancelledRestoresTheHeadingsAndKeepsTheRows) {
  Window().Sheet().SetCell(2, 0, "edited heading");
  Window().OpenExcelFileClick();
  EXPECT_EQ(Window().Sheet().Cell(0, 1), "Kari");
  EXPECT_EQ(Window().Sheet().Cell(2, 0), "Klasse");
  EXPECT_TRUE(view_.errors.empty());
}

TEST_F(WorkbookWindowTest, ErrorsOfOpenAndSaveReachTheErrorReport) {
  view_.file_to_open = (folder_ / "missing.xls").string();
  Window().OpenExcelFileClick();
  ASSERT_EQ(view_.errors.size(), 1u);
  EXPECT_EQ(view_.errors[0], "Can't find the file \"" + (folder_ / "missing.xls").string() + "\"");
  EXPECT_EQ(Window().Sheet().Cell(0, 1), "Kari");

  view_.file_to_save = (folder_ / "no folder" / "race.xls").string();
  Window().SaveAsExcelFileClick();
  ASSERT_EQ(view_.errors.size(), 2u);

  view_.file_to_save = (folder_ / "no folder" / "times").string();
  Window().SaveAsXmlFileClick();
  ASSERT_EQ(view_.errors.size(), 3u);
  EXPECT_EQ(view_.errors[2], "Cannot Create file " + (folder_ / "no folder" / "times.xlm").string());
}

TEST_F(WorkbookWindowTest, SaveAsXmlWritesTheReadTimesTableWithTheXlmExtension) {
  Window().ReadTimes().SetCell(2, 1, "A&B<C> \"x\"");
  view_.file_to_save = (folder_ / "times").string();
  Window().SaveAsXmlFileClick();
  EXPECT_TRUE(view_.errors.empty());
  EXPECT_EQ(view_.save_dialogs.back().default_extension, "xlm");
  const std::string xml = ReadAll(folder_ / "times.xlm");
  EXPECT_EQ(xml, TableToXml(Window().ReadTimes(), ReadTimesHeadings()));
  EXPECT_NE(xml.find("<Text>A&amp;B&lt;C&gt; &quot;x&quot;</Text>\r\n"), std::string::npos);
  view_.file_to_save.reset();
  Window().SaveAsXmlFileClick();
  EXPECT_EQ(view_.save_dialogs.back().file_name, (folder_ / "times.xlm").string());
}

TEST_F(WorkbookWindowTest, Timer3AndTheCloseAutosaveIntoTheProgramsFolder) {
  const fs::path data = folder_ / "data";
  Window().Timer3Tick();
  EXPECT_FALSE(view_.autosave_indicator);
  EXPECT_EQ(SheetNames(data / "autosave.xls"), (std::vector<std::u16string>{u"LN40", u"Excel"}));
  EXPECT_FALSE(fs::exists(data / "autosave.bak"));
  const std::string first = ReadAll(data / "autosave.xls");

  Window().Sheet().SetCell(0, 1, "Siri");
  EXPECT_TRUE(Window().CloseRequested());  // cbautosave is checked
  EXPECT_EQ(ReadAll(data / "autosave.bak"), first);
  EXPECT_NE(ReadAll(data / "autosave.xls"), first);
  EXPECT_TRUE(view_.errors.empty());
  EXPECT_TRUE(view_.messages.empty());
}

TEST_F(WorkbookWindowTest, AutosaveIntoAFolderThatCannotBeWrittenShowsNothing) {
  fs::remove_all(folder_ / "data");
  std::ofstream(folder_ / "data") << "a file where the folder should be";
  Window().Timer3Tick();
  EXPECT_FALSE(view_.autosave_indicator);
  EXPECT_TRUE(view_.errors.empty());
  EXPECT_TRUE(view_.messages.empty());
  EXPECT_TRUE(Window().CloseRequested());
}

// Reader messages keep arriving over a pseudo-terminal while the event thread writes large
// autosaves: the serial line buffers them meanwhile, and every one reaches the table and
// is acknowledged.
TEST_F(WorkbookWindowTest, NoReaderMessageIsLostWhileAutosavesRun) {
  // A large runner sheet and read-times table, so each autosave takes a while.
  TGridTable& sheet = Window().Sheet();
  sheet.SetRowCount(3001);
  for (int row = 1; row <= 3000; ++row) {
    sheet.SetCell(0, row, "Runner " + std::to_string(row));
    sheet.SetCell(6, row, std::to_string(row));
    sheet.SetCell(7, row, std::to_string(100000 + row));
    sheet.SetCell(8, row, "10:00:00");
  }
  TGridTable& times = Window().ReadTimes();
  times.SetRowCount(8002);
  for (int row = 2; row < 8002; ++row) {
    times.SetCell(0, row, std::to_string(row - 1));
    times.SetCell(4, row, "10:12:34");
    times.SetCell(5, row, "A01001234012:34.567\r");
  }
  const int rows_before = times.RowCount();

  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  termios raw{};
  tcgetattr(master, &raw);
  cfmakeraw(&raw);
  tcsetattr(master, TCSANOW, &raw);
  close(slave);
  ports_.devices = {{name, "usb:VID_0403&PID_6001"}};
  fs::create_directories(folder_ / "vexa");
  std::ofstream(folder_ / "vexa" / "ln40util.conf") << "cbtidel=dword:0\n";
  Window().StartUpRoutine();
  ASSERT_TRUE(Window().Link().Connected());

  // The reader: one message every millisecond, start numbers 1 to 400; its acknowledgements
  // are read as they come.
  constexpr int kMessages = 400;
  std::atomic<int> acks{0};
  std::atomic<bool> done{false};
  std::thread reader([&] {
    char buffer[256];
    std::string received;
    // The reader starts on a line that has been quiet since the port opened for longer than
    // its first message takes at 1200 baud, so that message is known to be whole.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int n = 1; n <= kMessages; ++n) {
      char number[8];
      std::snprintf(number, sizeof number, "%04d", n);
      const std::string line = std::string("A0100") + number + "012:34.567\r";
      if (write(master, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      const int flags = fcntl(master, F_GETFL);
      fcntl(master, F_SETFL, flags | O_NONBLOCK);
      for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) received.append(buffer, got);
      fcntl(master, F_SETFL, flags);
      // The first message came alone on a quiet line; the next waits for its acknowledgement,
      // so that it is not taken into the same block.
      if (n == 1) {
        pollfd in{master, POLLIN, 0};
        while (received.size() < 2 && ::poll(&in, 1, 2000) > 0) {
          const ssize_t got = read(master, buffer, sizeof buffer);
          if (got <= 0) break;
          received.append(buffer, got);
        }
      }
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    while (received.size() < 2u * kMessages && std::chrono::steady_clock::now() < deadline) {
      const ssize_t got = read(master, buffer, sizeof buffer);
      if (got > 0) received.append(buffer, got);
      else std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    int count = 0;
    for (std::size_t at = received.find("+\r"); at != std::string::npos; at = received.find("+\r", at + 2)) ++count;
    acks = count;
    done = true;
  });

  // The event thread: handles what the link hands over and autosaves over and over.
  int autosaves = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while ((times.RowCount() < rows_before + kMessages || !done) && std::chrono::steady_clock::now() < deadline) {
    loop_.RunFor(std::chrono::milliseconds(2));
    if (autosaves < 5 && times.RowCount() < rows_before + kMessages) {
      Window().Timer3Tick();
      ++autosaves;
    }
  }
  reader.join();
  EXPECT_GE(autosaves, 1);
  EXPECT_EQ(times.RowCount(), rows_before + kMessages);
  EXPECT_EQ(acks.load(), kMessages);
  for (int n = 1; n <= kMessages; ++n) {
    char number[8];
    std::snprintf(number, sizeof number, "%04d", n);
    ASSERT_EQ(times.Cell(5, rows_before - 1 + n), std::string("A0100") + number + "012:34.567\r") << n;
  }
  EXPECT_EQ(SheetNames(folder_ / "data" / "autosave.xls"), (std::vector<std::u16string>{u"LN40", u"Excel"}));
  Window().Link().SetConnected(false);
  close(master);
}

}  // namespace
}  // namespace ln40
