#include "link/reader_discovery.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "link/discovery_sysfs.h"
#include "link_fakes.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;
using testing::FakeControls;

class FakePort : public SerialPortControl {
 public:
  std::string port;
  bool connected = false;
  bool fail_open = false;
  bool fail_send = false;
  std::vector<std::string> opened;
  std::string sent;

  void SetPort(const std::string& name) override { port = name; }
  bool Connected() const override { return connected; }
  void SetConnected(bool value) override {
    if (value && !connected) {
      if (fail_open) throw std::runtime_error("Unable to open com port ttyUSB0: No such file or directory.");
      opened.push_back(port);
    }
    connected = value;
  }
  void SendText(const std::string& text) override {
    if (fail_send) throw std::runtime_error("WriteFile function failed on ttyUSB0: Input/output error.");
    sent += text;
  }
};

// A sysfs tree in a temporary folder: USB adapters with their ids, a fitted UART, an
// unfitted one and a console without a device.
class FakeSysfs {
 public:
  FakeSysfs() : root_(fs::temp_directory_path() / ("ln40sysfs" + std::to_string(::getpid()))) {
    fs::remove_all(root_);
    fs::create_directories(root_ / "class" / "tty" / "tty0");
  }
  ~FakeSysfs() { fs::remove_all(root_); }

  void AddUsb(const std::string& tty, const std::string& vendor, const std::string& product, int bus_port) {
    const fs::path usb = root_ / "devices" / "pci0000:00" / "usb1" / ("1-" + std::to_string(bus_port));
    const fs::path iface = usb / ("1-" + std::to_string(bus_port) + ":1.0") / tty;
    fs::create_directories(iface);
    std::ofstream(usb / "idVendor") << vendor << "\n";
    std::ofstream(usb / "idProduct") << product << "\n";
    Link(tty, iface);
  }
  void AddUart(const std::string& tty, bool fitted) {
    const fs::path device = root_ / "devices" / "platform" / "serial8250" / tty;
    fs::create_directories(device);
    Link(tty, device);
    std::ofstream(root_ / "class" / "tty" / tty / "type") << (fitted ? "4" : "0") << "\n";
  }
  std::string Root() const { return root_.string(); }

 private:
  void Link(const std::string& tty, const fs::path& device) {
    fs::create_directories(root_ / "class" / "tty" / tty);
    fs::create_directory_symlink(device, root_ / "class" / "tty" / tty / "device");
  }
  fs::path root_;
};

TEST(ReaderDiscovery, ListsSysfsPortsWithTheirUsbIds) {
  FakeSysfs sysfs;
  sysfs.AddUsb("ttyUSB0", "0403", "6001", 1);
  sysfs.AddUsb("ttyACM0", "2341", "0043", 2);
  sysfs.AddUart("ttyS0", true);
  sysfs.AddUart("ttyS1", false);
  SysfsSerialDevices source(sysfs.Root(), "/dev/pts/7:ln40=/dev/pts/9");
  const auto devices = source.ListDevices();
  ASSERT_TRUE(devices);
  std::vector<std::string> names;
  for (const auto& d : *devices) names.push_back(d.portName);
  EXPECT_EQ(names, (std::vector<std::string>{"ttyACM0", "ttyS0", "ttyUSB0", "/dev/pts/7", "/dev/pts/9"}));
  EXPECT_EQ((*devices)[2].devicePath, "usb:VID_0403&PID_6001");
  EXPECT_FALSE(IsLn40Device((*devices)[0].devicePath));
  EXPECT_FALSE(IsLn40Device((*devices)[3].devicePath));
  EXPECT_TRUE(IsLn40Device((*devices)[4].devicePath));
}

class ListedDevices : public SerialDeviceSource {
 public:
  explicit ListedDevices(std::optional<std::vector<SerialDevice>> devices) : devices_(std::move(devices)) {}
  std::optional<std::vector<SerialDevice>> ListDevices() override { return devices_; }

 private:
  std::optional<std::vector<SerialDevice>> devices_;
};

