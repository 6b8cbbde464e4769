#include "pty_line.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits.h>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace ln40::sim {

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
  throw std::system_error(errno, std::generic_category(), what);
}

}  // namespace

PtyLine::PtyLine() {
  char name[PATH_MAX] = {};
  if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) ThrowErrno("cannot open a pseudo-terminal");
  path_ = name;
  try {
    SetUp();
  } catch (...) {
    HangUp();
    throw;
  }
}

void PtyLine::SetUp() {
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);

  termios settings{};
  if (::tcgetattr(slave_, &settings) != 0) ThrowErrno("cannot read the settings of " + path_);
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  ::cfsetispeed(&settings, B1200);
  ::cfsetospeed(&settings, B1200);
  if (::tcsetattr(slave_, TCSANOW, &settings) != 0) ThrowErrno("cannot set up " + path_);

  const int flags = ::fcntl(master_, F_GETFL);
  if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) ThrowErrno("cannot set up the terminal");
}

PtyLine::~PtyLine() { HangUp(); }

std::size_t PtyLine::Write(std::string_view bytes) {
  if (master_ < 0 || bytes.empty()) return 0;
  for (;;) {
    const ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    ThrowErrno("cannot write to " + path_);
  }
}

PtyLine::ReadResult PtyLine::Read(std::string& out) {
  if (master_ < 0) return ReadResult::kNoPeer;
  ReadResult result = ReadResult::kNothing;
  char buffer[512];
  for (;;) {
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
      out.append(buffer, static_cast<std::size_t>(n));
      result = ReadResult::kData;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return result;
    // EIO (or end of file): no one holds the device open.
    if (n == 0 || errno == EIO) return result == ReadResult::kData ? result : ReadResult::kNoPeer;
    ThrowErrno("cannot read from " + path_);
  }
}

void PtyLine::Drain(Millis max_wait) {
  if (slave_ < 0) return;
  // Bytes written reach the device's input queue a moment later; give them that moment
  // before trusting an empty queue.
  constexpr Millis kStep{10};
  std::this_thread::sleep_for(2 * kStep);
  for (Millis waited{0}; waited < max_wait; waited += kStep) {
    int queued = 0;
    if (::ioctl(slave_, TIOCINQ, &queued) != 0 || queued == 0) return;
    std::this_thread::sleep_for(kStep);
  }
}

void PtyLine::HangUp() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = -1;
  slave_ = -1;
}

DeviceLink::DeviceLink(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {
  struct stat existing {};
  if (::lstat(path_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    throw std::runtime_error("will not replace '" + path_ + "': it exists and is not a symbolic link");
  }
  // Made under a temporary name and renamed into place, so the path never points nowhere.
  const std::string temporary = path_ + ".ln40sim-" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target_.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw std::runtime_error("cannot make the link '" + path_ + "': " + std::strerror(error));
  }
}

DeviceLink::~DeviceLink() {
  char target[PATH_MAX];
  const ssize_t n = ::readlink(path_.c_str(), target, sizeof target);
  if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == target_) ::unlink(path_.c_str());
}

}  // namespace ln40::sim
