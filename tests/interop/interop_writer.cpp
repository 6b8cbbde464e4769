// Writes the workbooks the LibreOffice interop check opens, each with the CSV that LibreOffice
// must make of its first sheet (values as shown, formulas calculated on opening):
//   values.xls      texts (Norwegian letters, 16-bit characters), numbers, booleans, times
//                   and dates with formats, merged cells
//   formulas.xls    formulas of every function and operator the compiler knows
//   resaved.xls     tests/workbook/fixtures/lo_types.xls loaded and saved again; its CSV is
//                   made by LibreOffice from the original (resaved.expected is not written)
//   Usage: interop_writer FIXTURES_DIR OUT_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "text/codepage.h"
#include "xls/xls_file.h"

namespace {

using ln40::CellValue;

std::u16string U(const std::string& utf8) {
  // The test texts are written as UTF-8 literals; characters outside the BMP are not used.
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const unsigned char c = utf8[i];
    if (c < 0x80) {
      out += c;
      i += 1;
    } else if (c < 0xE0) {
      out += static_cast<char16_t>(((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F));
      i += 2;
    } else {
      out += static_cast<char16_t>(((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F));
      i += 3;
    }
  }
  return out;
}

struct Output {
  ln40::TXLSFile book;
  std::vector<std::vector<std::string>> rows;  // expected text, UTF-8
  void Expect(int row, int col, const std::string& text) {
    if (static_cast<int>(rows.size()) < row) rows.resize(row);
    if (static_cast<int>(rows[row - 1].size()) < col) rows[row - 1].resize(col);
    rows[row - 1][col - 1] = text;
  }
  void Save(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name + ".xls";
    std::filesystem::remove(path);
    book.SaveFile(path);
    std::ofstream csv(folder + "/" + name + ".expected", std::ios::binary);
    std::size_t width = 0;
    for (const auto& row : rows) width = std::max(width, row.size());
    for (const auto& row : rows) {
      for (std::size_t c = 0; c < width; ++c) {
        if (c) csv << ',';
        const std::string field = c < row.size() ? row[c] : "";
        if (field.find_first_of(",\"\n") != std::string::npos) {
          csv << '"';
          for (char ch : field) csv << (ch == '"' ? std::string("\"\"") : std::string(1, ch));
          csv << '"';
        } else {
          csv << field;
        }
      }
      csv << '\n';
    }
  }
};

void Values(const std::string& folder) {
  Output out;
  out.book.NewFile(1);
  out.book.SetActiveSheetName(u"LN40");
  auto text = [&](int r, int c, const std::string& s) {
    out.book.SetCellValue(r, c, CellValue::String(U(s)));
    out.Expect(r, c, s);
  };
  auto number = [&](int r, int c, double v, const std::string& shown, int xf = -1) {
    out.book.SetCellValue(r, c, CellValue::Number(v), xf);
    out.Expect(r, c, shown);
  };
  text(1, 1, "Åse Ødegård");
  text(1, 2, "Ωmega Лист");
  text(1, 3, "x,y \"z\"");
  number(2, 1, 12, "12");
  number(2, 2, 3.07, "3.07");
  number(2, 3, -1.5, "-1.5");
  number(2, 4, 123456789, "123456789");
  out.book.SetCellValue(3, 1, CellValue::Boolean(true));
  out.Expect(3, 1, "1");  // LibreOffice shows booleans of the general format as 1 and 0
  out.book.SetCellValue(3, 2, CellValue::Boolean(false));
  out.Expect(3, 2, "0");
  ln40::TCellFormat time;
  time.NumberFormat = u"hh:mm:ss";
  number(4, 1, 0.5242592592592592, "12:34:56", out.book.AddFormat(time));
  ln40::TCellFormat date;
  date.NumberFormat = u"dd.MM.yyyy";
  number(4, 2, 46364, "08.12.2026", out.book.AddFormat(date));
  ln40::TCellFormat decimals;
  decimals.NumberFormat = u"0.000";
  number(4, 3, 2.5, "2.500", out.book.AddFormat(decimals));
  text(5, 1, std::string(9000, 'x'));
  text(6, 1, "Sammenslått");
  out.book.MergeCells(6, 1, 7, 2);
  out.Save(folder, "values");
}

void Formulas(const std::string& folder) {
  Output out;
  out.book.NewFile(1);
  for (int i = 1; i <= 3; ++i) {
    out.book.SetCellValue(i, 1, CellValue::Number(i));
    out.Expect(i, 1, std::to_string(i));
  }
  out.book.SetCellValue(1, 2, CellValue::Number(3));
  out.Expect(1, 2, "3");
  out.book.SetCellValue(2, 2, CellValue::String(u" Løype "));
  out.Expect(2, 2, " Løype ");
  // Results as LibreOffice shows them in the general format (booleans as 1 and 0).
  struct F {
    const char* text;
    const char* shown;
  };
  const F formulas[] = {
      {"=SUM(A1:A3)", "6"},
      {"=IF(B1>2;\"yes\";\"no\")", "yes"},
      {"=IF(B1>5,\"yes\",\"no\")", "no"},
      {"=AVERAGE(A1:A3)", "2"},
      {"=MIN(A1:A3;0.5)", "0.5"},
      {"=MAX(A1:A3)", "3"},
      {"=COUNT(A1:B3)", "4"},
      {"=COUNTA(A1:B3)", "5"},
      {"=AND(TRUE;A1=1)", "1"},
      {"=OR(FALSE;A1>1)", "0"},
      {"=NOT(A1=1)", "0"},
      {"=ROUND(2.345;2)", "2.35"},
      {"=ABS(-4)", "4"},
      {"=LEN(B2)", "7"},
      {"=LEFT(\"Løper\";2)", "Lø"},
      {"=RIGHT(\"Løper\")", "r"},
      {"=MID(\"Løper\";2;3)", "øpe"},
      {"=CONCATENATE(\"a\";A3;\"b\")", "a3b"},
      {"=HOUR(TIME(13;14;15))", "13"},
      {"=MINUTE(TIME(13;14;15))", "14"},
      {"=SECOND(TIME(13;14;15))", "15"},
      {"=TODAY()-TODAY()", "0"},
      {"=NOW()>1", "1"},
      {"=-2^2", "4"},
      {"=2^3^2", "64"},
      {"=1+2*3-4/2", "5"},
      {"=(1+2)*3", "9"},
      {"=\"a\"&\"b\"&1", "ab1"},
      {"=50%*4", "2"},
      {"=A1<>A2", "1"},
      {"=A1<=A2", "1"},
      {"=A3>=A2", "1"},
      {"=$A$1+A$2+$A3", "6"},
      {"=INT(2.7)", "2"},
      {"=MOD(7;3)", "1"},
      {"=YEAR(DATE(2026;12;8))+MONTH(DATE(2026;12;8))+DAY(DATE(2026;12;8))", "2046"},
      {"=UPPER(\"åse\")&LOWER(\"ÅSE\")", "ÅSEåse"},
      {"=TRIM(B2)", "Løype"},
      {"=ISBLANK(E99)", "1"},
      {"=ISNUMBER(A1)", "1"},
      {"=SQRT(16)", "4"},
      {"=ROUND(PI();4)", "3.1416"},
      {"=ROUNDUP(2.01;0)+ROUNDDOWN(2.99;0)", "5"},
      {"=COUNTIF(A1:A3;\">1\")", "2"},
      {"=SUMIF(A1:A3;\">1\")", "5"},
      {"=PRODUCT(A1:A3;2)", "12"},
      {"=MEDIAN(A1:A3)", "2"},
      {"=VLOOKUP(2;A1:B3;1)", "2"},
      {"=MATCH(3;A1:A3;0)", "3"},
      {"=INDEX(A1:A3;2)", "2"},
      {"=CHOOSE(2;\"a\";\"b\")", "b"},
      {"=EXACT(\"a\";\"A\")", "0"},
      {"=FIND(\"p\";\"Løper\")", "3"},
      {"=SUBSTITUTE(\"a-b\";\"-\";\"+\")", "a+b"},
      {"=REPT(\"ab\";2)", "abab"},
      {"=SIGN(-3)", "-1"},
      {"=VALUE(\"12\")+1", "13"},
      {"=TEXT(0.5;\"0.00\")", "0.50"},
      {"=ISERROR(1/0)", "1"},
      {"=ISNA(NA())", "1"},
      {"=#N/A", "#N/A"},
  };
  int row = 1;
  for (const F& f : formulas) {
    out.book.SetCellFormula(row, 3, U(f.text));
    out.Expect(row, 3, f.shown);
    ++row;
  }
  out.Save(folder, "formulas");
}

void Resaved(const std::string& fixtures, const std::string& folder) {
  ln40::TXLSFile book;
  book.OpenFile(fixtures + "/lo_types.xls");
  const std::string path = folder + "/resaved.xls";
  std::filesystem::remove(path);
  book.SaveFile(path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: interop_writer FIXTURES_DIR OUT_DIR\n";
    return 2;
  }
  try {
    std::filesystem::create_directories(argv[2]);
    Values(argv[2]);
    Formulas(argv[2]);
    Resaved(argv[1], argv[2]);
  } catch (const std::exception& error) {
    std::cerr << "interop_writer: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
