#pragma once
// The link to the reader as the window owns it: the serial port and the packet framer that
// cuts its stream at every CR (CR kept, unframed data dropped at 10240 bytes, and at every
// open, so a line cut off when the port closed is not joined to the next one). Every
// complete line goes to OnPacket on the event thread. An error while a line is handled is
// reported once (not again for the same text until a line is handled cleanly) and never
// stops the reception of the lines after it.
#include <functional>
#include <string>

#include "link/com_data_packet.h"
#include "link/com_port.h"
#include "link/reader_discovery.h"

namespace ln40 {

class TReaderLink : public SerialPortControl {
 public:
  explicit TReaderLink(EventThread& events);

  TComPort& Port() { return port_; }
  TComDataPacket& Framer() { return framer_; }

  // Runs before every open, before the framer's stop string is set (the read-times table
  // is cleared and the logs are created there).
  std::function<void()> BeforeOpen;
  std::function<void(const std::string&)> OnPacket;
  // An error of a line's handling or of the reading.
  std::function<void(const std::string&)> OnReceiveError;

  // SerialPortControl
  void SetPort(const std::string& name) override { port_.SetPort(name); }
  bool Connected() const override { return port_.Connected(); }
  void SetConnected(bool connected) override { port_.SetConnected(connected); }
  void SendText(const std::string& text) override { port_.SendText(text); }

 private:
  void Report(const std::string& text);

  TComPort port_;
  TComDataPacket framer_;
  std::string last_error_;
};

}  // namespace ln40
