// libFuzzer harness of the number-format renderer. The input is a value line and a format
// code: the first line is the value ("s:" a string, "b:" a boolean, "e:" empty, anything
// else a number as strtod reads it, so inf, nan and huge exponents come too), the rest is
// the format code, one character per byte. A byte 0x01 in the value line picks a locale
// with other separators, a byte 0x02 the 1904 date system. The renderer promises never to fail; the harness also keeps the
// result within what the code and the value can make.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/locale.h"
#include "xls/number_format.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

ln40::CellValue ValueOf(const std::string& line) {
  if (line.rfind("s:", 0) == 0) return ln40::CellValue::String(std::u16string(line.begin() + 2, line.end()));
  if (line.rfind("b:", 0) == 0) return ln40::CellValue::Boolean(line.size() > 2 && line[2] == '1');
  if (line.rfind("e:", 0) == 0) return ln40::CellValue::Empty();
  return ln40::CellValue::Number(std::strtod(line.c_str(), nullptr));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const ln40::Locale worked = ln40::Locale::WorkedExample();
  static const ln40::Locale other = [] {
    ln40::Locale locale = ln40::Locale::WorkedExample();
    locale.decimalSeparator = ',';
    locale.thousandsSeparator = '.';
    locale.dateSeparator = '/';
    locale.shortDateFormat = "M/d/yy";
    locale.longTimeFormat = "h:mm:ss AP";
    return locale;
  }();
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t newline = input.find('\n');
  std::string value_line = input.substr(0, newline);
  const bool use_other = value_line.find('\x01') != std::string::npos;
  const ln40::DateSystem date_system =
      value_line.find('\x02') != std::string::npos ? ln40::DateSystem::d1904 : ln40::DateSystem::d1900;
  std::u16string format_code;
  if (newline != std::string::npos) {
    for (std::size_t i = newline + 1; i < input.size(); ++i) format_code += static_cast<unsigned char>(input[i]);
  }
  const ln40::Locale& locale = use_other ? other : worked;
  const ln40::CellValue value = ValueOf(value_line);
  const std::u16string shown = ln40::FormatCellValue(value, format_code, locale, date_system);
  const std::u16string plain = ln40::PlainTextOfValue(value, locale);
  // Every number run prints the whole value again ("0$0" shows 12345 as 12345$12345), and
  // every "@" the whole string, so the text may be as long as the code's characters times
  // the widest value: about 410 characters for 1e308 with grouping, or the string itself.
  Check(shown.size() <= (format_code.size() + 1) * (512 + plain.size()));
  return 0;
}
