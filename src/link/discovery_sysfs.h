#pragma once
// The machine's serial ports from sysfs: every /sys/class/tty entry backed by a device
// (a USB serial adapter, a modem, a UART that is really there), sorted by name, followed by
// the extra ports named in LN40UTIL_EXTRA_PORTS (colon-separated device paths, each an LN40
// when written "ln40=PATH"), which is how a simulated reader on a pseudo-terminal is found.
// A USB device's path is built from its ids, e.g. "usb:VID_0403&PID_6001".
#include <string>

#include "link/reader_discovery.h"

namespace ln40 {

class SysfsSerialDevices : public SerialDeviceSource {
 public:
  // `sysfs_root` is "/sys" on a real machine; tests pass a folder with a fake tree.
  SysfsSerialDevices(std::string sysfs_root, std::string extra_ports)
      : root_(std::move(sysfs_root)), extra_ports_(std::move(extra_ports)) {}

  // The machine's sysfs and the environment's LN40UTIL_EXTRA_PORTS.
  static SysfsSerialDevices FromSystem();

  std::optional<std::vector<SerialDevice>> ListDevices() override;

 private:
  std::string root_;
  std::string extra_ports_;
};

}  // namespace ln40
