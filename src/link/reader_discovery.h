#pragma once
// Finding the reader's port and watching the connection. At start-up every serial port is
// listed in the window's port list, an LN40 (recognised by its USB adapter's product id
// 6001) is connected at once, failing that the first port; while no port exists at all the
// start-up routine runs again every 3 seconds, and discovery does so while the port it
// found cannot be opened. Once connected, a probe "?\r" goes to the reader every 500 ms
// and the "Time status" field shows whether it answers or the line is gone. Everything
// runs on the event thread.
#include <optional>
#include <string>
#include <vector>

namespace ln40 {

// One serial port of the machine: the name the port list shows ("ttyUSB0", or a full
// path for an extra port) and a device path in which an LN40's adapter shows "PID_6001".
struct SerialDevice {
  std::string portName;
  std::string devicePath;
};

class SerialDeviceSource {
 public:
  virtual ~SerialDeviceSource() = default;
  // The present serial ports in the system's order; empty optional when the request fails.
  virtual std::optional<std::vector<SerialDevice>> ListDevices() = 0;
};

// The port as discovery and the watch use it.
class SerialPortControl {
 public:
  virtual ~SerialPortControl() = default;
  virtual void SetPort(const std::string& name) = 0;
  virtual bool Connected() const = 0;
  virtual void SetConnected(bool connected) = 0;  // throws on a failed open
  virtual void SendText(const std::string& text) = 0;
};

// The port list, the "Time status" field and the activity lamp of the window (or their
// plain stand-ins in a front end without one).
class PortListControls {
 public:
  virtual ~PortListControls() = default;
  virtual void ClearPortList() = 0;
  virtual void AddPortListEntry(const std::string& text) = 0;
  virtual int PortListCount() const = 0;
  virtual std::string PortListEntry(int index) const = 0;
  virtual int SelectedPortListEntry() const = 0;  // -1 when none is selected
  virtual void SelectPortListEntry(int index) = 0;
  virtual std::string TimeStatus() const = 0;  // "Time status" field
  virtual void SetTimeStatus(const std::string& text) = 0;
  virtual void HideActivityLamp() = 0;
};

// What discovery and the watch read and write: the controls and the two timers.
class LinkControls : public PortListControls {
 public:
  virtual void SetRetryTimerEnabled(bool enabled) = 0;  // the 3-second discovery retry
  virtual void SetWatchTimerEnabled(bool enabled) = 0;  // the 500 ms connection watch
};

inline constexpr const char* kSerialPortSuffix = " Serial port";
inline constexpr const char* kLn40Suffix = " Vexa USB LN40 ";
inline constexpr const char* kDisconnected = "Disconnected";
inline constexpr const char* kUnitRemoved = "Unit removed";

// The port name of a port list entry: its text before the first blank.
std::string PortNameOfEntry(const std::string& entry);

// True when the device path shows the LN40's adapter ("PID_6001" or "pid_6001").
bool IsLn40Device(const std::string& device_path);

// Fills the port list and connects: the last LN40 listed, else the first port. Arms the
// retry timer while no port is found, and when the port found cannot be opened: a failed
// open ends discovery with its error, and the retry opens the port once it can be (the
// caller says the error once, not at every retry).
void ReaderDiscovery(SerialDeviceSource& devices, LinkControls& controls, SerialPortControl& port);

// "Search for readers (LN20 / LN40)": disconnect, clear the list, discover again.
void SearchReaders(SerialDeviceSource& devices, LinkControls& controls, SerialPortControl& port);

// A click on an entry of the port list; an error of the open reaches the caller.
void ChoosePort(LinkControls& controls, SerialPortControl& port, int index);

// "Start/stop comunication": toggles the connection; a failure shows "Unit removed".
void StartStopCommunication(LinkControls& controls, SerialPortControl& port);

// One tick of the connection watch: the probe, and "?" / "  ?" / "Disconnected".
void WatchTick(LinkControls& controls, SerialPortControl& port);

}  // namespace ln40
