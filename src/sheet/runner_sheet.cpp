#include "sheet/runner_sheet.h"

#include "text/date_time.h"

namespace ln40 {

const std::vector<std::string>& RunnerSheetHeadings() {
  static const std::vector<std::string> headings = {"Fornavn",  "Etternavn", "Klasse", "Klubb",
                                                    "Kj\xF8nn", "L\xF8ype",  "Startnr", "Brikkenr",
                                                    "Starttid", "Kid",       "Inkomst", "Sluttid"};
  return headings;
}

void SetUpRunnerSheet(TGridTable& sheet) {
  static const int kWidths[runner_sheet::kColumnCount] = {64, 64, 43, 64, 38, 43, 49, 57, 64, 34, 64, 64};
  sheet.SetColCount(runner_sheet::kColumnCount);
  sheet.SetColumnHeaders(RunnerSheetHeadings());
  for (int col = 0; col < runner_sheet::kColumnCount; ++col) sheet.SetColumnWidth(col, kWidths[col]);
}

void ApplyNetTimeRule(TGridTable& sheet, int row) {
  if (row < 1 || row >= sheet.RowCount()) return;
  const Locale& locale = sheet.GetLocale();
  TDateTime start = 0;
  if (!TryReadTimeOfDay(sheet.Cell(runner_sheet::kStartTime, row), locale, start)) start = 0;
  const std::string& finish_text = sheet.Cell(runner_sheet::kFinish, row);
  if (finish_text.empty()) return;
  TDateTime finish = 0;
  if (!TryReadTimeOfDay(finish_text, locale, finish)) return;
  sheet.SetCell(runner_sheet::kNetTime, row, FormatTimeOfDay(finish - start, locale));
}

void ApplyInsertedRowRule(TGridTable& sheet, int row, const std::string& previous_class) {
  if (row < 1 || row >= sheet.RowCount()) return;
  sheet.SetCell(runner_sheet::kClass, row, previous_class);
}

}  // namespace ln40
