#pragma once
// Helpers of the workbook tests: record streams built by hand, wrapped in a compound file,
// the records of a stream listed, and descriptions of workbooks for xlrd_check.py.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "xls/xls_file.h"

namespace ln40::test {

// The folder of the committed workbook fixtures.
std::string Fixture(const std::string& name);

// One record of a hand-built stream.
struct Rec {
  std::uint16_t id;
  std::vector<std::uint8_t> data;
};

// Little-endian pieces for record data.
std::vector<std::uint8_t> Le16(std::initializer_list<int> values);
std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts);
std::vector<std::uint8_t> Le32(std::uint32_t value);
std::vector<std::uint8_t> LeDouble(double value);
// A BIFF8 string: 8-bit count (`wide_count` false) or 16-bit, flags, characters in the
// narrowest form.
std::vector<std::uint8_t> XlString(const std::u16string& text, bool wide_count = true);

std::vector<std::uint8_t> Stream(const std::vector<Rec>& records);

// A container with the stream as "Workbook" (or another name).
std::vector<std::uint8_t> Container(const std::vector<std::uint8_t>& stream, const std::string& name = "Workbook");

// A minimal workbook: globals (BOF, WINDOW1, one FONT, 16 XFs, BOUNDSHEETs of `sheets`, an
// SST of `strings`, EOF) and each sheet's records between its own BOF and EOF.
struct HandSheet {
  std::u16string name;
  std::uint16_t type = 0x0010;  // BOF type: worksheet; 0x0020 chart
  std::vector<Rec> records;
};
std::vector<std::uint8_t> HandWorkbook(const std::vector<HandSheet>& sheets,
                                       const std::vector<std::u16string>& strings = {},
                                       const std::vector<Rec>& extra_globals = {});

// Cell records.
Rec RowRec(int row, int first_col, int last_col1, int flags = 0x0100);
Rec NumberRec(int row, int col, double value, int xf = 15);
Rec RkRec(int row, int col, std::uint32_t rk, int xf = 15);
Rec LabelSstRec(int row, int col, std::uint32_t index, int xf = 15);

// The records of a workbook stream: id and data, CONTINUE records as their own entries.
std::vector<Rec> ListRecords(const std::vector<std::uint8_t>& stream);
// The "Workbook" stream of a file image.
std::vector<std::uint8_t> WorkbookStreamOf(const std::vector<std::uint8_t>& image);

// A description of workbooks in the format of xlrd_check.py.
class XlrdDescription {
 public:
  void File(const std::string& path);
  void Sheets(const std::vector<std::u16string>& names);
  void Cell(int sheet, int row, int col, const CellValue& value, int xf = -1, const std::u16string* format = nullptr,
            const TCellFont* font = nullptr);
  void Merged(int sheet, int first_row, int last_row, int first_col, int last_col);
  void Outline(int sheet, int row, int level);
  void Complete();
  // Describes every worksheet of an opened workbook as our reader sees it.
  void DescribeAsRead(TXLSFile& book, const std::string& path);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Runs xlrd_check.py on a description. Returns the exit status (77: xlrd missing) and the
// checker's output in `output`.
int RunXlrdCheck(const XlrdDescription& description, const std::string& folder, std::string& output);

}  // namespace ln40::test
