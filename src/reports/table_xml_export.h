#pragma once
// The read-times table as a simple XML file of our own: a root element "kivos", one record
// element "kivo" per table row from the header row down, and inside it one element per
// shown column, named after the table's heading list by position. Nothing reads the file
// back; element names are written as the headings stand, without checks.
//
// Bytes: Windows-1252 as the cells hold them (the declaration names ISO-8859-1), every line
// ended by CR LF, cell texts with & > < " replaced by entities in this order. A CR inside a
// cell (the raw message keeps its CR) is written as it stands.
#include <string>
#include <vector>

#include "table/grid_table.h"

namespace ln40 {

// The name of shown column `position`: the heading list's entry, or "FIELD<position>" for a
// position beyond the list.
std::string XmlFieldName(const std::vector<std::string>& field_names, int position);

// Applies the four replacements of the cell texts.
std::string EscapeXmlCellText(const std::string& text);

// The whole file. Columns are the shown ones, left to right (a grouped table's hidden group
// column is left out and the names follow the positions).
std::string TableToXml(const TGridTable& table, const std::vector<std::string>& field_names);

// Writes the file `path` (a UTF-8 file name). The bytes go to a temporary file beside it
// that replaces `path` only when complete, so a failed write leaves an earlier file of that
// name intact. Throws Error "Cannot Create file <name>" when the file cannot be created, and
// the platform's message when writing fails.
void SaveTableAsXml(const TGridTable& table, const std::vector<std::string>& field_names, const std::string& path);

}  // namespace ln40
