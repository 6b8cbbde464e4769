#include "link/discovery_sysfs.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace ln40 {
namespace {

namespace fs = std::filesystem;

std::string ReadFirstLine(const fs::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

std::string UpperHex(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// "ttyUSB10" after "ttyUSB9": names compare by their text and then by their number.
bool NaturalLess(const std::string& a, const std::string& b) {
  const auto split = [](const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') --digits;
    const std::string number = name.substr(digits);
    return std::make_pair(name.substr(0, digits), number.empty() ? -1L : std::strtol(number.c_str(), nullptr, 10));
  };
  return split(a) < split(b);
}

// The USB ids of the nearest USB device above `device`, as a device path.
std::string DevicePathOf(const fs::path& device) {
  std::error_code error;
  fs::path dir = fs::canonical(device, error);
  if (error) return {};
  const fs::path start = dir;
  for (int depth = 0; depth < 16 && !dir.empty() && dir != dir.root_path(); ++depth) {
    if (fs::exists(dir / "idVendor", error) && fs::exists(dir / "idProduct", error)) {
      return "usb:VID_" + UpperHex(ReadFirstLine(dir / "idVendor")) + "&PID_" + UpperHex(ReadFirstLine(dir / "idProduct"));
    }
    dir = dir.parent_path();
  }
  return "sysfs:" + start.string();
}

}  // namespace

SysfsSerialDevices SysfsSerialDevices::FromSystem() {
  const char* extra = std::getenv("LN40UTIL_EXTRA_PORTS");
  return SysfsSerialDevices("/sys", extra ? extra : "");
}

std::optional<std::vector<SerialDevice>> SysfsSerialDevices::ListDevices() {
  std::vector<SerialDevice> devices;
  std::error_code error;
  const fs::path tty_class = fs::path(root_) / "class" / "tty";
  if (fs::is_directory(tty_class, error)) {
    for (const auto& entry : fs::directory_iterator(tty_class, error)) {
      const std::string name = entry.path().filename().string();
      const fs::path device = entry.path() / "device";
      if (!fs::exists(device, error)) continue;  // consoles and pseudo-terminals have none
      // The legacy UART driver lists ports that are not fitted; their type is 0.
      if (name.rfind("ttyS", 0) == 0 && fs::exists(entry.path() / "type", error) &&
          ReadFirstLine(entry.path() / "type") == "0") {
        continue;
      }
      devices.push_back({name, DevicePathOf(device)});
    }
  }
  std::sort(devices.begin(), devices.end(),
            [](const SerialDevice& a, const SerialDevice& b) { return NaturalLess(a.portName, b.portName); });

  size_t start = 0;
  while (start <= extra_ports_.size()) {
    const size_t colon = extra_ports_.find(':', start);
    std::string item = extra_ports_.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    start = colon == std::string::npos ? extra_ports_.size() + 1 : colon + 1;
    if (item.empty()) continue;
    const bool ln40 = item.rfind("ln40=", 0) == 0;
    if (ln40) item.erase(0, 5);
    if (item.empty()) continue;
    devices.push_back({item, ln40 ? "usb:VID_0403&PID_6001" : "extra:" + item});
  }
  return devices;
}

}  // namespace ln40
