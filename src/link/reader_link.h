#pragma once
// The link to the reader as the window owns it: the serial port and the packet framer that
// cuts its stream at every CR (CR kept, unframed data dropped at 10240 bytes, and at every
// open, so a line cut off when the port closed is not joined to the next one). Every
// complete line goes to OnPacket on the event thread. An error while a line is handled is
// reported once (not again for the same text until a line is handled cleanly) and never
// stops the reception of the lines after it.
//
// The first line after an open. The reader sends each data message until it is
// acknowledged, and takes any "+" CR as the acknowledgement of the message it is sending.
// A port opened while the reader is in the middle of a message flushes the message's
// beginning and receives only its tail up to the CR; acknowledging that tail would make the
// reader count its message as delivered, and the time would be lost. So the first line
// after each open is a line only when it was received whole, as far as the line's framing
// and timing can tell:
//   (a) the line was quiet for at least one character time after the open before the first
//       byte came. Received bytes come in blocks (a serial adapter delivers them in chunks),
//       so this is judged from the first block: k bytes that arrived less than k + 1
//       character times after the open could have begun on the line before it, or without
//       a character time of quiet after it. (A block read late on a busy event thread holds
//       more bytes than when it arrived; that only leans further towards a fragment.) And
//   (b) it begins as the reader begins a line: an upper-case letter (the kind of a data
//       message), or it is a whole control line, "+" CR or "-" CR (the answer to the probe).
// Anything else goes to OnFragment instead of OnPacket: it is neither handled nor
// acknowledged, and the reader sends its message again, whole, a second later. Where the
// rule is in doubt it says fragment, because a message taken for a fragment costs that
// second while a fragment taken for a message loses a time. Unframed data the framer throws
// away before the first line is complete takes that line's beginning with it, so what then
// comes up to the CR is a fragment too. Only the first line after an open is judged; every
// line after it goes to OnPacket.
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "link/com_data_packet.h"
#include "link/com_port.h"
#include "link/reader_discovery.h"

namespace ln40 {

// Part (a) of the rule: whether the first block after an open, `block_size` bytes that
// arrived `after_open` after it, came on a line that had been quiet for a character time.
bool CameOnAQuietLine(std::chrono::nanoseconds after_open, size_t block_size,
                      std::chrono::nanoseconds character_time);

// Part (b): whether `line` (CR included) begins as the reader begins a line.
bool BeginsAsAReaderLine(const std::string& line);

class TReaderLink : public SerialPortControl {
 public:
  explicit TReaderLink(EventThread& events);

  TComPort& Port() { return port_; }
  TComDataPacket& Framer() { return framer_; }

  // Runs before every open, before the framer's stop string is set (the read-times table
  // is cleared and the logs are created there).
  std::function<void()> BeforeOpen;
  std::function<void(const std::string&)> OnPacket;
  // The first line after an open when it was not received whole (see above), CR included.
  // It must not be handled or acknowledged; it is worth keeping only as a record of what
  // came on the line.
  std::function<void(const std::string& bytes)> OnFragment;
  // An error of a line's handling or of the reading.
  std::function<void(const std::string&)> OnReceiveError;

  // SerialPortControl
  void SetPort(const std::string& name) override { port_.SetPort(name); }
  bool Connected() const override { return port_.Connected(); }
  void SetConnected(bool connected) override { port_.SetConnected(connected); }
  void SendText(const std::string& text) override { port_.SendText(text); }

 private:
  void Report(const std::string& text);
  void HandleBlock(const std::string& block, std::chrono::steady_clock::time_point arrived);
  void HandleLine(const std::string& line);

  // Where the link stands with the first line after the last open.
  enum class FirstLine {
    AwaitingBlock,  // nothing received since the open
    AwaitingCut,    // the first block came; the line is not complete yet
    Judged,         // the first line went out; lines now go to OnPacket
  };

  TComPort port_;
  TComDataPacket framer_;
  std::string last_error_;
  FirstLine first_line_ = FirstLine::Judged;
  bool first_line_quiet_ = false;  // (a) held for the first block
};

}  // namespace ln40
