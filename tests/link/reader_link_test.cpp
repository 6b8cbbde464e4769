// The first line after the port opens: a line only when it was received whole.
#include "link/reader_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "link/event_loop.h"
#include "pty_reader.h"

namespace ln40 {
namespace {

using namespace std::chrono_literals;
using testing::kCharacterTime;
using testing::PtyReader;
using testing::RunUntil;

const std::chrono::nanoseconds kChar = CharacterTime(ComPortSettings{});  // 1200 baud 8N1

TEST(ReaderLink, TheFirstBlockCameOnAQuietLineOnlyWhenItCannotHaveBegunAtOrBeforeTheOpen) {
  struct Case {
    const char* what;
    std::chrono::nanoseconds after_open;
    size_t bytes;
    bool quiet;
  };
  const Case cases[] = {
      {"a byte at the open", 0ns, 1, false},
      {"a byte that could have begun right at the open", 2 * kChar - 1ns, 1, false},
      {"a byte after a character time of quiet", 2 * kChar, 1, true},
      {"a message's 20 bytes in one block after 100 ms", 100ms, 20, false},
      {"the same block after its time and a character of quiet", 21 * kChar, 20, true},
      {"an adapter's chunk of 62 bytes after 300 ms", 300ms, 62, false},
      {"a probe answer long after the open", 500ms, 2, true},
  };
  for (const Case& c : cases) EXPECT_EQ(CameOnAQuietLine(c.after_open, c.bytes, kChar), c.quiet) << c.what;
}

TEST(ReaderLink, AFirstLineMustBeginAsTheReaderBeginsALine) {
  struct Case {
    std::string line;
    bool begins;
  };
  const Case cases[] = {
      {"A01000123012:34.567\r", true},  // a data message: its kind letter
      {"F00000000010:00.000\r", true},
      {"+\r", true},                    // the reader's control lines, whole
      {"-\r", true},
      {"a01000123012:34.567\r", false},  // lower case
      {"01000123012:34.567\r", false},   // the tail after the kind letter
      {"4.567\r", false},
      {"\r", false},  // the CR alone
      {"+5\r", false},
      {"-0\r", false},
      {"?\r", false},
  };
  for (const Case& c : cases) EXPECT_EQ(BeginsAsAReaderLine(c.line), c.begins) << c.line;
}

// A data message as the reader sends it, with 120 digits more: about 1.2 s on the line.
const std::string kLongMessage = "A01000123012:34.567" + std::string(120, '7') + "\r";

struct OpenCase {
  const char* what;
  std::string message;
  int open_at;            // bytes of the first sending before the port opens; -1: the port opens first
  bool at_once;           // the first sending in one write instead of a byte a character time
  std::string fragment;   // what must go to OnFragment, "" for nothing
};

// The test plays the reader on a pseudo-terminal at the real pace, one byte a character
// time, and sends a data message again whole when no acknowledgement comes within a second.
// The port opens at a given byte of the first sending. Whatever the open cut off must not be
// acknowledged, and the message must then come to OnPacket once, whole.
TEST(ReaderLink, APortOpenedInTheMiddleOfAMessageGetsTheTailAsAFragmentAndTheMessageWhenSentAgain) {
  const OpenCase cases[] = {
      {"the port opens first; the line is quiet", kLongMessage, -1, false, ""},
      {"the probe answer on a quiet line", "-\r", -1, false, ""},
      {"after the first byte", kLongMessage, 1, false, kLongMessage.substr(1)},
      {"in the middle", kLongMessage, 70, false, kLongMessage.substr(70)},
      {"just before the CR", kLongMessage, static_cast<int>(kLongMessage.size()) - 1, false, "\r"},
      {"the whole message in one block right after the open", kLongMessage, 0, true, kLongMessage},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.what);
    PtyReader pty;
    TEventLoop loop;
    TReaderLink link(loop);
    std::vector<std::string> packets, fragments;
    link.OnPacket = [&](const std::string& packet) {
      packets.push_back(packet);
      if (packet != "-\r") link.SendText("+\r");
    };
    link.OnFragment = [&](const std::string& bytes) { fragments.push_back(bytes); };
    link.SetPort(pty.Path());
    // While the port is closed the line needs a holder, or the terminal would hang up.
    const int holder = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);

    std::atomic<bool> open_now{false}, opened{false}, finished{false};
    int sendings = 0;
    std::string acknowledgements;
    std::thread reader([&] {
      const auto open_port = [&] {
        open_now = true;
        for (int waited = 0; !opened && waited < 5000; ++waited) std::this_thread::sleep_for(1ms);
      };
      if (c.open_at < 0) {
        open_port();
        std::this_thread::sleep_for(300ms);
      }
      const bool acknowledged = c.message != "-\r";
      for (sendings = 1; sendings <= 3; ++sendings) {
        size_t from = 0;
        if (sendings == 1 && c.open_at >= 0) {
          // What went out before the open reached nobody; it is written at once.
          pty.Write(c.message.substr(0, static_cast<size_t>(c.open_at)));
          open_port();
          from = static_cast<size_t>(c.open_at);  // the reader is in the middle: no pause
        }
        auto next = std::chrono::steady_clock::now();
        for (size_t i = from; i < c.message.size(); ++i) {
          if (sendings == 1 && c.at_once) {
            pty.Write(c.message.substr(i));
            break;
          }
          std::this_thread::sleep_until(next);
          pty.Write(c.message.substr(i, 1));
          next += kCharacterTime;
        }
        if (!acknowledged || pty.ReceiveUntil(acknowledgements, "+\r", 1000ms)) break;
      }
      finished = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!finished && std::chrono::steady_clock::now() < deadline) {
      loop.RunFor(5ms);
      if (open_now && !opened) {
        link.SetConnected(true);
        opened = true;
      }
    }
    reader.join();
    EXPECT_TRUE(RunUntil(loop, [&] { return !packets.empty(); }));
    link.SetConnected(false);
    ::close(holder);

    EXPECT_EQ(fragments, c.fragment.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.fragment});
    EXPECT_EQ(packets, std::vector<std::string>{c.message});
    // A fragment is never acknowledged: the reader sent its message a second time.
    EXPECT_EQ(sendings, c.fragment.empty() ? 1 : 2);
    if (c.message != "-\r") {
      EXPECT_EQ(acknowledgements, "+\r");
    }
  }
}

TEST(ReaderLink, OnlyTheFirstLineAfterEachOpenIsJudged) {
  PtyReader pty;
  TEventLoop loop;
  TReaderLink link(loop);
  std::vector<std::string> packets, fragments;
  link.OnPacket = [&](const std::string& packet) { packets.push_back(packet); };
  link.OnFragment = [&](const std::string& bytes) { fragments.push_back(bytes); };
  link.SetPort(pty.Path());
  for (int open = 0; open < 2; ++open) {
    link.SetConnected(true);
    // The tail of a message first: the lines after it are handled whatever they begin with.
    pty.Write("8000:20.500\r12\r-\r");
    ASSERT_TRUE(RunUntil(loop, [&] { return packets.size() == 2u * (open + 1); }));
    link.SetConnected(false);
  }
  EXPECT_EQ(fragments, (std::vector<std::string>{"8000:20.500\r", "8000:20.500\r"}));
  EXPECT_EQ(packets, (std::vector<std::string>{"12\r", "-\r", "12\r", "-\r"}));
}

}  // namespace
}  // namespace ln40
