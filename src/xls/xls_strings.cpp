#include "xls_strings.h"

namespace ln40::xls {

std::u16string ReadXlString(TRecordCursor& cursor, bool wide_count) {
  std::u16string text;
  ReadXlString(cursor, wide_count, text);
  return text;
}

void ReadXlString(TRecordCursor& cursor, bool wide_count, std::u16string& into) {
  const std::size_t count = wide_count ? cursor.U16() : cursor.U8();
  const std::uint8_t flags = cursor.U8();
  std::size_t runs = 0;
  std::size_t extension = 0;
  if (flags & 0x08) runs = cursor.U16();
  if (flags & 0x04) extension = cursor.U32();
  into.clear();
  cursor.Chars(count, (flags & 0x01) != 0, into);
  cursor.Skip(runs * 4);
  cursor.Skip(extension);
}

bool FitsIn8Bit(std::u16string_view text) {
  for (char16_t c : text) {
    if (c > 0xFF) return false;
  }
  return true;
}

void WriteXlString(TByteWriter& out, std::u16string_view text, bool wide_count) {
  const std::size_t limit = wide_count ? 0xFFFF : 0xFF;
  if (text.size() > limit) text = text.substr(0, limit);
  if (wide_count) {
    out.U16(static_cast<std::uint16_t>(text.size()));
  } else {
    out.U8(static_cast<std::uint8_t>(text.size()));
  }
  const bool narrow = FitsIn8Bit(text);
  out.U8(narrow ? 0 : 1);
  for (char16_t c : text) {
    if (narrow) {
      out.U8(static_cast<std::uint8_t>(c));
    } else {
      out.U16(c);
    }
  }
}

}  // namespace ln40::xls
