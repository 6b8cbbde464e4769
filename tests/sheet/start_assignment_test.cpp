#include "sheet/start_assignment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "sheet/runner_sheet.h"
#include "text/error.h"

namespace ln40 {
namespace {

using namespace runner_sheet;

const char* const kDefault = "<default>";  // confirm the prompt as shown

// Dialogs that answer from a script and keep what they were shown.
struct ScriptedDialogs : StartAssignmentDialogs {
  DialogAnswer answer = DialogAnswer::Yes;
  std::deque<std::optional<std::string>> replies;  // nullopt cancels, kDefault confirms
  std::vector<std::string> questions;
  std::vector<std::string> prompts;  // "prompt|preset"
  std::vector<std::string> messages;

  DialogAnswer AskYesNoCancel(const std::string& text, const std::string& caption) override {
    questions.push_back(caption + "|" + text);
    return answer;
  }
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
    EXPECT_EQ(caption, "Insert vacant runners");
    prompts.push_back(prompt + "|" + value);
    if (replies.empty()) return true;
    const std::optional<std::string> reply = replies.front();
    replies.pop_front();
    if (!reply) return false;
    if (*reply != kDefault) value = *reply;
    return true;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
};

struct Runner {
  std::string name;
  std::string klass;
  std::string course;
  std::string net_time;
};

TGridTable Sheet(const std::vector<Runner>& runners) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  sheet.SetRowCount(static_cast<int>(runners.size()) + 1);
  for (size_t i = 0; i < runners.size(); ++i) {
    const int row = static_cast<int>(i) + 1;
    sheet.SetCell(kFirstName, row, runners[i].name);
    sheet.SetCell(kClass, row, runners[i].klass);
    sheet.SetCell(kCourse, row, runners[i].course);
    sheet.SetCell(kNetTime, row, runners[i].net_time);
  }
  return sheet;
}

// "class/name" per body row; a vacant row shows as "class/".
std::vector<std::string> Order(const TGridTable& sheet) {
  std::vector<std::string> order;
  for (int row = 1; row < sheet.RowCount(); ++row)
    order.push_back(sheet.Cell(kClass, row) + "/" + sheet.Cell(kFirstName, row));
  return order;
}

const std::vector<Runner> kThreeClasses = {{"c1", "C", "1", ""}, {"a1", "A", "1", ""}, {"b1", "B", "1", ""},
                                           {"c2", "C", "1", ""}, {"a2", "A", "1", ""}, {"c3", "C", "1", ""}};

void ExpectNumbersAndTimes(const TGridTable& sheet, int first_second) {
  for (int row = 1; row < sheet.RowCount(); ++row) {
    EXPECT_EQ(sheet.Cell(kStartNumber, row), std::to_string(row));
    const int seconds = first_second + 15 * row;
    char expected[16];
    std::snprintf(expected, sizeof expected, "%02d:%02d:%02d", seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
    EXPECT_EQ(sheet.Cell(kStartTime, row), expected) << "row " << row;
  }
}

TEST(StartAssignment, VacantRunnersBeforeEachClass) {
  for (const std::string course : {"", "1"}) {
    SCOPED_TRACE("course '" + course + "'");
    std::vector<Runner> runners = kThreeClasses;
    for (Runner& runner : runners) runner.course = course;
    TGridTable sheet = Sheet(runners);
    ScriptedDialogs dialogs;
    dialogs.replies = {kDefault, "1", kDefault};
    SeededDrawSource draw(42);
    std::string previous_class;
    ASSERT_TRUE(AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class));

    EXPECT_EQ(dialogs.questions, std::vector<std::string>{"Vacant runners|Insert vacant runners before each class?"});
    EXPECT_EQ(dialogs.prompts,
              (std::vector<std::string>{"Number of vacant runners for A|2", "Number of vacant runners for B|2",
                                        "Number of vacant runners for C|1"}));
    const std::vector<std::string> order = Order(sheet);
    ASSERT_EQ(order.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 2), (std::vector<std::string>{"A/", "A/"}));
    EXPECT_TRUE(
        std::is_permutation(order.begin() + 2, order.begin() + 4, std::vector<std::string>{"A/a1", "A/a2"}.begin()));
    EXPECT_EQ(order[4], "B/");
    EXPECT_EQ(order[5], "B/b1");
    EXPECT_EQ(order[6], "C/");
    EXPECT_TRUE(
        std::is_permutation(order.begin() + 7, order.end(), std::vector<std::string>{"C/c1", "C/c2", "C/c3"}.begin()));
    ExpectNumbersAndTimes(sheet, 10 * 3600);
    EXPECT_EQ(sheet.ColCount(), 12);  // the marker and draw columns are gone
    EXPECT_EQ(previous_class, "C");
    // Vacant rows hold only their class and course, so they stay with their class.
    for (int row = 1; row <= 2; ++row) {
      EXPECT_EQ(sheet.Cell(kCourse, row), course);
      EXPECT_EQ(sheet.Cell(kLastName, row), "");
      EXPECT_EQ(sheet.Cell(kNetTime, row), "");
    }
  }
}

