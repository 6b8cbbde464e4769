#pragma once
// Reads a runner sheet from delimited text: the separator is ";" when the first line has one
// outside quotes, "," otherwise; RFC 4180 quoting; UTF-8 text, or Windows-1252 when the file
// is not valid UTF-8. The first line becomes the header row.
#include <string>

#include "exchange/sheet_bounds.h"
#include "table/grid_table.h"

namespace ln40::cli {

// What a table read from CSV may hold below its header line. A runner sheet: what one
// worksheet holds, as it is saved as one sheet. The read-times table: as wide as a sheet,
// as long as the table can be (its save goes on in further sheets).
inline constexpr TSheetExtent kRunnerSheetCsvBounds{kSheetMaxRows, kSheetMaxColumns};
inline constexpr TSheetExtent kReadTimesCsvBounds{TGridTable::kMaxRowCount - 1, kSheetMaxColumns};

// Replaces the table's contents; keeps at least the table's current columns. A file with
// more rows below its header line or more columns than `bounds` is refused before the table
// makes room for them, with a message giving the file's extent and the limit, and the table
// is left as it was. Throws Error.
void LoadTableCsv(TGridTable& table, const std::string& path, TSheetExtent bounds);

}  // namespace ln40::cli
