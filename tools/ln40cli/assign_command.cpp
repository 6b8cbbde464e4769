// ln40cli assign: start numbers and start times for a runner sheet, as the "Assign
// startnumbers and starttime" button does, with the dialogs answered from the options.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>
#include <set>

#include "command_line.h"
#include "commands.h"
#include "locale_options.h"
#include "runner_sheet_file.h"
#include "sheet/runner_sheet.h"
#include "sheet/start_assignment.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {

const std::string kAssignHelp =
    "Usage: ln40cli assign IN OUT [options]\n"
    "Gives the runner sheet IN start numbers and start times as \"Assign startnumbers and\n"
    "starttime\" does and writes it to OUT. IN: .csv (';' or ',' separated, the first line the\n"
    "header row), .xls (the first sheet, as \"Open excel file\" reads it) or .txt (tabs).\n"
    "OUT: .csv, or .xls as \"Save as excel file\" writes it (the sheet as \"LN40\"). The runners are\n"
    "drawn into a random order within each course and class; unless --no-vacant is given,\n"
    "vacant start places are put before the runners of each class. Start numbers count from 1\n"
    "down the sheet, start times run from the nulltime + 15 s in steps of 15 s.\n"
    "\n"
    "  --vacant CLASS=N,...  vacant runners per class. A class not named gets the count the\n"
    "                        window's prompt would offer: 2 for the first class asked, then\n"
    "                        the count of the class asked before it\n"
    "  --no-vacant           no vacant runners\n"
    "  --seed N              seed of the draw (default: from the clock)\n"
    "  --nulltime HH:MM:SS   reader nulltime (default 00:00:00)\n"
    "  --locale NAME         regional settings of a named locale (e.g. nb-NO)\n"
    "  --date-format F, --time-format F, --decimal-separator C,\n"
    "  --thousands-separator C, --list-separator C   override single settings\n";

namespace {

// The window's dialogs answered from the command line: the question by --no-vacant, each
// class's prompt by --vacant or its preset. A count the prompt refuses ends the command.
class OptionDialogs : public StartAssignmentDialogs {
 public:
  DialogAnswer answer = DialogAnswer::Yes;
  std::map<std::string, std::string> counts;  // class -> count text, Windows-1252
  std::set<std::string> asked;

  DialogAnswer AskYesNoCancel(const std::string&, const std::string&) override { return answer; }
  bool InputQuery(const std::string&, const std::string& prompt, std::string& value) override {
    const size_t prefix = std::strlen(kVacantPromptText);
    current_ = prompt.size() >= prefix ? prompt.substr(prefix) : prompt;
    asked.insert(current_);
    const auto it = counts.find(current_);
    if (it != counts.end()) value = it->second;
    return true;
  }
  // Only a refused count is shown; there is nobody to type another one.
  void ShowMessage(const std::string& text) override {
    const auto it = counts.find(current_);
    throw Error(text + " (class " + current_ + (it != counts.end() ? ": " + it->second : std::string()) + ")");
  }

 private:
  std::string current_;
};

std::map<std::string, std::string> ParseVacant(const std::string& text) {
  std::map<std::string, std::string> counts;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    const size_t equals = item.rfind('=');
    if (equals == std::string::npos || equals == 0) {
      throw Error("Invalid --vacant entry '" + Utf8ToCp1252(item) + "' (expected CLASS=N)");
    }
    counts[Utf8ToCp1252(item.substr(0, equals))] = Utf8ToCp1252(item.substr(equals + 1));
    start = comma + 1;
  }
  return counts;
}

uint64_t ParseSeed(const std::string& text) {
  uint64_t seed = 0;
  if (text.empty() || text.size() > 20) throw Error("Invalid seed: " + Utf8ToCp1252(text));
  for (char c : text) {
    if (c < '0' || c > '9') throw Error("Invalid seed: " + Utf8ToCp1252(text));
    const uint64_t next = seed * 10 + static_cast<uint64_t>(c - '0');
    if (next / 10 != seed) throw Error("Invalid seed: " + Utf8ToCp1252(text));
    seed = next;
  }
  return seed;
}

}  // namespace

int RunAssign(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  option_spec.with_value.insert({"vacant", "seed", "nulltime"});
  option_spec.switches.insert("no-vacant");
  AddLocaleOptions(option_spec);
  const CommandLine line(args, option_spec);
  if (line.Positional().size() != 2) throw Error("assign needs an input sheet and an output file");
  const std::string& in_path = line.Positional()[0];
  const std::string& out_path = line.Positional()[1];
  CheckRunnerSheetOutput(out_path);
  if (line.Has("no-vacant") && line.Value("vacant")) throw Error("--vacant and --no-vacant cannot be combined");

  OptionDialogs dialogs;
  if (line.Has("no-vacant")) dialogs.answer = DialogAnswer::No;
  if (const auto vacant = line.Value("vacant")) dialogs.counts = ParseVacant(*vacant);
  SeededDrawSource draw =
      line.Value("seed") ? SeededDrawSource(ParseSeed(*line.Value("seed"))) : SeededDrawSource::FromClock();
  const std::string nulltime = Utf8ToCp1252(line.Value("nulltime").value_or("00:00:00"));

  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  sheet.SetLocale(LocaleFromOptions(line));
  TGridExcelIO exchange(sheet);
  LoadRunnerSheet(exchange, in_path);

  std::string previous_class;
  AssignStartNumbersAndTimes(sheet, dialogs, draw, nulltime, previous_class);
  for (const auto& [klass, count] : dialogs.counts) {
    if (dialogs.asked.count(klass) == 0)
      std::cerr << "ln40cli: no class '" << Cp1252ToUtf8(klass) << "' in the sheet\n";
  }
  SaveRunnerSheet(exchange, out_path);
  return 0;
}

}  // namespace ln40::cli