TEST(StartAssignment, NoVacantRunners) {
  TGridTable sheet = Sheet(kThreeClasses);
  ScriptedDialogs dialogs;
  dialogs.answer = DialogAnswer::No;
  SeededDrawSource draw(7);
  std::string previous_class = "H21";
  ASSERT_TRUE(AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class));
  EXPECT_TRUE(dialogs.prompts.empty());
  const std::vector<std::string> order = Order(sheet);
  ASSERT_EQ(order.size(), 6u);
  EXPECT_TRUE(std::is_permutation(order.begin(), order.begin() + 2, std::vector<std::string>{"A/a1", "A/a2"}.begin()));
  EXPECT_EQ(order[2], "B/b1");
  EXPECT_TRUE(
      std::is_permutation(order.begin() + 3, order.end(), std::vector<std::string>{"C/c1", "C/c2", "C/c3"}.begin()));
  ExpectNumbersAndTimes(sheet, 10 * 3600);
  EXPECT_EQ(previous_class, "H21");  // untouched without the walk
}

TEST(StartAssignment, PromptRepliesThatInsertNothing) {
  const struct {
    const char* name;
    std::deque<std::optional<std::string>> replies;
    std::vector<std::string> presets;  // the defaults the three prompts show
    size_t rows;
  } cases[] = {
      {"zero and a text that is no number", {"0", "abc", kDefault}, {"2", "0", "abc"}, 6},
      {"cancel keeps the default for the next class", {std::nullopt, kDefault, "0"}, {"2", "2", "2"}, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGridTable sheet = Sheet(kThreeClasses);
    ScriptedDialogs dialogs;
    dialogs.replies = c.replies;
    SeededDrawSource draw(1);
    std::string previous_class;
    AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class);
    ASSERT_EQ(dialogs.prompts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(dialogs.prompts[i].substr(dialogs.prompts[i].find('|') + 1), c.presets[i]);
    EXPECT_EQ(static_cast<size_t>(sheet.RowCount() - 1), c.rows);
    const std::vector<std::string> order = Order(sheet);
    EXPECT_EQ(std::count(order.begin(), order.end(), "A/a1") + std::count(order.begin(), order.end(), "A/a2"), 2);
  }
}

TEST(StartAssignment, CountsOutsideTheRangeAreRefusedAndAskedAgain) {
  TGridTable sheet = Sheet({{"a1", "A", "1", ""}});
  ScriptedDialogs dialogs;
  dialogs.replies = {"-1", "5000", "1"};
  SeededDrawSource draw(1);
  std::string previous_class;
  AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{kNegativeVacantMessage, kTooManyVacantMessage}));
  EXPECT_EQ(dialogs.prompts,
            (std::vector<std::string>{"Number of vacant runners for A|2", "Number of vacant runners for A|-1",
                                      "Number of vacant runners for A|5000"}));
  EXPECT_EQ(Order(sheet), (std::vector<std::string>{"A/", "A/a1"}));
}

TEST(StartAssignment, RunnersWithoutClassAreNeverAskedForAndStartFirstInTheirCourse) {
  TGridTable sheet = Sheet({{"a1", "A", "1", ""}, {"x1", "", "1", ""}, {"b1", "B", "2", ""}, {"x2", "", "2", ""}});
  ScriptedDialogs dialogs;
  dialogs.replies = {"0", "0"};
  SeededDrawSource draw(3);
  std::string previous_class;
  AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class);
  EXPECT_EQ(dialogs.prompts.size(), 2u);
  EXPECT_EQ(Order(sheet), (std::vector<std::string>{"/x1", "A/a1", "/x2", "B/b1"}));
}

TEST(StartAssignment, TimesFromTheNulltime) {
  const struct {
    const char* nulltime;
    int rows;
    const char* first;
    const char* last;
  } cases[] = {
      {"09:59:50", 2, "10:00:05", "10:00:20"},
      {"23:59:50", 2, "00:00:05", "00:00:20"},  // past midnight the time of day starts again
      {"10:00", 1, "10:00:15", "10:00:15"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.nulltime);
    TGridTable sheet = Sheet(std::vector<Runner>(static_cast<size_t>(c.rows), Runner{"r", "A", "", ""}));
    ScriptedDialogs dialogs;
    dialogs.answer = DialogAnswer::No;
    SeededDrawSource draw(1);
    std::string previous_class;
    AssignStartNumbersAndTimes(sheet, dialogs, draw, c.nulltime, previous_class);
    EXPECT_EQ(sheet.Cell(kStartTime, 1), c.first);
    EXPECT_EQ(sheet.Cell(kStartTime, c.rows), c.last);
  }
}

