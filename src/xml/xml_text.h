#pragma once
// Character rules of the XML scanner: white space, name characters, character references,
// white space packing, and the conversion of UTF-8 document text to Windows-1252.
// Pure functions on byte strings; thread-safe.
#include <string>
#include <string_view>

namespace ln40::xml {

// TAB, LF, CR and blank: the white space of markup and of text content.
inline bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A character that may start an attribute name: ":", "A"-"Z", "_", "a"-"z" and the bytes
// 192 to 255 except 215 and 247 (the Latin-1 letters).
bool IsNameStartChar(char c);

// A character of a name in a document type declaration: the start characters, digits, "-",
// "." and 183.
bool IsNameChar(char c);

// Appends `utf8` converted to Windows-1252 the lenient way the scanner reads UTF-8 files:
// a byte below 128 stays; a two-byte lead with one byte after it and a three-byte lead with
// two bytes after it form a code point with those bytes, taken as continuation bytes without
// checking; the code point becomes its Windows-1252 byte (the five unassigned bytes stand
// for the code points of the same number), or "¿" (191) when the code page lacks it. Any
// other byte gives "¿" and is skipped together with the continuation bytes its leading
// one-bits announce (never past the end of the text).
void AppendUtf8AsCp1252(std::string_view utf8, std::string& out);

// The character a character reference stands for, from the text between "&#" and ";".
// `hex_prefixes` are the letters that mark a hexadecimal number ("xX" in content, "x" in
// attribute values). A number below 256 gives the byte of its low 8 bits; a larger one the
// Windows-1252 byte of that code point, or "¿" when the code page lacks it (so a reference
// never turns into a control character by losing its high bits). A decimal number that does
// not read gives `bad_decimal`, a hexadecimal one `bad_hex`.
char CharacterReference(std::string_view text, std::string_view hex_prefixes, char bad_decimal, char bad_hex);

// The value of a predefined entity ("lt", "gt", "amp", "apos", "quot"); false for any other name.
bool PredefinedEntity(std::string_view name, char& value);

// Trims white space at both ends and packs every inner run of it into one blank.
void PackSpace(std::string_view text, std::string& out);

// Every TAB, LF and CR becomes a blank, in place; runs are kept.
void BlankSpace(std::string& text);

}  // namespace ln40::xml
