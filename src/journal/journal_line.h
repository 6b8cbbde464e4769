#pragma once
// The records of the journal as the timing session sees them: a run of the station and one
// reader line with what the station did with it.
#include <cstdint>
#include <optional>
#include <string>

#include "text/date_time.h"
#include "timing/station_options.h"

namespace ln40 {

// What the station did with a line.
enum class JournalLineKind {
  Message,   // handled by the station
  Fragment,  // the tail of a message already on the line when the port opened: kept, neither
             // handled nor acknowledged
  Repeat,    // sent again by the reader after a restart: acknowledged, not handled a second time
};

struct JournalLine {
  std::int64_t sequence = 0;  // rising over all runs, never reused; set by the journal
  std::int64_t run = 0;       // set by the journal
  TDateTime arrival = 0;      // local date and time the line arrived
  std::string bytes;          // as received, CR included; any byte values
  JournalLineKind kind = JournalLineKind::Message;
  StationOptions options;  // the options the station handled the line with
  // Sizes of the two log files before the line was handled; -1 when unknown or missing.
  std::int64_t chronexSizeBefore = -1;
  std::int64_t bfgSizeBefore = -1;
  bool handled = false;       // all of the line's effects are done
  bool acknowledged = false;  // its acknowledgement went out

  bool operator==(const JournalLine&) const = default;
};

// One run of the station, from its start to its clean stop. A run without a close mark ended
// in a crash (or is still going).
struct JournalRun {
  std::int64_t id = 0;
  TDateTime started = 0;
  std::optional<TDateTime> closed;

  bool operator==(const JournalRun&) const = default;
};

}  // namespace ln40
