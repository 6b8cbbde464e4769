#include "workbook/autosave.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <string_view>

#include "workbook/autosave_rotation.h"
#include "text/file_replace.h"
#include "workbook/workbook_commands.h"
#include "workbook/xls_file.h"

namespace ln40 {

std::vector<std::uint8_t> BothTablesImage(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times) {
  TXLSFile book;
  book.NewFile(1);
  runner_sheet.ExportSheet(book, kRunnerSheetName, -1, true, TBadFormulas::WriteAsText);
  read_times.ExportSheet(book, kReadTimesSheetName, -1, false, TBadFormulas::WriteAsText);
  book.SelectSheet(1);
  return book.SaveToMemory();
}

void AutosaveTables(const std::string& folder, const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times) {
  const std::vector<std::uint8_t> image = BothTablesImage(runner_sheet, read_times);
  RotateAutosave(AutosaveFilesIn(folder), [&image](const std::string& path) {
    WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
  });
  // The workbook is built whole in memory, a few kB a table row, and freed again. The C
  // library keeps freed heap resident, and the rows added until the next tick settle in
  // it, so a station running for hours would keep a little more every minute than its
  // tables hold. The free pages go back to the system here (well under a millisecond).
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

}  // namespace ln40
