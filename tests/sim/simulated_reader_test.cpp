#include "simulated_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ln40::sim {
namespace {

using namespace std::chrono_literals;

ReaderSettings DefaultSettings() {
  ReaderSettings settings;
  settings.ack_timeout = 1000ms;
  settings.settle = 30ms;
  return settings;
}

// The reader on a line whose bytes leave at once, with a clock the test moves by hand.
class Line {
 public:
  explicit Line(std::vector<std::string> messages, ReaderSettings settings = DefaultSettings(), double rate = 0)
      : reader(std::make_unique<MessageList>(std::move(messages), rate), settings) {}

  // Every frame the reader puts on the line now, each written completely at once.
  std::vector<Frame> TakeFrames() {
    std::vector<Frame> frames;
    while (auto frame = reader.NextFrame(now)) {
      reader.FrameSent(now);
      frames.push_back(std::move(*frame));
    }
    return frames;
  }
  std::string Take() {
    std::string bytes;
    for (const Frame& frame : TakeFrames()) bytes += frame.bytes;
    return bytes;
  }
  void Send(std::string_view bytes) { reader.Receive(bytes, now); }
  void Wait(Millis d) { now += d; }
  // Acknowledges the waiting message the way the program does, and lets the line go quiet.
  void Acknowledge() {
    Send("+\r");
    Wait(30ms);
  }

  SimulatedReader reader;
  Millis now{0};
};

TEST(SimulatedReader, SendsOneMessageAtATimeAndWaitsForItsAcknowledgement) {
  Line line({"A01000001000:01.000", "B01000002000:02.000", "D01000003000:03.000"});
  EXPECT_EQ(line.Take(), "A01000001000:01.000\r");
  EXPECT_EQ(line.Take(), "");
  line.Send("+\r");
  EXPECT_EQ(line.Take(), "") << "a \"+\" may still be the start of a re-send request";
  line.Wait(29ms);
  EXPECT_EQ(line.Take(), "");
  line.Wait(1ms);
  EXPECT_EQ(line.Take(), "B01000002000:02.000\r");
  EXPECT_FALSE(line.reader.Done());
  line.Acknowledge();
  EXPECT_EQ(line.Take(), "D01000003000:03.000\r");
  line.Acknowledge();
  EXPECT_EQ(line.Take(), "");
  EXPECT_TRUE(line.reader.Done());
  EXPECT_EQ(line.reader.Stats().sent, 3);
  EXPECT_EQ(line.reader.Stats().acknowledged, 3);
  EXPECT_EQ(line.reader.Stats().retried, 0);
  EXPECT_EQ(line.reader.Memory(), (std::vector<std::string>{"A01000001000:01.000", "B01000002000:02.000",
                                                            "D01000003000:03.000"}));
}

TEST(SimulatedReader, SendsTheWaitingMessageAgainUntilItIsAcknowledged) {
  Line line({"m1", "m2"});
  ASSERT_EQ(line.Take(), "m1\r");
  line.Wait(999ms);
  EXPECT_EQ(line.Take(), "");
  EXPECT_EQ(line.reader.NextWakeUp(line.now), 1000ms);
  line.Wait(1ms);
  const std::vector<Frame> again = line.TakeFrames();
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0].kind, FrameKind::kRetry);
  EXPECT_EQ(again[0].bytes, "m1\r");
  for (int i = 0; i < 5; ++i) {  // it never gives up
    line.Wait(1000ms);
    EXPECT_EQ(line.Take(), "m1\r");
  }
  line.Acknowledge();
  EXPECT_EQ(line.Take(), "m2\r");
  EXPECT_EQ(line.reader.Stats().retried, 6);
  EXPECT_EQ(line.reader.Stats().sent, 2);
  EXPECT_EQ(line.reader.Stats().acknowledged, 1);
}

