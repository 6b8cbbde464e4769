// ln40cli feed: a raw reader byte stream through the message handler, as live data.
#include <cstdio>
#include <iostream>
#include <memory>

#include "command_line.h"
#include "commands.h"
#include "console_reader.h"
#include "csv_output.h"
#include "locale_options.h"
#include "app/data_folder.h"
#include "csv_input.h"
#include "text/codepage.h"
#include "text/error.h"
#include "timing/timing_station.h"

namespace ln40::cli {

const char* const kFeedHelp =
    "Usage: ln40cli feed [FILE] [options]\n"
    "Reads reader lines (each ended by CR) from FILE or stdin, handles each one as the\n"
    "program does with live data and writes the read-times table as CSV.\n"
    "\n"
    "  --nulltime HH:MM:SS   reader nulltime (default 00:00:00)\n"
    "  --ms                  keep milliseconds\n"
    "  --no-trim             keep leading zeros of start numbers\n"
    "  --date YYYY-MM-DD     the computer date used for stamps\n"
    "  --table FILE.csv      write the read-times table here (default: stdout)\n"
    "  --acks FILE           write the bytes sent back to the reader here\n"
    "  --sheet FILE.csv      runner sheet to match times against (';' or ',' separated)\n"
    "  --sheet-out FILE.csv  write the runner sheet after the stream\n"
    "  --no-insert           do not add runners for unknown start numbers\n"
    "  --no-chronex          do not write Chronex.log\n"
    "  --no-bfg              do not write the BFG log\n"
    "  --race NAME           race name (default \"Test race\")\n"
    "  --sub NAME            sub name (default \"10.10.04\")\n"
    "  --data-dir DIR        the program's folder, where the logs go\n"
    "  --locale NAME         regional settings of a named locale (e.g. nb-NO)\n"
    "  --date-format F, --time-format F, --decimal-separator C,\n"
    "  --thousands-separator C, --list-separator C   override single settings\n";

namespace {

TDateTime ParseDateOption(const std::string& text) {
  int year = 0, month = 0, day = 0;
  char dash1 = 0, dash2 = 0;
  TDateTime date = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d%c%2d%c%2d", &year, &dash1, &month, &dash2, &day) != 5 ||
      dash1 != '-' || dash2 != '-' || !TryEncodeDate(year, month, day, date)) {
    throw Error("Invalid date: " + text + " (expected YYYY-MM-DD)");
  }
  return date;
}

// Cuts the stream at every CR and hands each line, CR included, to the station.
class LineCutter {
 public:
  explicit LineCutter(TTimingStation& handler) : handler_(handler) {}

  void Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
      pending_ += data[i];
      if (data[i] == '\r') {
        handler_.HandleReaderMessage(pending_);
        pending_.clear();
      }
    }
  }

  const std::string& Pending() const { return pending_; }

 private:
  TTimingStation& handler_;
  std::string pending_;
};

}  // namespace

int RunFeed(const std::vector<std::string>& args) {
  OptionSpec spec;
  spec.with_value = {"nulltime", "date", "table", "acks", "sheet", "sheet-out", "race", "sub", "data-dir"};
  spec.switches = {"ms", "no-trim", "no-insert", "no-chronex", "no-bfg"};
  AddLocaleOptions(spec);
  const CommandLine line(args, spec);
  if (line.Positional().size() > 1) throw Error("feed takes at most one input file");

  const Locale locale = LocaleFromOptions(line);
  std::unique_ptr<Clock> clock;
  if (const auto date = line.Value("date")) {
    clock = std::make_unique<FixedDateClock>(ParseDateOption(*date));
  } else {
    clock = std::make_unique<SystemClock>();
  }

  ConsoleReaderWindow window;
  if (const auto nulltime = line.Value("nulltime")) window.nulltime = Utf8ToCp1252(*nulltime);
  if (const auto race = line.Value("race")) window.race = Utf8ToCp1252(*race);
  if (const auto sub = line.Value("sub")) window.sub = Utf8ToCp1252(*sub);
  window.trim = !line.Has("no-trim");
  window.insert = !line.Has("no-insert");
  window.chronex = !line.Has("no-chronex");
  window.bfg = !line.Has("no-bfg");
  ConsoleDialog dialog;
  CollectingLink link;
  const std::string folder = ResolveDataFolder(line.Value("data-dir"), ExecutableFolder());
  TTimingStation station(window, dialog, link, *clock, locale, folder,
                         [](const std::string& text) { std::cerr << "ln40cli: " << Cp1252ToUtf8(text) << '\n'; });
  station.Handler().SetMillisecondMode(line.Has("ms"));
  if (const auto sheet = line.Value("sheet")) LoadTableCsv(station.Sheet(), *sheet);
  station.BeforePortOpens(false);

  FILE* input = stdin;
  std::unique_ptr<FILE, int (*)(FILE*)> file(nullptr, &std::fclose);
  if (!line.Positional().empty()) {
    file.reset(std::fopen(line.Positional()[0].c_str(), "rb"));
    if (!file) throw Error("Cannot open " + Utf8ToCp1252(line.Positional()[0]));
    input = file.get();
  }

  LineCutter cutter(station);
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, input)) > 0) cutter.Feed(buffer, count);
  if (std::ferror(input)) throw Error("Cannot read the input");
  if (!cutter.Pending().empty()) {
    std::cerr << "ln40cli: " << cutter.Pending().size()
              << " bytes after the last CR are not a complete message and were not handled\n";
  }

  if (const auto acks = line.Value("acks")) SaveBytes(link.sent, *acks);
  if (const auto path = line.Value("sheet-out")) SaveTableCsv(station.Sheet(), *path);
  if (const auto path = line.Value("table")) {
    SaveTableCsv(station.ReadTimes(), *path);
  } else {
    WriteTableCsv(station.ReadTimes(), std::cout);
  }
  return 0;
}

}  // namespace ln40::cli
