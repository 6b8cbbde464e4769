// ln40cli results: the result list page of a runner sheet, as "Print result list" writes
// it. Also the part that the startlist subcommand shares.
#include <iostream>

#include "app/data_folder.h"
#include "command_line.h"
#include "commands.h"
#include "locale_options.h"
#include "pdf_module.h"
#include "reports/print_layout.h"
#include "reports/report_commands.h"
#include "runner_sheet_file.h"
#include "sheet/runner_sheet.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {

const std::string kResultsHelp =
    "Usage: ln40cli results IN [OUT.htm] [options]\n"
    "Builds the result list of the runner sheet IN as \"Print result list\" does: every runner\n"
    "with a net time, by class, ranked by net time with places, and writes its HTML page to\n"
    "OUT (Windows-1252, CR LF lines). Without OUT the page is \"Results.htm\" in the program's\n"
    "folder. IN is a .csv file (';' or ',' separated, first line the headings) or a workbook\n"
    "(.xls, or .txt separated by tabs) read as \"Open excel file\" reads it.\n"
    "\n"
    "  --pdf FILE            also print the list, as the printer would, to the PDF file FILE\n"
    "  --race NAME           race name (default \"Test race\")\n"
    "  --sub NAME            sub name (default \"10.10.04\"; only printed pages show it)\n"
    "  --data-dir DIR        the program's folder\n"
    "  --locale NAME         regional settings of a named locale (e.g. nb-NO)\n"
    "  --date-format F, --time-format F, --decimal-separator C,\n"
    "  --thousands-separator C, --list-separator C   override single settings\n";

int RunListPage(ListPageKind kind, const std::vector<std::string>& args) {
  const char* const name = kind == ListPageKind::Results ? "results" : "startlist";
  OptionSpec option_spec;
  option_spec.with_value.insert({"race", "sub", "data-dir", "pdf"});
  AddLocaleOptions(option_spec);
  const CommandLine line(args, option_spec);
  if (line.Positional().empty() || line.Positional().size() > 2) {
    throw Error(std::string(name) + " needs a runner sheet and at most one output file");
  }
  const std::string& in_path = line.Positional()[0];
  const auto pdf_path = line.Value("pdf");
  // Loaded before anything is read or written, so that without it no work is left half done.
  const PdfPrinting* const pdf = pdf_path ? &LoadPdfPrinting() : nullptr;

  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  const Locale locale = LocaleFromOptions(line);
  sheet.SetLocale(locale);
  TGridExcelIO exchange(sheet);
  exchange.SetLocale(locale);
  LoadRunnerSheet(exchange, in_path);

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
  // The print comes first and the page after it, as in the window.
  if (pdf_path) {
    pdf->ensure_headless_gui_application();
    const std::string title = doc.print.TitleText;
    const SystemClock clock;
    int pages = 0;
    {
      std::unique_ptr<PrintCanvas> canvas = pdf->begin_pdf_print_job(*pdf_path, title, doc.print.Orientation);
      pages = PrintTable(doc.table, doc.print, doc.look, *canvas, clock.Now(), locale);
    }
    std::cerr << "Printed " << *pdf_path << ": " << pages << (pages == 1 ? " page\n" : " pages\n");
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
