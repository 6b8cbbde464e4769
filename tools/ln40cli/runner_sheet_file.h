#pragma once
// A runner sheet read from a file given on the command line (--sheet, csv2xls IN).
#include <string>

#include "exchange/grid_excel_io.h"

namespace ln40::cli {

// A .csv file (any case) is ln40cli's own CSV, its first line the header row (csv_input.h);
// anything else is opened as the "Open excel file" command opens it: the first sheet of a
// workbook, or .txt separated by tabs, widened to the twelve headed columns. The sheet is
// the exchange's table. Throws Error with the reader's message.
void LoadRunnerSheet(TGridExcelIO& exchange, const std::string& path);

// Writes the exchange's table to `path`: a .csv file as ln40cli's CSV (csv_output.h), a
// .xls file as "Save as excel file" saves it, the sheet as "LN40" and an empty read-times
// table as "Excel". Throws Error for any other extension, before anything is written.
void SaveRunnerSheet(TGridExcelIO& exchange, const std::string& path);

// The check of SaveRunnerSheet alone, for commands that check their output name first.
void CheckRunnerSheetOutput(const std::string& path);

}  // namespace ln40::cli
