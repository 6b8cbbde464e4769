#pragma once
// TComPort: the serial port the reader is attached to. It opens a device exclusively, gives
// it the line parameters (1200 baud, 8 data bits, no parity, 1 stop bit, no flow control,
// DTR and RTS off), and runs a background thread that only waits for the device. Each set
// of line events is handed to the event thread, and the background thread waits until it has
// been processed there: received bytes are read and handed on (OnRxBuf) on the event
// thread, one block at a time, strictly in order, each with the moment it arrived. Every
// other operation runs on the event thread too.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "link/com_port_error.h"
#include "link/event_thread.h"

namespace ln40 {

enum class ComStopBits { One, OneAndHalf, Two };
enum class ComParity { None, Odd, Even, Mark, Space };
enum class DtrControl { Disable, Enable, Handshake };
enum class RtsControl { Disable, Enable, Handshake, Toggle };

struct ComFlowControl {
  bool outCtsFlow = false;
  bool outDsrFlow = false;
  DtrControl controlDtr = DtrControl::Disable;
  RtsControl controlRts = RtsControl::Disable;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  bool dsrSensitivity = false;
  char xonChar = 17;
  char xoffChar = 19;
};

// The driver's time-outs in milliseconds; writes wait at most multiplier * bytes + constant.
struct ComTimeouts {
  int readInterval = 100;
  int readTotalMultiplier = 1000;
  int readTotalConstant = 1000;
  int writeTotalMultiplier = 1000;
  int writeTotalConstant = 1000;
};

struct ComPortSettings {
  int baudRate = 1200;         // one of kBaudRates; 0 means CustomBaudRate
  int customBaudRate = 9600;
  int dataBits = 8;            // 5 to 8
  ComStopBits stopBits = ComStopBits::One;
  ComParity parity = ComParity::None;
  bool parityCheck = false;
  ComFlowControl flowControl;
  ComTimeouts timeouts;
  int inBufferSize = 1024;
  int outBufferSize = 1024;
};

// The baud rates a port offers; 0 stands for "Custom".
inline constexpr int kBaudRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};

// How long one character takes on the line with these settings: start bit, data bits,
// parity bit, stop bits, at the baud rate (8N1 at 1200 baud: 10 bits, 8.33 ms). A rate that
// is not positive counts as the slowest offered, so the time is never too short.
std::chrono::nanoseconds CharacterTime(const ComPortSettings& settings);

enum class ComError { Frame, RxParity, Overrun, Break, IO, Mode, RxOver, TxFull };
using ComErrors = std::set<ComError>;

class TComPort {
 public:
  explicit TComPort(EventThread& events);
  ~TComPort();  // closes the port, errors ignored
  TComPort(const TComPort&) = delete;
  TComPort& operator=(const TComPort&) = delete;

  // The port's name: a device under /dev ("ttyUSB0") or a full path ("/dev/pts/3").
  // Setting another name while open closes the port and opens the new one.
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& name);
  std::string DevicePath() const;

  bool Connected() const { return fd_ >= 0; }
  // true opens, false closes; nothing when already in that state.
  void SetConnected(bool connected);
  // Opening flushes the line: what the device received before is thrown away.
  void Open();
  void Close();
  // When the last open flushed the line. Every byte handed on since reached the computer
  // after it, though a serial adapter may have held it back a few milliseconds.
  std::chrono::steady_clock::time_point OpenedAt() const { return opened_at_; }

  // Line parameters; after a change while open call ApplySettings (unless held back).
  ComPortSettings& Settings() { return settings_; }
  const ComPortSettings& Settings() const { return settings_; }
  void ApplySettings();

  // Writes all bytes and waits until the device has taken them (at most the write time-outs).
  // Throws EComPort 2 ("WriteFile function failed"), also when the port is closed.
  size_t SendText(const std::string& text);

  std::function<void()> OnBeforeOpen;
  std::function<void()> OnAfterOpen;
  std::function<void(const ComErrors&)> OnError;
  // A block of received bytes and when it arrived: the moment the background thread saw
  // the device readable (taken before the block is handed to the event thread). The block
  // holds what the device had when it was read on the event thread, which can be more than
  // at that moment. Bytes already waiting when the thread first looked after an open count
  // as arrived at OpenedAt(): when they came is not known.
  std::function<void(const std::string& block, std::chrono::steady_clock::time_point arrived)> OnRxBuf;
  // An error thrown while received data was handled (by OnRxBuf or the reading itself).
  // Reception goes on; the same text is reported once until data is handled again.
  std::function<void(const std::string&)> OnReceiveError;

 private:
  struct HandOver;
  void ThreadLoop(int fd, int wake_fd, std::shared_ptr<HandOver> hand_over,
                  std::chrono::steady_clock::time_point opened_at);
  void ProcessEvents(bool line_error, bool received, uint64_t generation,
                     std::chrono::steady_clock::time_point arrived);
  void ReportReceiveError(const std::string& text);
  // The error `code` for the system call `call` that just failed, with its errno.
  EComPort PortError(int code, const char* call) const;
  void CheckLineErrors();

  EventThread& events_;
  std::string port_ = "ttyS0";
  ComPortSettings settings_;
  int fd_ = -1;
  std::chrono::steady_clock::time_point opened_at_;
  int wake_pipe_[2] = {-1, -1};
  std::thread thread_;
  std::shared_ptr<HandOver> hand_over_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  uint64_t generation_ = 0;
  std::string last_receive_error_;
  struct LineCounts {
    int frame = 0, overrun = 0, parity = 0, brk = 0, buf_overrun = 0;
  } line_counts_;
  bool line_counts_known_ = false;
};

}  // namespace ln40
