// ln40sim as a program on a real pseudo-terminal: the test starts it, opens the device it
// announces as the program would open the reader's port, and talks to it byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// A running ln40sim with its stdout and stderr captured.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& args) {
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) std::abort();
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      std::vector<char*> argv;
      std::string program = LN40SIM_PROGRAM;
      argv.push_back(program.data());
      std::vector<std::string> copies(args);
      for (std::string& arg : copies) argv.push_back(arg.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    // The first line on stdout is the device.
    const auto deadline = Clock::now() + 5s;
    char c;
    while (RemainingMs(deadline) > 0) {
      pollfd p{out_, POLLIN, 0};
      if (::poll(&p, 1, RemainingMs(deadline)) <= 0) break;
      if (::read(out_, &c, 1) != 1) break;
      if (c == '\n') break;
      device_ += c;
    }
  }
  ~Simulator() {
    if (!exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
    ::close(err_);
  }

  const std::string& Device() const { return device_; }
  void Signal(int signal) { ::kill(pid_, signal); }

  // The exit status, or -1 when it has not ended within `limit` (it is then killed).
  int Wait(std::chrono::milliseconds limit = 10s) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    for (;;) {
      const pid_t r = ::waitpid(pid_, &status, WNOHANG);
      if (r == pid_) break;
      if (RemainingMs(deadline) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        exited_ = true;
        return -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  bool Running() { return ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  // What it wrote to stdout after the device line, and to stderr; call after Wait.
  std::string Stdout() { return Drain(out_); }
  std::string Stderr() { return Drain(err_); }

 private:
  static std::string Drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    return text;
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  bool exited_ = false;
  std::string device_;
};

// The device opened the way a serial port is: raw, 1200 baud.
class Port {
 public:
  explicit Port(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return;
    termios settings{};
    ::tcgetattr(fd_, &settings);
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B1200);
    ::cfsetospeed(&settings, B1200);
    ::tcsetattr(fd_, TCSANOW, &settings);
  }
  ~Port() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool IsOpen() const { return fd_ >= 0; }

  void Write(const std::string& bytes) { ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

  // The next line, CR included; nullopt after `timeout` or when the line hangs up.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = 5s) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      const std::size_t cr = buffer_.find('\r');
      if (cr != std::string::npos) {
        std::string line = buffer_.substr(0, cr + 1);
        buffer_.erase(0, cr + 1);
        return line;
      }
      if (!Fill(deadline, 0)) return std::nullopt;
    }
  }
  // The next `count` bytes, whatever they are.
  std::optional<std::string> ReadBytes(std::size_t count, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = Clock::now() + timeout;
    while (buffer_.size() < count) {
      if (!Fill(deadline, count - buffer_.size())) return std::nullopt;
    }
    std::string bytes = buffer_.substr(0, count);
    buffer_.erase(0, count);
    return bytes;
  }
  // Waits for the far end to close: reads fail or end, or poll reports a hang-up.
  bool HangsUp(std::chrono::milliseconds timeout = 5s) {
    const auto deadline = Clock::now() + timeout;
    while (!hung_up_) {
      if (!Fill(deadline, 0) && !hung_up_) return false;
    }
    return true;
  }

 private:
  // Reads what has arrived (at most `limit` bytes when above 0); false on timeout or hang-up.
  bool Fill(Clock::time_point deadline, std::size_t limit) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, RemainingMs(deadline)) <= 0) return false;
    char chunk[256];
    const std::size_t want = limit > 0 && limit < sizeof chunk ? limit : sizeof chunk;
    const ssize_t n = ::read(fd_, chunk, want);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    if (n < 0 && errno == EAGAIN) return true;
    hung_up_ = true;
    return false;
  }

  int fd_ = -1;
  std::string buffer_;
  bool hung_up_ = false;
};

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "ln40sim_" + std::to_string(::getpid()) + "_" + name;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string WithoutCr(const std::string& line) { return line.substr(0, line.size() - 1); }

std::string SixDigits(int n) {
  std::string text = std::to_string(n);
  return std::string(6 - text.size(), '0') + text;
}

