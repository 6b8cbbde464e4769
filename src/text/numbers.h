#pragma once
// Reading and writing numbers as the system's texts hold them.
#include <cstdint>
#include <string>
#include <string_view>

#include "text/locale.h"

namespace ln40 {

// Reads a 32-bit integer: leading blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$" or "0x". Anything else fails: an empty text, trailing
// characters (a CR included), a value outside the 32-bit range.
bool TryReadInteger(std::string_view text, int32_t& result);

// Reads a decimal number written with the locale's decimal separator and, between digits,
// its thousands separator; an optional leading minus. No blanks, no exponent.
bool TryReadDecimal(std::string_view text, const Locale& locale, double& result);

}  // namespace ln40
