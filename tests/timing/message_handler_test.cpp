#include "timing/message_handler.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "timing/read_times_table.h"

namespace ln40 {
namespace {

using testing::FakeDialog;
using testing::FakeLink;
using testing::FakeReaderWindow;

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  TDateTime date = 0, time = 0;
  TryEncodeDate(y, mo, d, date);
  TryEncodeTime(h, mi, s, ms, time);
  return date + time;
}

// The worked race day: 8 December 2026, nulltime 10:00:00, "Remove leading 0" checked.
class MessageHandlerTest : public ::testing::Test {
 protected:
  MessageHandlerTest() : clock(At(2026, 12, 8, 14, 0, 0, 567)), handler(table, window, dialog, link, clock, locale) {
    SetUpReadTimesTable(table);
    handler.Effects().matchRunner = [this](const ReaderMessage& m) { matched.push_back(m.StartNumber); };
    handler.Effects().appendChronexLine = [this](const ReaderMessage&) { ++chronex_lines; };
    handler.Effects().appendBfgLine = [this](const ReaderMessage&) { ++bfg_lines; };
  }

  std::vector<std::string> Row(int row) const {
    std::vector<std::string> cells;
    for (int col = 0; col < read_times::kColumnCount; ++col) cells.push_back(table.Cell(col, row));
    return cells;
  }

