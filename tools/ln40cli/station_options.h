#pragma once
// The options that feed and serve share: the station's options, the program's folder, the
// runner sheet, the clock and the regional settings.
#include <functional>
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

// The files a command writes at its end, each written even when one before it failed (a
// save refused for a sheet too long must not cost the read-times table): a failure's message
// goes to stderr with the file it concerns, and the command ends with status 1.
class OutputWrites {
 public:
  void Write(const std::string& path, const std::function<void()>& write);
  bool Failed() const { return failed_; }

 private:
  bool failed_ = false;
};

// At the end: --sheet-out, --save and --table (stdout when `table_to_stdout` and no --table).
void WriteStationResults(const CommandLine& line, TGridTable& sheet, TGridTable& read_times, bool table_to_stdout,
                         OutputWrites& outputs);

}  // namespace ln40::cli
