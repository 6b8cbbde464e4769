// The serial port on POSIX termios.
#include "link/com_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "link/serial_baud_linux.h"

namespace ln40 {
namespace {

speed_t StandardSpeed(int rate) {
  switch (rate) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

void CloseQuietly(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

std::chrono::nanoseconds CharacterTime(const ComPortSettings& settings) {
  const int rate = settings.baudRate == 0 ? settings.customBaudRate : settings.baudRate;
  // Counted in half bits, for 1.5 stop bits: start bit, data bits, parity bit, stop bits.
  int half_bits = 2 * (1 + settings.dataBits);
  if (settings.parity != ComParity::None) half_bits += 2;
  switch (settings.stopBits) {
    case ComStopBits::One: half_bits += 2; break;
    case ComStopBits::OneAndHalf: half_bits += 3; break;
    case ComStopBits::Two: half_bits += 4; break;
  }
  const int64_t bits_per_second = rate > 0 ? rate : 110;
  return std::chrono::nanoseconds(half_bits * int64_t{500'000'000} / bits_per_second);
}

// The meeting point of the background thread and the event thread for one open port.
struct TComPort::HandOver {
  std::mutex mutex;
  std::condition_variable processed;
  bool stop = false;
  uint64_t posted = 0;
  uint64_t done = 0;
};

TComPort::TComPort(EventThread& events) : events_(events) {}

TComPort::~TComPort() {
  *alive_ = false;
  try {
    Close();
  } catch (...) {
  }
}

std::string TComPort::DevicePath() const { return port_.rfind('/', 0) == 0 ? port_ : "/dev/" + port_; }

void TComPort::SetPort(const std::string& name) {
  if (name == port_) return;
  const bool was_open = Connected();
  if (was_open) Close();
  port_ = name;
  if (was_open) Open();
}

void TComPort::SetConnected(bool connected) {
  if (connected) {
    Open();
  } else {
    Close();
  }
}

void TComPort::Open() {
  if (Connected()) return;
  if (OnBeforeOpen) OnBeforeOpen();

  const std::string path = DevicePath();
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw EComPort(EComPort::kOpen, error, path, "open");
  }
  // Exclusive: one program reads one reader. The lock also holds against root.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno == EWOULDBLOCK ? EBUSY : errno;
    CloseQuietly(fd);
    throw EComPort(EComPort::kOpen, error, path, "flock");
  }
  ::ioctl(fd, TIOCEXCL);
  fd_ = fd;
  try {
    ApplySettings();
  } catch (...) {
    CloseQuietly(fd_);
    throw;
  }
  // DTR and RTS held off; a pseudo-terminal has no modem lines, which is no error.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd_, TIOCMBIC, &lines);
  ::tcflush(fd_, TCIOFLUSH);
  opened_at_ = std::chrono::steady_clock::now();

  if (::pipe2(wake_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int error = errno;
    CloseQuietly(fd_);
    throw EComPort(EComPort::kOpen, error, path, "pipe2");
  }
  ++generation_;
  last_receive_error_.clear();
  line_counts_known_ = false;
  CheckLineErrors();  // the counters as they stand now
  hand_over_ = std::make_shared<HandOver>();
  thread_ = std::thread(&TComPort::ThreadLoop, this, fd_, wake_pipe_[0], hand_over_, opened_at_);
  if (OnAfterOpen) OnAfterOpen();
}

void TComPort::Close() {
  if (!Connected()) return;
  {
    std::lock_guard<std::mutex> lock(hand_over_->mutex);
    hand_over_->stop = true;
  }
  hand_over_->processed.notify_all();
  const char wake = 1;
  [[maybe_unused]] ssize_t ignored = ::write(wake_pipe_[1], &wake, 1);
  if (thread_.joinable()) thread_.join();
  ::tcflush(fd_, TCIOFLUSH);
  CloseQuietly(fd_);
  CloseQuietly(wake_pipe_[0]);
  CloseQuietly(wake_pipe_[1]);
  hand_over_.reset();
  ++generation_;  // event sets still queued for the event thread are dropped
}

EComPort TComPort::PortError(int code, const char* call) const {
  const int error = errno;
  return EComPort(code, error, DevicePath(), call);
}

void TComPort::ApplySettings() {
  if (!Connected()) return;
  termios tio{};
  if (::tcgetattr(fd_, &tio) != 0) throw PortError(EComPort::kSetState, "tcgetattr");
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS | CMSPAR);
  switch (settings_.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
  }
  if (settings_.stopBits != ComStopBits::One) tio.c_cflag |= CSTOPB;  // 1.5 is 2 here
  switch (settings_.parity) {
    case ComParity::None: break;
    case ComParity::Odd: tio.c_cflag |= PARENB | PARODD; break;
    case ComParity::Even: tio.c_cflag |= PARENB; break;
    case ComParity::Mark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case ComParity::Space: tio.c_cflag |= PARENB | CMSPAR; break;
  }
  if (settings_.parityCheck && settings_.parity != ComParity::None) tio.c_iflag |= INPCK;
  const ComFlowControl& flow = settings_.flowControl;
  if (flow.outCtsFlow || flow.controlRts == RtsControl::Handshake) tio.c_cflag |= CRTSCTS;
  if (flow.xonXoffOut) tio.c_iflag |= IXON;
  if (flow.xonXoffIn) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(flow.xonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(flow.xoffChar);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;

  const int rate = settings_.baudRate == 0 ? settings_.customBaudRate : settings_.baudRate;
  const speed_t speed = StandardSpeed(rate);
  if (speed != B0) ::cfsetspeed(&tio, speed);
  if (::tcsetattr(fd_, TCSANOW, &tio) != 0) throw PortError(EComPort::kSetState, "tcsetattr");
  if (speed == B0 && !SetArbitraryBaudRate(fd_, rate)) throw PortError(EComPort::kSetState, "ioctl TCSETS2");
}

size_t TComPort::SendText(const std::string& text) {
  if (text.empty()) return 0;
  if (!Connected()) throw EComPort(EComPort::kWrite, 0, DevicePath());
  const ComTimeouts& timeouts = settings_.timeouts;
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<int64_t>(timeouts.writeTotalMultiplier) *
                                                      static_cast<int64_t>(text.size()) +
                                                  timeouts.writeTotalConstant);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(fd_, text.data() + done, text.size() - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) throw PortError(EComPort::kWrite, "write");
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) throw EComPort(EComPort::kWrite, ETIMEDOUT, DevicePath(), "poll");
    pollfd out{fd_, POLLOUT, 0};
    if (::poll(&out, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) throw PortError(EComPort::kWrite, "poll");
    if (out.revents & (POLLERR | POLLHUP | POLLNVAL)) throw EComPort(EComPort::kWrite, EIO, DevicePath(), "poll");
  }
  return done;
}

void TComPort::ThreadLoop(int fd, int wake_fd, std::shared_ptr<HandOver> hand_over,
                          std::chrono::steady_clock::time_point opened_at) {
  bool hung_up = false;
  std::weak_ptr<bool> alive = alive_;
  const uint64_t generation = generation_;
  // The first look does not wait: bytes found then came at some moment since the open
  // that nobody saw, so they are said to have arrived at the open itself.
  bool first_look = true;
  while (true) {
    pollfd fds[2] = {{wake_fd, POLLIN, 0}, {fd, POLLIN | POLLPRI, 0}};
    // After a hang-up the device reports it on every poll; the watch's next probe finds
    // the line gone, so only the stop signal is waited for.
    const int count = ::poll(fds, hung_up ? 1 : 2, first_look ? 0 : -1);
    if (count < 0) {
      if (errno == EINTR) continue;
      break;
    }
    const auto arrived = first_look ? opened_at : std::chrono::steady_clock::now();
    first_look = false;
    if (fds[0].revents != 0) break;
    const short revents = fds[1].revents;
    const bool received = revents & (POLLIN | POLLPRI);
    const bool line_error = revents & (POLLERR | POLLHUP | POLLNVAL);
    if (line_error) hung_up = true;
    if (!received && !line_error) continue;

    uint64_t ticket = 0;
    {
      std::lock_guard<std::mutex> lock(hand_over->mutex);
      if (hand_over->stop) break;
      ticket = ++hand_over->posted;
    }
    events_.Post([this, alive, hand_over, ticket, generation, line_error, received, arrived] {
      if (!alive.expired()) ProcessEvents(line_error, received, generation, arrived);
      {
        std::lock_guard<std::mutex> lock(hand_over->mutex);
        hand_over->done = ticket;
      }
      hand_over->processed.notify_all();
    });
    std::unique_lock<std::mutex> lock(hand_over->mutex);
    hand_over->processed.wait(lock, [&] { return hand_over->stop || hand_over->done >= ticket; });
    if (hand_over->stop) break;
  }
}

void TComPort::CheckLineErrors() {
  serial_icounter_struct counts{};
  if (::ioctl(fd_, TIOCGICOUNT, &counts) != 0) return;  // not a UART (a pseudo-terminal)
  const LineCounts now{counts.frame, counts.overrun, counts.parity, counts.brk, counts.buf_overrun};
  if (line_counts_known_) {
    ComErrors errors;
    if (now.frame != line_counts_.frame) errors.insert(ComError::Frame);
    if (now.overrun != line_counts_.overrun) errors.insert(ComError::Overrun);
    if (now.parity != line_counts_.parity && settings_.parityCheck) errors.insert(ComError::RxParity);
    if (now.brk != line_counts_.brk) errors.insert(ComError::Break);
    if (now.buf_overrun != line_counts_.buf_overrun) errors.insert(ComError::RxOver);
    if (!errors.empty() && OnError) OnError(errors);
  }
  line_counts_ = now;
  line_counts_known_ = true;
}

void TComPort::ReportReceiveError(const std::string& text) {
  if (text == last_receive_error_) return;
  last_receive_error_ = text;
  if (OnReceiveError) OnReceiveError(text);
}

void TComPort::ProcessEvents(bool line_error, bool received, uint64_t generation,
                             std::chrono::steady_clock::time_point arrived) {
  if (generation != generation_ || !Connected()) return;  // closed since the event was seen
  try {
    CheckLineErrors();
    if (line_error && OnError) OnError(ComErrors{ComError::IO});
  } catch (const std::exception& error) {
    ReportReceiveError(error.what());
  }
  if (!received || generation != generation_ || !Connected()) return;

  int waiting = 0;
  if (::ioctl(fd_, FIONREAD, &waiting) != 0) {
    ReportReceiveError(PortError(EComPort::kClearError, "ioctl FIONREAD").what());
    return;
  }
  if (waiting <= 0) return;
  std::string block(static_cast<size_t>(waiting), '\0');
  ssize_t got = 0;
  do {
    got = ::read(fd_, block.data(), block.size());
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    if (errno != EAGAIN) ReportReceiveError(PortError(EComPort::kRead, "read").what());
    return;
  }
  block.resize(static_cast<size_t>(got));
  if (!OnRxBuf || block.empty()) return;
  try {
    OnRxBuf(block, arrived);
    last_receive_error_.clear();
  } catch (const std::exception& error) {
    ReportReceiveError(error.what());
  }
}

}  // namespace ln40