// How the bytes that follow a message are taken. Each row: what arrives (chunks with the
// time passing before each), whether the message counts as acknowledged, and what the
// reader puts on the line right after.
TEST(SimulatedReader, TellsAcknowledgementsFromTheStartOfARequest) {
  struct Chunk {
    Millis after;
    const char* bytes;
  };
  const struct {
    const char* name;
    std::vector<Chunk> input;
    bool acknowledged;
    const char* then;
  } cases[] = {
      {"plus, then quiet", {{0ms, "+\r"}, {30ms, ""}}, true, "m2\r"},
      {"plus split over two reads", {{0ms, "+"}, {5ms, "\r"}, {30ms, ""}}, true, "m2\r"},
      {"line feed before the plus", {{0ms, "\n+\r"}, {30ms, ""}}, true, "m2\r"},
      {"plus, then a probe", {{0ms, "+\r?\r"}}, true, "-\rm2\r"},
      {"two pluses", {{0ms, "+\r+\r"}, {30ms, ""}}, true, "m2\r"},
      {"request right after the plus", {{0ms, "+\r!-0001\r"}}, false, "m1\r+\rm1\r"},
      {"request bytes arriving slowly", {{0ms, "+\r"}, {20ms, "!-0"}, {20ms, "00"}, {20ms, "1\r"}}, false,
       "m1\r+\rm1\r"},
      {"plus, quiet, then a request", {{0ms, "+\r"}, {30ms, ""}, {10ms, "!-0001\r"}}, true, "m2\rm2\r+\rm2\r"},
      {"a longer line holding a plus", {{0ms, "x+\r"}, {30ms, ""}}, false, ""},
      {"minus", {{0ms, "-\r"}, {30ms, ""}}, false, ""},
  };
  for (const auto& c : cases) {
    Line line({"m1", "m2"});
    ASSERT_EQ(line.Take(), "m1\r");
    std::string out;
    for (const Chunk& chunk : c.input) {
      line.Wait(chunk.after);
      line.Send(chunk.bytes);
      out += line.Take();
    }
    EXPECT_EQ(line.reader.Stats().acknowledged, c.acknowledged ? 1 : 0) << c.name;
    EXPECT_EQ(out, c.then) << c.name;
  }
}

TEST(SimulatedReader, PlusBeforeTheMessageHasGoneOutAcknowledgesNothing) {
  Line line({"m1", "m2"});
  // The message is on its way out when a "+" arrives: that "+" answers something older.
  auto frame = line.reader.NextFrame(line.now);
  ASSERT_TRUE(frame);
  line.Wait(5ms);
  line.Send("+\r");
  line.Wait(10ms);
  line.reader.FrameSent(line.now);
  line.Wait(30ms);
  EXPECT_EQ(line.Take(), "");
  EXPECT_EQ(line.reader.Stats().acknowledged, 0);
  EXPECT_EQ(line.reader.Stats().stray_acks, 1);
  EXPECT_EQ(line.reader.Waiting(), "m1");

  // A "+" that arrives while the message is going out a second time does acknowledge it:
  // its first copy had gone out completely.
  line.Wait(1000ms);
  frame = line.reader.NextFrame(line.now);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->kind, FrameKind::kRetry);
  line.Send("+\r");
  line.reader.FrameSent(line.now);
  line.Wait(30ms);
  EXPECT_EQ(line.Take(), "m2\r");
  EXPECT_EQ(line.reader.Stats().acknowledged, 1);
}

TEST(SimulatedReader, PlusWithNothingWaitingChangesNothing) {
  Line line({"m1", "m2"});
  ASSERT_EQ(line.Take(), "m1\r");
  line.Acknowledge();
  ASSERT_EQ(line.Take(), "m2\r");
  line.Acknowledge();
  line.Acknowledge();  // nothing waits now
  EXPECT_EQ(line.Take(), "");
  EXPECT_EQ(line.reader.Stats().acknowledged, 2);
  EXPECT_EQ(line.reader.Stats().stray_acks, 1);
  EXPECT_TRUE(line.reader.Done());
}

TEST(SimulatedReader, AnswersTheProbeBetweenFrames) {
  Line line({"m1"});
  line.Send("?\r");
  EXPECT_EQ(line.Take(), "-\rm1\r") << "the answer goes ahead of a new message";

  line.Wait(1000ms);
  auto frame = line.reader.NextFrame(line.now);  // m1 again, on its way out
  ASSERT_TRUE(frame);
  line.Send("?\r");
  EXPECT_FALSE(line.reader.NextFrame(line.now)) << "never inside a frame";
  line.reader.FrameSent(line.now);
  frame = line.reader.NextFrame(line.now);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->kind, FrameKind::kProbeAnswer);
  EXPECT_EQ(frame->bytes, "-\r");
  line.reader.FrameSent(line.now);
  EXPECT_EQ(line.reader.Stats().probes_answered, 2);
  EXPECT_EQ(line.reader.Stats().unknown_lines, 0);
}

