#include "link/com_setup.h"

#include <algorithm>

namespace ln40 {
namespace {

int IndexOf(const std::vector<std::string>& items, const std::string& text) {
  const auto found = std::find(items.begin(), items.end(), text);
  return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

bool IsHardwareFlow(const ComFlowControl& flow) {
  return flow.outCtsFlow && flow.controlRts == RtsControl::Handshake && !flow.xonXoffIn && !flow.xonXoffOut;
}
bool IsSoftwareFlow(const ComFlowControl& flow) {
  return !flow.outCtsFlow && flow.controlRts == RtsControl::Disable && flow.xonXoffIn && flow.xonXoffOut;
}
bool IsNoFlow(const ComFlowControl& flow) {
  return !flow.outCtsFlow && flow.controlRts == RtsControl::Disable && !flow.xonXoffIn && !flow.xonXoffOut;
}

}  // namespace

const std::vector<std::string>& BaudRateItems() {
  static const std::vector<std::string> items = {"Custom", "110",   "300",   "600",   "1200",   "2400",
                                                 "4800",   "9600",  "14400", "19200", "38400",  "56000",
                                                 "57600",  "115200", "128000", "256000"};
  return items;
}
const std::vector<std::string>& DataBitsItems() {
  static const std::vector<std::string> items = {"5", "6", "7", "8"};
  return items;
}
const std::vector<std::string>& StopBitsItems() {
  static const std::vector<std::string> items = {"1", "1.5", "2"};
  return items;
}
const std::vector<std::string>& ParityItems() {
  static const std::vector<std::string> items = {"None", "Odd", "Even", "Mark", "Space"};
  return items;
}
const std::vector<std::string>& FlowControlItems() {
  static const std::vector<std::string> items = {"Hardware", "Software", "None", "Custom"};
  return items;
}

ComSetupChoices CurrentComSetup(const TComPort& port, std::vector<std::string> port_names) {
  std::sort(port_names.begin(), port_names.end());
  ComSetupChoices choices;
  choices.ports = std::move(port_names);
  choices.port = IndexOf(choices.ports, port.Port());
  const ComPortSettings& settings = port.Settings();
  choices.baudRate = IndexOf(BaudRateItems(), settings.baudRate == 0 ? "Custom" : std::to_string(settings.baudRate));
  choices.dataBits = IndexOf(DataBitsItems(), std::to_string(settings.dataBits));
  choices.stopBits = static_cast<int>(settings.stopBits);
  choices.parity = static_cast<int>(settings.parity);
  const ComFlowControl& flow = settings.flowControl;
  choices.flowControl = IsHardwareFlow(flow) ? 0 : IsSoftwareFlow(flow) ? 1 : IsNoFlow(flow) ? 2 : 3;
  return choices;
}

void ApplyComSetup(TComPort& port, const ComSetupChoices& choices) {
  ComPortSettings& settings = port.Settings();
  const auto in = [](int index, const std::vector<std::string>& items) {
    return index >= 0 && index < static_cast<int>(items.size());
  };
  if (in(choices.baudRate, BaudRateItems())) {
    settings.baudRate = choices.baudRate == 0 ? 0 : std::stoi(BaudRateItems()[choices.baudRate]);
  }
  if (in(choices.dataBits, DataBitsItems())) settings.dataBits = 5 + choices.dataBits;
  if (in(choices.stopBits, StopBitsItems())) settings.stopBits = static_cast<ComStopBits>(choices.stopBits);
  if (in(choices.parity, ParityItems())) settings.parity = static_cast<ComParity>(choices.parity);
  ComFlowControl& flow = settings.flowControl;
  switch (choices.flowControl) {
    case 0:
      flow.outCtsFlow = true;
      flow.controlRts = RtsControl::Handshake;
      flow.xonXoffIn = flow.xonXoffOut = false;
      break;
    case 1:
      flow.outCtsFlow = false;
      flow.controlRts = RtsControl::Disable;
      flow.xonXoffIn = flow.xonXoffOut = true;
      break;
    case 2:
      flow.outCtsFlow = false;
      flow.controlRts = RtsControl::Disable;
      flow.xonXoffIn = flow.xonXoffOut = false;
      break;
    default:
      break;  // "Custom" leaves the flow control as it is
  }
  // The port name comes last: a new name reopens the port with the new parameters.
  if (choices.port >= 0 && choices.port < static_cast<int>(choices.ports.size()) &&
      choices.ports[choices.port] != port.Port()) {
    port.SetPort(choices.ports[choices.port]);
  } else {
    port.ApplySettings();
  }
}

}  // namespace ln40
