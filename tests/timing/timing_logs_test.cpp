#include "timing/timing_logs.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include "fakes.h"
#include "timing/timing_station.h"

namespace ln40 {
namespace {

using testing::FakeDialog;
using testing::FakeLink;
using testing::FakeReaderWindow;

const char* const kChronexLine =
    "\"A\",\"0\",\"1\",\"1234\",\"08.12.2026.000\",\"08.12.2026.000\",00000,0000,0000\r\n";
const char* const kBfgLine = "\"Test race\"|\"1234\"|\"10.10.04\"|\"10:12:34\"|\"\"|\r\n";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// The worked race day with a real program folder in a temporary directory.
class TimingLogsTest : public ::testing::Test {
 protected:
  TimingLogsTest()
      : folder_(std::filesystem::temp_directory_path() / ("ln40logs" + std::to_string(::getpid()))),
        clock_(46364.5) {
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    station_ = std::make_unique<TTimingStation>(window_, dialog_, link_, clock_, Locale::WorkedExample(),
                                                folder_.string(), [this](const std::string& text) {
                                                  status_.push_back(text);
                                                });
    window_.nulltime = "10:00:00";
  }
  ~TimingLogsTest() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path Chronex() const { return folder_ / "Chronex.log"; }
  std::filesystem::path Bfg(const std::string& name = "BFG_Test race_10.10.04.log") const { return folder_ / name; }