// Each row: how many of five messages were sent and acknowledged, the request's count text,
// and which messages come again before the closing "+\r".
TEST(SimulatedReader, AnswersTheResendRequestWithItsLastMessages) {
  const struct {
    int sent;
    const char* count;
    std::vector<int> again;
  } cases[] = {
      {5, "0003", {3, 4, 5}},
      {5, "0005", {1, 2, 3, 4, 5}},
      {5, "9999", {1, 2, 3, 4, 5}},
      {5, "12345", {1, 2, 3, 4, 5}},
      {5, "99999999999999999999999", {1, 2, 3, 4, 5}},
      {5, "0001", {5}},
      {5, "0000", {}},
      {5, "00-5", {}},  // the program pads a negative count this way
      {5, "", {}},
      {5, "12x", {}},
      {0, "0002", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> messages;
    for (int i = 1; i <= 5; ++i) messages.push_back("m" + std::to_string(i));
    Line line(messages);
    for (int i = 0; i < c.sent; ++i) {
      ASSERT_EQ(line.Take(), messages[i] + "\r");
      line.Acknowledge();
    }
    line.Send(std::string("+\r!-") + c.count + "\r");
    std::string expected;
    for (int i : c.again) expected += "m" + std::to_string(i) + "\r";
    expected += "+\r";
    const std::vector<Frame> frames = line.TakeFrames();
    std::string out;
    for (const Frame& frame : frames) out += frame.bytes;
    // With nothing sent yet, the first message follows the answer.
    EXPECT_EQ(out, c.sent == 0 ? expected + "m1\r" : expected) << c.count;
    for (std::size_t i = 0; i < c.again.size() && i < frames.size(); ++i) {
      EXPECT_EQ(frames[i].kind, FrameKind::kResend) << c.count;
    }
    EXPECT_EQ(line.reader.Stats().acknowledged, c.sent) << c.count;
    EXPECT_EQ(line.reader.Stats().resent, static_cast<std::int64_t>(c.again.size())) << c.count;
    EXPECT_EQ(line.reader.Stats().resend_requests, 1) << c.count;
  }
}

TEST(SimulatedReader, MessageWaitingDuringARequestIsSentAgainAfterIt) {
  Line line({"m1", "m2", "m3", "m4"});
  ASSERT_EQ(line.Take(), "m1\r");
  line.Acknowledge();
  ASSERT_EQ(line.Take(), "m2\r");
  line.Acknowledge();
  ASSERT_EQ(line.Take(), "m3\r");
  line.Send("+\r!-0002\r");
  const std::vector<Frame> frames = line.TakeFrames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames[0].bytes, "m2\r");
  EXPECT_EQ(frames[1].bytes, "m3\r");
  EXPECT_EQ(frames[2].kind, FrameKind::kResendEnd);
  EXPECT_EQ(frames[2].bytes, "+\r");
  EXPECT_EQ(frames[3].kind, FrameKind::kRetry);
  EXPECT_EQ(frames[3].bytes, "m3\r");
  EXPECT_EQ(line.reader.Stats().acknowledged, 2);
  line.Acknowledge();
  EXPECT_EQ(line.Take(), "m4\r");
}

TEST(SimulatedReader, RequestArrivingDuringARequestIsAnsweredAfterIt) {
  Line line({"m1", "m2"});
  ASSERT_EQ(line.Take(), "m1\r");
  line.Acknowledge();
  ASSERT_EQ(line.Take(), "m2\r");
  line.Acknowledge();
  line.Send("+\r!-0002\r");
  auto frame = line.reader.NextFrame(line.now);  // m1 on its way out
  ASSERT_TRUE(frame);
  line.Send("+\r!-0001\r?\r");
  line.reader.FrameSent(line.now);
  EXPECT_EQ(line.Take(), "-\rm2\r+\rm2\r+\r");
  EXPECT_TRUE(line.reader.Done());
}

