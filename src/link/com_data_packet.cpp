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
  if (buffer_.empty()) return;
  const std::string dropped = std::move(buffer_);
  buffer_.clear();
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
// effect is the same and a block of many packets cannot exhaust the stack.
void TComDataPacket::ScanBuffer() {
  while (true) {
    try {
      if (!packet_open_) {
        if (start_string_.empty()) {
          packet_open_ = true;
        } else {
          const size_t p = Position(start_string_, buffer_);
          if (p > 0) {
            packet_open_ = true;
            if (p > 1) {
              const std::string discarded = buffer_.substr(0, p - 1);
              buffer_.erase(0, p - 1);
              if (OnDiscard) OnDiscard(discarded);
            }
          }
        }
      }
      if (!packet_open_) break;

      size_t cut = 0;
      if (size_ > 0 && buffer_.size() >= static_cast<size_t>(size_)) {
        cut = static_cast<size_t>(size_);
      } else {
        const size_t skip = std::min(start_string_.size(), buffer_.size());
        const size_t q = Position(stop_string_, buffer_.substr(skip));
        if (q > 0) cut = q + stop_string_.size() + skip - 1;
      }
      if (cut == 0) break;

      packet_open_ = false;
      std::string packet = buffer_.substr(0, cut);
      buffer_.erase(0, cut);
      if (!IncludeStrings) {
        if (!start_string_.empty() && Position(start_string_, packet) == 1) packet.erase(0, start_string_.size());
        const size_t stop = Position(stop_string_, packet);
        if (stop > 0 && stop - 1 + stop_string_.size() == packet.size()) {
          packet.erase(packet.size() - stop_string_.size());
        }
      }
      if (OnPacket) OnPacket(packet);
    } catch (...) {
      ApplyLimit();
      throw;
    }
  }
  ApplyLimit();
}

}  // namespace ln40
