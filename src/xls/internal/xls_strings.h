#pragma once
// BIFF8 strings ([MS-XLS] 2.5.293 XLUnicodeRichExtendedString, 2.5.294 XLUnicodeString,
// 2.5.240 ShortXLUnicodeString): a character count, option flags (bit 0: 16-bit characters,
// bit 2: extension data follows, bit 3: rich-text runs follow), the optional run count and
// extension size, the characters, the runs and the extension bytes. Internal to
// src/workbook.
#include <cstdint>
#include <string>

#include "biff_records.h"

namespace ln40::xls {

// Reads a string with a 16-bit (`wide_count`) or 8-bit character count; runs and extension
// data are skipped.
std::u16string ReadXlString(TRecordCursor& cursor, bool wide_count);
// The same into `into`, whose room is reused: for reading many strings.
void ReadXlString(TRecordCursor& cursor, bool wide_count, std::u16string& into);

// Whether every character fits in one byte (U+0000 to U+00FF).
bool FitsIn8Bit(std::u16string_view text);

// Writes count, option byte and characters: 8-bit characters when every character fits,
// else 16-bit. `wide_count` chooses a 16-bit or an 8-bit count (text is cut to 255
// characters for an 8-bit count, 65535 otherwise).
void WriteXlString(TByteWriter& out, std::u16string_view text, bool wide_count);

}  // namespace ln40::xls