TEST(SimulatedReader, SendsNothingBeforeItIsDue) {
  Line line({"m1", "m2", "m3"}, DefaultSettings(), 2);  // due at 0, 500 and 1000 ms
  ASSERT_EQ(line.Take(), "m1\r");
  line.Acknowledge();
  EXPECT_EQ(line.Take(), "");
  EXPECT_EQ(line.reader.NextWakeUp(line.now), 500ms);
  line.Wait(470ms);
  EXPECT_EQ(line.Take(), "m2\r");
  line.Wait(2000ms);  // late acknowledgement after a retry: m3 is overdue and goes at once
  line.Take();
  line.Acknowledge();
  EXPECT_EQ(line.Take(), "m3\r");
}

TEST(SimulatedReader, WaitsForTheProgramWhenAskedTo) {
  ReaderSettings settings = DefaultSettings();
  settings.wait_for_program = true;
  Line line({"m1"}, settings);
  EXPECT_EQ(line.Take(), "");
  EXPECT_EQ(line.reader.NextWakeUp(line.now), std::nullopt);
  line.Send("?\r");
  EXPECT_EQ(line.Take(), "-\rm1\r");
}

TEST(SimulatedReader, IsIdleOnlyWhenAPulledCableWouldLoseNothing) {
  ReaderSettings settings = DefaultSettings();
  settings.wait_for_program = true;
  Line line({"m1", "m2"}, settings);
  EXPECT_TRUE(line.reader.Idle());
  line.Send("?");
  EXPECT_FALSE(line.reader.Idle()) << "half a line from the program";
  line.Send("\r");
  EXPECT_FALSE(line.reader.Idle()) << "the probe's answer is queued";
  ASSERT_TRUE(line.reader.NextFrame(line.now));
  EXPECT_FALSE(line.reader.Idle()) << "a frame is on its way out";
  line.reader.FrameSent(line.now);
  EXPECT_EQ(line.Take(), "m1\r");
  EXPECT_FALSE(line.reader.Idle()) << "m1 waits for its acknowledgement";
  line.Acknowledge();
  line.reader.Advance(line.now);  // the "+" settles into an acknowledgement
  EXPECT_TRUE(line.reader.Idle());

  // A new line: nothing goes out before the program is heard on it.
  line.reader.LineReplaced();
  EXPECT_EQ(line.Take(), "");
  line.Send("?\r");
  EXPECT_EQ(line.Take(), "-\rm2\r");
}

TEST(SimulatedReader, NoiseGoesBetweenMessagesAndLeavesThemWhole) {
  ReaderSettings settings = DefaultSettings();
  settings.noise_rate = 1;
  Line line({"m1", "m2"}, settings);
  std::vector<Frame> frames = line.TakeFrames();
  ASSERT_EQ(frames.size(), 1u);
  const Frame noise = frames[0];
  EXPECT_EQ(noise.kind, FrameKind::kNoise);
  ASSERT_GE(noise.bytes.size(), 2u);
  ASSERT_LE(noise.bytes.size(), 9u);
  EXPECT_EQ(noise.bytes.back(), '\r');
  for (std::size_t i = 0; i + 1 < noise.bytes.size(); ++i) {
    EXPECT_TRUE(noise.bytes[i] > ' ' && noise.bytes[i] <= '~') << static_cast<int>(noise.bytes[i]);
  }
  // The program takes the noise for a message and acknowledges it; that "+" must not count
  // for the message that follows.
  line.Send("+\r");
  line.Wait(30ms);
  EXPECT_EQ(line.Take(), "m1\r");
  EXPECT_EQ(line.reader.Stats().stray_acks, 1);
  line.Acknowledge();
  frames = line.TakeFrames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].kind, FrameKind::kNoise);
  line.Wait(30ms);
  EXPECT_EQ(line.Take(), "m2\r");
  EXPECT_EQ(line.reader.Memory(), (std::vector<std::string>{"m1", "m2"}));
  EXPECT_EQ(line.reader.Stats().noise_frames, 2);
}

TEST(SimulatedReader, IgnoresLinesItDoesNotKnow) {
  Line line({"m1"});
  ASSERT_EQ(line.Take(), "m1\r");
  line.Send("hello\r\r" + std::string(1000, 'x') + "\r");
  line.Wait(1000ms);
  EXPECT_EQ(line.Take(), "m1\r");
  EXPECT_GE(line.reader.Stats().unknown_lines, 3);
  EXPECT_EQ(line.reader.Stats().acknowledged, 0);
}

}  // namespace
}  // namespace ln40::sim
