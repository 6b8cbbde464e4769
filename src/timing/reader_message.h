#pragma once
// One reader message and the decoding of its fixed fields.
//
// A message is one line of the reader, CR included. By position (counted from 1):
// 1 kind letter, 2 and 3 two characters passed on to the Chronex log, 4-9 the start
// number (kinds A and B), 10-19 the reader clock "MMM:SS.ZZZ", the rest kept only raw.
// A field that runs past the end of the text is cut short there.
#include <optional>
#include <string>
#include <string_view>

namespace ln40 {

struct ReaderMessage {
  std::string Raw;          // the whole text, CR included
  std::string Kind;         // character 1
  std::string Char2;        // character 2
  std::string Char3;        // character 3
  std::string KindName;     // "Time", "Unknown", "Sync", "Starttime" or empty
  std::string StartNumber;  // characters 4-9 for kinds A and B, maybe trimmed
  std::string ReaderTime;   // characters 10-19
  std::string TimeText;     // the time of day shown in the "Time" column
  std::string PcStamp;      // date stamp of the computer clock
  std::string ReaderStamp;  // date stamp of the reader time
};

// Characters first..first+length-1 (1-based) of text, cut short at its end.
std::string MessageField(std::string_view text, size_t first, size_t length);

// The "Text" column for a kind letter; empty for a letter the reader does not define.
std::string KindNameOf(std::string_view kind);

// True for the kinds whose start number is read: "A" and "B".
bool KindHasStartNumber(std::string_view kind);

// "+\r" and "-\r" exactly: a text containing the control and shorter than three characters.
bool IsAckMessage(std::string_view text);
bool IsNakMessage(std::string_view text);

// The reader clock "MMM:SS.ZZZ" as minutes, seconds and milliseconds, each read as an
// integer and kept as an unsigned 16-bit value (so -1 becomes 65535).
struct ReaderClock {
  unsigned minutes = 0;
  unsigned seconds = 0;
  unsigned milliseconds = 0;
};

// Empty when a field is not an integer.
std::optional<ReaderClock> ReadReaderClock(std::string_view reader_time);

}  // namespace ln40