TEST(StartAssignment, EmptySheetGetsOneNumberAndTime) {
  for (const DialogAnswer answer : {DialogAnswer::Yes, DialogAnswer::No}) {
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    ScriptedDialogs dialogs;
    dialogs.answer = answer;
    SeededDrawSource draw(1);
    std::string previous_class;
    AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class);
    EXPECT_TRUE(dialogs.prompts.empty());
    ASSERT_EQ(sheet.RowCount(), 2);
    EXPECT_EQ(sheet.ColCount(), 12);
    EXPECT_EQ(sheet.Cell(kStartNumber, 1), "1");
    EXPECT_EQ(sheet.Cell(kStartTime, 1), "10:00:15");
  }
}

TEST(StartAssignment, CancelledQuestionChangesNothing) {
  TGridTable sheet = Sheet(kThreeClasses);
  const std::vector<std::string> before = Order(sheet);
  ScriptedDialogs dialogs;
  dialogs.answer = DialogAnswer::Cancel;
  SeededDrawSource draw(1);
  std::string previous_class = "H21";
  EXPECT_FALSE(AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class));
  EXPECT_EQ(Order(sheet), before);
  EXPECT_EQ(sheet.Cell(kStartNumber, 1), "");
  EXPECT_EQ(previous_class, "H21");
}

TEST(StartAssignment, InvalidNulltimeStopsBeforeNumbers) {
  TGridTable sheet = Sheet(kThreeClasses);
  ScriptedDialogs dialogs;
  dialogs.replies = {"1", "1", "1"};
  SeededDrawSource draw(1);
  std::string previous_class;
  try {
    AssignStartNumbersAndTimes(sheet, dialogs, draw, "25:00", previous_class);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'25:00' is not a valid time");
  }
  EXPECT_EQ(sheet.ColCount(), 12);
  EXPECT_EQ(sheet.RowCount(), 10);  // sorted, with the vacant rows
  EXPECT_EQ(Order(sheet)[0], "A/");
  for (int row = 1; row < sheet.RowCount(); ++row) EXPECT_EQ(sheet.Cell(kStartNumber, row), "");
}

TEST(StartAssignment, FailingDialogLeavesNoTemporaryColumns) {
  struct Failing : ScriptedDialogs {
    bool InputQuery(const std::string&, const std::string&, std::string&) override { throw Error("no console"); }
  } dialogs;
  TGridTable sheet = Sheet(kThreeClasses);
  SeededDrawSource draw(1);
  std::string previous_class;
  EXPECT_THROW(AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class), Error);
  EXPECT_EQ(sheet.ColCount(), 12);
}

std::vector<std::string> DrawOrder(uint64_t seed, const std::vector<Runner>& runners) {
  TGridTable sheet = Sheet(runners);
  ScriptedDialogs dialogs;
  dialogs.answer = DialogAnswer::No;
  SeededDrawSource draw(seed);
  std::string previous_class;
  AssignStartNumbersAndTimes(sheet, dialogs, draw, "10:00:00", previous_class);
  return Order(sheet);
}

TEST(StartAssignment, DrawsDifferAndRepeatWithTheSeed) {
  std::vector<Runner> runners;
  for (int i = 0; i < 20; ++i) runners.push_back({"r" + std::to_string(i), "A", "1", ""});
  EXPECT_NE(DrawOrder(1, runners), DrawOrder(2, runners));
  EXPECT_EQ(DrawOrder(5, runners), DrawOrder(5, runners));
}

TEST(StartAssignment, SluttidDecidesBeforeTheDraw) {
  const std::vector<Runner> runners = {
      {"third", "A", "1", "00:30:00"}, {"first", "A", "1", "00:10:00"}, {"second", "A", "1", "00:20:00"}};
  for (uint64_t seed = 1; seed <= 5; ++seed) {
    EXPECT_EQ(DrawOrder(seed, runners), (std::vector<std::string>{"A/first", "A/second", "A/third"}));
  }
}

TEST(StartAssignment, SeededDrawsStayInRange) {
  SeededDrawSource draw(99);
  for (int i = 0; i < 1000; ++i) {
    const int value = draw.NextDraw();
    ASSERT_GE(value, 0);
    ASSERT_LE(value, 9999);
  }
}

}  // namespace
}  // namespace ln40
