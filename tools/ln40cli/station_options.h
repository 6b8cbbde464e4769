#pragma once
// The options that feed and serve share: the window's fields and boxes, the program's
// folder, the runner sheet, the clock and the regional settings.
#include <memory>
#include <string>

#include "command_line.h"
#include "console_reader.h"
#include "text/clock.h"
#include "text/locale.h"
#include "timing/timing_station.h"

namespace ln40::cli {

extern const char* const kStationOptionsHelp;

void AddStationOptions(OptionSpec& option_spec);

// Everything a timing station needs besides its link, built from the options.
struct StationSetup {
  Locale locale;
  std::unique_ptr<Clock> clock;
  ConsoleReaderWindow window;
  std::string folder;  // the program's folder, with a trailing "/"
  bool millisecond_mode = false;
};

void BuildStationSetup(const CommandLine& line, StationSetup& setup);

// After the station is made: milliseconds, the runner sheet of --sheet.
void PrepareStation(const CommandLine& line, const StationSetup& setup, TTimingStation& station);

// At the end: --sheet-out and --table (stdout when `table_to_stdout` and no --table).
void WriteStationResults(const CommandLine& line, TTimingStation& station, bool table_to_stdout);

}  // namespace ln40::cli
