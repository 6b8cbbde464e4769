// ln40cli feed: a raw reader byte stream through the message handler, as live data.
#include <cstdio>
#include <iostream>
#include <memory>

#include "command_line.h"
#include "commands.h"
#include "console_reader.h"
#include "csv_output.h"
#include "locale_options.h"
#include "text/error.h"
#include "timing/read_times_table.h"

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

// Cuts the stream at every CR and hands each line, CR included, to the handler.
class LineCutter {
 public:
  explicit LineCutter(TReaderMessageHandler& handler) : handler_(handler) {}

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
  TReaderMessageHandler& handler_;
  std::string pending_;
};

}  // namespace

int RunFeed(const std::vector<std::string>& args) {
  OptionSpec spec;
  spec.with_value = {"nulltime", "date", "table", "acks"};
  spec.switches = {"ms", "no-trim"};
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
  if (const auto nulltime = line.Value("nulltime")) window.nulltime = *nulltime;
  window.trim = !line.Has("no-trim");
  ConsoleDialog dialog;
  CollectingLink link;
  TGridTable table;
  table.SetLocale(locale);
  SetUpReadTimesTable(table);
  TReaderMessageHandler handler(table, window, dialog, link, *clock, locale);
  handler.SetMillisecondMode(line.Has("ms"));

  FILE* input = stdin;
  std::unique_ptr<FILE, int (*)(FILE*)> file(nullptr, &std::fclose);
  if (!line.Positional().empty()) {
    file.reset(std::fopen(line.Positional()[0].c_str(), "rb"));
    if (!file) throw Error("Cannot open " + line.Positional()[0]);
    input = file.get();
  }

  LineCutter cutter(handler);
  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, input)) > 0) cutter.Feed(buffer, count);
  if (std::ferror(input)) throw Error("Cannot read the input");
  if (!cutter.Pending().empty()) {
    std::cerr << "ln40cli: " << cutter.Pending().size()
              << " bytes after the last CR are not a complete message and were not handled\n";
  }

  if (const auto acks = line.Value("acks")) SaveBytes(link.sent, *acks);
  if (const auto path = line.Value("table")) {
    SaveTableCsv(table, *path);
  } else {
    WriteTableCsv(table, std::cout);
  }
  return 0;
}

}  // namespace ln40::cli
