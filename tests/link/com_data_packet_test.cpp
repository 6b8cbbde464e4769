#include "link/com_data_packet.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

namespace ln40 {
namespace {

struct Recorder {
  std::vector<std::string> packets;
  std::vector<std::string> discarded;
  void Attach(TComDataPacket& framer) {
    framer.OnPacket = [this](const std::string& p) { packets.push_back(p); };
    framer.OnDiscard = [this](const std::string& d) { discarded.push_back(d); };
  }
};

// The reader's settings: cut at every CR, CR kept, unframed data dropped at 10240 bytes.
TComDataPacket ReaderFramer() {
  TComDataPacket framer;
  framer.IncludeStrings = true;
  framer.MaxBufferSize = 10240;
  framer.SetStopString("\r");
  return framer;
}

TEST(ComDataPacket, CutsTheReaderStream) {
  const struct {
    const char* name;
    std::vector<std::string> blocks;
    std::vector<std::string> packets;
    std::string left;
  } cases[] = {
      {"two lines in one block", {"A1\rB2\r"}, {"A1\r", "B2\r"}, ""},
      {"split over three blocks", {"A01", "0012", "34\rx"}, {"A01001234\r"}, "x"},
      {"CR alone", {"\r"}, {"\r"}, ""},
      {"CR LF endings", {"a\r\nb\r\n"}, {"a\r", "\nb\r"}, "\n"},
      {"NUL is ordinary", {std::string("a\0b\r", 4)}, {std::string("a\0b\r", 4)}, ""},
      {"just under the limit", {std::string(10239, 'x'), "\r"}, {std::string(10239, 'x') + "\r"}, ""},
      {"at the limit", {std::string(10240, 'x'), "ab\r"}, {"ab\r"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TComDataPacket framer = ReaderFramer();
    Recorder recorder;
    recorder.Attach(framer);
    for (const auto& block : c.blocks) framer.Feed(block);
    EXPECT_EQ(recorder.packets, c.packets);
    EXPECT_EQ(framer.Buffer(), c.left);
  }
}

TEST(ComDataPacket, OtherSettings) {
  {
    TComDataPacket framer;
    Recorder recorder;
    recorder.Attach(framer);
    framer.SetStartString("ST");
    framer.SetStopString("SP");
    framer.Feed("xxSTabcSPyy");
    EXPECT_EQ(recorder.discarded, std::vector<std::string>{"xx"});
    EXPECT_EQ(recorder.packets, std::vector<std::string>{"abc"});
    EXPECT_EQ(framer.Buffer(), "yy");
    framer.SetStopString("SP");  // the same value keeps the buffer
    EXPECT_EQ(framer.Buffer(), "yy");
    framer.SetStopString("X");  // another drops it
    EXPECT_EQ(recorder.discarded.back(), "yy");
    EXPECT_FALSE(framer.PacketOpen());
  }
  {
    TComDataPacket framer;
    Recorder recorder;
    recorder.Attach(framer);
    framer.SetSize(4);
    framer.Feed("abcdefghij");
    EXPECT_EQ(recorder.packets, (std::vector<std::string>{"abcd", "efgh"}));
    EXPECT_EQ(framer.Buffer(), "ij");
  }
  for (const bool include : {false, true}) {
    TComDataPacket framer;
    Recorder recorder;
    recorder.Attach(framer);
    framer.IncludeStrings = include;
    framer.SetCaseInsensitive(true);
    framer.SetStopString("end");
    framer.Feed("xEND");
    EXPECT_EQ(recorder.packets, std::vector<std::string>{include ? "xEND" : "x"});
  }
  {
    TComDataPacket framer;
    Recorder recorder;
    recorder.Attach(framer);
    framer.Feed("one");
    framer.Feed("two");
    EXPECT_EQ(recorder.packets, (std::vector<std::string>{"one", "two"}));
  }
}

TEST(ComDataPacket, ChangingTheStopStringInAHandlerDropsOnlyWhatIsNotCut) {
  TComDataPacket framer = ReaderFramer();
  Recorder recorder;
  recorder.Attach(framer);
  framer.OnPacket = [&](const std::string& packet) {
    recorder.packets.push_back(packet);
    framer.SetStopString("|");
  };
  framer.Feed("a\rb\rc|d");
  EXPECT_EQ(recorder.packets, std::vector<std::string>{"a\r"});
  EXPECT_EQ(recorder.discarded, std::vector<std::string>{"b\rc|d"});
  EXPECT_EQ(framer.Buffer(), "");
  framer.Feed("e|");
  EXPECT_EQ(recorder.packets.back(), "e|");
}

TEST(ComDataPacket, AnyBlockSplitYieldsTheSamePackets) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 200; ++round) {
    std::vector<std::string> messages;
    std::string stream;
    const int count = 1 + static_cast<int>(random() % 30);
    for (int i = 0; i < count; ++i) {
      std::string message;
      const int length = static_cast<int>(random() % 40);
      for (int j = 0; j < length; ++j) {
        char c = static_cast<char>(random() % 256);
        if (c == '\r') c = 'r';
        message += c;
      }
      message += '\r';
      messages.push_back(message);
      stream += message;
    }
    TComDataPacket framer = ReaderFramer();
    Recorder recorder;
    recorder.Attach(framer);
    size_t pos = 0;
    while (pos < stream.size()) {
      const size_t length = 1 + random() % 50;
      framer.Feed(stream.substr(pos, length));
      pos += length;
    }
    ASSERT_EQ(recorder.packets, messages) << "round " << round;
  }
}

TEST(ComDataPacket, AFailingHandlerNeverStopsTheLinesAfterIt) {
  TComDataPacket framer = ReaderFramer();
  std::vector<std::string> handled;
  framer.OnPacket = [&](const std::string& packet) {
    if (packet == "bad\r") throw std::runtime_error("ack failed");
    handled.push_back(packet);
  };
  std::vector<std::string> reported;
  framer.FeedReportingErrors("one\rbad\rtwo\rbad\rthree\r",
                             [&](const std::exception& error) { reported.push_back(error.what()); });
  EXPECT_EQ(handled, (std::vector<std::string>{"one\r", "two\r", "three\r"}));
  EXPECT_EQ(reported.size(), 2u);

  // The plain Feed passes the error on and keeps the rest for the next block.
  EXPECT_THROW(framer.Feed("bad\rfour\r"), std::runtime_error);
  framer.Feed("");
  EXPECT_EQ(handled.back(), "four\r");
}

}  // namespace
}  // namespace ln40
