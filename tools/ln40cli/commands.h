#pragma once
// The subcommands of ln40cli. Each takes the arguments after its name and returns the
// exit status; failures are thrown as Error with the text for stderr.
#include <string>
#include <vector>

namespace ln40::cli {

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
