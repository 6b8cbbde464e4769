// ln40cli journal: the journal of a data folder, every line the reader sent, as CSV or as
// the raw byte stream that `ln40cli feed` replays.
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "command_line.h"
#include "journal/journal_reader.h"
#include "text/codepage.h"
#include "text/date_time.h"
#include "text/error.h"

namespace ln40::cli {

const std::string kJournalHelp =
    "Usage: ln40cli journal DIR [--raw] [--run N]\n"
    "Lists the journal of the data folder DIR (journal.sqlite): every line the reader sent,\n"
    "in the order it arrived, as CSV on stdout with the columns sequence, run, arrival\n"
    "(the computer's time), kind (message; fragment: the end of a message that was already\n"
    "on the line when the port opened, not handled; repeat: a message the reader sent again\n"
    "after a restart, acknowledged and not handled twice), line (without its CR),\n"
    "acknowledged and handled (yes or no).\n"
    "\n"
    "  --raw     write the handled lines as the raw byte stream instead, as `ln40cli feed`\n"
    "            reads it (ln40cli journal DIR --raw | ln40cli feed)\n"
    "  --run N   only the lines of run N (each start after a clean stop begins a run)\n";

namespace {

const char* KindName(JournalLineKind kind) {
  switch (kind) {
    case JournalLineKind::Message: return "message";
    case JournalLineKind::Fragment: return "fragment";
    case JournalLineKind::Repeat: return "repeat";
  }
  return "message";
}

// "2026-12-11 07:12:34.567", the computer's local time.
std::string ArrivalText(TDateTime arrival) {
  const DateParts date = DecodeDate(arrival);
  const TimeParts time = DecodeTime(arrival);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", date.year, date.month, date.day, time.hour,
                time.minute, time.second, time.millisecond);
  return text;
}

// RFC 4180: a field with a comma, quote or line break is quoted, quotes doubled.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::int64_t ParseRun(const std::string& text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) {
    throw Error("Invalid --run: " + Utf8ToCp1252(text) + " (a run number)");
  }
  return std::stoll(text);
}

}  // namespace

int RunJournal(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  option_spec.with_value.insert("run");
  option_spec.switches.insert("raw");
  const CommandLine line(args, option_spec);
  if (line.Positional().size() != 1) throw Error("journal takes the data folder: ln40cli journal DIR");
  std::optional<std::int64_t> run;
  if (const auto text = line.Value("run")) run = ParseRun(*text);
  const bool raw = line.Has("raw");

  JournalReader journal(line.Positional()[0]);
  if (!raw) std::cout << "sequence,run,arrival,kind,line,acknowledged,handled\r\n";
  journal.ForEachLine([&](const JournalLine& entry) {
    if (run && entry.run != *run) return;
    if (raw) {
      // Fragments and repeats were never handled; the stream holds what the station handled.
      if (entry.kind == JournalLineKind::Message) std::cout.write(entry.bytes.data(), static_cast<std::streamsize>(entry.bytes.size()));
      return;
    }
    std::string text = entry.bytes;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::cout << entry.sequence << ',' << entry.run << ',' << ArrivalText(entry.arrival) << ',' << KindName(entry.kind)
              << ',' << CsvField(Cp1252ToUtf8(text)) << ',' << (entry.acknowledged ? "yes" : "no") << ','
              << (entry.handled ? "yes" : "no") << "\r\n";
  });
  std::cout.flush();
  if (!std::cout) throw Error("Cannot write the journal to the output");
  return 0;
}

}  // namespace ln40::cli
