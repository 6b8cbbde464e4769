#include "runner_sheet_file.h"

#include <cctype>

#include "csv_input.h"
#include "csv_output.h"
#include "sheet/runner_sheet.h"
#include "text/codepage.h"
#include "text/error.h"
#include "timing/read_times_table.h"
#include "exchange/workbook_commands.h"

namespace ln40::cli {
namespace {

bool EndsWithIgnoringCase(const std::string& text, const std::string& ending) {
  if (text.size() < ending.size()) return false;
  for (std::size_t i = 0; i < ending.size(); ++i) {
    const char c = text[text.size() - ending.size() + i];
    if (std::tolower(static_cast<unsigned char>(c)) != ending[i]) return false;
  }
  return true;
}

}  // namespace

void LoadRunnerSheet(TGridExcelIO& exchange, const std::string& path) {
  if (EndsWithIgnoringCase(path, ".csv")) {
    LoadTableCsv(exchange.Table(), path, kRunnerSheetCsvBounds);
  } else {
    OpenRunnerSheet(exchange, path, RunnerSheetHeadings());
  }
}

void CheckRunnerSheetOutput(const std::string& path) {
  if (!EndsWithIgnoringCase(path, ".csv") && !EndsWithIgnoringCase(path, ".xls")) {
    throw Error("Unsupported sheet file: " + Utf8ToCp1252(path) + " (use .csv or .xls)");
  }
}

void SaveRunnerSheet(TGridExcelIO& exchange, const std::string& path) {
  CheckRunnerSheetOutput(path);
  if (EndsWithIgnoringCase(path, ".csv")) {
    SaveTableCsv(exchange.Table(), path);
    return;
  }
  TGridTable times;
  SetUpReadTimesTable(times);
  times.SetLocale(exchange.GetLocale());
  SaveBothTables(exchange, TGridExcelIO(times), path);
}

}  // namespace ln40::cli
