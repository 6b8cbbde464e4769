#pragma once
// The logic of the serial port's settings dialog ("Setup"): six drop-down lists that show
// the port's current values, and "OK" applying them in order and giving the driver the new
// parameters once. The dialog itself belongs to the window system.
#include <string>
#include <vector>

#include "link/com_port.h"

namespace ln40 {

// Item texts of the lists, in their order.
const std::vector<std::string>& BaudRateItems();     // "Custom", "110", ... "256000"
const std::vector<std::string>& DataBitsItems();     // "5" to "8"
const std::vector<std::string>& StopBitsItems();     // "1", "1.5", "2"
const std::vector<std::string>& ParityItems();       // "None", "Odd", "Even", "Mark", "Space"
const std::vector<std::string>& FlowControlItems();  // "Hardware", "Software", "None", "Custom"

// What the dialog shows and returns: the item lists' selected indices (-1: none selected).
struct ComSetupChoices {
  std::vector<std::string> ports;  // the machine's port names, sorted
  int port = -1;
  int baudRate = -1;
  int dataBits = -1;
  int stopBits = -1;
  int parity = -1;
  int flowControl = -1;
};

// The lists as the dialog opens: each selects the item naming the port's current value.
ComSetupChoices CurrentComSetup(const TComPort& port, std::vector<std::string> port_names);

// "OK": applies the six values, then the driver gets the parameters once; a different
// port name closes and reopens the port. A port list with nothing selected keeps the port.
void ApplyComSetup(TComPort& port, const ComSetupChoices& choices);

}  // namespace ln40
