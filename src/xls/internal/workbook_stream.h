#pragma once
// The workbook stream of an .xls file: which stream of the container holds the workbook,
// and the refusal of workbooks of the Excel versions before 97, whose records this program
// does not read.
//
// Excel 97 and later keep the BIFF8 workbook in the root stream "Workbook". Excel 5.0/95
// kept its workbook (BIFF5) in a stream named "Book", and some programs write BIFF8 into a
// "Book" stream too: "Book" is read when there is no "Workbook". Excel 4.0 and older wrote
// the records as the whole file, without a container. Names compare without regard to
// letter case, as the container compares them.
//
// Errors are ln40::Error with the text shown to the user, the file named as given:
//   "%s" is an Excel 5.0/95 workbook; save it as Excel 97-2003 or newer and open it again
//   "%s" is an Excel 4.0 or older workbook; save it as Excel 97-2003 or newer and open it again
//   Workbook could not be found.       a container without a workbook stream
// and those of the container (see ole2_storage.h).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "compound_file/ole2_storage.h"

namespace ln40 {

// Opens the container of a workbook file (Windows-1252 name) or image for reading, as
// TOle2Storage does. A file that is no container but the records of an older Excel
// workbook is refused with the message that says which version it is.
TOle2Storage OpenWorkbookContainer(const std::string& file_name);
TOle2Storage OpenWorkbookContainer(std::span<const std::uint8_t> image, const std::string& display_name);

// The name, as stored, of the stream that holds the workbook in the current storage (the
// root) of a storage open for reading: "Workbook", else "Book"; empty when there is neither.
std::u16string WorkbookStreamName(const TOle2Storage& storage);

// The bytes of the workbook stream of a storage open for reading, at its root: a view of
// the image when the stream lies there in one run (valid until the storage is released),
// else a copy in `copy`. A stream of an Excel version before 97 is refused before it is
// read.
std::span<const std::uint8_t> ReadWorkbookStream(TOle2Storage& storage, std::vector<std::uint8_t>& copy);

}  // namespace ln40
