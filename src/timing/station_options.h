#pragma once
// The options a timing station works with: the reader nulltime, the race's names and the
// option boxes of the window (or the switches of ln40cli). One value type with one set of
// defaults; the settings store maps it to its stored names, the rest of the program reads
// the named fields. Texts are Windows-1252.
#include <string>

namespace ln40 {

struct StationOptions {
  std::string nulltime = "00:00:00";  // the reader's clock stood at zero at this time of day
  std::string raceName = "Test race";
  std::string subName = "10.10.04";
  bool keepMilliseconds = false;    // times and stamps with milliseconds
  bool autosave = true;             // both tables saved every minute and at the end
  bool clearOnOpen = false;         // the read-times table emptied when the port opens
  bool chronexLog = true;           // Chronex.log written
  bool bfgLog = true;               // the BFG log written
  bool removeLeadingZeros = true;   // start numbers read as numbers ("0042" -> "42")
  bool insertUnknownRunners = true; // an unknown start number becomes a new runner

  bool operator==(const StationOptions&) const = default;
};

}  // namespace ln40
