#include "timing/runner_matching.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "fakes.h"
#include "sheet/runner_sheet.h"
#include "timing/timing_station.h"

namespace ln40 {
namespace {

using namespace runner_sheet;
using testing::FakeDialog;
using testing::FakeLink;
using testing::FakeReaderWindow;

// A runner as the test sees it: Fornavn, Etternavn, Klasse, Startnr, Starttid, Inkomst, Sluttid.
using Runner = std::vector<std::string>;

Runner RunnerAt(const TGridTable& sheet, int row) {
  return {sheet.Cell(kFirstName, row), sheet.Cell(kLastName, row), sheet.Cell(kClass, row),
          sheet.Cell(kStartNumber, row), sheet.Cell(kStartTime, row), sheet.Cell(kFinish, row),
          sheet.Cell(kNetTime, row)};
}

TEST(RunnerMatching, MatchesTheWorkedCases) {
  const struct {
    const char* name;
    std::vector<Runner> before;
    const char* start_number;
    const char* time_text;
    bool insert;
    std::vector<Runner> after;
    std::string note = "";  // for the status line
  } cases[] = {
      {"known runner", {{"Kari", "Li", "D21", "1234", "10:00:00", "", ""}}, "1234", "10:12:34", true,
       {{"Kari", "Li", "D21", "1234", "10:00:00", "10:12:34", "00:12:34"}}},
      {"no start time", {{"Kari", "Li", "D21", "1234", "", "", ""}}, "1234", "10:12:34", true,
       {{"Kari", "Li", "D21", "1234", "", "10:12:34", "10:12:34"}}},
      {"finish before start", {{"Kari", "Li", "D21", "1234", "10:30:00", "", ""}}, "1234", "10:12:34", true,
       {{"Kari", "Li", "D21", "1234", "10:30:00", "10:12:34", "00:17:26"}}},
      {"only the upper of two", {{"A", "", "", "1234", "10:00:00", "", ""}, {"B", "", "", "1234", "10:00:00", "", ""}},
       "1234", "10:12:34", true,
       {{"A", "", "", "1234", "10:00:00", "10:12:34", "00:12:34"}, {"B", "", "", "1234", "10:00:00", "", ""}}},
      {"second time replaces", {{"Kari", "", "", "7", "10:00:00", "10:05:00", "00:05:00"}}, "7", "10:06:00", true,
       {{"Kari", "", "", "7", "10:00:00", "10:06:00", "00:06:00"}}, "Start number 7: 10:05:00 replaced by 10:06:00"},
      {"the same time again", {{"Kari", "", "", "7", "10:00:00", "10:05:00", "00:05:00"}}, "7", "10:05:00", true,
       {{"Kari", "", "", "7", "10:00:00", "10:05:00", "00:05:00"}}},
      {"empty time keeps the net time", {{"Kari", "", "", "7", "10:00:00", "10:05:00", "00:05:00"}}, "7", "", true,
       {{"Kari", "", "", "7", "10:00:00", "", "00:05:00"}}, "Start number 7: 10:05:00 replaced by an empty time"},
      {"start date and time", {{"Kari", "", "", "7", "08.12.2026 10:00:00", "", ""}}, "7", "08.12.2026 11:00:01", true,
       {{"Kari", "", "", "7", "08.12.2026 10:00:00", "08.12.2026 11:00:01", "01:00:01"}}},
      {"01234 is not 1234", {{"Kari", "", "", "01234", "10:00:00", "", ""}}, "1234", "10:12:34", true,
       {{"Kari", "", "", "01234", "10:00:00", "", ""}, {"Unknown", "Runner", "NOCLAS", "1234", "10:00:00", "10:12:34", "00:12:34"}}},
      {"unknown, not inserted", {{"Kari", "", "", "01234", "10:00:00", "", ""}}, "1234", "10:12:34", false,
       {{"Kari", "", "", "01234", "10:00:00", "", ""}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    sheet.SetRowCount(static_cast<int>(c.before.size()) + 1);
    for (size_t i = 0; i < c.before.size(); ++i) {
      const int row = static_cast<int>(i) + 1;
      const Runner& r = c.before[i];
      sheet.SetCell(kFirstName, row, r[0]);
      sheet.SetCell(kLastName, row, r[1]);
      sheet.SetCell(kClass, row, r[2]);
      sheet.SetCell(kStartNumber, row, r[3]);
      sheet.SetCell(kStartTime, row, r[4]);
      sheet.SetCell(kFinish, row, r[5]);
      sheet.SetCell(kNetTime, row, r[6]);
    }
    FakeReaderWindow window;
    window.insert = c.insert;
    TRunnerMatcher matcher(sheet, window);
    std::vector<std::string> notes;
    matcher.OnTimeReplaced = [&notes](const std::string& note) { notes.push_back(note); };
    ReaderMessage message;
    message.StartNumber = c.start_number;
    message.TimeText = c.time_text;
    matcher.MatchRunner(message);

    std::vector<Runner> after;
    for (int row = 1; row < sheet.RowCount(); ++row) after.push_back(RunnerAt(sheet, row));
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(sheet.Col(), kStartNumber);
    EXPECT_EQ(notes, c.note.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.note});
  }
}

class StationMatchingTest : public ::testing::Test {
 protected:
  StationMatchingTest()
      : folder_(std::filesystem::temp_directory_path() / ("ln40match" + std::to_string(::getpid()))),
        clock_(46364.5) {
    std::filesystem::create_directories(folder_);
  }
  ~StationMatchingTest() override { std::filesystem::remove_all(folder_); }

  std::unique_ptr<TTimingStation> Station(const Locale& locale) {
    auto station = std::make_unique<TTimingStation>(window_, dialog_, link_, clock_, locale, folder_.string(),
                                                    [](const std::string&) {});
    station->onTimeReplaced = [this](const std::string& note) { statuses_.push_back(note); };
    return station;
  }

  std::filesystem::path folder_;
  FakeReaderWindow window_;
  FakeDialog dialog_;
  FakeLink link_;
  FixedClock clock_;
  std::vector<std::string> statuses_;
};

TEST_F(StationMatchingTest, ATimeThatReplacesAnEarlierFinishIsSaidAndBothLinesStay) {
  auto station = Station(Locale::WorkedExample());
  TGridTable& sheet = station->Sheet();
  sheet.SetCell(kStartNumber, 1, "12");
  sheet.SetCell(kStartTime, 1, "10:00:00");
  station->HandleReaderMessage("A01000012032:10.000\r");
  EXPECT_TRUE(statuses_.empty());
  station->HandleReaderMessage("A01000012045:01.000\r");
  EXPECT_EQ(statuses_, std::vector<std::string>{"Start number 12: 10:32:10 replaced by 10:45:01"});
  EXPECT_EQ(sheet.Cell(kFinish, 1), "10:45:01");
  EXPECT_EQ(station->ReadTimes().RowCount(), 4);  // the heading, the empty first row and both times

  // Lines handled again (a run restored from its journal) say nothing again.
  station->SetLogAppendsEnabled(false);
  station->HandleReaderMessage("A01000012032:10.000\r");
  EXPECT_EQ(statuses_.size(), 1u);
}

TEST_F(StationMatchingTest, KindsWithoutStartNumberAddUnknownRunners) {
  auto station = Station(Locale::WorkedExample());
  for (const char* message : {"C00000000001:00.000\r", "D00000000002:00.000\r", "F00000000003:00.000\r"}) {
    station->HandleReaderMessage(message);
  }
  TGridTable& sheet = station->Sheet();
  ASSERT_EQ(sheet.RowCount(), 5);
  EXPECT_EQ(RunnerAt(sheet, 2), (Runner{"Unknown", "Runner", "NOCLAS", "", "10:00:00", "10:01:00", "00:01:00"}));
  EXPECT_EQ(RunnerAt(sheet, 4)[5], "10:03:00");
}

TEST_F(StationMatchingTest, MillisecondTimesNeedThePointAsDecimalSeparator) {
  for (const char separator : {'.', ','}) {
    SCOPED_TRACE(separator);
    Locale locale = Locale::WorkedExample();
    locale.decimalSeparator = separator;
    auto station = Station(locale);
    station->Handler().SetMillisecondMode(true);
    TGridTable& sheet = station->Sheet();
    sheet.SetCell(kStartNumber, 1, "1234");
    sheet.SetCell(kStartTime, 1, "10:00:00");
    sheet.SetCell(kNetTime, 1, "old");
    station->HandleReaderMessage("A01001234012:34.567\r");
    EXPECT_EQ(sheet.Cell(kFinish, 1), "10:12:34.567");
    EXPECT_EQ(sheet.Cell(kNetTime, 1), separator == '.' ? "00:12:34" : "old");
  }
}

}  // namespace
}  // namespace ln40