TEST(Ln40Sim, SendsEveryMessageOnceWhenEachIsAcknowledged) {
  const std::string sent = TempPath("sent_once.txt");
  ::unlink(sent.c_str());
  Simulator sim({"--fast", "--count", "30", "--seed", "5", "--ack-timeout", "3000", "--exit-when-done", "--sent", sent});
  Port port(sim.Device());
  ASSERT_TRUE(port.IsOpen()) << "device '" << sim.Device() << "'";

  const std::regex layout("[ABCDF]01([0-9]{6})[0-9]{3}:[0-5][0-9]\\.[0-9]{3}\r");
  std::vector<std::string> received;
  std::set<char> kinds;
  for (int i = 1; i <= 30; ++i) {
    const auto line = port.ReadLine();
    ASSERT_TRUE(line) << "message " << i;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(*line, m, layout)) << *line;
    EXPECT_EQ(std::stoi(m[1]), i) << *line;
    kinds.insert((*line)[0]);
    received.push_back(WithoutCr(*line));
    port.Write("+\r");
  }
  EXPECT_EQ(kinds.size(), 5u) << "every kind of message";
  EXPECT_TRUE(port.HangsUp()) << "the simulator ends once all is acknowledged";
  EXPECT_EQ(sim.Wait(), 0);
  const std::string summary = sim.Stderr();
  EXPECT_NE(summary.find("sent 30,"), std::string::npos) << summary;
  EXPECT_NE(summary.find("acknowledged 30,"), std::string::npos) << summary;
  EXPECT_NE(summary.find("retried 0,"), std::string::npos) << summary;
  EXPECT_EQ(sim.Stdout(), "") << "nothing but the device on stdout";

  std::vector<std::string> expected;
  for (const std::string& text : received) expected.push_back("send " + text);
  EXPECT_EQ(ReadLines(sent), expected);
  ::unlink(sent.c_str());
}

TEST(Ln40Sim, SendsAgainWhatIsNotAcknowledged) {
  const std::string sent = TempPath("sent_again.txt");
  ::unlink(sent.c_str());
  Simulator sim({"--fast", "--count", "3", "--ack-timeout", "200", "--exit-when-done", "--sent", sent});
  Port port(sim.Device());
  ASSERT_TRUE(port.IsOpen());
  const auto first = port.ReadLine();
  ASSERT_TRUE(first);
  const auto again = port.ReadLine();  // no acknowledgement: the same message again
  ASSERT_TRUE(again);
  EXPECT_EQ(*again, *first);
  port.Write("+\r");
  std::vector<std::string> rest;
  while (rest.size() < 2) {
    const auto line = port.ReadLine();
    ASSERT_TRUE(line);
    if (*line == *first) continue;  // a further copy, had the test been slow
    rest.push_back(*line);
    port.Write("+\r");
  }
  EXPECT_NE(rest[0], rest[1]);
  EXPECT_EQ(sim.Wait(), 0);

  const std::vector<std::string> record = ReadLines(sent);
  ASSERT_GE(record.size(), 4u);
  EXPECT_EQ(record[0], "send " + WithoutCr(*first));
  EXPECT_EQ(record[1], "retry " + WithoutCr(*first));
  EXPECT_EQ(record[record.size() - 2], "send " + WithoutCr(rest[0]));
  EXPECT_EQ(record.back(), "send " + WithoutCr(rest[1]));
  ::unlink(sent.c_str());
}

// At line speed a message takes about 170 ms; a probe arriving meanwhile is answered after
// the message's CR, never inside it.
TEST(Ln40Sim, AnswersTheProbeWithoutBreakingAMessage) {
  Simulator sim({"--count", "2", "--rate", "0", "--wait-for-program", "--exit-when-done"});
  Port port(sim.Device());
  ASSERT_TRUE(port.IsOpen());
  port.Write("?\r");
  EXPECT_EQ(port.ReadLine(), "-\r") << "nothing is sent before the program is heard";

  const auto start = port.ReadBytes(3);  // the message has begun
  ASSERT_TRUE(start);
  port.Write("?\r");
  const auto rest = port.ReadLine();
  ASSERT_TRUE(rest);
  const std::string message = *start + *rest;
  EXPECT_TRUE(std::regex_match(message, std::regex("[ABCDF]01000001[0-9]{3}:[0-9]{2}\\.[0-9]{3}\r"))) << message;
  EXPECT_EQ(port.ReadLine(), "-\r");
  port.Write("+\r");
  const auto second = port.ReadLine();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->substr(3, 6), SixDigits(2));
  port.Write("+\r");
  EXPECT_EQ(sim.Wait(), 0);
  EXPECT_NE(sim.Stderr().find("probes answered 2,"), std::string::npos);
}

