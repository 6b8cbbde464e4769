// An independent reader, python3-xlrd, against ours and against our writer: every cell of
// the fixtures other programs wrote reads the same in both, and the files we write read in
// xlrd with the sheets, values, formats, merged ranges and outline levels we wrote. Skipped
// where Debian's python3-xlrd is not installed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "cfb_test_support.h"
#include "xls/xls_file.h"
#include "xls_test_support.h"

namespace ln40 {
namespace {

using namespace test;

bool HaveXlrd() { return std::system("/usr/bin/python3 -c 'import xlrd' 2>/dev/null") == 0; }

void Check(const XlrdDescription& description, const TempFolder& folder) {
  std::string output;
  const int status = RunXlrdCheck(description, folder.path().string(), output);
  if (status == 77) GTEST_SKIP() << "python3-xlrd is not installed";
  EXPECT_EQ(status, 0) << output;
}

TEST(XlrdCheck, EveryCellOfOtherProgramsFilesReadsAsXlrdReadsIt) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed for /usr/bin/python3";
  TempFolder folder;
  XlrdDescription description;
  for (const char* name : {"lo_types.xls", "lo_1904.xls", "gnumeric_types.xls", "xlwt_types.xls",
                           "libreoffice_runners.xls", "gnumeric_runners.xls", "xlwt_runners.xls"}) {
    TXLSFile book;
    book.OpenFile(Fixture(name));
    description.DescribeAsRead(book, Fixture(name));
  }
  Check(description, folder);
}

TEST(XlrdCheck, OurSavedCopiesOfOtherProgramsFilesReadTheSame) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed for /usr/bin/python3";
  TempFolder folder;
  XlrdDescription description;
  for (const char* name : {"lo_types.xls", "gnumeric_types.xls", "xlwt_types.xls", "libreoffice_runners.xls"}) {
    TXLSFile book;
    book.OpenFile(Fixture(name));
    const std::string copy = folder.File(std::string("copy_") + name);
    book.SaveFile(copy);
    // Formulas are saved to be calculated on opening: xlrd sees #NULL! in them.
    TXLSFile saved;
    saved.OpenFile(copy);
    description.DescribeAsRead(saved, copy);
  }
  Check(description, folder);
}

// Writes a cell into the book and into the description of what xlrd must read.
struct Writer {
  TXLSFile& book;
  XlrdDescription& description;
  int sheet_index;  // 0-based, for the description
  void Put(int row, int col, const CellValue& value, int xf = -1) {
    book.SetCellValue(row, col, value, xf);
    description.Cell(sheet_index, row - 1, col - 1, value, book.CellFormatIndex(row, col));
  }
};

TEST(XlrdCheck, FilesWeWriteReadInXlrd) {
  if (!HaveXlrd()) GTEST_SKIP() << "python3-xlrd is not installed for /usr/bin/python3";
  TempFolder folder;
  XlrdDescription description;

  // A book of three sheets: values of every kind, 16-bit texts, a 9000-character string,
  // merged ranges and outline levels on the first; 5000 distinct strings on the second;
  // the third left empty.
  {
    const std::string path = folder.File("written.xls");
    TXLSFile book;
    book.NewFile(3);
    book.SetActiveSheetName(u"LN40");
    book.SetActiveSheet(2);
    book.SetActiveSheetName(u"Excel");
    description.File(path);
    description.Sheets({u"LN40", u"Excel", u"Sheet2"});

    book.SetActiveSheet(1);
    Writer w{book, description, 0};
    TCellFormat time_format;
    time_format.NumberFormat = u"hh:mm:ss";
    time_format.Font.Bold = true;
    const int time_xf = book.AddFormat(time_format);
    TCellFormat date_format;
    date_format.NumberFormat = u"dd.MM.yyyy";
    date_format.FillPattern = 2;
    date_format.FillForeground = book.NearestColorIndex({255, 255, 225});
    const int date_xf = book.AddFormat(date_format);
    w.Put(1, 1, CellValue::String(u"Fornavn"));
    w.Put(1, 2, CellValue::String(u"Æsøy Åse"));
    w.Put(1, 3, CellValue::String(u"\u03A9mega \u041B\u0438\u0441\u0442 \u65E5\u672C"));
    w.Put(1, 4, CellValue::String(u"linje1\nlinje2\ttab \"quoted\""));
    w.Put(2, 1, CellValue::Number(12));
    w.Put(2, 2, CellValue::Number(123456789));
    w.Put(2, 3, CellValue::Number(3.07));
    w.Put(2, 4, CellValue::Number(-0.0001234));
    w.Put(2, 5, CellValue::Number(1e100));
    w.Put(2, 6, CellValue::Number(0.09999999999999999));
    w.Put(3, 1, CellValue::Number(0.5242592592592592), time_xf);
    w.Put(3, 2, CellValue::Number(46364), date_xf);
    w.Put(3, 3, CellValue::Boolean(true));
    w.Put(3, 4, CellValue::Boolean(false));
    for (int col = 1; col <= 12; ++col) w.Put(4, col, CellValue::Empty(), time_xf);  // MULBLANK
    for (int col = 1; col <= 5; ++col) w.Put(5, col, CellValue::Number(col * 1000));  // MULRK
    w.Put(6, 1, CellValue::String(std::u16string(9000, u'x')));
    w.Put(7, 1, CellValue::String(std::u16string(4000, u'a') + std::u16string(6000, u'\u0416')));
    w.Put(8, 1, CellValue::String(u"Sammenslått"));
    book.MergeCells(8, 1, 9, 3);
    description.Merged(0, 7, 8, 0, 2);
    book.MergeCells(11, 2, 11, 5);
    description.Merged(0, 10, 10, 1, 4);
    book.SetRowOutlineLevel(12, 14, 1);
    book.SetRowOutlineLevel(13, 13, 2);
    w.Put(14, 1, CellValue::String(u"i gruppe"));
    description.Outline(0, 11, 1);
    description.Outline(0, 12, 2);
    description.Outline(0, 13, 1);
    description.Outline(0, 14, 0);
    w.Put(200, 256, CellValue::String(u"hjørnet"));
    description.Complete();

    book.SetActiveSheet(2);
    Writer e{book, description, 1};
    for (int i = 0; i < 5000; ++i) {
      const std::string digits = std::to_string(i * 7919 % 100003);
      e.Put(i + 1, 1 + i % 3, CellValue::String(u"Løper " + std::u16string(digits.begin(), digits.end())));
    }
    book.SelectSheet(1);
    book.SaveFile(path);
  }

  // Our writer on a file another program wrote: a sheet added and filled.
  {
    const std::string path = folder.File("updated.xls");
    TXLSFile book;
    book.OpenFile(Fixture("lo_types.xls"));
    book.InsertSheets(book.SheetCount() + 1, 1);
    book.SetActiveSheet(book.SheetCount());
    book.SetActiveSheetName(u"Excel");
    Writer w{book, description, 2};
    description.File(path);
    description.Sheets({u"Løpere", u"Andre ark", u"Excel"});
    description.Merged(0, 5, 6, 0, 1);  // the fixture's own
    description.Merged(0, 5, 5, 3, 5);
    w.Put(1, 1, CellValue::String(u"Ny"));
    w.Put(2, 2, CellValue::Number(2.5));
    book.SelectSheet(1);
    book.SaveFile(path);
  }
  Check(description, folder);
}

}  // namespace
}  // namespace ln40
