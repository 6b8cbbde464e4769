// ln40cli csv2xls: a runner sheet saved as the "Save as excel file" command saves it.
#include "command_line.h"
#include "commands.h"
#include "csv_input.h"
#include "huge_page_heap.h"
#include "locale_options.h"
#include "runner_sheet_file.h"
#include "sheet/runner_sheet.h"
#include "text/error.h"
#include "timing/read_times_table.h"
#include "exchange/grid_excel_io.h"
#include "exchange/workbook_commands.h"

namespace ln40::cli {

const std::string kCsv2xlsHelp =
    "Usage: ln40cli csv2xls IN OUT [options]\n"
    "Reads a runner sheet from IN and saves it into the workbook OUT as the \"Save as excel\n"
    "file\" command does: the sheet \"LN40\" with the runners, then the sheet \"Excel\" with an\n"
    "empty read-times table. Texts that read as numbers, booleans, dates or times become typed\n"
    "cells. An existing OUT is updated: its \"LN40\" and \"Excel\" sheets are rewritten, its\n"
    "other sheets kept; it is replaced only by the complete new file.\n"
    "IN: CSV as ln40cli writes it (the first line is the header row; ';' or ',' separated;\n"
    "UTF-8, or Windows-1252), a workbook (.xls, its first sheet as \"Open excel file\" reads\n"
    "it), or .txt separated by tabs.\n"
    "\n"
    "  --times FILE.csv           the read-times table for the sheet \"Excel\" (as feed writes it)\n"
    "  --locale NAME              regional settings of a named locale (nb-NO, en-US, ...)\n"
    "  --date-format PATTERN      --time-format PATTERN\n"
    "  --decimal-separator C      --thousands-separator C      --list-separator C\n";

int RunCsv2xls(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  AddLocaleOptions(option_spec);
  option_spec.with_value.insert("times");
  const CommandLine line(args, option_spec);
  if (line.Positional().size() != 2) throw Error("csv2xls takes IN and OUT");
  const Locale locale = LocaleFromOptions(line);

  // The table, the workbook built from it and the file written take about ten times the
  // text: 6 MB of runners take 70 MB.
  UseHugePagesForTheHeap(10 * RegularFileSize(line.Positional()[0]));
  TGridTable sheet, times;
  SetUpRunnerSheet(sheet);
  SetUpReadTimesTable(times);
  TGridExcelIO sheet_exchange(sheet), times_exchange(times);
  sheet_exchange.SetLocale(locale);
  times_exchange.SetLocale(locale);
  LoadRunnerSheet(sheet_exchange, line.Positional()[0]);
  if (const auto path = line.Value("times")) LoadTableCsv(times, *path, kReadTimesCsvBounds);
  SaveBothTables(sheet_exchange, times_exchange, line.Positional()[1]);
  return 0;
}

}  // namespace ln40::cli
