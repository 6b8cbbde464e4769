#include "text/numbers.h"

#include <charconv>
#include <string>

namespace ln40 {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool TryReadInteger(std::string_view text, int32_t& result) {
  size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  bool hex = false;
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos >= text.size()) return false;

  // Hexadecimal takes any 32-bit pattern; decimal must fit the signed range.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = hex ? HexValue(text[pos]) : (IsDigit(text[pos]) ? text[pos] - '0' : -1);
    if (digit < 0) return false;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > limit) return false;
  }
  const auto bits = static_cast<uint32_t>(value);
  result = static_cast<int32_t>(negative ? 0u - bits : bits);
  return true;
}

bool TryReadDecimal(std::string_view text, const Locale& locale, double& result) {
  std::string plain;
  plain.reserve(text.size());
  size_t pos = 0;
  if (pos < text.size() && text[pos] == '-') {
    plain += '-';
    ++pos;
  }
  bool seen_digit = false;
  bool seen_decimal = false;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (IsDigit(c)) {
      plain += c;
      seen_digit = true;
    } else if (c == locale.decimalSeparator && !seen_decimal) {
      plain += '.';
      seen_decimal = true;
    } else if (c == locale.thousandsSeparator && !seen_decimal && seen_digit && pos + 1 < text.size() &&
               IsDigit(text[pos + 1])) {
      // a group separator between digits of the whole part
    } else {
      return false;
    }
  }
  if (!seen_digit) return false;
  // from_chars reads the point whatever the process locale says.
  const char* first = plain.data();
  const char* last = plain.data() + plain.size();
  const auto [end, error] = std::from_chars(first, last, result);
  return error == std::errc() && end == last;
}

}  // namespace ln40
