#pragma once
// The two embedded resources every new workbook and every inserted sheet start from:
//   EMPTYWORKBOOK   a complete workbook file of 13824 bytes: a compound file with 512-byte
//                   sectors whose root (class 00020820-0000-0000-C000-000000000046) holds
//                   the "Workbook" stream and the two summary property-set streams, each
//                   4096 bytes long (zero-padded);
//   EMPTYWORKSHEET  the records of one empty worksheet section, 243 bytes.
// Both are built here, record by record, from the values listed in the comments below.
// Internal to src/workbook.
#include <cstdint>
#include <string>
#include <vector>

namespace ln40::xls {

// The user name in the WRITEACCESS record of new workbooks.
inline constexpr const char* kTemplateUserName = "ln40util";

std::vector<std::uint8_t> EmptyWorkbookImage();           // EMPTYWORKBOOK, 13824 bytes
std::vector<std::uint8_t> EmptyWorksheetRecords();        // EMPTYWORKSHEET, 243 bytes
std::vector<std::uint8_t> EmptyWorkbookStream();          // the template's "Workbook" stream
std::vector<std::uint8_t> SummaryInformationStream();     // "\x05SummaryInformation"
std::vector<std::uint8_t> DocumentSummaryInformationStream();  // "\x05DocumentSummaryInformation"

}  // namespace ln40::xls
