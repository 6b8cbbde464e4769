#include "timing/reader_message.h"

#include <cstdint>

#include "text/numbers.h"

namespace ln40 {

std::string MessageField(std::string_view text, size_t first, size_t length) {
  if (first == 0 || first > text.size()) return {};
  return std::string(text.substr(first - 1, length));
}

std::string KindNameOf(std::string_view kind) {
  if (kind == "A" || kind == "B") return "Time";
  if (kind == "C") return "Unknown";
  if (kind == "D") return "Sync";
  if (kind == "F") return "Starttime";
  return {};
}

bool KindHasStartNumber(std::string_view kind) { return kind == "A" || kind == "B"; }

bool IsAckMessage(std::string_view text) {
  return text.size() < 3 && text.find("+\r") != std::string_view::npos;
}

bool IsNakMessage(std::string_view text) {
  return text.size() < 3 && text.find("-\r") != std::string_view::npos;
}

std::optional<ReaderClock> ReadReaderClock(std::string_view reader_time) {
  int32_t minutes = 0, seconds = 0, milliseconds = 0;
  if (!TryReadInteger(MessageField(reader_time, 1, 3), minutes) ||
      !TryReadInteger(MessageField(reader_time, 5, 2), seconds) ||
      !TryReadInteger(MessageField(reader_time, 8, 3), milliseconds)) {
    return std::nullopt;
  }
  ReaderClock clock;
  clock.minutes = static_cast<uint16_t>(minutes);
  clock.seconds = static_cast<uint16_t>(seconds);
  clock.milliseconds = static_cast<uint16_t>(milliseconds);
  return clock;
}

}  // namespace ln40
