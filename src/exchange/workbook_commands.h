#pragma once
// The commands on workbook files: "Open excel file" loads a workbook (or a .csv / .txt
// file) into the runner sheet, "Save as excel file" writes both tables into one workbook.
// Every workbook the system writes holds the runner sheet as "LN40" and the read-times
// table as "Excel", in this order; a read-times table longer than a sheet goes on in
// "Excel (2)", "Excel (3)", ... right after it (TLongTable), while a runner sheet longer
// than a sheet is refused with a message that names the limit. The dialogs are the
// caller's; file names here are UTF-8.
// Errors are ln40::Error with the text for the standard error report.
#include <optional>
#include <string>
#include <vector>

#include "exchange/grid_excel_io.h"

namespace ln40 {

inline constexpr const char* kRunnerSheetName = "LN40";
inline constexpr const char* kReadTimesSheetName = "Excel";

// Open with the file chosen in the dialog, or nothing when it was cancelled: the first sheet
// of the file replaces the runner sheet (its header row included). Then, also after a
// cancel, the sheet is widened to as many columns as `headings` has and the headings are
// written into its header row; further columns keep empty headings. A failed import
// throws before the widening; the sheet then holds what the import left.
void OpenRunnerSheet(TGridExcelIO& runner_sheet, const std::optional<std::string>& file,
                     const std::vector<std::string>& headings);

// The widening and headings of OpenRunnerSheet alone.
void RestoreRunnerSheetColumns(TGridTable& sheet, const std::vector<std::string>& headings);

// Writes both tables into `file`: an existing workbook is updated (its sheets "LN40" and
// "Excel" rewritten in place or appended, every other sheet and stream kept); a missing one
// is created. The file is replaced only by the complete new one, so a failure leaves it as
// it was.
void SaveBothTables(const TGridExcelIO& runner_sheet, const TGridExcelIO& read_times, const std::string& file);

}  // namespace ln40
