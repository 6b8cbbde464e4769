#include "timing/resend_request.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "text/error.h"
#include "timing/read_times_table.h"

namespace ln40 {
namespace {

using testing::FakeDialog;
using testing::FakeLink;
using testing::FakeReaderWindow;

class FakeInput : public InputDialog {
 public:
  bool confirm = true;
  std::string answer;  // empty: keep the preset
  std::string caption, prompt, preset;
  bool InputQuery(const std::string& c, const std::string& p, std::string& value) override {
    caption = c;
    prompt = p;
    preset = value;
    if (!answer.empty()) value = answer;
    return confirm;
  }
};

TEST(PadNumber, PadsWithZerosBeforeTheSign) {
  EXPECT_EQ(PadNumber(25, 4), "0025");
  EXPECT_EQ(PadNumber(12345, 4), "12345");
  EXPECT_EQ(PadNumber(0, 4), "0000");
  EXPECT_EQ(PadNumber(-5, 4), "00-5");
}

TEST(RequestResend, SendsTheRequestBytes) {
  const struct {
    const char* answer;
    const char* sent;
  } cases[] = {{"", "+\r!-9999\r"}, {"25", "+\r!-0025\r"}, {"12345", "+\r!-12345\r"},
               {"0", "+\r!-0000\r"}, {"-5", "+\r!-00-5\r"}, {" 7", "+\r!-0007\r"}};
  for (const auto& c : cases) {
    FakeInput input;
    input.answer = c.answer;
    FakeLink link;
    DecoderFlags flags;
    FakeReaderWindow window;
    RequestResend(input, link, flags, window);
    EXPECT_EQ(link.sent, c.sent) << c.answer;
    EXPECT_TRUE(flags.AckSuppressed);
    EXPECT_EQ(window.watch_enabled, -1);  // the watch rests
    EXPECT_EQ(input.caption, "Spool data again");
    EXPECT_EQ(input.prompt, "Number og messages");
    EXPECT_EQ(input.preset, "9999");
  }
}

TEST(RequestResend, NotANumberSendsNothingAndStillSuppresses) {
  FakeInput input;
  input.answer = "many";
  FakeLink link;
  DecoderFlags flags;
  FakeReaderWindow window;
  try {
    RequestResend(input, link, flags, window);
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "'many' is not a valid integer value");
  }
  EXPECT_EQ(link.sent, "");
  EXPECT_TRUE(flags.AckSuppressed);
  EXPECT_EQ(window.watch_enabled, 0);
}

TEST(RequestResend, CancelSendsNothingButHoldsAcknowledgementsUntilThePlus) {
  TGridTable table;
  SetUpReadTimesTable(table);
  FakeReaderWindow window;
  FakeDialog dialog;
  FakeLink link;
  FixedClock clock(46364.5);
  TReaderMessageHandler handler(table, window, dialog, link, clock, Locale::WorkedExample());
  FakeInput input;
  input.confirm = false;

  RequestResend(input, link, handler.Flags(), window);
  EXPECT_EQ(link.sent, "");
  handler.HandleReaderMessage("A01001234012:34.567\r");
  EXPECT_EQ(link.sent, "");
  EXPECT_EQ(table.RowCount(), 3);
  handler.HandleReaderMessage("+\r");
  handler.HandleReaderMessage("A01001235012:35.000\r");
  EXPECT_EQ(link.sent, "+\r");
}

}  // namespace
}  // namespace ln40