TEST(ReaderDiscovery, ConnectsTheLn40OrTheFirstPort) {
  const SerialDevice com1{"ttyS0", "sysfs:/devices/platform/serial8250"};
  const SerialDevice com2{"ttyS1", "sysfs:/devices/platform/serial8250"};
  const SerialDevice ln40{"ttyUSB0", "usb:VID_0403&pid_6001"};
  const struct {
    const char* name;
    std::vector<SerialDevice> devices;
    std::vector<std::string> entries;
    int selected;
    std::string connected;
    bool retry;
  } cases[] = {
      {"plain port, then an LN40", {com1, ln40},
       {"ttyS0 Serial port", "ttyUSB0 Serial port", "ttyUSB0 Vexa USB LN40 "}, 2, "ttyUSB0", false},
      {"an LN40, then a plain port", {ln40, com1},
       {"ttyUSB0 Serial port", "ttyUSB0 Vexa USB LN40 ", "ttyS0 Serial port"}, 1, "ttyUSB0", false},
      {"two plain ports", {com1, com2}, {"ttyS0 Serial port", "ttyS1 Serial port"}, 0, "ttyS0", false},
      {"no port at all", {}, {}, -1, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ListedDevices source(c.devices);
    FakeControls controls;
    FakePort port;
    ReaderDiscovery(source, controls, port);
    EXPECT_EQ(controls.entries, c.entries);
    EXPECT_EQ(controls.selected, c.selected);
    EXPECT_EQ(port.opened, c.connected.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.connected});
    EXPECT_EQ(controls.retry, c.retry);
    EXPECT_EQ(controls.watch, !c.connected.empty());
  }
}

TEST(ReaderDiscovery, AFailedRequestListsNothingAndABusyPortEndsDiscoveryAndIsTriedAgain) {
  FakeControls controls;
  FakePort port;
  ListedDevices failing(std::nullopt);
  ReaderDiscovery(failing, controls, port);
  EXPECT_TRUE(controls.entries.empty());
  EXPECT_FALSE(controls.retry);

  ListedDevices busy(std::vector<SerialDevice>{{"ttyUSB0", "usb:VID_0403&PID_6001"}});
  port.fail_open = true;
  EXPECT_THROW(ReaderDiscovery(busy, controls, port), std::runtime_error);
  EXPECT_TRUE(controls.retry);  // ModemManager lets it go in a few seconds
  EXPECT_FALSE(controls.watch);

  ListedDevices plain(std::vector<SerialDevice>{{"ttyS0", "sysfs:/devices/platform/serial8250"}});
  controls.ClearPortList();
  controls.retry = false;
  EXPECT_THROW(ReaderDiscovery(plain, controls, port), std::runtime_error);
  EXPECT_TRUE(controls.retry);

  port.fail_open = false;
  controls.ClearPortList();
  ReaderDiscovery(busy, controls, port);
  EXPECT_FALSE(controls.retry);
  EXPECT_TRUE(controls.watch);
}

TEST(ReaderDiscovery, ChoosingAnEntryOpensItsPort) {
  FakeControls controls;
  controls.entries = {"ttyS0 Serial port", "ttyS12 Serial port"};
  controls.retry = true;
  FakePort port;
  ChoosePort(controls, port, 1);
  EXPECT_EQ(port.opened, std::vector<std::string>{"ttyS12"});
  EXPECT_FALSE(controls.retry);
  EXPECT_TRUE(controls.watch);
}

TEST(ConnectionWatch, ProbesAndShowsTheLineState) {
  FakeControls controls;
  FakePort port;
  port.connected = true;
  std::vector<std::string> shown;
  for (int i = 0; i < 3; ++i) {
    WatchTick(controls, port);
    shown.push_back(controls.status);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"  ?", "?", "  ?"}));
  EXPECT_EQ(port.sent, "?\r?\r?\r");

  port.fail_send = true;  // the adapter is pulled out
  WatchTick(controls, port);
  EXPECT_EQ(controls.status, "Disconnected");
  EXPECT_FALSE(port.connected);
  WatchTick(controls, port);
  EXPECT_EQ(controls.status, "Disconnected");

  // Start/stop reopens; a failing open shows "Unit removed", which the watch keeps.
  port.fail_send = false;
  port.fail_open = true;
  StartStopCommunication(controls, port);
  EXPECT_EQ(controls.status, "Unit removed");
  port.fail_open = false;
  StartStopCommunication(controls, port);
  EXPECT_TRUE(port.connected);
  WatchTick(controls, port);
  EXPECT_EQ(controls.status, "?");
}

}  // namespace
}  // namespace ln40
