#include "link/com_data_packet.h"

#include <algorithm>

namespace ln40 {
namespace {

std::string UpperAsciiLetters(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

size_t TComDataPacket::Position(const std::string& what, const std::string& text) const {
  if (what.empty()) return 0;
  const size_t found = case_insensitive_ ? UpperAsciiLetters(text).find(UpperAsciiLetters(what)) : text.find(what);
  return found == std::string::npos ? 0 : found + 1;
}

void TComDataPacket::Feed(const std::string& block) {
  if (size_ > 0 || !stop_string_.empty()) {
    buffer_ += block;
    ScanBuffer();
  } else if (OnPacket) {
    OnPacket(block);
  }
}

void TComDataPacket::FeedReportingErrors(const std::string& block,
                                         const std::function<void(const std::exception&)>& report) {
  bool scan_again = false;
  try {
    Feed(block);
  } catch (const std::exception& error) {
    report(error);
    scan_again = true;
  }
  // Every error ends the handling of one packet, so this ends when the buffer is used up.
  while (scan_again && (size_ > 0 || !stop_string_.empty())) {
    scan_again = false;
    try {
      ScanBuffer();
    } catch (const std::exception& error) {
      report(error);
      scan_again = true;
    }
  }
}

void TComDataPacket::DropBuffer() {
  if (head_ >= buffer_.size()) {
    buffer_.clear();
    head_ = 0;
    return;
  }
  // Packets already cut in a scan under way were delivered; only the rest is thrown away.
  const std::string dropped = buffer_.substr(head_);
  buffer_.clear();
  head_ = 0;
  packet_open_ = false;
  if (OnDiscard) OnDiscard(dropped);
}

void TComDataPacket::SetStartString(const std::string& value) {
  if (value == start_string_) return;
  start_string_ = value;
  DropBuffer();
}

void TComDataPacket::SetStopString(const std::string& value) {
  if (value == stop_string_) return;
  stop_string_ = value;
  DropBuffer();
}

void TComDataPacket::SetSize(int value) {
  if (value == size_) return;
  size_ = value;
  DropBuffer();
}

void TComDataPacket::SetCaseInsensitive(bool value) {
  if (value == case_insensitive_) return;
  case_insensitive_ = value;
  DropBuffer();
}

void TComDataPacket::ApplyLimit() {
  if (MaxBufferSize > 0 && buffer_.size() >= static_cast<size_t>(MaxBufferSize)) DropBuffer();
}

// Cuts as many packets as the buffer holds, then applies the buffer limit (also when a
// handler throws). A loop rather than a scan that calls itself after each packet: the
// effect is the same and a block of many packets cannot exhaust the stack. The cut packets
// are taken off the front of the buffer once at the end, so a block costs linear time.
void TComDataPacket::ScanBuffer() {
  size_t& head = head_;  // start of the data not yet cut
  const auto find = [this](const std::string& what, size_t from) -> size_t {
    if (what.empty()) return std::string::npos;
    if (!case_insensitive_) return buffer_.find(what, from);
    const size_t found = UpperAsciiLetters(buffer_.substr(from)).find(UpperAsciiLetters(what));
    return found == std::string::npos ? found : found + from;
  };
  const auto settle = [this] {
    buffer_.erase(0, std::min(head_, buffer_.size()));
    head_ = 0;
    ApplyLimit();
  };
  try {
    while (true) {
      if (!packet_open_) {
        if (start_string_.empty()) {
          packet_open_ = true;
        } else {
          const size_t p = find(start_string_, head);
          if (p != std::string::npos) {
            packet_open_ = true;
            if (p > head) {
              const std::string discarded = buffer_.substr(head, p - head);
              head = p;
              if (OnDiscard) OnDiscard(discarded);
            }
          }
        }
      }
      if (!packet_open_) break;

      const size_t available = buffer_.size() - head;
      size_t cut = 0;
      if (size_ > 0 && available >= static_cast<size_t>(size_)) {
        cut = static_cast<size_t>(size_);
      } else {
        const size_t skip = std::min(start_string_.size(), available);
        const size_t q = find(stop_string_, head + skip);
        if (q != std::string::npos) cut = q - head + stop_string_.size();
      }
      if (cut == 0) break;

      packet_open_ = false;
      std::string packet = buffer_.substr(head, cut);
      head += cut;
      if (!IncludeStrings) {
        if (!start_string_.empty() && Position(start_string_, packet) == 1) packet.erase(0, start_string_.size());
        const size_t stop = Position(stop_string_, packet);
        if (stop > 0 && stop - 1 + stop_string_.size() == packet.size()) {
          packet.erase(packet.size() - stop_string_.size());
        }
      }
      if (OnPacket) OnPacket(packet);
    }
  } catch (...) {
    settle();
    throw;
  }
  settle();
}

}  // namespace ln40
