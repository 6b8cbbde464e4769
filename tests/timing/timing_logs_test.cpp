#include "timing/timing_logs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
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

}  // namespace
}  // namespace ln40