TEST(Ln40Sim, AnswersTheResendRequest) {
  Simulator sim({"--fast", "--count", "10", "--ack-timeout", "5000", "--exit-when-done", "--linger", "1500"});
  Port port(sim.Device());
  ASSERT_TRUE(port.IsOpen());
  std::vector<std::string> messages;
  for (int i = 1; i <= 7; ++i) {
    const auto line = port.ReadLine();
    ASSERT_TRUE(line);
    messages.push_back(*line);
    if (i < 7) port.Write("+\r");
  }
  // The seventh waits for its acknowledgement; the "+" of the request is not one.
  port.Write("+\r!-0004\r");
  for (int i = 4; i <= 7; ++i) EXPECT_EQ(port.ReadLine(), messages[i - 1]) << "message " << i;
  EXPECT_EQ(port.ReadLine(), "+\r");
  EXPECT_EQ(port.ReadLine(), messages[6]) << "the waiting message comes again after the re-send";
  port.Write("+\r");
  for (int i = 8; i <= 10; ++i) {
    const auto line = port.ReadLine();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->substr(3, 6), SixDigits(i)) << *line;
    messages.push_back(*line);
    port.Write("+\r");
  }
  // All acknowledged; while it lingers, ask for more than it has.
  port.Write("+\r!-0020\r");
  for (int i = 1; i <= 10; ++i) EXPECT_EQ(port.ReadLine(), messages[i - 1]) << "message " << i;
  EXPECT_EQ(port.ReadLine(), "+\r");
  EXPECT_EQ(sim.Wait(), 0);
  const std::string summary = sim.Stderr();
  EXPECT_NE(summary.find("re-send requests 2, re-sent 14, acknowledged 10,"), std::string::npos) << summary;
}

TEST(Ln40Sim, LinksTheDeviceAndEndsCleanlyOnASignal) {
  const std::string link = TempPath("link");
  ::unlink(link.c_str());
  ASSERT_EQ(::symlink("/nonexistent/older", link.c_str()), 0);  // left by an earlier run
  Simulator sim({"--fast", "--count", "0", "--link", link});
  char target[256] = {};
  ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), sim.Device());
  {
    Port port(link);
    ASSERT_TRUE(port.IsOpen());
    port.Write("?\r");
    EXPECT_EQ(port.ReadLine(), "-\r");
  }
  sim.Signal(SIGTERM);
  EXPECT_EQ(sim.Wait(), 0);
  struct stat st {};
  EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link is removed";
  EXPECT_NE(sim.Stderr().find("probes answered 1,"), std::string::npos);
}

TEST(Ln40Sim, WillNotReplaceAFileWithTheLink) {
  const std::string path = TempPath("not_a_link");
  std::ofstream(path) << "keep me";
  Simulator sim({"--fast", "--link", path});
  EXPECT_EQ(sim.Wait(), 1);
  EXPECT_NE(sim.Stderr().find(path), std::string::npos);
  std::ifstream in(path);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "keep me");
  ::unlink(path.c_str());
}

TEST(Ln40Sim, HangsUpAfterTheGivenAcknowledgements) {
  for (const bool stay : {false, true}) {
    std::vector<std::string> args = {"--fast", "--count", "10", "--hangup-after", "3"};
    if (stay) args.push_back("--stay");
    Simulator sim(args);
    Port port(sim.Device());
    ASSERT_TRUE(port.IsOpen());
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(port.ReadLine()) << i;
      port.Write("+\r");
    }
    EXPECT_TRUE(port.HangsUp()) << "stay " << stay;
    if (stay) {
      EXPECT_TRUE(sim.Running());
      sim.Signal(SIGINT);
    }
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_NE(sim.Stderr().find("acknowledged 3,"), std::string::npos);
  }
}

TEST(Ln40Sim, SendsTheScriptLineByLine) {
  const std::string script = TempPath("script.txt");
  std::ofstream(script, std::ios::binary) << "A01001234012:34.567\r\n\n   \nE01001234012:34.567\nA01\n";
  Simulator sim({"--fast", "--script", script, "--exit-when-done"});
  Port port(sim.Device());
  ASSERT_TRUE(port.IsOpen());
  for (const char* expected : {"A01001234012:34.567\r", "E01001234012:34.567\r", "A01\r"}) {
    EXPECT_EQ(port.ReadLine(), expected);
    port.Write("+\r");
  }
  EXPECT_EQ(sim.Wait(), 0);
  ::unlink(script.c_str());
}

TEST(Ln40Sim, RefusesBadCommandLines) {
  const std::vector<std::vector<std::string>> cases = {
      {"--bogus"},
      {"--count", "many"},
      {"--rate"},
      {"--script", "/nonexistent/script.txt"},
      {"--sent", "/nonexistent/folder/sent.txt"},
  };
  for (const auto& args : cases) {
    Simulator sim(args);
    EXPECT_EQ(sim.Wait(), 1) << args[0];
    EXPECT_EQ(sim.Device(), "") << args[0] << ": no device is announced";
    EXPECT_EQ(sim.Stderr().rfind("ln40sim: ", 0), 0u) << args[0];
  }
}

TEST(Ln40Sim, HelpListsEveryOption) {
  Simulator sim({"--help"});
  EXPECT_EQ(sim.Wait(), 0);
  const std::string help = sim.Device() + "\n" + sim.Stdout();
  for (const char* option :
       {"--script", "--count", "--rate", "--seed", "--clock-start", "--link", "--fast", "--ack-timeout", "--settle",
        "--wait-for-program", "--noise-rate", "--exit-when-done", "--linger", "--hangup-after", "--stay", "--sent"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
