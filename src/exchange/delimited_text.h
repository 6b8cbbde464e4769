#pragma once
// Reading delimited text (.csv with the list separator, .txt with tabs) field by field, for
// the import of such files into a workbook sheet. Windows-1252 bytes, read as they stand.
//
// A field that begins with a double quote runs to the next lone double quote, two double
// quotes inside it standing for one; the character after the closing quote is read as the
// next character of the line. An unquoted field runs up to the next delimiter, CR or LF.
// A delimiter moves to the next column, an LF to column 1 of the next row, a CR is skipped.
// Every field read is reported (an empty quoted field included); two delimiters in a row
// report nothing for the column between them. A field that ends the text without a line
// end is reported like any other.
#include <functional>
#include <string>
#include <string_view>

#include "exchange/sheet_bounds.h"

namespace ln40 {

// The rows and columns `text` spans as ReadDelimitedText reads it: rows up to the last that
// holds a field or a delimiter, columns as many as the widest row has, empty fields counted
// (a line of 20,000 delimiters spans 20,001 columns).
TSheetExtent DelimitedTextExtent(std::string_view text, char delimiter);

// `field` receives the 1-based row and column and the field's text. Reads no further than
// `bounds`: returns false at the first delimiter, field or row beyond them (having reported
// the fields before it), true when the whole text lies within them.
bool ReadDelimitedText(std::string_view text, char delimiter,
                       const std::function<void(int row, int col, const std::string& field)>& field,
                       TSheetExtent bounds = {kSheetMaxRows, kSheetMaxColumns});

}  // namespace ln40