  std::filesystem::path folder_;
  FakeReaderWindow window_;
  FakeDialog dialog_;
  FakeLink link_;
  FixedClock clock_;
  std::vector<std::string> status_;
  std::unique_ptr<TTimingStation> station_;
};

TEST_F(TimingLogsTest, WritesTheWorkedLinesByteForByte) {
  station_->BeforePortOpens(false);
  station_->HandleReaderMessage("A01001234012:34.567\r");
  station_->HandleReaderMessage("E01001234012:34.567\r");
  window_.race = "Test \"A\" race";
  station_->HandleReaderMessage("D00000000000:00.000\r");

  EXPECT_EQ(ReadFile(Chronex()),
            "\"A\",\"0\",\"1\",\"1234\",\"08.12.2026.000\",\"08.12.2026.000\",00000,0000,0000\r\n"
            "\r\n"
            "\"D\",\"0\",\"0\",\"\",\"08.12.2026.000\",\"08.12.2026.000\",00000,0000,0000\r\n");
  EXPECT_EQ(ReadFile(Bfg()),
            "\"Test race\"|\"1234\"|\"10.10.04\"|\"10:12:34\"|\"\"|\r\n"
            "\"Test race\"|\"\"|\"10.10.04\"|\"10:12:34\"|\"\"|\r\n");
  EXPECT_EQ(ReadFile(Bfg("BFG_Test \"A\" race_10.10.04.log")),
            "\"Test \"A\" race\"|\"\"|\"10.10.04\"|\"10:00:00\"|\"\"|\r\n");
  EXPECT_TRUE(status_.empty());
}

TEST_F(TimingLogsTest, FilesAreCreatedAtOpenEvenWhenBothLogsAreOff) {
  window_.chronex = window_.bfg = false;
  station_->BeforePortOpens(false);
  station_->HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(ReadFile(Chronex()), "");
  EXPECT_EQ(ReadFile(Bfg()), "");
  EXPECT_TRUE(std::filesystem::exists(Chronex()));
}

TEST_F(TimingLogsTest, ANewSubNameStartsANewFileAndSlashesLeaveTheFileName) {
  station_->BeforePortOpens(false);
  window_.sub = "2/3";
  station_->HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(ReadFile(Bfg()), "");
  EXPECT_EQ(ReadFile(Bfg("BFG_Test race_2-3.log")), "\"Test race\"|\"1234\"|\"2/3\"|\"10:12:34\"|\"\"|\r\n");
}

TEST_F(TimingLogsTest, ADeletedLogIsCreatedAgainAndNeverCostsTheOtherLine) {
  station_->BeforePortOpens(false);
  std::filesystem::remove(Chronex());
  std::filesystem::remove(Bfg());
  station_->HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(ReadFile(Chronex()), kChronexLine);
  EXPECT_EQ(ReadFile(Bfg()), kBfgLine);
  EXPECT_TRUE(status_.empty());
}

TEST_F(TimingLogsTest, AFailedAppendIsReportedAndTheMessageGoesOn) {
  station_->BeforePortOpens(false);
  std::filesystem::remove(Chronex());
  std::filesystem::create_directory(Chronex());  // the log cannot be opened as a file
  station_->HandleReaderMessage("A01001234012:34.567\r");
  ASSERT_EQ(status_.size(), 1u);
  EXPECT_NE(status_[0].find("Chronex.log"), std::string::npos);
  EXPECT_EQ(ReadFile(Bfg()), kBfgLine);
  EXPECT_EQ(link_.sent, "+\r");
  EXPECT_EQ(station_->ReadTimes().Cell(4, 2), "10:12:34");
}

TEST_F(TimingLogsTest, CreationFailureShowsTheErrorAndGoesOn) {
  station_.reset();
  station_ = std::make_unique<TTimingStation>(window_, dialog_, link_, clock_, Locale::WorkedExample(),
                                              (folder_ / "missing" / "deeper").string(), nullptr);
  station_->BeforePortOpens(false);
  ASSERT_EQ(dialog_.shown.size(), 2u);
  EXPECT_NE(dialog_.shown[0].find("Cannot create file"), std::string::npos);
  station_->HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(link_.sent, "+\r");
}

// A disk with `room` bytes left: a write gets what fits, then ENOSPC.
struct FillingDisk {
  size_t room = 0;
  bool can_cut_back = true;
  LogFileCalls Calls() {
    LogFileCalls calls;
    calls.write = [this](int fd, const void* bytes, size_t count) -> ssize_t {
      if (room == 0) {
        errno = ENOSPC;
        return -1;
      }
      const ssize_t written = ::write(fd, bytes, std::min(count, room));
      if (written > 0) room -= static_cast<size_t>(written);
      return written;
    };
    calls.truncate = [this](int fd, off_t length) {
      if (can_cut_back) return ::ftruncate(fd, length);
      errno = EIO;
      return -1;
    };
    return calls;
  }
};

TEST_F(TimingLogsTest, ALineTheDiskHasNoRoomForIsTakenBackWholeAndTheNextIsWrittenWhole) {
  const std::string bfg_line_2 = "\"Test race\"|\"1235\"|\"10.10.04\"|\"10:12:35\"|\"\"|\r\n";
  struct Case {
    const char* name;
    size_t room;  // bytes left on the disk when the second line comes
  } cases[] = {{"full before the line", 0}, {"full half-way", 20}, {"full before its CR LF", bfg_line_2.size() - 2}};
  window_.chronex = false;  // the disk's room is the BFG log's
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(Bfg());
    status_.clear();
    FillingDisk disk;
    disk.room = std::string(kBfgLine).size() + c.room;
    station_->Logs().SetFileCalls(disk.Calls());
    station_->HandleReaderMessage("A01001234012:34.567\r");
    station_->HandleReaderMessage("A01001235012:35.567\r");
    EXPECT_EQ(ReadFile(Bfg()), kBfgLine);
    ASSERT_FALSE(status_.empty());
    EXPECT_NE(status_.back().find("Cannot write file"), std::string::npos) << status_.back();
    EXPECT_NE(status_.back().find("No space left on device"), std::string::npos) << status_.back();
    // The message went on: acknowledged and in the table.
    EXPECT_EQ(station_->ReadTimes().Cell(4, station_->ReadTimes().RowCount() - 1), "10:12:35");

    disk.room = 1000;  // room again
    station_->HandleReaderMessage("A01001235012:35.567\r");
    EXPECT_EQ(ReadFile(Bfg()), kBfgLine + bfg_line_2);
  }
}

TEST_F(TimingLogsTest, APartLineThatCannotBeTakenBackIsFollowedByALineOfItsOwn) {
  window_.chronex = false;  // the disk's room is the BFG log's
  FillingDisk disk;
  disk.room = std::string(kBfgLine).size() + 20;
  disk.can_cut_back = false;
  station_->Logs().SetFileCalls(disk.Calls());
  station_->HandleReaderMessage("A01001234012:34.567\r");
  station_->HandleReaderMessage("A01001235012:35.567\r");
  disk.room = 1000;
  station_->HandleReaderMessage("A01001236012:36.567\r");
  station_->HandleReaderMessage("A01001237012:37.567\r");
  EXPECT_EQ(ReadFile(Bfg()), std::string(kBfgLine) + "\"Test race\"|\"1235\"|\"\r\n" +
                                 "\"Test race\"|\"1236\"|\"10.10.04\"|\"10:12:36\"|\"\"|\r\n" +
                                 "\"Test race\"|\"1237\"|\"10.10.04\"|\"10:12:37\"|\"\"|\r\n");
}

// The kernel's own short write: a file size limit stops a write part-way as a full disk
// does (and answers EFBIG).
TEST_F(TimingLogsTest, AWriteTheKernelStopsPartWayLeavesNoPartLine) {
  station_->HandleReaderMessage("A01001234012:34.567\r");
  const std::string before = ReadFile(Chronex());
  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit limit{}, saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  limit = saved;
  limit.rlim_cur = before.size() + 30;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  station_->HandleReaderMessage("A01001235012:35.567\r");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_EQ(ReadFile(Chronex()), before);
  ASSERT_FALSE(status_.empty());
  EXPECT_NE(status_[0].find("Chronex.log"), std::string::npos);
  station_->HandleReaderMessage("A01001236012:36.567\r");
  EXPECT_EQ(ReadFile(Chronex()),
            before + "\"A\",\"0\",\"1\",\"1236\",\"08.12.2026.000\",\"08.12.2026.000\",00000,0000,0000\r\n");
}

// Something other than a file under a log's name is reported with what it is and left
// alone; a named pipe never holds the station (nothing reads it here).
TEST_F(TimingLogsTest, ALogThatIsNoRegularFileIsReportedAndLeftAlone) {
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
    const char* kind;
  } cases[] = {
      {"named pipe", [](const std::filesystem::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
       "It is a named pipe (FIFO), not a regular file"},
      {"folder", [](const std::filesystem::path& path) { std::filesystem::create_directory(path); },
       "It is a folder, not a regular file"},
      {"link to a device",
       [](const std::filesystem::path& path) { std::filesystem::create_symlink("/dev/null", path); },
       "It is a character device, not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(Chronex());
    c.make(Chronex());
    dialog_.shown.clear();
    status_.clear();
    station_->BeforePortOpens(false);
    ASSERT_EQ(dialog_.shown.size(), 1u);
    EXPECT_EQ(dialog_.shown[0], "Cannot create file \"" + Chronex().string() + "\". " + c.kind);
    link_.sent.clear();
    station_->HandleReaderMessage("A01001234012:34.567\r");
    ASSERT_EQ(status_.size(), 1u);
    EXPECT_EQ(status_[0], "Cannot open file \"" + Chronex().string() + "\". " + c.kind);
    EXPECT_EQ(link_.sent, "+\r");
    const auto type = std::filesystem::symlink_status(Chronex()).type();
    EXPECT_TRUE(type != std::filesystem::file_type::regular && type != std::filesystem::file_type::not_found);
  }
}

}  // namespace
}  // namespace ln40
