#pragma once
// Tables written by the tools as CSV: UTF-8, comma-separated, RFC 4180 quoting, CRLF line
// ends, one line per row from the header row down, every column.
#include <ostream>
#include <string>

#include "table/grid_table.h"

namespace ln40::cli {

void WriteTableCsv(const TGridTable& table, std::ostream& out);

// Writes to a temporary file beside `path` and renames it over `path` when complete.
// Throws Error when the file cannot be written.
void SaveTableCsv(const TGridTable& table, const std::string& path);

// Writes bytes to `path` the same safe way.
void SaveBytes(const std::string& bytes, const std::string& path);

}  // namespace ln40::cli
