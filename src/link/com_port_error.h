#pragma once
// EComPort: an error of the serial port, worded for the person at the reader. The first line
// names what failed and the device, then what Linux said and what to do about it:
//   Unable to open com port /dev/ttyUSB0: Permission denied. Add yourself to the dialout
//   group (sudo adduser $USER dialout) and log in again.
// A second line, the detail, names the system call that failed and its errno, for whoever
// helps on the telephone: "System call: open(/dev/ttyUSB0): EACCES (errno 13)".
#include <string>

#include "text/error.h"

namespace ln40 {

class EComPort : public Error {
 public:
  // `os_error` is the errno (0 when the system gave none); `device` the device path;
  // `call` the system call that failed ("open", "ioctl FIONREAD").
  EComPort(int code, int os_error, const std::string& device = {}, const std::string& call = {});
  int Code() const { return code_; }
  int OsError() const { return os_error_; }

  static constexpr int kOpen = 1;
  static constexpr int kWrite = 2;
  static constexpr int kRead = 3;
  static constexpr int kPurge = 5;
  static constexpr int kSetState = 7;
  static constexpr int kSetTimeouts = 8;
  static constexpr int kSetup = 9;
  static constexpr int kClearError = 10;
  static constexpr int kModemStatus = 11;
  static constexpr int kRegistry = 23;

 private:
  int code_;
  int os_error_;
};

// What the user can do about an errno on a serial device; empty when there is nothing
// better to say than the system's text.
std::string ComPortRemedy(int os_error);

}  // namespace ln40
