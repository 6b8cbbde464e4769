#include "link/com_port_error.h"

#include <cerrno>
#include <cstring>

#include "text/codepage.h"
#include "text/file_replace.h"

namespace ln40 {
namespace {

// The beginnings of the texts, one per code.
const char* ComErrorText(int code) {
  switch (code) {
    case EComPort::kOpen: return "Unable to open com port";
    case EComPort::kWrite: return "WriteFile function failed";
    case EComPort::kRead: return "ReadFile function failed";
    case EComPort::kPurge: return "PurgeComm function failed";
    case EComPort::kSetState: return "SetCommState function failed";
    case EComPort::kSetTimeouts: return "SetCommTimeouts failed";
    case EComPort::kSetup: return "SetupComm function failed";
    case EComPort::kClearError: return "ClearCommError function failed";
    case EComPort::kModemStatus: return "GetCommModemStatus function failed";
    case EComPort::kRegistry: return "Registry error";
    default: return "Serial port error";
  }
}

std::string ErrnoName(int os_error) {
  const char* name = ::strerrorname_np(os_error);
  return name != nullptr ? name : "errno " + std::to_string(os_error);
}

std::string ComErrorMessage(int code, int os_error, const std::string& device, const std::string& call) {
  std::string text = ComErrorText(code);
  const std::string shown_device = Utf8ToCp1252(device);
  if (!device.empty()) text += (code == EComPort::kOpen ? " " : " on ") + shown_device;
  if (os_error == 0) return text;
  text += ": " + PlatformErrorText(os_error) + ".";
  const std::string remedy = ComPortRemedy(os_error);
  if (!remedy.empty()) text += " " + remedy;
  // As a C programmer would write the call: "ioctl FIONREAD" becomes ioctl(DEVICE, FIONREAD).
  const size_t blank = call.find(' ');
  text += "\nSystem call: " + (call.empty() ? std::string("?") : call.substr(0, blank)) + "(" + shown_device;
  if (blank != std::string::npos) text += ", " + call.substr(blank + 1);
  text += "): " + ErrnoName(os_error) + " (errno " + std::to_string(os_error) + ")";
  return text;
}

}  // namespace

std::string ComPortRemedy(int os_error) {
  switch (os_error) {
    case EACCES:
    case EPERM:
      return "Add yourself to the dialout group (sudo adduser $USER dialout) and log in again.";
    case EBUSY:
      return "Another program has the port open: close it, or wait a few seconds if the reader was just "
             "plugged in (ModemManager tries a new device for about ten seconds).";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "Plug the reader in, or choose another port.";
    case EIO:
      return "The reader was unplugged or lost power: plug it in again and connect again.";
    case ENOTTY:
      return "This is not a serial port: choose another port.";
    case ETIMEDOUT:
      return "The reader does not take what is sent: check the cable.";
    default:
      return {};
  }
}

EComPort::EComPort(int code, int os_error, const std::string& device, const std::string& call)
    : Error(ComErrorMessage(code, os_error, device, call)), code_(code), os_error_(os_error) {}

}  // namespace ln40
