#pragma once
// The check that keeps the import's reader and the full load alike, shared by the workbook
// tests and the workbook fuzzer: what TWorkbookReader reads of a workbook image against
// what TXLSFile loads of it.
#include <cstdint>
#include <span>
#include <string>

namespace ln40::test {

// The first difference, as a line of text; empty when they agree: both refuse the image
// with the same message, or both read it with the same sheets, kinds, used ranges, merged
// ranges, date system, number formats and cells (value and XF of every cell record).
std::string ReaderAndFullLoadDiffer(std::span<const std::uint8_t> image);

}  // namespace ln40::test
