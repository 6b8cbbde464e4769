#pragma once
// Reads a runner sheet from delimited text: the separator is ";" when the first line has one
// outside quotes, "," otherwise; RFC 4180 quoting; UTF-8 text, or Windows-1252 when the file
// is not valid UTF-8. The first line becomes the header row.
#include <string>

#include "table/grid_table.h"

namespace ln40::cli {

// Replaces the table's contents; keeps at least the table's current columns. Throws Error.
void LoadTableCsv(TGridTable& table, const std::string& path);

}  // namespace ln40::cli
