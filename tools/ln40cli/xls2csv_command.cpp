// ln40cli xls2csv: the first sheet of a workbook, each cell shown as its number format
// shows it, as CSV.
#include <iostream>
#include <sstream>

#include "command_line.h"
#include "commands.h"
#include "csv_output.h"
#include "locale_options.h"
#include "text/codepage.h"
#include "text/error.h"
#include "workbook/number_format.h"
#include "workbook/xls_file.h"

namespace ln40::cli {

const std::string kXls2csvHelp =
    "Usage: ln40cli xls2csv IN [OUT] [options]\n"
    "Reads the first sheet of the workbook IN (.xls, Excel 97-2003) and writes its used rows and\n"
    "columns as CSV (UTF-8, comma-separated, CRLF) to OUT or stdout, every cell shown as its\n"
    "number format shows it with the regional settings.\n"
    "\n"
    "  --locale NAME              regional settings of a named locale (nb-NO, en-US, ...)\n"
    "  --date-format PATTERN      --time-format PATTERN\n"
    "  --decimal-separator C      --thousands-separator C      --list-separator C\n";

namespace {

void AppendUtf8(std::u16string_view text, std::string& out) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

// RFC 4180: a field holding a comma, a double quote or a line end is quoted.
void AppendField(const std::string& utf8, std::string& out) {
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
    out += utf8;
    return;
  }
  out += '"';
  for (char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// The XF a cell shows with: its own, else its row's (other than XF 0), else its column's,
// else 15.
int DisplayXf(const TXLSFile& book, int row, int col, int own) {
  if (own >= 0) return own;
  const int row_xf = book.RowFormat(row);
  if (row_xf > 0) return row_xf;
  const int col_xf = book.ColumnFormat(col);
  return col_xf >= 0 ? col_xf : 15;
}

}  // namespace

int RunXls2csv(const std::vector<std::string>& args) {
  OptionSpec option_spec;
  AddLocaleOptions(option_spec);
  const CommandLine line(args, option_spec);
  if (line.Positional().empty() || line.Positional().size() > 2) throw Error("xls2csv takes IN and an optional OUT");
  const Locale locale = LocaleFromOptions(line);

  TXLSFile book;
  book.OpenFile(Utf8ToCp1252(line.Positional()[0]));
  book.SetActiveSheet(1);
  std::string csv;
  const int rows = book.UsedRowCount();
  const int cols = book.UsedColCount();
  std::string field;
  for (int row = 1; row <= rows; ++row) {
    for (int col = 1; col <= cols; ++col) {
      if (col > 1) csv += ',';
      const TXlsCellValue cell = book.GetCell(row, col);
      const std::u16string& code = book.NumberFormat(DisplayXf(book, row, col, cell.XF));
      field.clear();
      AppendUtf8(FormatCellValue(cell.Value, code, locale), field);
      AppendField(field, csv);
    }
    csv += "\r\n";
  }
  if (line.Positional().size() == 2) {
    SaveBytes(csv, line.Positional()[1]);
  } else {
    std::cout << csv;
    std::cout.flush();
    if (!std::cout) throw Error("Cannot write the output");
  }
  return 0;
}

}  // namespace ln40::cli
