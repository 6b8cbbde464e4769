#include "xls/xls_format.h"

#include <algorithm>

#include "biff_records.h"
#include "xls_strings.h"

namespace ln40 {

const std::array<TRgb, 56>& DefaultPalette() {
  static const std::array<TRgb, 56> palette = [] {
    static const std::uint32_t rgb[56] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,  // 8-15
        0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,  // 16-23
        0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,  // 24-31
        0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,  // 32-39
        0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,  // 40-47
        0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,  // 48-55
        0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,  // 56-63
    };
    std::array<TRgb, 56> colours{};
    for (std::size_t i = 0; i < 56; ++i) {
      colours[i] = {static_cast<std::uint8_t>(rgb[i] >> 16), static_cast<std::uint8_t>(rgb[i] >> 8),
                    static_cast<std::uint8_t>(rgb[i])};
    }
    return colours;
  }();
  return palette;
}

std::u16string BuiltInFormatCode(int index) {
  switch (index) {
    case 1: return u"0";
    case 2: return u"0.00";
    case 3: return u"#,##0";
    case 4: return u"#,##0.00";
    case 9: return u"0%";
    case 10: return u"0.00%";
    case 11: return u"0.00E+00";
    case 12: return u"?/?";
    case 13: return u"# ?\?/?\?";
    case 14: return u"dd/mm/YYYY";
    case 15: return u"DD-MMM-YY";
    case 16: return u"DD-MMM";
    case 17: return u"MMM-YY";
    case 18: return u"h:mm AM/PM";
    case 19: return u"h:mm:ss AM/PM";
    case 20: return u"hh:mm";
    case 21: return u"hh:mm:ss";
    case 22: return u"dd/mm/YYYY hh:mm";
    case 37: return u"#,##0 _$;-#,##0 _$";
    case 38: return u"#,##0 _$;[Red]-#,##0 _$";
    case 39: return u"#,##0.00 _$;-#,##0.00 _$";
    case 40: return u"#,##0.00 _$;[Red]-#,##0.00 _$";
    case 45: return u"mm:ss";
    case 46: return u"[h]:mm:ss";
    case 47: return u"mm:ss,0";
    case 48: return u"##0.0E+0";
    case 49: return u"@";
    default: return u"";
  }
}

