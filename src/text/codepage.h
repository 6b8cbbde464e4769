#pragma once
// The system's text is 8-bit: std::string holding Windows-1252 bytes, one byte per character.
// These conversions are used at the edges only: UTF-8 for file names and imported XML,
// UTF-16 for workbook strings and the window system.
#include <string>
#include <string_view>

namespace ln40 {

// The Unicode code point of one Windows-1252 byte. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value, so
// every byte survives a round trip.
char32_t Cp1252ToCodePoint(unsigned char byte);

// The Windows-1252 byte of a code point; false when the code page has no such character.
bool CodePointToCp1252(char32_t code_point, char& byte);

std::string Cp1252ToUtf8(std::string_view text);
std::u16string Cp1252ToUtf16(std::string_view text);

// Characters the code page lacks, and bytes that are not valid UTF-8, become `replacement`.
std::string Utf8ToCp1252(std::string_view utf8, char replacement = '?');
std::string Utf16ToCp1252(std::u16string_view utf16, char replacement = '?');

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// Upper case by the rules of the Windows-1252 letters: a-z, the accented letters
// (æ ø å become Æ Ø Å), š œ ž ÿ. ß and every other byte stay as they are.
char UpperCaseChar(char c);
std::string UpperCase(std::string_view text);

}  // namespace ln40
