// ln40cli xml: the read-times table as the "Save as XML file" command writes it.
#include "command_line.h"
#include "commands.h"
#include "csv_input.h"
#include "text/error.h"
#include "timing/read_times_table.h"
#include "reports/table_xml_export.h"

namespace ln40::cli {

const std::string kXmlHelp =
    "Usage: ln40cli xml IN.csv OUT.xml\n"
    "Reads a read-times table from IN.csv, as feed --table writes it (the first line is the\n"
    "header row), and writes it to OUT.xml as the \"Save as XML file\" command does: root\n"
    "\"kivos\", one \"kivo\" per row from the header row down, one element per column named\n"
    "after the table's headings (\"FIELD<n>\" beyond them), Windows-1252 text, CR LF lines.\n";

int RunXml(const std::vector<std::string>& args) {
  const CommandLine line(args, OptionSpec{});
  if (line.Positional().size() != 2) throw Error("xml takes IN.csv and OUT.xml");
  TGridTable times;
  SetUpReadTimesTable(times);
  LoadTableCsv(times, line.Positional()[0], kReadTimesCsvBounds);
  SaveTableAsXml(times, ReadTimesHeadings(), line.Positional()[1]);
  return 0;
}

}  // namespace ln40::cli
