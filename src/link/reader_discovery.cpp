#include "link/reader_discovery.h"

#include <exception>

namespace ln40 {

std::string PortNameOfEntry(const std::string& entry) { return entry.substr(0, entry.find(' ')); }

bool IsLn40Device(const std::string& device_path) {
  return device_path.find("PID_6001") != std::string::npos || device_path.find("pid_6001") != std::string::npos;
}

namespace {

// A port that is there but cannot be opened yet (ModemManager tries a newly plugged device
// for about ten seconds; the user may be added to the dialout group) is tried again by the
// retry timer, so the reader is connected as soon as it can be.
void OpenOrRetry(LinkControls& controls, SerialPortControl& port) {
  try {
    port.SetConnected(true);
  } catch (...) {
    controls.SetRetryTimerEnabled(true);
    throw;
  }
}

}  // namespace

void ReaderDiscovery(SerialDeviceSource& devices, LinkControls& controls, SerialPortControl& port) {
  const auto listed = devices.ListDevices();
  if (!listed) return;
  bool found = false;
  for (const SerialDevice& device : *listed) {
    if (device.portName.empty()) continue;  // a port without a name cannot be opened
    controls.AddPortListEntry(device.portName + kSerialPortSuffix);
    if (IsLn40Device(device.devicePath)) {
      found = true;
      controls.SetRetryTimerEnabled(false);
      controls.AddPortListEntry(device.portName + kLn40Suffix);
      controls.SelectPortListEntry(controls.PortListCount() - 1);
      port.SetPort(device.portName);
      OpenOrRetry(controls, port);
      controls.SetWatchTimerEnabled(true);
    }
  }
  if (!found) controls.SetRetryTimerEnabled(true);
  if (controls.PortListCount() > 0 && controls.SelectedPortListEntry() < 0) {
    controls.SelectPortListEntry(0);
    controls.SetRetryTimerEnabled(false);
    port.SetPort(PortNameOfEntry(controls.PortListEntry(0)));
    OpenOrRetry(controls, port);
    controls.SetWatchTimerEnabled(true);
  }
}

void SearchReaders(SerialDeviceSource& devices, LinkControls& controls, SerialPortControl& port) {
  port.SetConnected(false);
  controls.ClearPortList();
  ReaderDiscovery(devices, controls, port);
}

void ChoosePort(LinkControls& controls, SerialPortControl& port, int index) {
  if (index < 0 || index >= controls.PortListCount()) return;
  controls.SetRetryTimerEnabled(false);
  port.SetConnected(false);
  port.SetPort(PortNameOfEntry(controls.PortListEntry(index)));
  port.SetConnected(true);
  controls.SetWatchTimerEnabled(true);
}

void StartStopCommunication(LinkControls& controls, SerialPortControl& port) {
  try {
    port.SetConnected(!port.Connected());
  } catch (const std::exception&) {
    controls.SetTimeStatus(kUnitRemoved);
  }
}

void WatchTick(LinkControls& controls, SerialPortControl& port) {
  controls.HideActivityLamp();
  try {
    if (port.Connected()) {
      port.SendText("?\r");
      controls.SetTimeStatus(controls.TimeStatus() == "?" ? "  ?" : "?");
    } else {
      controls.SetTimeStatus(kDisconnected);
    }
  } catch (const std::exception&) {
    try {
      port.SetConnected(false);
    } catch (const std::exception&) {
    }
    if (controls.TimeStatus() != kUnitRemoved) controls.SetTimeStatus(kDisconnected);
    controls.HideActivityLamp();
  }
}

}  // namespace ln40
