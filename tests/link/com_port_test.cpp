#include "link/com_port.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <chrono>
#include <filesystem>
#include <thread>

#include "link/event_loop.h"
#include "link/reader_link.h"
#include "link_fakes.h"
#include "pty_reader.h"

namespace ln40 {
namespace {

using namespace std::chrono_literals;

using testing::PtyReader;
using testing::RunUntil;

TEST(ComPort, ACharacterTakesItsStartDataParityAndStopBits) {
  struct Case {
    int baud, custom, data_bits;
    ComParity parity;
    ComStopBits stop_bits;
    int64_t nanoseconds;
  };
  const Case cases[] = {
      {1200, 0, 8, ComParity::None, ComStopBits::One, 8'333'333},        // the reader's line, 10 bits
      {1200, 0, 7, ComParity::Even, ComStopBits::Two, 9'166'666},        // 11 bits
      {9600, 0, 8, ComParity::Mark, ComStopBits::OneAndHalf, 1'197'916}, // 11.5 bits
      {0, 2400, 8, ComParity::None, ComStopBits::One, 4'166'666},        // the custom rate
      {0, 0, 8, ComParity::None, ComStopBits::One, 90'909'090},          // no rate: the slowest offered
  };
  for (const Case& c : cases) {
    ComPortSettings settings;
    settings.baudRate = c.baud;
    settings.customBaudRate = c.custom;
    settings.dataBits = c.data_bits;
    settings.parity = c.parity;
    settings.stopBits = c.stop_bits;
    EXPECT_EQ(CharacterTime(settings).count(), c.nanoseconds) << c.baud << " " << c.custom << " " << c.data_bits;
  }
}

// The first line of an error's text, what the user reads; the detail line after it.
std::string Summary(const std::string& text) { return text.substr(0, text.find('\n')); }
std::string Detail(const std::string& text) {
  const size_t end = text.find('\n');
  return end == std::string::npos ? std::string() : text.substr(end + 1);
}

TEST(ComPort, OpeningAMissingDeviceSaysWhatLinuxSaidAndWhatToDo) {
  TEventLoop loop;
  TComPort port(loop);
  int before_open = 0;
  port.OnBeforeOpen = [&] { ++before_open; };
  port.SetPort("/dev/ln40-no-such-port");
  try {
    port.SetConnected(true);
    FAIL();
  } catch (const EComPort& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to open com port /dev/ln40-no-such-port: No such file or directory. "
              "Plug the reader in, or choose another port.\n"
              "System call: open(/dev/ln40-no-such-port): ENOENT (errno 2)");
    EXPECT_EQ(error.OsError(), ENOENT);
  }
  EXPECT_EQ(before_open, 1);  // runs even when the open then fails
  EXPECT_FALSE(port.Connected());
  EXPECT_THROW(port.SendText("?\r"), EComPort);
}

// What opening `path` says to a user who may not open the device: a child process that is
// not root (root may open anything) tries it and hands back the error's text.
std::string OpenErrorWithoutPermission(const std::string& path) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    std::string text = "opened";
    const bool dropped = ::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0);
    if (!dropped) text = "could not leave root";
    try {
      TEventLoop loop;
      TComPort port(loop);
      port.SetPort(path);
      if (dropped) port.Open();
    } catch (const std::exception& error) {
      text = error.what();
    }
    [[maybe_unused]] const ssize_t written = ::write(pipe_fds[1], text.data(), text.size());
    ::_exit(0);
  }
  ::close(pipe_fds[1]);
  std::string text;
  char buffer[512];
  ssize_t got = 0;
  while ((got = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(got));
  ::close(pipe_fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return text;
}

TEST(ComPort, ADeviceWithoutPermissionNamesTheDialoutGroup) {
  PtyReader reader;
  ASSERT_EQ(::chmod(reader.Path().c_str(), 0), 0);  // as a device of another group is to the user
  const std::string text = OpenErrorWithoutPermission(reader.Path());
  EXPECT_EQ(Summary(text), "Unable to open com port " + reader.Path() +
                               ": Permission denied. Add yourself to the dialout group "
                               "(sudo adduser $USER dialout) and log in again.");
  EXPECT_EQ(Detail(text), "System call: open(" + reader.Path() + "): EACCES (errno 13)");
}

TEST(ComPort, OpensOnceTakesTheLineExclusivelyAndReopensOnANewName) {
  PtyReader first, second;
  TEventLoop loop;
  TComPort port(loop);
  int before_open = 0, after_open = 0;
  port.OnBeforeOpen = [&] { ++before_open; };
  port.OnAfterOpen = [&] { ++after_open; };
  port.SetPort(first.Path());
  port.SetConnected(true);
  port.SetConnected(true);
  EXPECT_EQ(before_open, 1);
  EXPECT_EQ(after_open, 1);

  TComPort other(loop);
  other.SetPort(first.Path());
  try {
    other.Open();
    FAIL();
  } catch (const EComPort& error) {
    // Held by the open port: its exclusive mode, or (for root) its lock.
    EXPECT_EQ(Summary(error.what()), "Unable to open com port " + first.Path() +
                                         ": Device or resource busy. Another program has the port open: close "
                                         "it, or wait a few seconds if the reader was just plugged in "
                                         "(ModemManager tries a new device for about ten seconds).");
    EXPECT_NE(Detail(error.what()).find("EBUSY (errno 16)"), std::string::npos) << error.what();
  }

  port.SetPort(first.Path());
  EXPECT_EQ(before_open, 1);
  port.SetPort(second.Path());
  EXPECT_EQ(before_open, 2);
  EXPECT_TRUE(port.Connected());
  port.SetConnected(false);
  EXPECT_FALSE(port.Connected());
  other.Open();  // free again
}

TEST(ComPort, LinesReachTheEventThreadAndAcknowledgementsGoBack) {
  PtyReader reader;
  TEventLoop loop;
  TReaderLink link(loop);
  std::vector<std::string> packets;
  std::thread::id handler_thread;
  link.OnPacket = [&](const std::string& packet) {
    packets.push_back(packet);
    handler_thread = std::this_thread::get_id();
    link.SendText("+\r");
  };
  link.SetPort(reader.Path());
  link.SetConnected(true);
  EXPECT_EQ(link.Framer().StopString(), "\r");

  reader.WriteOnQuietLine("A01001234012:34.567\rD000000");
  ASSERT_TRUE(RunUntil(loop, [&] { return packets.size() == 1; }));
  reader.Write("00000:00.000\rF00000000010:00.000\r");
  ASSERT_TRUE(RunUntil(loop, [&] { return packets.size() == 3; }));
  EXPECT_EQ(packets[1], "D00000000000:00.000\r");
  EXPECT_EQ(handler_thread, std::this_thread::get_id());
  EXPECT_EQ(reader.Read(6), "+\r+\r+\r");
}

TEST(ComPort, AFailingHandlerIsReportedOnceAndReceptionGoesOn) {
  PtyReader reader;
  TEventLoop loop;
  TReaderLink link(loop);
  std::vector<std::string> packets, reported;
  link.OnPacket = [&](const std::string& packet) {
    if (packet[0] == 'X') throw EComPort(EComPort::kWrite, EIO, "/dev/ttyUSB0", "write");
    packets.push_back(packet);
  };
  link.OnReceiveError = [&](const std::string& text) { reported.push_back(text); };
  link.SetPort(reader.Path());
  link.SetConnected(true);
  reader.WriteOnQuietLine("X1\rX2\rOK\rX3\r");
  ASSERT_TRUE(RunUntil(loop, [&] { return packets.size() == 1 && reported.size() == 2; }));
  reader.Write("OK2\r");
  ASSERT_TRUE(RunUntil(loop, [&] { return packets.size() == 2; }));
  const std::string failed =
      "WriteFile function failed on /dev/ttyUSB0: Input/output error. The reader was unplugged or lost power: "
      "plug it in again and connect again.\nSystem call: write(/dev/ttyUSB0): EIO (errno 5)";
  EXPECT_EQ(reported, (std::vector<std::string>{failed, failed}));
}

TEST(ComPort, APulledCableFailsTheNextWriteAndCloseStillWorks) {
  auto reader = std::make_unique<PtyReader>();
  const std::string path = reader->Path();
  TEventLoop loop;
  TComPort port(loop);
  std::vector<std::string> reported;
  port.OnReceiveError = [&](const std::string& text) { reported.push_back(text); };
  port.SetPort(path);
  port.Open();
  reader->SetNonBlocking();
  EXPECT_EQ(port.SendText("?\r"), 2u);
  EXPECT_EQ(reader->Read(2), "?\r");
  reader.reset();  // the master side goes away, as a pulled adapter does
  // The line's hang-up is seen at once: asking how many bytes wait fails.
  ASSERT_TRUE(RunUntil(loop, [&] { return !reported.empty(); }));
  EXPECT_EQ(reported[0], "ClearCommError function failed on " + path +
                             ": Input/output error. The reader was unplugged or lost power: plug it in again and "
                             "connect again.\nSystem call: ioctl(" + path + ", FIONREAD): EIO (errno 5)");
  try {
    port.SendText("?\r");
    FAIL();
  } catch (const EComPort& error) {
    EXPECT_EQ(Summary(error.what()), "WriteFile function failed on " + path +
                                         ": Input/output error. The reader was unplugged or lost power: plug it "
                                         "in again and connect again.");
    EXPECT_EQ(Detail(error.what()), "System call: write(" + path + "): EIO (errno 5)");
  }
  port.Close();
  EXPECT_FALSE(port.Connected());
}

TEST(ComPort, ClosingWhileDataWaitsNeverDeadlocks) {
  PtyReader reader;
  TEventLoop loop;
  TReaderLink link(loop);
  int packets = 0;
  link.OnPacket = [&](const std::string&) { ++packets; };
  link.SetPort(reader.Path());
  for (int round = 0; round < 20; ++round) {
    link.SetConnected(true);
    reader.Write("A1\r");
    std::this_thread::sleep_for(1ms);  // the background thread hands the event over
    link.SetConnected(false);          // before the event thread has seen it
    loop.RunFor(1ms);
  }
  link.SetConnected(true);
  reader.WriteOnQuietLine("B2\r");
  EXPECT_TRUE(RunUntil(loop, [&] { return packets >= 1; }));
}

TEST(ComPort, ALineCutOffByAPulledCableIsNotJoinedToTheFirstLineAfterReconnecting) {
  auto first = std::make_unique<PtyReader>();
  auto second = std::make_unique<PtyReader>();
  TEventLoop loop;
  TReaderLink link(loop);
  std::vector<std::string> packets;
  link.OnPacket = [&](const std::string& packet) { packets.push_back(packet); };
  link.SetPort(first->Path());
  link.SetConnected(true);
  first->Write("A01000017000:1");
  ASSERT_TRUE(RunUntil(loop, [&] { return !link.Framer().Buffer().empty(); }));
  first.reset();  // the cable is pulled in the middle of a message
  loop.RunFor(50ms);
  link.SetConnected(false);

  link.SetPort(second->Path());
  link.SetConnected(true);
  second->WriteOnQuietLine("B01000018000:20.500\r");
  ASSERT_TRUE(RunUntil(loop, [&] { return !packets.empty(); }));
  EXPECT_EQ(packets, (std::vector<std::string>{"B01000018000:20.500\r"}));
}

TEST(ComPort, TheWatchSeesAPulledCableAndStartStopReconnects) {
  // The port is named by a link, as a reader on a fixed adapter name would be.
  const std::filesystem::path name =
      std::filesystem::temp_directory_path() / ("ln40reader" + std::to_string(::getpid()));
  auto first = std::make_unique<PtyReader>();
  std::filesystem::remove(name);
  std::filesystem::create_symlink(first->Path(), name);

  TEventLoop loop;
  TReaderLink link(loop);
  std::vector<std::string> packets;
  link.OnPacket = [&](const std::string& packet) { packets.push_back(packet); };
  testing::FakeControls controls;
  const int watch = loop.AddTimer(500ms, [&] { WatchTick(controls, link); });
  loop.SetTimerEnabled(watch, true);
  link.SetPort(name.string());
  link.SetConnected(true);

  first.reset();  // the cable is pulled
  const auto pulled = std::chrono::steady_clock::now();
  ASSERT_TRUE(RunUntil(loop, [&] { return controls.status == "Disconnected"; }));
  EXPECT_LT(std::chrono::steady_clock::now() - pulled, 1s);
  EXPECT_FALSE(link.Connected());

  PtyReader second;  // plugged in again
  second.SetNonBlocking();
  std::filesystem::remove(name);
  std::filesystem::create_symlink(second.Path(), name);
  StartStopCommunication(controls, link);
  ASSERT_TRUE(link.Connected());
  second.WriteOnQuietLine("A01001234012:34.567\r");
  ASSERT_TRUE(RunUntil(loop, [&] { return packets.size() == 1 && controls.status == "?"; }));
  EXPECT_EQ(second.Read(2), "?\r");
  link.SetConnected(false);
  std::filesystem::remove(name);
}

}  // namespace
}  // namespace ln40
