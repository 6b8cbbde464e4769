#pragma once
// A pseudo-terminal on which a test plays the reader: the test writes and reads on the
// master side, the port under test opens the slave.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "link/event_loop.h"

namespace ln40::testing {

using namespace std::chrono_literals;

// One character on the reader's line, 1200 baud 8N1, rounded up.
inline constexpr std::chrono::microseconds kCharacterTime{8334};

class PtyReader {
 public:
  PtyReader() {
    char name[256] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    path_ = name;
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    // Keep no slave descriptor of our own: the port must be the one that holds the line.
    ::close(slave_);
    slave_ = -1;
  }
  ~PtyReader() { HangUp(); }
  PtyReader(const PtyReader&) = delete;
  PtyReader& operator=(const PtyReader&) = delete;

  void Write(const std::string& bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }

  // Writes as a reader on a line that has been quiet since the port opened: the port has
  // been open longer than the bytes (and one character more) take on the line, so a line
  // among them that comes first after the open counts as received whole. Call it after the
  // open, when nothing else has been written since.
  void WriteOnQuietLine(const std::string& bytes) {
    std::this_thread::sleep_for(kCharacterTime * static_cast<int>(bytes.size() + 2));
    Write(bytes);
  }

  // What the port sent, read until `expected` bytes arrived or a second passed.
  std::string Read(size_t expected) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (got.size() < expected && std::chrono::steady_clock::now() < deadline) {
      char buffer[256];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        got.append(buffer, static_cast<size_t>(n));
      } else {
        std::this_thread::sleep_for(2ms);
      }
    }
    return got;
  }

  // Reads what the port sends for at most `within`, appending it to `received`; true as
  // soon as `received` ends with `expected`.
  bool ReceiveUntil(std::string& received, const std::string& expected, std::chrono::milliseconds within) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    while (!received.ends_with(expected)) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      pollfd in{master_, POLLIN, 0};
      if (::poll(&in, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[64];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        received.append(buffer, static_cast<size_t>(n));
      } else {
        std::this_thread::sleep_for(2ms);  // no slave side open: poll reports a hang-up
      }
    }
    return true;
  }

  void SetNonBlocking() { ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK); }
  void HangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

// Runs the event loop until `done` holds, at most two seconds; false when it never did.
inline bool RunUntil(TEventLoop& loop, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 2s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    loop.RunFor(5ms);
  }
  return true;
}

}  // namespace ln40::testing
