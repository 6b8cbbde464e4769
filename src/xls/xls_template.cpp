#include "xls_template.h"

#include <cstring>
#include <string>

#include "biff_records.h"
#include "xls_strings.h"

namespace ln40::xls {
namespace {

constexpr std::size_t kStreamSize = 4096;

void Rec(TByteWriter& out, std::uint16_t id, std::initializer_list<std::uint8_t> data) {
  out.Header(id, data.size());
  for (std::uint8_t b : data) out.U8(b);
}

void Rec16(TByteWriter& out, std::uint16_t id, std::uint16_t value) {
  out.Header(id, 2);
  out.U16(value);
}

// [MS-XLS] 2.4.21 BOF: version 0x0600, build 0x1338, year 0x07CD, history flags 0x0000C0C1,
// lowest version 0x00000306.
void Bof(TByteWriter& out, std::uint16_t type) {
  out.Header(rid::kBof, 16);
  out.U16(0x0600);
  out.U16(type);
  out.U16(0x1338);
  out.U16(0x07CD);
  out.U32(0x0000C0C1);
  out.U32(0x00000306);
}

// [MS-XLS] 2.4.122 Font: 10 pt, no flags, automatic colour, weight 400, "Arial".
void ArialFont(TByteWriter& out) {
  TByteWriter data;
  data.U16(200);
  data.U16(0);
  data.U16(0x7FFF);
  data.U16(400);
  data.U16(0);
  data.U8(0);
  data.U8(0);
  data.U8(0);
  data.U8(0);
  WriteXlString(data, u"Arial", false);
  out.Record(rid::kFont, data.Bytes());
}

void Format(TByteWriter& out, std::uint16_t index, std::u16string_view code) {
  TByteWriter data;
  data.U16(index);
  WriteXlString(data, code, true);
  out.Record(rid::kFormat, data.Bytes());
}

// [MS-XLS] 2.4.353 XF. Style XFs carry the flags 0xFFF5 (locked, style, parent 0xFFF);
// `attributes` is the byte holding the six attribute bits. General horizontal and bottom
// vertical alignment, no borders, no fill, pattern colours 64 and 65.
void Xf(TByteWriter& out, std::uint16_t font, std::uint16_t format, bool style, std::uint8_t attributes) {
  out.Header(rid::kXf, 20);
  out.U16(font);
  out.U16(format);
  out.U16(style ? 0xFFF5 : 0x0001);
  out.U8(0x20);  // horizontal general, vertical bottom
  out.U8(0);     // rotation
  out.U8(0);     // indent, shrink
  out.U8(attributes);
  out.U16(0);  // border styles
  out.U16(0);  // left and right border colours, diagonal kind
  out.U32(0);  // top, bottom and diagonal colours, diagonal style, fill pattern
  out.U16(static_cast<std::uint16_t>(64 | (65 << 7)));
}

// [MS-XLS] 2.4.269 Style, built-in.
void BuiltInStyle(TByteWriter& out, std::uint16_t xf, std::uint8_t style) {
  out.Header(rid::kStyle, 4);
  out.U16(static_cast<std::uint16_t>(0x8000 | xf));
  out.U8(style);
  out.U8(0xFF);
}

// The worksheet section: BOF to EOF, appended to `out`, which holds the stream from its
// start. With `with_index` an INDEX record follows the BOF.
void WorksheetSection(TByteWriter& out, std::uint16_t window2_flags, bool with_index) {
  Bof(out, 0x0010);
  std::size_t index_field = 0;
  if (with_index) {
    // [MS-XLS] 2.4.144 Index: no rows; ibXF is the position of DEFCOLWIDTH, patched below.
    out.Header(rid::kIndex, 16);
    out.U32(0);
    out.U32(0);
    out.U32(0);
    index_field = out.Size();
    out.U32(0);
  }
  Rec16(out, rid::kCalcMode, 1);
  Rec16(out, rid::kCalcCount, 100);
  Rec16(out, rid::kRefMode, 1);
  Rec16(out, rid::kIteration, 0);
  out.Header(rid::kDelta, 8);
  out.F64(0.001);
  Rec16(out, rid::kSaveRecalc, 1);
  Rec16(out, rid::kPrintHeaders, 0);
  Rec16(out, rid::kPrintGridlines, 0);
  Rec16(out, rid::kGridSet, 1);
  Rec(out, rid::kGuts, {0, 0, 0, 0, 0, 0, 0, 0});
  out.Header(rid::kDefaultRowHeight, 4);
  out.U16(0);
  out.U16(255);
  Rec16(out, rid::kWsBool, 0x04C1);
  out.Header(rid::kHeader, 0);
  out.Header(rid::kFooter, 0);
  Rec16(out, rid::kHCenter, 0);
  Rec16(out, rid::kVCenter, 0);
  // [MS-XLS] 2.4.257 Setup
  out.Header(rid::kSetup, 34);
  out.U16(0);    // paper
  out.U16(255);  // scale
  out.U16(1);    // start page
  out.U16(1);    // fit width
  out.U16(1);    // fit height
  out.U16(4);    // flags
  out.U16(0);    // resolution
  out.U16(0);    // vertical resolution
  out.F64(0.5);  // header margin
  out.F64(0.5);  // footer margin
  out.U16(0);    // copies
  const std::size_t defcolwidth_at = out.Size();
  Rec16(out, rid::kDefColWidth, 8);
  out.Header(rid::kDimensions, 14);
  out.U32(0);
  out.U32(0);
  out.U16(0);
  out.U16(0);
  out.U16(0);
  // [MS-XLS] 2.4.346 Window2, 18 bytes: flags, grid line colour 64, the rest 0.
  out.Header(rid::kWindow2, 18);
  out.U16(window2_flags);
  out.U16(0);
  out.U16(0);
  out.U16(64);
  out.U16(0);
  out.U16(0);
  out.U16(0);
  out.U32(0);
  // [MS-XLS] 2.4.248 Selection: pane 3, active cell A1, one range A1:A1.
  Rec(out, rid::kSelection, {3, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  Rec(out, rid::kUnknown01EF, {0x00, 0x00, 0x37, 0x00, 0x00, 0x00});
  out.Header(rid::kEof, 0);
  if (with_index) Put32(out.Bytes().data() + index_field, static_cast<std::uint32_t>(defcolwidth_at));
}

void Pad4(TByteWriter& out) {
  while (out.Size() % 4 != 0) out.U8(0);
}

// A CodePageString property value ([MS-OLEPS] 2.5): size with the terminating null,
// characters, zero padding to 4 bytes.
void LpstrProperty(TByteWriter& out, const std::string& text) {
  out.U16(0x001E);
  out.U16(0);
  out.U32(static_cast<std::uint32_t>(text.size() + 1));
  out.Append(text.data(), text.size());
  out.U8(0);
  Pad4(out);
}

void I2Property(TByteWriter& out, std::uint16_t value) {
  out.U16(0x0002);
  out.U16(0);
  out.U16(value);
  out.U16(0);
}

void I4Property(TByteWriter& out, std::uint32_t value) {
  out.U16(0x0003);
  out.U16(0);
  out.U32(value);
}

void BoolProperty(TByteWriter& out, bool value) {
  out.U16(0x000B);
  out.U16(0);
  out.U16(value ? 0xFFFF : 0);
  out.U16(0);
}

// Days from 1601-01-01 to a date of the proleptic Gregorian calendar.
long DaysFrom1601(int year, int month, int day) {
  auto days_from_civil = [](long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
  };
  return days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - days_from_civil(1601, 1, 1);
}

void FileTimeProperty(TByteWriter& out, int year, int month, int day, int hour, int minute, int second) {
  const std::uint64_t seconds = static_cast<std::uint64_t>(DaysFrom1601(year, month, day)) * 86400 +
                                static_cast<std::uint64_t>(hour * 3600 + minute * 60 + second);
  const std::uint64_t ticks = seconds * 10000000ull;
  out.U16(0x0040);
  out.U16(0);
  out.U32(static_cast<std::uint32_t>(ticks));
  out.U32(static_cast<std::uint32_t>(ticks >> 32));
}

// A property set stream ([MS-OLEPS] 2.21 PropertySetStream) with one property set of the
// format id, properties given as (id, value bytes).
std::vector<std::uint8_t> PropertySetStream(const std::uint8_t (&fmtid)[16],
                                            const std::vector<std::pair<std::uint32_t, TByteWriter>>& properties) {
  TByteWriter set;
  const std::size_t head = 8 + 8 * properties.size();
  std::vector<std::uint32_t> offsets;
  std::size_t at = head;
  for (const auto& property : properties) {
    offsets.push_back(static_cast<std::uint32_t>(at));
    at += property.second.Size();
  }
  set.U32(static_cast<std::uint32_t>(at));
  set.U32(static_cast<std::uint32_t>(properties.size()));
  for (std::size_t i = 0; i < properties.size(); ++i) {
    set.U32(properties[i].first);
    set.U32(offsets[i]);
  }
  for (const auto& property : properties) set.Append(property.second.Bytes());

  TByteWriter stream;
  stream.U16(0xFFFE);  // byte order
  stream.U16(0);       // version
  stream.Append(std::vector<std::uint8_t>{0x05, 0x01, 0x02, 0x00});  // system: Windows 5.1
  for (int i = 0; i < 16; ++i) stream.U8(0);                       // CLSID
  stream.U32(1);
  stream.Append(fmtid, 16);
  stream.U32(48);
  stream.Append(set.Bytes());
  std::vector<std::uint8_t> bytes = std::move(stream.Bytes());
  bytes.resize(kStreamSize, 0);
  return bytes;
}

TByteWriter Value(void (*write)(TByteWriter&)) {
  TByteWriter out;
  write(out);
  return out;
}

}  // namespace

std::vector<std::uint8_t> EmptyWorksheetRecords() {
  TByteWriter out;
  WorksheetSection(out, 0x00B6, false);
  return std::move(out.Bytes());
}

std::vector<std::uint8_t> EmptyWorkbookStream() {
  TByteWriter out;
  Bof(out, 0x0005);
  Rec16(out, rid::kInterfaceHdr, 0x04B0);
  Rec16(out, rid::kMms, 0x0000);
  out.Header(rid::kInterfaceEnd, 0);
  {
    // [MS-XLS] 2.4.349 WriteAccess: the user name, padded with blanks to 112 bytes.
    TByteWriter name;
    WriteXlString(name, std::u16string(kTemplateUserName, kTemplateUserName + std::strlen(kTemplateUserName)), true);
    name.Bytes().resize(112, ' ');
    out.Record(rid::kWriteAccess, name.Bytes());
  }
  Rec16(out, rid::kCodePage, 0x04B0);
  Rec16(out, rid::kDsf, 0);
  out.Header(rid::kExcel9File, 0);
  Rec16(out, rid::kTabId, 1);
  Rec16(out, rid::kFnGroupCount, 14);
  Rec16(out, rid::kWindowProtect, 0);
  Rec16(out, rid::kProtect, 0);
  Rec16(out, rid::kPassword, 0);
  Rec16(out, rid::kProt4Rev, 0);
  Rec16(out, rid::kProt4RevPass, 0);
  // [MS-XLS] 2.4.345 Window1
  out.Header(rid::kWindow1, 18);
  out.U16(360);
  out.U16(240);
  out.U16(14940);
  out.U16(9150);
  out.U16(0x0038);
  out.U16(0);  // current tab
  out.U16(0);  // first tab
  out.U16(1);  // selected tabs
  out.U16(600);
  Rec16(out, rid::kBackup, 0);
  Rec16(out, rid::kHideObj, 0);
  Rec16(out, rid::kDateMode, 0);
  Rec16(out, rid::kPrecision, 1);
  Rec16(out, rid::kRefreshAll, 0);
  Rec16(out, rid::kBookBool, 0);
  for (int i = 0; i < 4; ++i) ArialFont(out);
  Format(out, 5, u"\"$U\"\\ #,##0;\"$U\"\\ \\-#,##0");
  Format(out, 6, u"\"$U\"\\ #,##0;[Red]\"$U\"\\ \\-#,##0");
  Format(out, 7, u"\"$U\"\\ #,##0.00;\"$U\"\\ \\-#,##0.00");
  Format(out, 8, u"\"$U\"\\ #,##0.00;[Red]\"$U\"\\ \\-#,##0.00");
  Format(out, 42, u"_ \"$U\"\\ * #,##0_ ;_ \"$U\"\\ * \\-#,##0_ ;_ \"$U\"\\ * \"-\"_ ;_ @_ ");
  Format(out, 41, u"_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ");
  Format(out, 44, u"_ \"$U\"\\ * #,##0.00_ ;_ \"$U\"\\ * \\-#,##0.00_ ;_ \"$U\"\\ * \"-\"??_ ;_ @_ ");
  Format(out, 43, u"_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ");
  Xf(out, 0, 0, true, 0x00);
  Xf(out, 1, 0, true, 0xF4);
  Xf(out, 1, 0, true, 0xF4);
  Xf(out, 2, 0, true, 0xF4);
  Xf(out, 2, 0, true, 0xF4);
  for (int i = 5; i <= 14; ++i) Xf(out, 0, 0, true, 0xF4);
  Xf(out, 0, 0, false, 0x00);
  for (std::uint16_t format : {43, 41, 44, 42, 9}) Xf(out, 1, format, true, 0xF8);
  BuiltInStyle(out, 16, 3);
  BuiltInStyle(out, 17, 6);
  BuiltInStyle(out, 18, 4);
  BuiltInStyle(out, 19, 7);
  BuiltInStyle(out, 0, 0);
  BuiltInStyle(out, 20, 5);
  Rec16(out, rid::kUsesElfs, 0);
  // [MS-XLS] 2.4.28 BoundSheet8: offset patched below, visible worksheet "Sheet1".
  const std::size_t boundsheet_offset = out.Size() + 4;
  {
    TByteWriter sheet;
    sheet.U32(0);
    sheet.U8(0);
    sheet.U8(0);
    WriteXlString(sheet, u"Sheet1", false);
    out.Record(rid::kBoundSheet, sheet.Bytes());
  }
  Rec(out, rid::kCountry, {0x01, 0x00, 0x56, 0x02});
  Rec(out, rid::kRecalcId, {0xC1, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
  Rec(out, rid::kSst, {0, 0, 0, 0, 0, 0, 0, 0});
  Rec16(out, rid::kExtSst, 8);
  {
    // [MS-XLS] 2.4.23 BookExt: FrtHeader, size 21, no flags.
    TByteWriter ext;
    ext.U16(rid::kBookExt);
    for (int i = 0; i < 10; ++i) ext.U8(0);
    ext.U32(21);
    ext.U32(0);
    ext.U8(0);
    out.Record(rid::kBookExt, ext.Bytes());
  }
  out.Header(rid::kEof, 0);
  const std::size_t sheet_at = out.Size();
  Put32(out.Bytes().data() + boundsheet_offset, static_cast<std::uint32_t>(sheet_at));
  WorksheetSection(out, 0x06B6, true);
  std::vector<std::uint8_t> stream = std::move(out.Bytes());
  stream.resize(kStreamSize, 0);
  return stream;
}

std::vector<std::uint8_t> SummaryInformationStream() {
  // FMTID_SummaryInformation F29F85E0-4FF9-1068-AB91-08002B27B3D9
  static const std::uint8_t kFmtid[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                          0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
  std::vector<std::pair<std::uint32_t, TByteWriter>> properties;
  properties.emplace_back(0x01, Value([](TByteWriter& o) { I2Property(o, 1252); }));        // code page
  properties.emplace_back(0x04, Value([](TByteWriter& o) { LpstrProperty(o, "a"); }));      // author
  properties.emplace_back(0x08, Value([](TByteWriter& o) { LpstrProperty(o, "a"); }));      // last author
  properties.emplace_back(0x12, Value([](TByteWriter& o) { LpstrProperty(o, "Microsoft Excel"); }));  // application
  properties.emplace_back(0x0C, Value([](TByteWriter& o) { FileTimeProperty(o, 2003, 8, 27, 16, 40, 13); }));
  properties.emplace_back(0x0D, Value([](TByteWriter& o) { FileTimeProperty(o, 2003, 8, 27, 16, 41, 24); }));
  properties.emplace_back(0x13, Value([](TByteWriter& o) { I4Property(o, 0); }));  // security
  return PropertySetStream(kFmtid, properties);
}

std::vector<std::uint8_t> DocumentSummaryInformationStream() {
  // FMTID_DocSummaryInformation D5CDD502-2E9C-101B-9397-08002B2CF9AE
  static const std::uint8_t kFmtid[16] = {0x02, 0xD5, 0xCD, 0xD5, 0x9C, 0x2E, 0x1B, 0x10,
                                          0x93, 0x97, 0x08, 0x00, 0x2B, 0x2C, 0xF9, 0xAE};
  std::vector<std::pair<std::uint32_t, TByteWriter>> properties;
  properties.emplace_back(0x01, Value([](TByteWriter& o) { I2Property(o, 1252); }));
  properties.emplace_back(0x0F, Value([](TByteWriter& o) { LpstrProperty(o, "a"); }));  // company
  properties.emplace_back(0x10, Value([](TByteWriter& o) { BoolProperty(o, false); }));  // links dirty
  properties.emplace_back(0x0B, Value([](TByteWriter& o) { BoolProperty(o, false); }));  // scale
  properties.emplace_back(0x13, Value([](TByteWriter& o) { BoolProperty(o, false); }));  // shared document
  properties.emplace_back(0x16, Value([](TByteWriter& o) { BoolProperty(o, false); }));  // hyperlinks changed
  properties.emplace_back(0x17, Value([](TByteWriter& o) { I4Property(o, 0x000B1338); }));  // application version
  properties.emplace_back(0x0D, Value([](TByteWriter& o) {
    // Titles of parts, [MS-OSHARED] 2.3.3.1.10: strings without padding of their own.
    o.U16(0x101E);
    o.U16(0);
    o.U32(1);
    o.U32(7);
    o.Append("Sheet1", 7);
    Pad4(o);
  }));
  properties.emplace_back(0x0C, Value([](TByteWriter& o) {
    // Heading pairs, [MS-OSHARED] 2.3.3.1.14: ("Worksheets", 1).
    o.U16(0x100C);
    o.U16(0);
    o.U32(2);
    o.U16(0x001E);
    o.U16(0);
    o.U32(11);
    o.Append("Worksheets", 11);
    Pad4(o);
    o.U16(0x0003);
    o.U16(0);
    o.U32(1);
  }));
  return PropertySetStream(kFmtid, properties);
}

std::vector<std::uint8_t> EmptyWorkbookImage() {
  // [MS-CFB] version 3: header, FAT sector 0, directory sector 1, then the three streams of
  // eight sectors each: 27 x 512 = 13824 bytes.
  constexpr std::uint32_t kEnd = 0xFFFFFFFE, kFree = 0xFFFFFFFF, kFat = 0xFFFFFFFD, kNone = 0xFFFFFFFF;
  std::vector<std::uint8_t> image(27 * 512, 0);
  std::uint8_t* header = image.data();
  static const std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::memcpy(header, kSignature, 8);
  Put16(header + 24, 0x003E);
  Put16(header + 26, 0x0003);
  Put16(header + 28, 0xFFFE);
  Put16(header + 30, 9);
  Put16(header + 32, 6);
  Put32(header + 44, 1);     // FAT sectors
  Put32(header + 48, 1);     // first directory sector
  Put32(header + 56, 4096);  // mini stream cutoff
  Put32(header + 60, kEnd);  // no mini FAT
  Put32(header + 68, kEnd);  // no DIFAT sectors
  Put32(header + 76, 0);     // the FAT is sector 0
  for (int i = 1; i < 109; ++i) Put32(header + 76 + 4 * i, kFree);

  auto sector = [&image](std::uint32_t n) { return image.data() + 512 * (n + 1); };
  std::uint8_t* fat = sector(0);
  for (int i = 0; i < 128; ++i) Put32(fat + 4 * i, kFree);
  Put32(fat, kFat);
  Put32(fat + 4, kEnd);
  for (std::uint32_t start : {2u, 10u, 18u}) {
    for (std::uint32_t s = start; s < start + 7; ++s) Put32(fat + 4 * s, s + 1);
    Put32(fat + 4 * (start + 7), kEnd);
  }

  std::uint8_t* directory = sector(1);
  auto entry = [&](int index, const std::u16string& name, std::uint8_t type, std::uint32_t left, std::uint32_t right,
                   std::uint32_t child, std::uint32_t start, std::uint32_t size) {
    std::uint8_t* e = directory + 128 * index;
    for (std::size_t i = 0; i < name.size(); ++i) Put16(e + 2 * i, name[i]);
    Put16(e + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    e[66] = type;
    e[67] = 1;  // black
    Put32(e + 68, left);
    Put32(e + 72, right);
    Put32(e + 76, child);
    Put32(e + 116, start);
    Put32(e + 120, size);
  };
  // The streams sorted as the directory sorts names (shorter first): Workbook,
  // SummaryInformation, DocumentSummaryInformation; the middle one is the tree's root.
  entry(0, u"Root Entry", 5, kNone, kNone, 2, kEnd, 0);
  static const std::uint8_t kExcelClass[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                               0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
  std::memcpy(directory + 80, kExcelClass, 16);
  entry(1, u"Workbook", 2, kNone, kNone, kNone, 2, 4096);
  entry(2, u"\x05SummaryInformation", 2, 1, 3, kNone, 10, 4096);
  entry(3, u"\x05" u"DocumentSummaryInformation", 2, kNone, kNone, kNone, 18, 4096);

  const std::vector<std::uint8_t> workbook = EmptyWorkbookStream();
  const std::vector<std::uint8_t> summary = SummaryInformationStream();
  const std::vector<std::uint8_t> document = DocumentSummaryInformationStream();
  std::memcpy(sector(2), workbook.data(), 4096);
  std::memcpy(sector(10), summary.data(), 4096);
  std::memcpy(sector(18), document.data(), 4096);
  return image;
}

}  // namespace ln40::xls
