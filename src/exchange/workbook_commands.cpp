#include "exchange/workbook_commands.h"

#include "text/codepage.h"

namespace ln40 {

void RestoreRunnerSheetColumns(TGridTable& sheet, const std::vector<std::string>& headings) {
  while (sheet.ColCount() < static_cast<int>(headings.size())) sheet.AddColumn();
  for (std::size_t col = 0; col < headings.size(); ++col) sheet.SetCell(static_cast<int>(col), 0, headings[col]);
}

void OpenRunnerSheet(TGridExcelIO& runner_sheet, const std::optional<std::string>& file,
                     const std::vector<std::string>& headings) {
  // The exchange takes file names as the system's 8-bit text.
  if (file) runner_sheet.ImportFile(Utf8ToCp1252(*file));
  RestoreRunnerSheetColumns(runner_sheet.Table(), headings);
}

void SaveBothTables(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times, const std::string& file) {
  ExportTables(Utf8ToCp1252(file),
               {{&runner_sheet, kRunnerSheetName},
                {&read_times, kReadTimesSheetName, -1, TLongTable::ContinueOnFurtherSheets}},
               1);
}

}  // namespace ln40
