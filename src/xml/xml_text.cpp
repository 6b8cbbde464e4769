#include "xml/xml_text.h"

#include <cstdint>

#include "text/codepage.h"

namespace ln40::xml {
namespace {

constexpr char kInvertedQuestionMark = '\xBF';

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads digits of `base`; false for an empty text, another character, or a value that does
// not fit the 32-bit range the number is read in (signed for decimal, unsigned for hex).
bool ReadNumber(std::string_view digits, int base, uint32_t& value) {
  if (digits.empty()) return false;
  const uint64_t limit = base == 10 ? 0x7FFFFFFFull : 0xFFFFFFFFull;
  uint64_t result = 0;
  for (char c : digits) {
    const int digit = base == 10 ? (c >= '0' && c <= '9' ? c - '0' : -1) : HexDigit(c);
    if (digit < 0) return false;
    result = result * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    if (result > limit) return false;
  }
  value = static_cast<uint32_t>(result);
  return true;
}

char ByteOfCodePoint(uint32_t code_point) {
  if (code_point < 256) return static_cast<char>(code_point & 0xFF);
  char byte = 0;
  return CodePointToCp1252(static_cast<char32_t>(code_point), byte) ? byte : kInvertedQuestionMark;
}

}  // namespace

bool IsNameStartChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (b >= 192 && b != 215 && b != 247);
}

bool IsNameChar(char c) {
  return IsNameStartChar(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || static_cast<unsigned char>(c) == 183;
}

void AppendUtf8AsCp1252(std::string_view utf8, std::string& out) {
  const size_t n = utf8.size();
  size_t i = 0;
  while (i < n) {
    // Plain ASCII runs are by far the most common; copy them in one go.
    size_t run = i;
    while (run < n && static_cast<unsigned char>(utf8[run]) < 0x80) ++run;
    if (run > i) {
      out.append(utf8.data() + i, run - i);
      i = run;
      if (i >= n) break;
    }
    const auto lead = static_cast<unsigned char>(utf8[i]);
    uint32_t code_point = 0;
    if ((lead & 0xE0) == 0xC0 && i + 1 < n) {
      code_point = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
      i += 2;
    } else if ((lead & 0xF0) == 0xE0 && i + 2 < n) {
      code_point = ((lead & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                   (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
      i += 3;
    } else {
      // A stray continuation byte, a lead of four or more bytes, or a cut-off sequence:
      // one "¿", and the bytes the lead announces are skipped with it.
      int ones = 0;
      for (unsigned char bit = 0x80; bit != 0 && (lead & bit) != 0; bit >>= 1) ++ones;
      const size_t skip = static_cast<size_t>(ones < 1 ? 1 : ones);
      out += kInvertedQuestionMark;
      i = skip > n - i ? n : i + skip;
      continue;
    }
    char byte = 0;
    out += CodePointToCp1252(static_cast<char32_t>(code_point), byte) ? byte : kInvertedQuestionMark;
  }
}

char CharacterReference(std::string_view text, std::string_view hex_prefixes, char bad_decimal, char bad_hex) {
  uint32_t value = 0;
  if (!text.empty() && hex_prefixes.find(text[0]) != std::string_view::npos) {
    return ReadNumber(text.substr(1), 16, value) ? ByteOfCodePoint(value) : bad_hex;
  }
  return ReadNumber(text, 10, value) ? ByteOfCodePoint(value) : bad_decimal;
}

bool PredefinedEntity(std::string_view name, char& value) {
  if (name == "lt") {
    value = '<';
  } else if (name == "gt") {
    value = '>';
  } else if (name == "amp") {
    value = '&';
  } else if (name == "apos") {
    value = '\'';
  } else if (name == "quot") {
    value = '"';
  } else {
    return false;
  }
  return true;
}

void PackSpace(std::string_view text, std::string& out) {
  out.clear();
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && IsXmlSpace(text[i])) ++i;
  bool pending_blank = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsXmlSpace(c)) {
      pending_blank = true;
      continue;
    }
    if (pending_blank) {
      out += ' ';
      pending_blank = false;
    }
    out += c;
  }
}

void BlankSpace(std::string& text) {
  for (char& c : text) {
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  }
}

}  // namespace ln40::xml