  Locale locale = Locale::WorkedExample();
  TGridTable table;
  FakeReaderWindow window;
  FakeDialog dialog;
  FakeLink link;
  FixedClock clock;
  TReaderMessageHandler handler;
  std::vector<std::string> matched;
  int chronex_lines = 0;
  int bfg_lines = 0;
};

TEST_F(MessageHandlerTest, DecodesTheWorkedCases) {
  const struct {
    const char* message;
    bool ms;
    bool trim;
    // "Kivono/startno", "Text", "LN20 time", "Time"
    std::vector<std::string> cells;
    const char* reader_stamp;
    const char* pc_stamp;
    bool effects;  // runner matching and log lines ran
  } cases[] = {
      {"A01001234012:34.567\r", false, true, {"1234", "Time", "012:34.567", "10:12:34"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"A01001234012:34.567\r", true, true, {"1234", "Time", "012:34.567", "10:12:34.567"}, "08.12.2026.500",
       "08.12.2026.500", true},
      {"A01001234012:34.567\r", false, false, {"001234", "Time", "012:34.567", "10:12:34"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"A01001234999:59.999\r", false, true, {"1234", "Time", "999:59.999", "02:39:59"}, "09.12.2026.000",
       "08.12.2026.000", true},
      {"A01001234000:60.000\r", false, true, {"1234", "Time", "000:60.000", "00:00:00"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"A01001234000:60.000\r", true, true, {"1234", "Time", "000:60.000", "00:00:00.000"}, "08.12.2026.000",
       "08.12.2026.500", true},
      {"D00000000000:00.000\r", false, true, {"", "Sync", "000:00.000", "10:00:00"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"E01001234012:34.567\r", false, true, {"", "", "012:34.567", "10:12:34"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"C01001234012:34.567\r", false, true, {"", "Unknown", "012:34.567", "10:12:34"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"F01001234012:34.567\r", false, true, {"", "Starttime", "012:34.567", "10:12:34"}, "08.12.2026.000",
       "08.12.2026.000", true},
      {"A01\r", false, false, {"\r", "Time", "", ""}, "", "08.12.2026.000", true},
      {"A01\r", false, true, {"", "", "", ""}, "", "", false},
      {"x+\r", false, true, {"", "", "", ""}, "", "08.12.2026.000", true},
      // Fields that are not integers stop the decoding after "LN20 time".
      {"B01000042abc:34.567\r", false, true, {"42", "Time", "abc:34.567", ""}, "", "08.12.2026.000", false},
      // Negative fields wrap to large 16-bit values: an invalid clock, so midnight.
      {"A01   -12-01:-1.-01\r", false, true, {"-12", "Time", "-01:-1.-01", "00:00:00"}, "08.12.2026.000",
       "08.12.2026.000", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    table.SetRowCount(2);
    link.sent.clear();
    matched.clear();
    chronex_lines = bfg_lines = 0;
    window.trim = c.trim;
    handler.SetMillisecondMode(c.ms);

    handler.HandleReaderMessage(c.message);

    ASSERT_EQ(table.RowCount(), 3);
    std::vector<std::string> expected = {"1"};
    expected.insert(expected.end(), c.cells.begin(), c.cells.end());
    expected.push_back(c.message);
    EXPECT_EQ(Row(2), expected);
    EXPECT_EQ(handler.LastMessage().ReaderStamp, c.reader_stamp);
    EXPECT_EQ(handler.LastMessage().PcStamp, c.pc_stamp);
    EXPECT_EQ(matched.size(), c.effects ? 1u : 0u);
    EXPECT_EQ(chronex_lines, c.effects ? 1 : 0);
    EXPECT_EQ(bfg_lines, c.effects ? 1 : 0);
    EXPECT_EQ(link.sent, "+\r");
  }
}

TEST_F(MessageHandlerTest, ControlMessagesAddNoRowAndAreNotAcknowledged) {
  handler.Flags().AckSuppressed = true;
  handler.HandleReaderMessage("+\r");
  EXPECT_FALSE(handler.Flags().AckSuppressed);
  EXPECT_EQ(window.watch_enabled, 1);

  handler.HandleReaderMessage("-\r");
  EXPECT_EQ(window.time_status, "-");
  EXPECT_EQ(window.lamp_shown, 1);

  EXPECT_EQ(table.RowCount(), 2);
  EXPECT_EQ(link.sent, "");
}

TEST_F(MessageHandlerTest, SuppressedAcknowledgementsStillEnterTheMessage) {
  handler.Flags().AckSuppressed = true;
  handler.HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(table.Cell(read_times::kTime, 2), "10:12:34");
  EXPECT_EQ(link.sent, "");
  handler.HandleReaderMessage("+\r");
  handler.HandleReaderMessage("A01001235012:35.000\r");
  EXPECT_EQ(link.sent, "+\r");
}

TEST_F(MessageHandlerTest, BadNulltimeDropsOneMessageAndResetsTheField) {
  window.nulltime = "25:00:00";
  handler.HandleReaderMessage("+\r");
  EXPECT_EQ(dialog.shown, std::vector<std::string>{"Wrong time format. Time format is reset to 00:00:00"});
  EXPECT_EQ(window.nulltime, "00:00:00");
  EXPECT_EQ(window.watch_enabled, 0);

  handler.HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(dialog.shown.size(), 1u);
  EXPECT_EQ(table.Cell(read_times::kTime, 2), "00:12:34");
  EXPECT_EQ(link.sent, "+\r");
}

TEST_F(MessageHandlerTest, LogLinesFollowTheirBoxes) {
  window.chronex = false;
  handler.HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(chronex_lines, 0);
  EXPECT_EQ(bfg_lines, 1);
}

TEST_F(MessageHandlerTest, AppendingWhileGroupedKeepsEveryValueInItsColumn) {
  handler.HandleReaderMessage("A01000001001:00.000\r");
  handler.HandleReaderMessage("D00000000002:00.000\r");
  ReadTimesHeaderRightClick(table, 0, read_times::kText);
  ASSERT_TRUE(table.IsGrouped());

  handler.HandleReaderMessage("A01000003003:00.000\r");

  ASSERT_FALSE(table.IsGrouped());
  ASSERT_EQ(table.ColCount(), read_times::kColumnCount);
  const int last = table.RowCount() - 1;
  EXPECT_EQ(Row(last), (std::vector<std::string>{"3", "3", "Time", "003:00.000", "10:03:00", "A01000003003:00.000\r"}));
  // The rows that were grouped have their kind names back.
  int time_rows = 0, sync_rows = 0;
  for (int row = 1; row < table.RowCount(); ++row) {
    time_rows += table.Cell(read_times::kText, row) == "Time";
    sync_rows += table.Cell(read_times::kText, row) == "Sync";
  }
  EXPECT_EQ(time_rows, 2);
  EXPECT_EQ(sync_rows, 1);
}

TEST_F(MessageHandlerTest, BadInputNeverCrashes) {
  std::string noise;
  for (int i = 0; i < 256; ++i) noise += static_cast<char>(i);
  const std::string messages[] = {
      "",
      std::string(10000, 'A') + "\r",
      // Split after the NULs: "\0012" would be read as the octal escape \001 and a '2'.
      std::string("A01\0\0\0\0\0\0" "012:34.567\r", 20),
      std::string(20, '\xFF') + "\r",
      noise,
      "A01$FFFFF$FF:$F.$FF\r",
      "A0199999999999999999999\r",
  };
  for (const auto& message : messages) handler.HandleReaderMessage(message);
  EXPECT_EQ(table.RowCount(), 2 + static_cast<int>(std::size(messages)));
  EXPECT_EQ(link.sent.size(), 2 * std::size(messages));
  EXPECT_EQ(table.Cell(read_times::kStartNumber, 7), "1048575");
  EXPECT_EQ(table.Cell(read_times::kTime, 7), "14:15:15");  // 255 minutes, 15 s, 255 ms
}

}  // namespace
}  // namespace ln40
