// ln40cli: the program's features without a screen, for scripts, tests and timing stations.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "commands.h"
#include "text/codepage.h"
#include "text/error.h"

namespace {

const char* const kUsage =
    "Usage: ln40cli COMMAND [arguments] [options]\n"
    "\n"
    "Commands:\n"
    "  feed [FILE]   handle a raw reader byte stream and write the read-times table\n"
    "  serve         a timing station without a screen on the reader's serial port\n"
    "  entries XML OUT  import a club system's entry file into a runner sheet\n"
    "  assign IN OUT    give a runner sheet start numbers and start times\n"
    "  xls2csv IN [OUT] a workbook opened into the runner sheet, as CSV\n"
    "  csv2xls IN OUT   a runner sheet saved as a workbook (sheets \"LN40\" and \"Excel\")\n"
    "  xml IN.csv OUT   a read-times table as the XML file of \"Save as XML file\"\n"
    "  results IN [OUT.htm]    the result list page of a runner sheet\n"
    "  startlist IN [OUT.htm]  the start list page of a runner sheet\n"
    "  journal DIR      the journal of a data folder: every line the reader sent\n"
    "\n"
    "ln40cli COMMAND --help shows the options of a command.\n";

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
  const std::string* help;
};

const Command kCommands[] = {
    {"feed", &ln40::cli::RunFeed, &ln40::cli::kFeedHelp},
    {"serve", &ln40::cli::RunServe, &ln40::cli::kServeHelp},
    {"entries", &ln40::cli::RunEntries, &ln40::cli::kEntriesHelp},
    {"assign", &ln40::cli::RunAssign, &ln40::cli::kAssignHelp},
    {"xls2csv", &ln40::cli::RunXls2csv, &ln40::cli::kXls2csvHelp},
    {"csv2xls", &ln40::cli::RunCsv2xls, &ln40::cli::kCsv2xlsHelp},
    {"xml", &ln40::cli::RunXml, &ln40::cli::kXmlHelp},
    {"results", &ln40::cli::RunResults, &ln40::cli::kResultsHelp},
    {"startlist", &ln40::cli::RunStartlist, &ln40::cli::kStartlistHelp},
    {"journal", &ln40::cli::RunJournal, &ln40::cli::kJournalHelp},
};

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << kUsage;  // a command is missing: an error like any other
    return 1;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return 0;
  }
  for (const Command& command : kCommands) {
    if (args[0] != command.name) continue;
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const std::string& arg : rest) {
      if (arg == "--help" || arg == "-h") {
        std::cout << *command.help;
        return 0;
      }
    }
    try {
      return command.run(rest);
    } catch (const std::exception& error) {
      std::cerr << "ln40cli: " << ln40::cli::ConsoleText(error.what()) << '\n';
      return 1;
    }
  }
  std::cerr << "ln40cli: unknown command '" << args[0] << "'\n" << kUsage;
  return 1;
}