namespace xls {
namespace {

int Byte(const std::vector<std::uint8_t>& data, std::size_t at) { return at < data.size() ? data[at] : 0; }
int Word(const std::vector<std::uint8_t>& data, std::size_t at) { return Byte(data, at) | (Byte(data, at + 1) << 8); }

TUnderline UnderlineOf(int code) {
  switch (code) {
    case 1: return TUnderline::Single;
    case 2: return TUnderline::Double;
    case 0x21: return TUnderline::SingleAccounting;
    case 0x22: return TUnderline::DoubleAccounting;
    default: return TUnderline::None;
  }
}

int UnderlineCode(TUnderline underline) {
  switch (underline) {
    case TUnderline::Single: return 1;
    case TUnderline::Double: return 2;
    case TUnderline::SingleAccounting: return 0x21;
    case TUnderline::DoubleAccounting: return 0x22;
    case TUnderline::None: break;
  }
  return 0;
}

// Colour number n of the file as a palette index: n - 7, numbers up to 7 giving 1.
int ColorIndexOf(int number) { return number <= 7 ? 1 : number - 7; }

}  // namespace

// [MS-XLS] 2.4.122 Font
TCellFont DecodeFont(const std::vector<std::uint8_t>& data) {
  TCellFont font;
  font.Size20 = Word(data, 0);
  const int flags = Word(data, 2);
  font.Italic = (flags & 0x0002) != 0;
  font.StrikeOut = (flags & 0x0008) != 0;
  font.ColorIndex = Word(data, 4) - 7;
  font.Bold = Word(data, 6) == 700;
  const int escapement = Word(data, 8);
  font.Superscript = escapement == 1;
  font.Subscript = escapement == 2;
  font.Underline = UnderlineOf(Byte(data, 10));
  font.Family = Byte(data, 11);
  font.CharSet = Byte(data, 12);
  font.Name.clear();
  if (data.size() >= 16) {
    try {
      TRecordCursor cursor(std::span<const std::uint8_t>(data.data() + 14, data.size() - 14));
      font.Name = ReadXlString(cursor, false);
    } catch (...) {
      font.Name.clear();  // a damaged name reads as none; the rest of the font stands
    }
  }
  return font;
}

std::vector<std::uint8_t> EncodeFont(const TCellFont& font) {
  TByteWriter out;
  out.U16(static_cast<std::uint16_t>(font.Size20));
  out.U16(static_cast<std::uint16_t>((font.Italic ? 0x0002 : 0) | (font.StrikeOut ? 0x0008 : 0)));
  out.U16(static_cast<std::uint16_t>(font.ColorIndex + 7));
  out.U16(font.Bold ? 700 : 400);
  out.U16(font.Superscript ? 1 : font.Subscript ? 2 : 0);
  out.U8(static_cast<std::uint8_t>(UnderlineCode(font.Underline)));
  out.U8(static_cast<std::uint8_t>(font.Family));
  out.U8(static_cast<std::uint8_t>(font.CharSet));
  out.U8(0);
  WriteXlString(out, font.Name, false);
  return std::move(out.Bytes());
}

// [MS-XLS] 2.4.353 XF with 2.5.47 CellXF
void DecodeXfLayout(const TXfBytes& xf, TCellFormat& format) {
  const int protection = Get16(xf.data() + 4);
  format.Locked = (protection & 0x0001) != 0;
  format.Hidden = (protection & 0x0002) != 0;
  format.Parent = protection >> 4;
  const int alignment = xf[6];
  format.HAlign = static_cast<THAlign>(std::min(alignment & 0x07, 7));
  format.Wrap = (alignment & 0x08) != 0;
  format.VAlign = static_cast<TVAlign>(std::min((alignment >> 4) & 0x07, 4));
  format.Rotation = xf[7];
  format.Indent = xf[8] & 0x0F;
  format.ShrinkToFit = (xf[8] & 0x10) != 0;
  format.AttributeFlags = xf[9] >> 2;
  const int styles = Get16(xf.data() + 10);
  format.Left.Style = styles & 0x0F;
  format.Right.Style = (styles >> 4) & 0x0F;
  format.Top.Style = (styles >> 8) & 0x0F;
  format.Bottom.Style = (styles >> 12) & 0x0F;
  const int side_colors = Get16(xf.data() + 12);
  format.Left.ColorIndex = ColorIndexOf(side_colors & 0x7F);
  format.Right.ColorIndex = ColorIndexOf((side_colors >> 7) & 0x7F);
  format.DiagonalKind = (side_colors >> 14) & 0x03;
  const std::uint32_t other = Get32(xf.data() + 14);
  format.Top.ColorIndex = ColorIndexOf(other & 0x7F);
  format.Bottom.ColorIndex = ColorIndexOf((other >> 7) & 0x7F);
  format.Diagonal.ColorIndex = ColorIndexOf((other >> 14) & 0x7F);
  format.Diagonal.Style = (other >> 21) & 0x0F;
  format.FillPattern = static_cast<int>((other >> 26) & 0x3F) + 1;
  const int fill = Get16(xf.data() + 18);
  format.FillForeground = ColorIndexOf(fill & 0x7F);
  format.FillBackground = ColorIndexOf((fill >> 7) & 0x7F);
}

TXfBytes EncodeXf(const TCellFormat& format, int font_index, int format_index) {
  auto border_color = [](int index) { return std::clamp(index + 7, 8, 64); };
  auto color = [](int index) { return (index + 7) & 0x7F; };
  TXfBytes xf{};
  Put16(xf.data(), static_cast<std::uint16_t>(font_index));
  Put16(xf.data() + 2, static_cast<std::uint16_t>(format_index));
  Put16(xf.data() + 4, static_cast<std::uint16_t>((format.Locked ? 1 : 0) | (format.Hidden ? 2 : 0)));
  xf[6] = static_cast<std::uint8_t>((static_cast<int>(format.HAlign) & 0x07) | (format.Wrap ? 0x08 : 0) |
                                    ((static_cast<int>(format.VAlign) & 0x07) << 4));
  xf[7] = static_cast<std::uint8_t>(format.Rotation);
  xf[8] = static_cast<std::uint8_t>((format.Indent & 0x0F) | (format.ShrinkToFit ? 0x10 : 0));
  xf[9] = 0xFC;  // all six attribute-used bits
  Put16(xf.data() + 10, static_cast<std::uint16_t>((format.Left.Style & 0x0F) | ((format.Right.Style & 0x0F) << 4) |
                                                   ((format.Top.Style & 0x0F) << 8) |
                                                   ((format.Bottom.Style & 0x0F) << 12)));
  Put16(xf.data() + 12, static_cast<std::uint16_t>(border_color(format.Left.ColorIndex) |
                                                   (border_color(format.Right.ColorIndex) << 7) |
                                                   ((format.DiagonalKind & 0x03) << 14)));
  const std::uint32_t other = static_cast<std::uint32_t>(border_color(format.Top.ColorIndex)) |
                              (static_cast<std::uint32_t>(border_color(format.Bottom.ColorIndex)) << 7) |
                              (static_cast<std::uint32_t>(color(format.Diagonal.ColorIndex)) << 14) |
                              (static_cast<std::uint32_t>(format.Diagonal.Style & 0x0F) << 21) |
                              (static_cast<std::uint32_t>((format.FillPattern - 1) & 0x3F) << 26);
  Put32(xf.data() + 14, other);
  Put16(xf.data() + 18, static_cast<std::uint16_t>(color(format.FillForeground) | (color(format.FillBackground) << 7)));
  return xf;
}

}  // namespace xls
}  // namespace ln40
