#include "workbook/autosave.h"

#include <string_view>

#include "workbook/autosave_rotation.h"
#include "text/file_replace.h"
#include "workbook/workbook_commands.h"
#include "workbook/xls_file.h"

namespace ln40 {

std::vector<std::uint8_t> BothTablesImage(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times) {
  TXLSFile book;
  book.NewFile(1);
  runner_sheet.ExportSheet(book, kRunnerSheetName, -1, true);
  read_times.ExportSheet(book, kReadTimesSheetName, -1);
  book.SelectSheet(1);
  return book.SaveToMemory();
}

void AutosaveTables(const std::string& folder, const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times) {
  const std::vector<std::uint8_t> image = BothTablesImage(runner_sheet, read_times);
  RotateAutosave(AutosaveFilesIn(folder), [&image](const std::string& path) {
    WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
  });
}

}  // namespace ln40
