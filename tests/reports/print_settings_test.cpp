#include "reports/print_settings.h"

#include <gtest/gtest.h>

#include "reports/print_format.h"

namespace ln40 {
namespace {

TEST(PrintSettings, StartingValues) {
  const PrintSettings fresh;
  EXPECT_EQ(fresh.HeaderSize, 0);
  EXPECT_EQ(fresh.DateFormat, "dd/mm/yyyy");
  EXPECT_EQ(fresh.PageNumSep, "/");
  EXPECT_EQ(fresh.Borders, PrintBorders::Single);
  EXPECT_EQ(fresh.BorderStyle, LineStyle::Solid);
  EXPECT_TRUE(fresh.Centered);
  EXPECT_FALSE(fresh.RepeatFixedRows);
  EXPECT_EQ(fresh.FitToPage, PrintFit::Never);
  EXPECT_TRUE(fresh.UseDisplayFont);
  EXPECT_EQ(fresh.Orientation, PageOrientation::Portrait);
  EXPECT_EQ(fresh.Font, (FontSpec{"MS Sans Serif", 8}));

  const PrintSettings sheet = RunnerSheetPrintSettings();
  EXPECT_EQ(sheet.HeaderSize, 99);
  EXPECT_EQ(sheet.FooterSize, 100);
  EXPECT_EQ(sheet.LeftSize, 99);
  EXPECT_EQ(sheet.RightSize, 100);
  EXPECT_EQ(sheet.Title, PrintPosition::TopCenter);
  EXPECT_EQ(sheet.Date, PrintPosition::BottomLeft);
  EXPECT_EQ(sheet.PageNr, PrintPosition::BottomRight);
  EXPECT_EQ(sheet.Time, PrintPosition::None);
  EXPECT_EQ(sheet.FooterFont, (FontSpec{"MS Sans Serif", 8}));

  const PrintSettings times = ReadTimesPrintSettings();
  EXPECT_EQ(times.HeaderSize, 0);
  EXPECT_EQ(times.Title, PrintPosition::None);
  EXPECT_EQ(times.PageNr, PrintPosition::None);
}

TEST(PrintSettingsEdit, TitleTextBecomesTitleLines) {
  PrintSettings settings;
  settings.TitleText = "Race\r\nSub\nthird";
  PrintSettingsEdit edit(settings);
  EXPECT_EQ(settings.TitleText, "");
  EXPECT_EQ(settings.TitleLines, (std::vector<std::string>{"Race", "Sub", "third"}));
  edit.Accept();
  EXPECT_EQ(settings.TitleLines.size(), 3u);
}

TEST(PrintSettingsEdit, CancelRestoresEverySettingFontsIncluded) {
  PrintSettings settings = RunnerSheetPrintSettings();
  settings.TitleText = "Race Sub";
  const PrintSettings before = settings;
  PrintSettingsEdit edit(settings);
  settings.HeaderFont = {"Arial", 20, true, true, true};
  settings.Font.size = 12;
  settings.LeftSize = 300;
  settings.Borders = PrintBorders::Double;
  settings.TitleLines = {"changed"};
  edit.Cancel();
  EXPECT_EQ(settings.HeaderFont, before.HeaderFont);
  EXPECT_EQ(settings.Font, before.Font);
  EXPECT_EQ(settings.LeftSize, 99);
  EXPECT_EQ(settings.Borders, PrintBorders::Single);
  EXPECT_EQ(settings.TitleText, "Race Sub");
  EXPECT_TRUE(settings.TitleLines.empty());
}

PrintSettings Changed() {
  PrintSettings s;
  s.HeaderSize = 120;
  s.FooterSize = 130;
  s.LeftSize = 140;
  s.RightSize = 150;
  s.ColumnSpacing = 5;
  s.RowSpacing = 6;
  s.TitleSpacing = 7;
  s.Title = PrintPosition::BottomLeft;
  s.TitleLines = {"first line", "  second with blanks  ", ""};
  s.Date = PrintPosition::TopRight;
  s.DateFormat = "d. mmmm yyyy";
  s.Time = PrintPosition::TopLeft;
  s.PageNr = PrintPosition::BottomCenter;
  s.PagePrefix = "Vexa timing system LN40     ";
  s.PageSuffix = " \"x\"";
  s.PageNumSep = " av ";
  s.Borders = PrintBorders::AroundHorizontal;
  s.BorderStyle = LineStyle::DashDotDot;
  s.Centered = false;
  s.RepeatFixedRows = true;
  s.RepeatFixedCols = true;
  s.FitToPage = PrintFit::Shrink;
  s.NoAutoSize = true;
  s.NoAutoSizeRow = true;
  s.UseDisplayFont = false;
  s.PrintGraphics = true;
  s.Orientation = PageOrientation::Landscape;
  s.HeaderFont = {"Arial", 14, true, false, true};
  s.FooterFont = {"Times New Roman", 9, false, true, false};
  s.Font = {"Courier New", 10};
  s.FixedFont = {"Courier New", 11, true, true, true};
  return s;
}

void ExpectSame(const PrintSettings& a, const PrintSettings& b) {
  EXPECT_EQ(a.HeaderSize, b.HeaderSize);
  EXPECT_EQ(a.FooterSize, b.FooterSize);
  EXPECT_EQ(a.LeftSize, b.LeftSize);
  EXPECT_EQ(a.RightSize, b.RightSize);
  EXPECT_EQ(a.ColumnSpacing, b.ColumnSpacing);
  EXPECT_EQ(a.RowSpacing, b.RowSpacing);
  EXPECT_EQ(a.TitleSpacing, b.TitleSpacing);
  EXPECT_EQ(a.Title, b.Title);
  EXPECT_EQ(a.TitleText, b.TitleText);
  EXPECT_EQ(a.TitleLines, b.TitleLines);
  EXPECT_EQ(a.Date, b.Date);
  EXPECT_EQ(a.DateFormat, b.DateFormat);
  EXPECT_EQ(a.Time, b.Time);
  EXPECT_EQ(a.PageNr, b.PageNr);
  EXPECT_EQ(a.PagePrefix, b.PagePrefix);
  EXPECT_EQ(a.PageSuffix, b.PageSuffix);
  EXPECT_EQ(a.PageNumSep, b.PageNumSep);
  EXPECT_EQ(a.Borders, b.Borders);
  EXPECT_EQ(a.BorderStyle, b.BorderStyle);
  EXPECT_EQ(a.Centered, b.Centered);
  EXPECT_EQ(a.RepeatFixedRows, b.RepeatFixedRows);
  EXPECT_EQ(a.RepeatFixedCols, b.RepeatFixedCols);
  EXPECT_EQ(a.FitToPage, b.FitToPage);
  EXPECT_EQ(a.NoAutoSize, b.NoAutoSize);
  EXPECT_EQ(a.NoAutoSizeRow, b.NoAutoSizeRow);
  EXPECT_EQ(a.UseDisplayFont, b.UseDisplayFont);
  EXPECT_EQ(a.PrintGraphics, b.PrintGraphics);
  EXPECT_EQ(a.Orientation, b.Orientation);
  EXPECT_EQ(a.HeaderFont, b.HeaderFont);
  EXPECT_EQ(a.FooterFont, b.FooterFont);
  EXPECT_EQ(a.Font, b.Font);
  EXPECT_EQ(a.FixedFont, b.FixedFont);
}

TEST(PrintSettingsIni, RoundTripOfEveryField) {
  const std::string ini = WritePrintSettingsIni("", Changed());
  PrintSettings read;
  ASSERT_TRUE(ReadPrintSettingsIni(ini, read));
  ExpectSame(read, Changed());
}

TEST(PrintSettingsIni, WrittenText) {
  const std::string ini = WritePrintSettingsIni("", Changed());
  EXPECT_EQ(ini.rfind("[PRINTSETTINGS]\r\nHeaderSize=120\r\nFooterSize=130\r\n", 0), 0u);
  EXPECT_NE(ini.find("\r\nPagePrefix=\"Vexa timing system LN40     \"\r\n"), std::string::npos);
  EXPECT_NE(ini.find("\r\nTitle=BottomLeft\r\n"), std::string::npos);
  EXPECT_NE(ini.find("\r\nCentered=0\r\n"), std::string::npos);
  EXPECT_NE(ini.find("\r\nHeaderFontStyle=Bold,Underline\r\n"), std::string::npos);
  EXPECT_NE(ini.find("\r\nTitleLineCount=3\r\nTitleLine1=first line\r\n"), std::string::npos);
  EXPECT_EQ(ini.find('\n'), ini.find("\r\n") + 1);
  EXPECT_EQ(ini.substr(ini.size() - 2), "\r\n");
}

TEST(PrintSettingsIni, OtherSectionsAreKeptAndOursReplaced) {
  const std::string before =
      "; my settings\n[Other]\nkey=value\n[printsettings]\nHeaderSize=5\nStale=1\n[Last]\nx=1\n";
  const std::string ini = WritePrintSettingsIni(before, PrintSettings{});
  EXPECT_EQ(ini.rfind("; my settings\r\n[Other]\r\nkey=value\r\n[PRINTSETTINGS]\r\nHeaderSize=0\r\n", 0), 0u);
  EXPECT_EQ(ini.find("Stale"), std::string::npos);
  EXPECT_EQ(ini.find("HeaderSize=5"), std::string::npos);
  EXPECT_NE(ini.find("\r\n[Last]\r\nx=1\r\n"), std::string::npos);

  const std::string appended = WritePrintSettingsIni("[Other]\r\na=b\r\n", PrintSettings{});
  EXPECT_EQ(appended.rfind("[Other]\r\na=b\r\n[PRINTSETTINGS]\r\n", 0), 0u);
}

TEST(PrintSettingsIni, ReadingIsTolerant) {
  const struct {
    const char* name;
    std::string ini;
    bool found;
    std::function<void(const PrintSettings&)> check;
  } cases[] = {
      {"no section: nothing changes", "[Other]\nHeaderSize=55\n", false,
       [](const PrintSettings& s) { EXPECT_EQ(s.HeaderSize, 99); }},
      {"names without regard to case, LF lines", "[PrintSettings]\nheadersize = 55\nTITLE=topleft\n", true,
       [](const PrintSettings& s) {
         EXPECT_EQ(s.HeaderSize, 55);
         EXPECT_EQ(s.Title, PrintPosition::TopLeft);
       }},
      {"values that do not read keep the old ones", "[PRINTSETTINGS]\nHeaderSize=abc\nBorders=Zigzag\nCentered=maybe\n",
       true,
       [](const PrintSettings& s) {
         EXPECT_EQ(s.HeaderSize, 99);
         EXPECT_EQ(s.Borders, PrintBorders::Single);
         EXPECT_TRUE(s.Centered);
       }},
      {"lengths below zero become zero", "[PRINTSETTINGS]\r\nLeftSize=-40\r\n", true,
       [](const PrintSettings& s) { EXPECT_EQ(s.LeftSize, 0); }},
      {"comments and keys of other sections are skipped",
       "[A]\nLeftSize=1\n[PRINTSETTINGS]\n;LeftSize=2\nRightSize=3\n[B]\nRightSize=4\n", true,
       [](const PrintSettings& s) {
         EXPECT_EQ(s.LeftSize, 99);
         EXPECT_EQ(s.RightSize, 3);
       }},
      {"quotes keep blanks; a bare value is trimmed", "[PRINTSETTINGS]\nPagePrefix=\" a \"\nPageSuffix=  b  \n", true,
       [](const PrintSettings& s) {
         EXPECT_EQ(s.PagePrefix, " a ");
         EXPECT_EQ(s.PageSuffix, "b");
       }},
      {"booleans in several spellings", "[PRINTSETTINGS]\nRepeatFixedRows=True\nCentered=no\nNoAutoSize=1\n", true,
       [](const PrintSettings& s) {
         EXPECT_TRUE(s.RepeatFixedRows);
         EXPECT_FALSE(s.Centered);
         EXPECT_TRUE(s.NoAutoSize);
       }},
      {"title lines beyond the count are dropped", "[PRINTSETTINGS]\nTitleLineCount=1\nTitleLine1=a\nTitleLine2=b\n",
       true, [](const PrintSettings& s) { EXPECT_EQ(s.TitleLines, std::vector<std::string>{"a"}); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PrintSettings settings = RunnerSheetPrintSettings();
    EXPECT_EQ(ReadPrintSettingsIni(c.ini, settings), c.found);
    c.check(settings);
  }
}

TEST(PrintSettingsIni, FileNameOfSave) {
  EXPECT_EQ(IniFileNameForSave("/home/a/list", 1), "/home/a/list.ini");
  EXPECT_EQ(IniFileNameForSave("/home/a/list.txt", 1), "/home/a/list.txt");
  EXPECT_EQ(IniFileNameForSave("/home/a.b/list", 1), "/home/a.b/list.ini");
  EXPECT_EQ(IniFileNameForSave("/home/a/list", 2), "/home/a/list");
}

TEST(PrintFormat, Patterns) {
  TDateTime date = 0, time = 0;
  TryEncodeDate(2026, 12, 8, date);
  TryEncodeTime(14, 5, 9, 30, time);
  Locale locale = Locale::WorkedExample();
  locale.longMonthNames[11] = "desember";
  locale.shortDayNames[2] = "ti";
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"dd/mm/yyyy", "08.12.2026"},
      {"d/m/yy", "8.12.26"},
      {"hh:nn", "14:05"},
      {"hh:mm", "14:05"},          // m after h is the minute
      {"hh:nn:ss.zzz", "14:05:09.030"},
      {"d. mmmm yyyy", "8. desember 2026"},
      {"ddd", "ti"},
      {"DD/MM/YYYY", "08.12.2026"},
      {"h:nn am/pm", "2:05 pm"},
      {"'dd' dd", "dd 08"},
      {"\"Dato:\" dd", "Dato: 08"},
      {"ddddd", "08.12.2026"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatPrintDateTime(c.pattern, date + time, locale), c.text) << c.pattern;
  }
  Locale us = locale;
  us.dateSeparator = '/';
  EXPECT_EQ(FormatPrintDateTime("mm/dd/yyyy", date, us), "12/08/2026");
}

}  // namespace
}  // namespace ln40
