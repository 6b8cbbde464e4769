#pragma once
// Cell formats: TCellFormat, the decoded form of an XF record ([MS-XLS] 2.4.353 XF) with its
// font ([MS-XLS] 2.4.122 Font) and number format code, and the conversions between it and
// the records. Also the built-in number format codes and the default colour palette.
//
// Colour indices count palette entries from 1: index i is colour number i + 7 of the file
// (colour 8 is the first palette entry); an index below 1 means automatic.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace ln40 {

enum class TUnderline : std::uint8_t { None, Single, Double, SingleAccounting, DoubleAccounting };

struct TCellFont {
  std::u16string Name = u"Arial";
  int Size20 = 200;  // twentieths of a point
  int ColorIndex = 0x7FFF - 7;  // colour number 0x7FFF: the window text colour
  bool Bold = false;
  bool Italic = false;
  bool StrikeOut = false;
  bool Superscript = false;
  bool Subscript = false;
  TUnderline Underline = TUnderline::None;
  int Family = 0;
  int CharSet = 0;
  bool operator==(const TCellFont&) const = default;
};

struct TCellBorder {
  int Style = 0;       // 0 none, 1 thin, 2 medium, ... ([MS-XLS] 2.5.4 BorderStyle)
  int ColorIndex = 1;
  bool operator==(const TCellBorder&) const = default;
};

enum class THAlign : std::uint8_t { General, Left, Center, Right, Fill, Justify, CenterAcross, Distributed };
enum class TVAlign : std::uint8_t { Top, Center, Bottom, Justify, Distributed };

struct TCellFormat {
  TCellFont Font;
  TCellBorder Left, Right, Top, Bottom, Diagonal;
  int DiagonalKind = 0;  // 0 none, 1 down, 2 up, 3 both
  std::u16string NumberFormat;  // empty: the general format
  int FillPattern = 1;  // 1 none, 2 solid, ...
  int FillForeground = 64 - 7;
  int FillBackground = 65 - 7;
  THAlign HAlign = THAlign::General;
  TVAlign VAlign = TVAlign::Bottom;
  bool Locked = true;
  bool Hidden = false;
  bool Wrap = false;
  bool ShrinkToFit = false;
  int Rotation = 0;
  int Indent = 0;
  int Parent = 0;            // index of the parent style XF
  int AttributeFlags = 0;    // the six attribute-used bits, bit 0 = number format
  bool operator==(const TCellFormat&) const = default;
};

struct TRgb {
  std::uint8_t R = 0, G = 0, B = 0;
};

// The 56 colours of the default palette, colour numbers 8 to 63 ([MS-XLS] 2.5.161).
const std::array<TRgb, 56>& DefaultPalette();

// The built-in number format code of an index from 0 to 49; empty for the general format
// and for indices without a built-in code.
std::u16string BuiltInFormatCode(int index);

namespace xls {

// The 20 bytes of an XF record as read (shorter records read as zero-padded).
using TXfBytes = std::array<std::uint8_t, 20>;

struct TFontRecordFields {
  int Height = 200;
  int Flags = 0;
  int Color = 0x7FFF;
  int Weight = 400;
  int Escapement = 0;
  int Underline = 0;
  int Family = 0;
  int CharSet = 0;
  std::u16string Name;
};

// Decodes FONT record data; damaged data gives what could be read.
TCellFont DecodeFont(const std::vector<std::uint8_t>& data);
// The data of a FONT record for a font.
std::vector<std::uint8_t> EncodeFont(const TCellFont& font);

// Decodes the XF fields other than font and number format into `format`.
void DecodeXfLayout(const TXfBytes& xf, TCellFormat& format);
// The 20 bytes of an XF for `format` with the given font and format indices.
TXfBytes EncodeXf(const TCellFormat& format, int font_index, int format_index);

}  // namespace xls
}  // namespace ln40
