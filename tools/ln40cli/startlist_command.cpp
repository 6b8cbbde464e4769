// ln40cli startlist: the start list page of a runner sheet, as "Print startlist" writes it.
#include "commands.h"

namespace ln40::cli {

const std::string kStartlistHelp =
    "Usage: ln40cli startlist IN [OUT.htm] [options]\n"
    "Builds the start list of the runner sheet IN (.csv, ';' or ',' separated) as \"Print\n"
    "startlist\" does: every runner with a start time, by class, in start time order, and\n"
    "writes its HTML page to OUT (Windows-1252, CR LF lines). Without OUT the page is\n"
    "\"Start.htm\" in the program's folder. Printing is not offered here.\n"
    "\n"
    "  --race NAME           race name (default \"Test race\")\n"
    "  --sub NAME            sub name (default \"10.10.04\"; only printed pages show it)\n"
    "  --data-dir DIR        the program's folder\n"
    "  --locale NAME         regional settings of a named locale (e.g. nb-NO)\n"
    "  --date-format F, --time-format F, --decimal-separator C,\n"
    "  --thousands-separator C, --list-separator C   override single settings\n";

int RunStartlist(const std::vector<std::string>& args) { return RunListPage(ListPageKind::Start, args); }

}  // namespace ln40::cli
