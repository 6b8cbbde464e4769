// ln40cli startlist: the start list page of a runner sheet, as "Print startlist" writes it.
#include "commands.h"

namespace ln40::cli {

const std::string kStartlistHelp =
    "Usage: ln40cli startlist IN [OUT.htm] [options]\n"
    "Builds the start list of the runner sheet IN as \"Print startlist\" does: every runner\n"
    "with a start time, by class, in start time order, and writes its HTML page to OUT\n"
    "(Windows-1252, CR LF lines). Without OUT the page is \"Start.htm\" in the program's\n"
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

int RunStartlist(const std::vector<std::string>& args) { return RunListPage(ListPageKind::Start, args); }

}  // namespace ln40::cli
