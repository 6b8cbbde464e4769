// ln40cli xls2csv: a workbook (or a .csv / .txt file) opened into the runner sheet as the
// "Open excel file" command does, written as CSV.
#include <iostream>

#include "command_line.h"
#include "commands.h"
#include "csv_output.h"
#include "huge_page_heap.h"
#include "locale_options.h"
#include "sheet/runner_sheet.h"
#include "text/error.h"
#include "exchange/grid_excel_io.h"
#include "exchange/workbook_commands.h"

namespace ln40::cli {

const std::string kXls2csvHelp =
    "Usage: ln40cli xls2csv IN [OUT] [options]\n"
    "Opens IN into the runner sheet as the \"Open excel file\" command does and writes the sheet\n"
    "as CSV (UTF-8, comma-separated, CRLF) to OUT or stdout: the header row with the twelve\n"
    "runner-sheet headings, then one line per row of the first sheet, every cell shown as its\n"
    "number format shows it with the regional settings. At least twelve columns; texts pass\n"
    "through the Windows-1252 code page as in the window (other characters become \"?\").\n"
    "IN: a workbook (.xls, Excel 97-2003), or delimited text: .csv separated by the list\n"
    "separator, .txt separated by tabs.\n"
    "\n"
    "  --locale NAME              regional settings of a named locale (nb-NO, en-US, ...)\n"
    "  --date-format PATTERN      --time-format PATTERN\n"
    "  --decimal-separator C      --thousands-separator C      --list-separator C\n";

int RunXls2csv(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  AddLocaleOptions(option_spec);
  const CommandLine line(args, option_spec);
  if (line.Positional().empty() || line.Positional().size() > 2) throw Error("xls2csv takes IN and an optional OUT");

  // A workbook's table takes about four times the file: 13 MB of runners take 54 MB.
  UseHugePagesForTheHeap(4 * RegularFileSize(line.Positional()[0]));
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  TGridExcelIO exchange(sheet);
  exchange.SetLocale(LocaleFromOptions(line));
  OpenRunnerSheet(exchange, line.Positional()[0], RunnerSheetHeadings());

  if (line.Positional().size() == 2) {
    SaveTableCsv(sheet, line.Positional()[1]);
  } else {
    WriteTableCsv(sheet, std::cout);
    std::cout.flush();
    if (!std::cout) throw Error("Cannot write the output");
  }
  return 0;
}

}  // namespace ln40::cli
