// ln40cli entries: the entry import from a club system's XML file into an empty runner
// sheet, as the "Get data from klubben online" button does.
#include <iostream>

#include "command_line.h"
#include "commands.h"
#include "csv_output.h"
#include "runner_sheet_file.h"
#include "sheet/entry_import.h"
#include "sheet/runner_sheet.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {

const std::string kEntriesHelp =
    "Usage: ln40cli entries XML OUT [options]\n"
    "Imports an entry file of the club system (klubben online) into an empty runner sheet, as\n"
    "\"Get data from klubben online\" does, and writes the sheet to OUT: .csv (UTF-8, comma-\n"
    "separated, the header row first) or .xls (a workbook as \"Save as excel file\" writes it,\n"
    "the runners in the sheet \"LN40\", an empty read-times table in \"Excel\"). The race name\n"
    "(from the file's Eventname, or --race) is shown on stderr as \"Race name: NAME\".\n"
    "\n"
    "  --race NAME       the race name before the import (default \"Test race\")\n"
    "  --race-out FILE   also write the race name to FILE (UTF-8, one line)\n";

namespace {

class ConsoleImportWindow : public EntryImportWindow {
 public:
  std::string race_name = "Test race";
  void SetRaceName(const std::string& name) override { race_name = name; }
  void SetAutosaveIndicatorVisible(bool) override {}
};

}  // namespace

int RunEntries(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  option_spec.with_value.insert({"race", "race-out"});
  const CommandLine line(args, option_spec);
  if (line.Positional().size() != 2) throw Error("entries needs an entry file and an output file");
  const std::string& xml_path = line.Positional()[0];
  const std::string& out_path = line.Positional()[1];
  CheckRunnerSheetOutput(out_path);

  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  EntryImportState state;
  ConsoleImportWindow window;
  if (const auto race = line.Value("race")) window.race_name = Utf8ToCp1252(*race);
  // A source that is no readable entry file ends the command here, before OUT is touched.
  const int added = ImportEntryFile(xml_path, sheet, state, window);

  TGridExcelIO exchange(sheet);
  SaveRunnerSheet(exchange, out_path);
  if (const auto race_out = line.Value("race-out")) SaveBytes(Cp1252ToUtf8(window.race_name) + "\n", *race_out);
  std::cerr << "Race name: " << Cp1252ToUtf8(window.race_name) << '\n' << "Entries imported: " << added << '\n';
  return 0;
}

}  // namespace ln40::cli
