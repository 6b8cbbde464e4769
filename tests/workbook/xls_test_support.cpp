#include "xls_test_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "text/codepage.h"
#include "biff_records.h"
#include "compound_file/ole2_storage.h"
#include "xls_model.h"

namespace ln40::test {

std::string Fixture(const std::string& name) { return std::string(LN40_XLS_FIXTURES) + "/" + name; }

std::vector<std::uint8_t> Le16(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  return out;
}

std::vector<std::uint8_t> Le32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value >> 16),
          static_cast<std::uint8_t>(value >> 24)};
}

std::vector<std::uint8_t> LeDouble(double value) {
  std::vector<std::uint8_t> out(8);
  xls::PutDouble(out.data(), value);
  return out;
}

std::vector<std::uint8_t> Cat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<std::uint8_t> XlString(const std::u16string& text, bool wide_count) {
  std::vector<std::uint8_t> out;
  out.push_back(static_cast<std::uint8_t>(text.size()));
  if (wide_count) out.push_back(static_cast<std::uint8_t>(text.size() >> 8));
  bool narrow = true;
  for (char16_t c : text) narrow = narrow && c < 0x100;
  out.push_back(narrow ? 0 : 1);
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    if (!narrow) out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

std::vector<std::uint8_t> Stream(const std::vector<Rec>& records) {
  std::vector<std::uint8_t> out;
  for (const Rec& record : records) {
    const auto header = Le16({record.id, static_cast<int>(record.data.size())});
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), record.data.begin(), record.data.end());
  }
  return out;
}

std::vector<std::uint8_t> Container(const std::vector<std::uint8_t>& stream, const std::string& name) {
  std::vector<std::uint8_t> image;
  TOle2Storage storage = TOle2Storage::CreateMemory(image);
  storage.OpenStream(name).Write(stream.data(), stream.size());
  storage.Release();
  return image;
}

namespace {

Rec Bof(int type) { return {xls::rid::kBof, Cat({Le16({0x0600, type, 0x1338, 0x07CD}), Le32(0xC1), Le32(0x306)})}; }

}  // namespace

std::vector<std::uint8_t> HandWorkbook(const std::vector<HandSheet>& sheets, const std::vector<std::u16string>& strings,
                                       const std::vector<Rec>& extra_globals) {
  std::vector<Rec> globals = {Bof(0x0005)};
  globals.push_back({xls::rid::kWindow1, Le16({0, 0, 10000, 8000, 0x38, 0, 0, 1, 600})});
  globals.insert(globals.end(), extra_globals.begin(), extra_globals.end());
  globals.push_back({xls::rid::kFont, Cat({Le16({200, 0, 0x7FFF, 400, 0}), {0, 0, 0, 0}, XlString(u"Arial", false)})});
  for (int i = 0; i < 16; ++i) {
    globals.push_back({xls::rid::kXf, Cat({Le16({0, 0, i < 15 ? 0xFFF5 : 0x0001, 0x20, 0, 0, 0}), Le32(0), Le16({0x20C0})})});
  }
  std::vector<std::size_t> offset_at;
  for (const HandSheet& sheet : sheets) {
    offset_at.push_back(globals.size());
    globals.push_back({xls::rid::kBoundSheet,
                       Cat({Le32(0), {0, static_cast<std::uint8_t>(sheet.type == 0x0020 ? 2 : 0)}, XlString(sheet.name, false)})});
  }
  std::vector<std::uint8_t> sst = Cat({Le32(static_cast<std::uint32_t>(strings.size())), Le32(static_cast<std::uint32_t>(strings.size()))});
  for (const auto& s : strings) {
    const auto bytes = XlString(s);
    sst.insert(sst.end(), bytes.begin(), bytes.end());
  }
  globals.push_back({xls::rid::kSst, sst});
  globals.push_back({xls::rid::kEof, {}});

  std::size_t position = Stream(globals).size();
  std::vector<Rec> all = globals;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    std::vector<Rec> section = {Bof(sheets[i].type)};
    section.insert(section.end(), sheets[i].records.begin(), sheets[i].records.end());
    section.push_back({xls::rid::kEof, {}});
    const auto offset = Le32(static_cast<std::uint32_t>(position));
    std::copy(offset.begin(), offset.end(), all[offset_at[i]].data.begin());
    position += Stream(section).size();
    all.insert(all.end(), section.begin(), section.end());
  }
  return Stream(all);
}

Rec RowRec(int row, int first_col, int last_col1, int flags) {
  return {xls::rid::kRow, Cat({Le16({row, first_col, last_col1, 255, 0, 0, flags, 15})})};
}

Rec NumberRec(int row, int col, double value, int xf) {
  return {xls::rid::kNumber, Cat({Le16({row, col, xf}), LeDouble(value)})};
}

Rec RkRec(int row, int col, std::uint32_t rk, int xf) { return {xls::rid::kRk, Cat({Le16({row, col, xf}), Le32(rk)})}; }

Rec LabelSstRec(int row, int col, std::uint32_t index, int xf) {
  return {xls::rid::kLabelSst, Cat({Le16({row, col, xf}), Le32(index)})};
}

