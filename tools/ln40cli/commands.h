#pragma once
// The subcommands of ln40cli. Each takes the arguments after its name and returns the
// exit status; failures are thrown as Error with the text for stderr.
#include <string>
#include <vector>

#include "text/codepage.h"

namespace ln40::cli {

// A message (Windows-1252) as stderr shows it after "ln40cli: ": UTF-8, with a detail line
// after the first (the system call that failed) indented under it.
inline std::string ConsoleText(const std::string& message) {
  std::string shown = Cp1252ToUtf8(message);
  for (size_t at = shown.find('\n'); at != std::string::npos; at = shown.find('\n', at + 3)) shown.insert(at + 1, "  ");
  return shown;
}

int RunFeed(const std::vector<std::string>& args);
extern const std::string kFeedHelp;

int RunServe(const std::vector<std::string>& args);
extern const std::string kServeHelp;

int RunEntries(const std::vector<std::string>& args);
extern const std::string kEntriesHelp;

int RunAssign(const std::vector<std::string>& args);
extern const std::string kAssignHelp;

int RunResults(const std::vector<std::string>& args);
extern const std::string kResultsHelp;

int RunStartlist(const std::vector<std::string>& args);
extern const std::string kStartlistHelp;

int RunXls2csv(const std::vector<std::string>& args);
extern const std::string kXls2csvHelp;

int RunCsv2xls(const std::vector<std::string>& args);
extern const std::string kCsv2xlsHelp;

int RunXml(const std::vector<std::string>& args);
extern const std::string kXmlHelp;

int RunJournal(const std::vector<std::string>& args);
extern const std::string kJournalHelp;

// The result and start list pages share one run (results_command.cpp).
enum class ListPageKind { Results, Start };
int RunListPage(ListPageKind kind, const std::vector<std::string>& args);

}  // namespace ln40::cli
