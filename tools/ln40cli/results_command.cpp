// ln40cli results: the result list page of a runner sheet, as "Print result list" writes
// it. Also the part that the startlist subcommand shares.
#include <algorithm>
#include <iostream>

#include "app/data_folder.h"
#include "command_line.h"
#include "commands.h"
#include "csv_input.h"
#include "locale_options.h"
#include "reports/report_commands.h"
#include "sheet/runner_sheet.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {

const std::string kResultsHelp =
    "Usage: ln40cli results IN [OUT.htm] [options]\n"
    "Builds the result list of the runner sheet IN (.csv, ';' or ',' separated) as \"Print\n"
    "result list\" does: every runner with a net time, by class, ranked by net time with\n"
    "places, and writes its HTML page to OUT (Windows-1252, CR LF lines). Without OUT the page\n"
    "is \"Results.htm\" in the program's folder. Printing is not offered here.\n"
    "\n"
    "  --race NAME           race name (default \"Test race\")\n"
    "  --sub NAME            sub name (default \"10.10.04\"; only printed pages show it)\n"
    "  --data-dir DIR        the program's folder\n"
    "  --locale NAME         regional settings of a named locale (e.g. nb-NO)\n"
    "  --date-format F, --time-format F, --decimal-separator C,\n"
    "  --thousands-separator C, --list-separator C   override single settings\n";

namespace {

std::string LowerExtension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// Runner sheets are read as CSV until the workbook reader is wired in.
void CheckSheetInput(const std::string& path) {
  const std::string extension = LowerExtension(path);
  if (extension == ".xls") throw Error("workbook files are not supported yet: " + Utf8ToCp1252(path));
}

}  // namespace

int RunListPage(ListPageKind kind, const std::vector<std::string>& args) {
  const char* const name = kind == ListPageKind::Results ? "results" : "startlist";
  OptionSpec option_spec;
  option_spec.with_value.insert({"race", "sub", "data-dir"});
  AddLocaleOptions(option_spec);
  const CommandLine line(args, option_spec);
  if (line.Positional().empty() || line.Positional().size() > 2) {
    throw Error(std::string(name) + " needs a runner sheet and at most one output file");
  }
  const std::string& in_path = line.Positional()[0];
  CheckSheetInput(in_path);

  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  sheet.SetLocale(LocaleFromOptions(line));
  LoadTableCsv(sheet, in_path);

  const std::string race = Utf8ToCp1252(line.Value("race").value_or("Test race"));
  const std::string sub = Utf8ToCp1252(line.Value("sub").value_or("10.10.04"));
  const ListDocument doc =
      kind == ListPageKind::Results ? BuildResultList(sheet, race, sub) : BuildStartList(sheet, race, sub);

  std::string out_path;
  if (line.Positional().size() == 2) {
    out_path = line.Positional()[1];
  } else {
    const std::string folder = ResolveDataFolder(line.Value("data-dir"), ExecutableFolder());
    out_path = folder + (kind == ListPageKind::Results ? kResultsPageName : kStartPageName);
  }
  SaveAsHTML(doc.table, doc.html, doc.look, out_path);

  int runners = 0;
  int classes = 0;
  for (int row = 1; row < doc.table.RowCount(); ++row) {
    const RowKind row_kind = doc.table.KindOfRow(row);
    if (row_kind == RowKind::GroupHeading) ++classes;
    const int key_col = kind == ListPageKind::Results ? result_list::kNetTime : start_list::kStartTime;
    if (row_kind == RowKind::Body && !doc.table.Cell(key_col, row).empty()) ++runners;
  }
  std::cerr << "Wrote " << out_path << ": " << runners << " runners in " << classes << " classes\n";
  return 0;
}

int RunResults(const std::vector<std::string>& args) { return RunListPage(ListPageKind::Results, args); }

}  // namespace ln40::cli
