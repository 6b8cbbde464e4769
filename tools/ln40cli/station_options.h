#pragma once
// The options that feed and serve share: the station's options, the program's folder, the
// runner sheet, the clock and the regional settings.
#include <memory>
#include <string>

#include "command_line.h"
#include "console_reader.h"
#include "text/clock.h"
#include "text/locale.h"
#include "timing/station_options.h"
#include "timing/timing_station.h"

namespace ln40::cli {

// The help text of the shared options, with their defaults.
std::string StationOptionsHelp();

void AddStationOptions(OptionSpec& option_spec);

// Everything a timing station needs besides its link, built from the options.
struct StationSetup {
  Locale locale;
  std::unique_ptr<Clock> clock;
  StationOptions options;
  std::string folder;  // the program's folder, with a trailing "/"
};

void BuildStationSetup(const CommandLine& line, StationSetup& setup);

// The runner sheet of --sheet into the station's sheet.
void LoadStationSheet(const CommandLine& line, TGridTable& sheet);

// At the end: --sheet-out, --save and --table (stdout when `table_to_stdout` and no --table).
void WriteStationResults(const CommandLine& line, TGridTable& sheet, TGridTable& read_times, bool table_to_stdout);

}  // namespace ln40::cli
