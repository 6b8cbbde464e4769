#include "sheet/runner_sheet.h"

#include <gtest/gtest.h>

namespace ln40 {
namespace {

using namespace runner_sheet;

TEST(RunnerSheet, NewSheetShowsTwelveHeadingsAndOneEmptyRow) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  ASSERT_EQ(sheet.ColCount(), 12);
  EXPECT_EQ(sheet.RowCount(), 2);
  EXPECT_EQ(sheet.Cell(kSex, 0), "Kj\xF8nn");  // one byte for the ø
  EXPECT_EQ(sheet.Cell(kCourse, 0), "L\xF8ype");
  EXPECT_EQ(sheet.Cell(kNetTime, 0), "Sluttid");
  EXPECT_EQ(sheet.ColumnWidth(kId), 34);
  for (int col = 0; col < 12; ++col) EXPECT_EQ(sheet.Cell(col, 1), "");
}

TEST(RunnerSheet, NetTimeRuleAfterAnEdit) {
  const struct {
    const char* start;
    const char* finish;
    const char* old_net;
    const char* net;
  } cases[] = {
      {"10:00:00", "10:25:30", "", "00:25:30"},
      {"10:00:00", "", "00:11:11", "00:11:11"},       // no finish: old value stays
      {"", "11:02:03", "", "11:02:03"},               // no start counts as midnight
      {"soon", "11:02:03", "", "11:02:03"},           // nor does a start that is no time
      {"10:00:00", "12:30", "", "02:30:00"},          // finish without seconds
      {"10:05:00", "10:00:00", "", "00:05:00"},       // finish before start: the size
      {"10:00:00", "late", "00:01:00", "00:01:00"},   // finish that is no time: unchanged
      {"10:00:00", "10:00:01.999", "", "00:00:01"},   // fractions dropped
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " -> " + c.finish);
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    sheet.SetCell(kFirstName, 1, "Kari");
    sheet.SetCell(kStartTime, 1, c.start);
    sheet.SetCell(kFinish, 1, c.finish);
    sheet.SetCell(kNetTime, 1, c.old_net);
    ApplyNetTimeRule(sheet, 1);
    EXPECT_EQ(sheet.Cell(kNetTime, 1), c.net);
  }
}

TEST(RunnerSheet, InsertedRowTakesThePreviousClass) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  sheet.InsertRow(1);
  ApplyInsertedRowRule(sheet, 1, "");
  EXPECT_EQ(sheet.Cell(kClass, 1), "");
  ApplyInsertedRowRule(sheet, 1, "H21");
  EXPECT_EQ(sheet.Cell(kClass, 1), "H21");
}

}  // namespace
}  // namespace ln40