std::vector<Rec> ListRecords(const std::vector<std::uint8_t>& stream) {
  std::vector<Rec> records;
  std::size_t at = 0;
  while (at + 4 <= stream.size()) {
    const int id = xls::Get16(stream.data() + at);
    const std::size_t length = xls::Get16(stream.data() + at + 2);
    if (id == 0 || at + 4 + length > stream.size()) break;
    records.push_back({static_cast<std::uint16_t>(id), std::vector<std::uint8_t>(stream.begin() + at + 4,
                                                                                stream.begin() + at + 4 + length)});
    at += 4 + length;
  }
  return records;
}

std::vector<std::uint8_t> WorkbookStreamOf(const std::vector<std::uint8_t>& image) {
  TOle2Storage storage = TOle2Storage::OpenMemory(image);
  return storage.OpenStream("Workbook").ReadAll();
}

namespace {

std::string Escape(const std::u16string& text) {
  std::string out;
  // UTF-8 of the UTF-16 text, escaping tab, line ends and backslash.
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\\') out += "\\\\";
    else if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

void XlrdDescription::File(const std::string& path) { text_ += "file\t" + path + "\n"; }

void XlrdDescription::Sheets(const std::vector<std::u16string>& names) {
  text_ += "sheets";
  for (const auto& name : names) text_ += "\t" + Escape(name);
  text_ += "\n";
}

void XlrdDescription::Cell(int sheet, int row, int col, const CellValue& value, int xf, const std::u16string* format,
                           const TCellFont* font) {
  text_ += "cell\t" + std::to_string(sheet) + "\t" + std::to_string(row) + "\t" + std::to_string(col) + "\t";
  switch (value.kind) {
    case CellValue::Kind::Empty: text_ += "E\t"; break;
    case CellValue::Kind::Number: {
      char number[40];
      std::snprintf(number, sizeof number, "%.17g", value.number);
      text_ += std::string("N\t") + number;
      break;
    }
    case CellValue::Kind::String: text_ += "S\t" + Escape(value.text); break;
    case CellValue::Kind::Boolean: text_ += value.boolean ? "B\t1" : "B\t0"; break;
  }
  if (xf >= 0 || format || font) {
    text_ += "\t" + (xf >= 0 ? std::to_string(xf) : std::string("-"));
    text_ += "\t" + (format ? Escape(*format) : std::string("-"));
    if (font) {
      text_ += "\t" + Escape(font->Name) + "\t" + (font->Bold ? "1" : "0") + "\t" + (font->Italic ? "1" : "0");
    }
  }
  text_ += "\n";
}

void XlrdDescription::Merged(int sheet, int first_row, int last_row, int first_col, int last_col) {
  text_ += "merged\t" + std::to_string(sheet) + "\t" + std::to_string(first_row) + "\t" + std::to_string(last_row) +
           "\t" + std::to_string(first_col) + "\t" + std::to_string(last_col) + "\n";
}

void XlrdDescription::Outline(int sheet, int row, int level) {
  text_ += "outline\t" + std::to_string(sheet) + "\t" + std::to_string(row) + "\t" + std::to_string(level) + "\n";
}

void XlrdDescription::Complete() { text_ += "complete\n"; }

void XlrdDescription::DescribeAsRead(TXLSFile& book, const std::string& path) {
  File(path);
  std::vector<std::u16string> names;
  std::vector<int> worksheets;
  for (int s = 1; s <= book.SheetCount(); ++s) {
    if (book.SheetKind(s) != TXlsSheetKind::Worksheet) continue;
    names.push_back(book.SheetName(s));
    worksheets.push_back(s);
  }
  Sheets(names);
  const int active = book.ActiveSheet();
  const xls::TWorkbook& model = book.Workbook();
  for (std::size_t index = 0; index < worksheets.size(); ++index) {
    book.SetActiveSheet(worksheets[index]);
    const auto& sheet = static_cast<const xls::TWorkSheet&>(*model.Sheets[worksheets[index] - 1]);
    for (std::size_t row = 0; row < sheet.Cells.size(); ++row) {
      for (const xls::TXlsCell& cell : sheet.Cells[row]) {
        const TXlsCellValue value = book.GetCell(static_cast<int>(row) + 1, cell.Col + 1);
        const TCellFormat format = book.GetFormat(value.XF);
        const int format_index = value.XF < static_cast<int>(model.Globals.XFs.size())
                                     ? xls::Get16(model.Globals.XFs[value.XF].data() + 2)
                                     : 0;
        Cell(static_cast<int>(index), static_cast<int>(row), cell.Col, value.Value, value.XF,
             format_index >= 50 ? &format.NumberFormat : nullptr, &format.Font);
      }
    }
    for (const TXlsRange& range : book.MergedRanges()) {
      Merged(static_cast<int>(index), range.FirstRow - 1, range.LastRow - 1, range.FirstCol - 1, range.LastCol - 1);
    }
  }
  Complete();
  book.SetActiveSheet(active);
}

int RunXlrdCheck(const XlrdDescription& description, const std::string& folder, std::string& output) {
  const std::string path = folder + "/description.tsv";
  {
    std::ofstream file(path, std::ios::binary);
    file << description.Text();
  }
  const std::string log = folder + "/xlrd_check.log";
  const std::string command = std::string("/usr/bin/python3 ") + LN40_XLRD_CHECK + " " + path + " > " + log + " 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream in(log);
  output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace ln40::test
