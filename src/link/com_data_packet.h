#pragma once
// TComDataPacket: joins the blocks of bytes the serial port receives and cuts them into
// packets by a start string, a stop string or a fixed size. The reader's stream is cut at
// every CR, the CR kept in the packet. Bytes are 8-bit characters; NUL is ordinary.
// Used on the event thread only; not thread-safe.
#include <algorithm>
#include <exception>
#include <functional>
#include <string>

namespace ln40 {

class TComDataPacket {
 public:
  using Handler = std::function<void(const std::string&)>;

  // Takes one received block. With no stop string and no size every block is a packet of
  // its own. An error thrown by a handler reaches the caller after the buffer limit check.
  void Feed(const std::string& block);

  // Feed for a stream that must not stop: an error thrown by a handler is passed to
  // `report` and the packets after it are still cut and handled.
  void FeedReportingErrors(const std::string& block, const std::function<void(const std::exception&)>& report);

  // Hands a non-empty buffer to OnDiscard and empties it; an empty buffer is left alone.
  void DropBuffer();

  // Changing any of these four drops the buffer; setting the same value does nothing.
  void SetStartString(const std::string& value);
  void SetStopString(const std::string& value);
  void SetSize(int value);
  void SetCaseInsensitive(bool value);

  const std::string& StartString() const { return start_string_; }
  const std::string& StopString() const { return stop_string_; }
  int Size() const { return size_; }
  bool CaseInsensitive() const { return case_insensitive_; }

  bool IncludeStrings = false;   // keep the start and stop strings in the packet
  int MaxBufferSize = 1024;      // unframed data this long is thrown away; 0 or less: no limit
  Handler OnPacket;
  Handler OnDiscard;

  // The received data not yet cut into packets.
  std::string Buffer() const { return buffer_.substr(std::min(head_, buffer_.size())); }
  bool PacketOpen() const { return packet_open_; }

 private:
  void ScanBuffer();
  void ApplyLimit();
  // 1-based position of what in text (0 when absent, and for an empty what).
  size_t Position(const std::string& what, const std::string& text) const;

  std::string start_string_;
  std::string stop_string_;
  int size_ = 0;
  bool case_insensitive_ = false;
  std::string buffer_;
  size_t head_ = 0;  // while a scan runs: where the data not yet cut begins
  bool packet_open_ = false;
};

}  // namespace ln40
