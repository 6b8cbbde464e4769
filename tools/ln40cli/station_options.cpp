#include "station_options.h"

#include <cstdio>
#include <iostream>

#include "app/data_folder.h"
#include "csv_input.h"
#include "csv_output.h"
#include "locale_options.h"
#include "runner_sheet_file.h"
#include "text/codepage.h"
#include "text/error.h"
#include "exchange/grid_excel_io.h"
#include "exchange/workbook_commands.h"

namespace ln40::cli {

std::string StationOptionsHelp() {
  const StationOptions defaults;
  return std::string(
    "  --nulltime HH:MM:SS   reader nulltime (default " + defaults.nulltime + ")\n"
    "  --ms                  keep milliseconds\n"
    "  --no-trim             keep leading zeros of start numbers\n"
    "  --no-insert           do not add runners for unknown start numbers\n"
    "  --no-chronex          do not write Chronex.log\n"
    "  --no-bfg              do not write the BFG log\n"
    "  --clear               empty the read-times table when the port opens\n"
    "  --race NAME           race name (default \"" + Cp1252ToUtf8(defaults.raceName) + "\")\n"
    "  --sub NAME            sub name (default \"" + Cp1252ToUtf8(defaults.subName) + "\")\n"
    "  --data-dir DIR        the program's folder, where the logs go\n"
    "  --sheet FILE          runner sheet to match times against: .csv (';' or ','\n"
    "                        separated, first line the header row), or a workbook (.xls)\n"
    "                        opened as \"Open excel file\" does\n"
    "  --sheet-out FILE.csv  write the runner sheet at the end\n"
    "  --table FILE.csv      write the read-times table at the end\n"
    "  --save FILE.xls       save both tables at the end as \"Save as excel file\" does\n"
    "                        (sheets \"LN40\" and \"Excel\")\n"
    "  --date YYYY-MM-DD     the computer date used for stamps\n"
    "  --locale NAME         regional settings of a named locale (e.g. nb-NO)\n"
    "  --date-format F, --time-format F, --decimal-separator C,\n"
    "  --thousands-separator C, --list-separator C   override single settings\n");
}

namespace {

TDateTime ParseDateOption(const std::string& text) {
  int year = 0, month = 0, day = 0;
  char dash1 = 0, dash2 = 0;
  TDateTime date = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d%c%2d%c%2d", &year, &dash1, &month, &dash2, &day) != 5 ||
      dash1 != '-' || dash2 != '-' || !TryEncodeDate(year, month, day, date)) {
    throw Error("Invalid date: " + text + " (expected YYYY-MM-DD)");
  }
  return date;
}

}  // namespace

void AddStationOptions(OptionSpec& option_spec) {
  option_spec.with_value.insert({"nulltime", "date", "table", "sheet", "sheet-out", "race", "sub", "data-dir", "save"});
  option_spec.switches.insert({"ms", "no-trim", "no-insert", "no-chronex", "no-bfg", "clear"});
  AddLocaleOptions(option_spec);
}

void BuildStationSetup(const CommandLine& line, StationSetup& setup) {
  setup.locale = LocaleFromOptions(line);
  if (const auto date = line.Value("date")) {
    setup.clock = std::make_unique<FixedDateClock>(ParseDateOption(*date));
  } else {
    setup.clock = std::make_unique<SystemClock>();
  }
  StationOptions& options = setup.options;
  if (const auto nulltime = line.Value("nulltime")) options.nulltime = Utf8ToCp1252(*nulltime);
  if (const auto race = line.Value("race")) options.raceName = Utf8ToCp1252(*race);
  if (const auto sub = line.Value("sub")) options.subName = Utf8ToCp1252(*sub);
  options.removeLeadingZeros = !line.Has("no-trim");
  options.insertUnknownRunners = !line.Has("no-insert");
  options.chronexLog = !line.Has("no-chronex");
  options.bfgLog = !line.Has("no-bfg");
  options.keepMilliseconds = line.Has("ms");
  options.clearOnOpen = line.Has("clear");
  setup.folder = ResolveDataFolder(line.Value("data-dir"), ExecutableFolder());
}

void LoadStationSheet(const CommandLine& line, TGridTable& sheet) {
  if (const auto file = line.Value("sheet")) {
    TGridExcelIO exchange(sheet);
    LoadRunnerSheet(exchange, *file);
  }
}

void OutputWrites::Write(const std::string& path, const std::function<void()>& write) {
  try {
    write();
  } catch (const std::exception& error) {
    std::cerr << "ln40cli: " << path << " not written: " << Cp1252ToUtf8(error.what()) << '\n';
    failed_ = true;
  }
}

void WriteStationResults(const CommandLine& line, TGridTable& sheet, TGridTable& read_times, bool table_to_stdout,
                         OutputWrites& outputs) {
  if (const auto path = line.Value("sheet-out")) outputs.Write(*path, [&] { SaveTableCsv(sheet, *path); });
  if (const auto path = line.Value("save")) {
    // The tables carry the station's regional settings, which the exchanges take.
    outputs.Write(*path, [&] { SaveBothTables(TGridExcelIO(sheet), TGridExcelIO(read_times), *path); });
  }
  if (const auto path = line.Value("table")) {
    outputs.Write(*path, [&] { SaveTableCsv(read_times, *path); });
  } else if (table_to_stdout) {
    WriteTableCsv(read_times, std::cout);
  }
}

}  // namespace ln40::cli
