// ln40cli feed: a raw reader byte stream through the framer and the message handler, as
// live data.
#include <cstdio>
#include <iostream>
#include <memory>

#include "commands.h"
#include "csv_output.h"
#include "link/com_data_packet.h"
#include "station_options.h"
#include "text/codepage.h"
#include "text/error.h"
#include "timing/options_reader_window.h"

namespace ln40::cli {

const std::string kFeedHelp = std::string(
    "Usage: ln40cli feed [FILE] [options]\n"
    "Reads a raw reader byte stream from FILE or stdin, cuts it at every CR and handles each\n"
    "line as the program does with live data: the read-times table (CSV on stdout unless\n"
    "--table is given), runner matching against --sheet, and the two logs.\n"
    "\n"
    "  --acks FILE           write the bytes sent back to the reader here\n") + StationOptionsHelp();

int RunFeed(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  AddStationOptions(option_spec);
  option_spec.with_value.insert("acks");
  const CommandLine line(args, option_spec);
  if (line.Positional().size() > 1) throw Error("feed takes at most one input file");

  StationSetup setup;
  BuildStationSetup(line, setup);
  OptionsReaderWindow window;
  window.options = setup.options;
  ConsoleDialog dialog;
  CollectingLink link;
  TTimingStation station(window, dialog, link, *setup.clock, setup.locale, setup.folder,
                         [](const std::string& text) { std::cerr << "ln40cli: " << Cp1252ToUtf8(text) << '\n'; });
  station.Handler().SetMillisecondMode(window.options.keepMilliseconds);
  LoadStationSheet(line, station.Sheet());

  FILE* input = stdin;
  std::unique_ptr<FILE, int (*)(FILE*)> file(nullptr, &std::fclose);
  if (!line.Positional().empty()) {
    file.reset(std::fopen(line.Positional()[0].c_str(), "rb"));
    if (!file) throw Error("Cannot open " + Utf8ToCp1252(line.Positional()[0]));
    input = file.get();
  }

  // The same framer as on the serial line; as at every open, the logs are created first.
  TComDataPacket framer;
  framer.IncludeStrings = true;
  framer.MaxBufferSize = 10240;
  framer.OnPacket = [&](const std::string& packet) { station.HandleReaderMessage(packet); };
  station.BeforePortOpens(window.options.clearOnOpen);
  framer.SetStopString("\r");

  char buffer[4096];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, input)) > 0) {
    framer.FeedReportingErrors(std::string(buffer, count), [](const std::exception& error) {
      std::cerr << "ln40cli: " << Cp1252ToUtf8(error.what()) << '\n';
    });
  }
  if (std::ferror(input)) throw Error("Cannot read the input");
  if (!framer.Buffer().empty()) {
    std::cerr << "ln40cli: " << framer.Buffer().size()
              << " bytes after the last CR are not a complete message and were not handled\n";
  }

  OutputWrites outputs;
  if (const auto acks = line.Value("acks")) outputs.Write(*acks, [&] { SaveBytes(link.sent, *acks); });
  WriteStationResults(line, station.Sheet(), station.ReadTimes(), true, outputs);
  return outputs.Failed() ? 1 : 0;
}

}  // namespace ln40::cli
