#include "compound_file/compound_file_format.h"

namespace ln40::cfb {
namespace {

bool Between(char16_t c, char16_t first, char16_t last) { return c >= first && c <= last; }
bool IsOdd(char16_t c) { return (c & 1) != 0; }

}  // namespace

char16_t UpperCaseNameChar(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
  // Latin-1 Supplement and Latin Extended-A.
  if (c == 0x00B5) return 0x039C;
  if (Between(c, 0x00E0, 0x00FE) && c != 0x00F7) return static_cast<char16_t>(c - 32);
  if (c == 0x00FF) return 0x0178;
  if (c == 0x0131) return u'I';
  if (c == 0x017F) return u'S';
  if (c == 0x0192) return 0x0191;
  if (Between(c, 0x0100, 0x0137) || Between(c, 0x014A, 0x0177)) {
    return IsOdd(c) ? static_cast<char16_t>(c - 1) : c;
  }
  if (Between(c, 0x0139, 0x0148) || Between(c, 0x0179, 0x017E)) {
    return IsOdd(c) ? c : static_cast<char16_t>(c - 1);
  }
  // Greek.
  if (c == 0x03C2) return 0x03A3;
  if (Between(c, 0x03B1, 0x03CB)) return static_cast<char16_t>(c - 32);
  if (c == 0x03AC) return 0x0386;
  if (Between(c, 0x03AD, 0x03AF)) return static_cast<char16_t>(c - 37);
  if (c == 0x03CC) return 0x038C;
  if (Between(c, 0x03CD, 0x03CE)) return static_cast<char16_t>(c - 63);
  // Cyrillic.
  if (Between(c, 0x0430, 0x044F)) return static_cast<char16_t>(c - 32);
  if (Between(c, 0x0450, 0x045F)) return static_cast<char16_t>(c - 80);
  if (Between(c, 0x0460, 0x0481) || Between(c, 0x048A, 0x04BF) || Between(c, 0x04D0, 0x052F)) {
    return IsOdd(c) ? static_cast<char16_t>(c - 1) : c;
  }
  if (Between(c, 0x04C1, 0x04CE)) return IsOdd(c) ? c : static_cast<char16_t>(c - 1);
  if (c == 0x04CF) return 0x04C0;
  // Armenian.
  if (Between(c, 0x0561, 0x0586)) return static_cast<char16_t>(c - 48);
  // Latin Extended Additional.
  if (Between(c, 0x1E00, 0x1E95) || Between(c, 0x1EA0, 0x1EFF)) {
    return IsOdd(c) ? static_cast<char16_t>(c - 1) : c;
  }
  // Roman numerals, circled letters, full-width Latin.
  if (Between(c, 0x2170, 0x217F)) return static_cast<char16_t>(c - 16);
  if (Between(c, 0x24D0, 0x24E9)) return static_cast<char16_t>(c - 26);
  if (Between(c, 0xFF41, 0xFF5A)) return static_cast<char16_t>(c - 32);
  return c;
}

int CompareEntryNames(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char16_t x = UpperCaseNameChar(a[i]);
    const char16_t y = UpperCaseNameChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool IsValidEntryName(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxNameChars) return false;
  for (char16_t c : name) {
    if (c == u'/' || c == u'\\' || c == u':' || c == u'!' || c == 0) return false;
  }
  return true;
}

}  // namespace ln40::cfb
