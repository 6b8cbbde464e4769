#include "reports/print_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reports/lists.h"
#include "reports/recording_canvas.h"
#include "report_test_support.h"

namespace ln40 {
namespace {

// 8 December 2026, 14:05:09.
TDateTime Now() {
  TDateTime date = 0, time = 0;
  TryEncodeDate(2026, 12, 8, date);
  TryEncodeTime(14, 5, 9, 0, time);
  return date + time;
}

std::string CellText(int col, int row, int width = 10) {
  std::string text("c");
  text += std::to_string(col);
  text += 'r';
  text += std::to_string(row);
  text.resize(static_cast<size_t>(width), '.');
  return text;
}

// `cols` columns, `rows` rows counting the header row; every cell a text of `width`
// characters naming its place ("c3r17......").
TGridTable FilledTable(int cols, int rows, int width = 10) {
  TGridTable table(cols);
  table.SetRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < cols; ++col) table.SetCell(col, row, CellText(col, row, width));
  }
  return table;
}

PrintSettings SheetSettings() {
  PrintSettings settings = RunnerSheetPrintSettings();
  settings.TitleText = "Race Sub";
  return settings;
}

// With the fixed-width rule (8 pt: lines of 32, eighths of 4) and the runner sheet's
// settings: the top reserve is 99 + 32 + 4 = 135, the bottom one 100 + 2 * (32 + 4) = 172
// and every row 32 + 4 + 2 * 4 = 44 high, so 60 rows fill a page of 2970.
TEST(PrintLayout, RowsFillPagesDownwards) {
  RecordingCanvas canvas;
  const TGridTable table = FilledTable(3, 250);
  const PrintLayout layout = LayoutPrintTable(table, SheetSettings(), BandedTableLook(), canvas);
  EXPECT_EQ(layout.topReserve, 135);
  EXPECT_EQ(layout.bottomReserve, 172);
  EXPECT_EQ(layout.rowHeights[1], 44);
  ASSERT_EQ(layout.PageCount(), 5);
  for (int page = 0; page < 4; ++page) EXPECT_EQ(layout.pages[static_cast<size_t>(page)].rows.size(), 60u) << page;
  EXPECT_EQ(layout.pages[4].rows.size(), 10u);
  EXPECT_EQ(layout.pages[1].rows.front().row, 60);  // no repeated header row by default
  EXPECT_EQ(layout.pages[0].rows.back().top + 44, 135 + 60 * 44);
}

TEST(PrintLayout, HeaderAndFooterOfTheRunnerSheet) {
  RecordingCanvas canvas;
  const TGridTable table = FilledTable(3, 250);
  ASSERT_EQ(PrintTable(table, SheetSettings(), BandedTableLook(), canvas, Now(), Locale::WorkedExample()), 5);
  ASSERT_EQ(canvas.Pages().size(), 5u);

  // Page 2 of 5 at the bottom right: two blanks, 2/5, a blank; ending 2 mm inside the margin.
  const RecordingCanvas::Text* number = canvas.Find(1, "  2/5 ");
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(number->x, 2100 - 100 - 20 - 6 * 16);
  EXPECT_EQ(number->y, 2970 - 100 - 4 - 32);
  // The date and a blank at the bottom left, on the left margin.
  const RecordingCanvas::Text* date = canvas.Find(1, "08.12.2026 ");
  ASSERT_NE(date, nullptr);
  EXPECT_EQ(date->x, 99);
  EXPECT_EQ(date->y, number->y);
  // A blank and the title, centred at the top.
  const RecordingCanvas::Text* title = canvas.Find(1, " Race Sub");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->x, (2100 - 9 * 16) / 2);
  EXPECT_EQ(title->y, 99);
  EXPECT_NE(canvas.Find(4, "  5/5 "), nullptr);
}

TEST(PrintLayout, PageNumberFormsAndPlaces) {
  const struct {
    const char* name;
    PrintPosition time, date, page, title;
    std::string sep;
    int page_number, page_count;
    std::array<std::string, 6> texts;  // top left, top right, top centre, bottom left, bottom right, bottom centre
  } cases[] = {
      {"one page: the number alone", PrintPosition::None, PrintPosition::None, PrintPosition::BottomCenter,
       PrintPosition::None, "/", 1, 1, {"", "", "", "", "", " P 1 S"}},
      {"page two of five", PrintPosition::None, PrintPosition::None, PrintPosition::BottomRight, PrintPosition::None,
       "/", 2, 5, {"", "", "", "", " P 2/5 S", ""}},
      {"no separator: the number alone", PrintPosition::None, PrintPosition::None, PrintPosition::TopRight,
       PrintPosition::None, "", 2, 5, {"", " P 2 S", "", "", "", ""}},
      {"another separator", PrintPosition::None, PrintPosition::None, PrintPosition::TopCenter, PrintPosition::None,
       " of ", 3, 4, {"", "", " P 3 of 4 S", "", "", ""}},
      {"left place: each part in front", PrintPosition::TopLeft, PrintPosition::TopLeft, PrintPosition::TopLeft,
       PrintPosition::TopLeft, "/", 1, 2, {"T P 1/2 S 08.12.2026 14:05 ", "", "", "", "", ""}},
      {"right place: each part behind", PrintPosition::BottomRight, PrintPosition::BottomRight,
       PrintPosition::BottomRight, PrintPosition::BottomRight, "/", 1, 2, {"", "", "", "", " 14:05 08.12.2026 P 1/2 S T", ""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PrintSettings settings;
    settings.Time = c.time;
    settings.Date = c.date;
    settings.PageNr = c.page;
    settings.Title = c.title;
    // Whole strings rather than literals: GCC 12 at -O3 warns falsely on assigning short literals.
    settings.TitleText = std::string("T");
    settings.PagePrefix = std::string("P");
    settings.PageSuffix = std::string("S");
    settings.PageNumSep = c.sep;
    EXPECT_EQ(PlaceTexts(settings, c.page_number, c.page_count, Now(), Locale::WorkedExample()), c.texts);
  }
}

TEST(PrintLayout, ListFittingOnePagePrintsItsNumberWithThePrefix) {
  const TGridTable sheet = testing::MakeSheet({{"Ola", "Dal", "H21", "IL", "", "00:30:00"}});
  const ListDocument doc = BuildResultList(sheet, "Race", "Sub");
  RecordingCanvas canvas;
  ASSERT_EQ(PrintTable(doc.table, doc.print, doc.look, canvas, Now(), Locale::WorkedExample()), 1);
  const RecordingCanvas::Text* number = canvas.Find(0, " Vexa timing system LN40      1 ");
  ASSERT_NE(number, nullptr);
  EXPECT_EQ(number->x, (2100 - 32 * 16) / 2);
  const RecordingCanvas::Text* title = canvas.Find(0, " Resultatliste Race Sub");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->font.size, 14);
  EXPECT_EQ(title->y, 30);
  // No date on the lists, no cell lines.
  EXPECT_EQ(canvas.Find(0, "08.12.2026 "), nullptr);
  EXPECT_TRUE(canvas.Pages()[0].lines.empty());
}

// Twelve columns of 10 characters are 180 wide each; with margins 99 and 100 a band holds
// ten of them (99 + 1800 <= 2000). 100 rows take two pages per band.
TEST(PrintLayout, WideTablePrintsItsRightColumnsAfterAllRowsOfTheLeftOnes) {
  RecordingCanvas canvas;
  const TGridTable table = FilledTable(12, 100);
  const PrintLayout layout = LayoutPrintTable(table, SheetSettings(), BandedTableLook(), canvas);
  ASSERT_EQ(layout.bands.size(), 2u);
  EXPECT_EQ(layout.bands[0].columns.size(), 10u);
  EXPECT_EQ(layout.bands[0].width, 1800);
  EXPECT_EQ(layout.bands[0].left, (2100 - 1800) / 2);  // centred
  EXPECT_EQ(layout.bands[1].columns.front().col, 10);
  EXPECT_EQ(layout.bands[1].left, (2100 - 360) / 2);
  ASSERT_EQ(layout.PageCount(), 4);
  EXPECT_EQ(layout.pages[0].band, 0);
  EXPECT_EQ(layout.pages[1].band, 0);
  EXPECT_EQ(layout.pages[2].band, 1);
  EXPECT_EQ(layout.pages[3].band, 1);

  PrintTable(table, SheetSettings(), BandedTableLook(), canvas, Now(), Locale::WorkedExample());
  // Page 2 ends the left band with its last row; page 3 starts the right band at the top.
  EXPECT_NE(canvas.Find(1, CellText(0, 99)), nullptr);
  EXPECT_EQ(canvas.Find(1, CellText(10, 99)), nullptr);
  const RecordingCanvas::Text* first = canvas.Find(2, CellText(10, 0));
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->y, 135 + layout.textOffsets[0]);
  EXPECT_EQ(first->x, 870 + layout.cellPadding);
  EXPECT_EQ(canvas.Find(2, CellText(9, 0)), nullptr);
  EXPECT_NE(canvas.Find(3, CellText(11, 99)), nullptr);
  EXPECT_NE(canvas.Find(2, "  3/4 "), nullptr);
}

TEST(PrintLayout, BandsStartAtTheLeftMarginWhenNotCentred) {
  RecordingCanvas canvas;
  PrintSettings settings = SheetSettings();
  settings.Centered = false;
  const PrintLayout layout = LayoutPrintTable(FilledTable(12, 3), settings, BandedTableLook(), canvas);
  ASSERT_EQ(layout.bands.size(), 2u);
  EXPECT_EQ(layout.bands[0].left, 99);
  EXPECT_EQ(layout.bands[1].left, 99);
  EXPECT_EQ(layout.bands[0].columns[1].left, 99 + 180);
}

TEST(PrintLayout, HeaderRowRepeatsOnEveryFurtherPage) {
  const TGridTable table = FilledTable(3, 200);
  for (const bool repeat : {true, false}) {
    SCOPED_TRACE(repeat);
    PrintSettings settings = ListPrintSettings("T");
    settings.RepeatFixedRows = repeat;
    RecordingCanvas canvas;
    const PrintLayout layout = LayoutPrintTable(table, settings, ListTableLook(), canvas);
    ASSERT_GE(layout.PageCount(), 3);
    EXPECT_FALSE(layout.pages[0].rows.front().repeated);
    for (int page = 1; page < layout.PageCount(); ++page) {
      const PrintPage& p = layout.pages[static_cast<size_t>(page)];
      const PrintPage& before = layout.pages[static_cast<size_t>(page - 1)];
      const int first_own = repeat ? 1 : 0;
      EXPECT_EQ(p.rows.front().row == 0 && p.rows.front().repeated, repeat) << page;
      EXPECT_EQ(p.rows[static_cast<size_t>(first_own)].row, before.rows.back().row + 1) << page;
    }
    PrintTable(table, settings, ListTableLook(), canvas, Now(), Locale::WorkedExample());
    const RecordingCanvas::Text* heading = canvas.Find(1, CellText(0, 0));
    if (repeat) {
      ASSERT_NE(heading, nullptr);
      EXPECT_EQ(heading->y, layout.topReserve + layout.textOffsets[0]);
      EXPECT_TRUE(heading->font.bold);
    } else {
      EXPECT_EQ(heading, nullptr);
    }
  }
}

TEST(PrintLayout, ColumnWidths) {
  const struct {
    const char* name;
    PrintFit fit;
    int cols;
    bool no_autosize;
    int expected_width;  // of column 0
    size_t bands;
  } cases[] = {
      {"autosize: widest text plus 2 mm", PrintFit::Never, 3, false, 160 + 20, 1},
      {"from the screen: 60 pixels at 96 per inch", PrintFit::Never, 3, true, 158 + 20, 1},
      {"grow fills the width between the margins", PrintFit::Grow, 3, false, (1901 - 60) / 3 + 20, 1},
      {"shrink leaves a narrow table alone", PrintFit::Shrink, 3, false, 180, 1},
      {"shrink brings a wide table onto one band", PrintFit::Shrink, 12, false, (1901 - 240) / 12 + 20, 1},
      {"grow leaves a wide table alone", PrintFit::Grow, 12, false, 180, 2},
      {"always scales both ways", PrintFit::Always, 12, false, (1901 - 240) / 12 + 20, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PrintSettings settings = SheetSettings();
    settings.FitToPage = c.fit;
    settings.NoAutoSize = c.no_autosize;
    RecordingCanvas canvas;
    const PrintLayout layout = LayoutPrintTable(FilledTable(c.cols, 3), settings, BandedTableLook(), canvas);
    EXPECT_EQ(layout.columnWidths[0], c.expected_width);
    EXPECT_EQ(layout.bands.size(), c.bands);
  }
}

TEST(PrintLayout, HiddenColumnsAndCoveredCellsDoNotPrint) {
  TGridTable table = FilledTable(3, 3, 4);
  table.HideColumn(1);
  table.SetCell(2, 2, "a much longer text");
  RecordingCanvas canvas;
  const PrintLayout layout = LayoutPrintTable(table, SheetSettings(), BandedTableLook(), canvas);
  EXPECT_EQ(layout.columnWidths[1], 0);
  EXPECT_EQ(layout.columnWidths[2], 18 * 16 + 20);
  ASSERT_EQ(layout.bands.size(), 1u);
  EXPECT_EQ(layout.bands[0].columns.size(), 2u);
  PrintTable(table, SheetSettings(), BandedTableLook(), canvas, Now(), Locale::WorkedExample());
  EXPECT_EQ(canvas.Find(0, CellText(1, 1, 4)), nullptr);
  EXPECT_NE(canvas.Find(0, CellText(0, 1, 4)), nullptr);
}

TEST(PrintLayout, MergedClassHeadingIsOneCell) {
  const TGridTable sheet = testing::MakeSheet({{"Ola", "Dal", "H21", "IL", "", "00:30:00"}});
  const ListDocument doc = BuildResultList(sheet, "R", "S");
  RecordingCanvas canvas;
  const PrintLayout layout = LayoutPrintTable(doc.table, doc.print, doc.look, canvas);
  PrintTable(doc.table, doc.print, doc.look, canvas, Now(), Locale::WorkedExample());
  int headings = 0;
  for (const auto& text : canvas.Pages()[0].texts) headings += text.text == "H21" ? 1 : 0;
  EXPECT_EQ(headings, 1);
  const RecordingCanvas::Text* heading = canvas.Find(0, "H21");
  ASSERT_NE(heading, nullptr);
  const PrintBand& band = layout.bands[0];
  // From column 1 to the right end of the band, in the heading colour.
  EXPECT_EQ(heading->clip.left, band.columns[1].left);
  EXPECT_EQ(heading->clip.right, band.left + band.width);
  ASSERT_EQ(canvas.Pages()[0].fills.size(), 1u);
  EXPECT_EQ(canvas.Pages()[0].fills[0].rect, heading->clip);
  EXPECT_EQ(canvas.Pages()[0].fills[0].color, SystemColors{}.light3D);
  // The widest text of the place column is its heading "Plass" (the class name is shorter).
  EXPECT_EQ(layout.columnWidths[1], 5 * 16 + 20);
}

TEST(PrintLayout, CellLines) {
  const struct {
    PrintBorders borders;
    LineStyle style;
    size_t lines;  // on a table of 2 visible columns and 2 rows
    int width;
  } cases[] = {
      {PrintBorders::None, LineStyle::Solid, 0, 0},
      {PrintBorders::Single, LineStyle::Solid, 16, 2},
      {PrintBorders::Single, LineStyle::None, 0, 0},
      {PrintBorders::Double, LineStyle::Dot, 16, 10},
      {PrintBorders::Vertical, LineStyle::Solid, 8, 2},
      {PrintBorders::Horizontal, LineStyle::Dash, 8, 2},
      {PrintBorders::Around, LineStyle::Solid, 4, 2},
      {PrintBorders::AroundVertical, LineStyle::Solid, 12, 2},
      {PrintBorders::AroundHorizontal, LineStyle::Solid, 12, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.borders));
    PrintSettings settings;
    settings.Borders = c.borders;
    settings.BorderStyle = c.style;
    RecordingCanvas canvas;
    PrintTable(FilledTable(2, 2), settings, ListTableLook(), canvas, Now(), Locale::WorkedExample());
    const auto& lines = canvas.Pages()[0].lines;
    EXPECT_EQ(lines.size(), c.lines);
    for (const auto& line : lines) {
      EXPECT_EQ(line.width, c.width);
      EXPECT_EQ(line.style, c.style);
    }
  }
}

TEST(PrintLayout, FurtherTitleLinesGoBelowTheFirst) {
  PrintSettings settings = SheetSettings();
  settings.TitleText.clear();
  settings.TitleLines = {"Line one", "Line two", "Line three"};
  RecordingCanvas canvas;
  const PrintLayout layout = LayoutPrintTable(FilledTable(2, 3), settings, BandedTableLook(), canvas);
  EXPECT_EQ(layout.topReserve, 135 + 2 * 32);
  DrawPrintPage(layout, 0, FilledTable(2, 3), settings, BandedTableLook(), canvas, Now(), Locale::WorkedExample());
  const RecordingCanvas::Text* first = canvas.Find(0, " Line one");
  const RecordingCanvas::Text* second = canvas.Find(0, "Line two");
  const RecordingCanvas::Text* third = canvas.Find(0, "Line three");
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(second->y, first->y + 32);
  EXPECT_EQ(third->y, first->y + 64);
  EXPECT_EQ(second->x, (2100 - 8 * 16) / 2);

  settings.Title = PrintPosition::BottomLeft;
  const PrintLayout bottom = LayoutPrintTable(FilledTable(2, 3), settings, BandedTableLook(), canvas);
  EXPECT_EQ(bottom.topReserve, 99);
  EXPECT_EQ(bottom.bottomReserve, 172 + 2 * 32);
}

TEST(PrintLayout, AlignmentInsideTheCell) {
  TGridTable table(2);
  table.SetCell(0, 1, "1");
  table.SetCell(0, 0, "Place");
  table.SetCell(1, 0, "Name");
  TableLook look = ListTableLook();
  look.columnAlignment = {HorizontalAlignment::Right, HorizontalAlignment::Center};
  table.SetCell(1, 1, "Ab");
  PrintSettings settings;
  RecordingCanvas canvas;
  const PrintLayout layout = LayoutPrintTable(table, settings, look, canvas);
  PrintTable(table, settings, look, canvas, Now(), Locale::WorkedExample());
  const PrintColumn& place = layout.bands[0].columns[0];
  const PrintColumn& name = layout.bands[0].columns[1];
  EXPECT_EQ(canvas.Find(0, "1")->x, place.left + place.width - 10 - 16);
  EXPECT_EQ(canvas.Find(0, "Ab")->x, name.left + (name.width - 32) / 2);
}

TEST(PrintLayout, RowTallerThanThePageStillPrints) {
  TGridTable table(1);
  table.SetRowCount(3);
  table.SetCell(0, 1, std::string(200, '\r'));
  RecordingCanvas canvas;
  const PrintLayout layout = LayoutPrintTable(table, SheetSettings(), BandedTableLook(), canvas);
  ASSERT_EQ(layout.PageCount(), 3);
  EXPECT_EQ(layout.pages[1].rows.size(), 1u);
  EXPECT_EQ(layout.pages[1].rows[0].row, 1);
  EXPECT_EQ(layout.pages[2].rows[0].row, 2);
}

TEST(PrintLayout, EmptyTableIsOnePage) {
  TGridTable sheet;
  SetUpRunnerSheet(sheet);
  RecordingCanvas canvas;
  EXPECT_EQ(PrintTable(sheet, SheetSettings(), BandedTableLook(), canvas, Now(), Locale::WorkedExample()), 1);
  EXPECT_NE(canvas.Find(0, "  1 "), nullptr);
  EXPECT_NE(canvas.Find(0, "Fornavn"), nullptr);
}

TEST(PrintLayout, SettingsFontsWithoutDisplayFont) {
  PrintSettings settings = SheetSettings();
  settings.UseDisplayFont = false;
  settings.Font = {"Courier", 10};
  settings.FixedFont = {"Courier", 12, true};
  RecordingCanvas canvas;
  const TGridTable table = FilledTable(1, 2);
  const PrintLayout layout = LayoutPrintTable(table, settings, BandedTableLook(), canvas);
  EXPECT_EQ(layout.columnWidths[0], 10 * 24 + 20);  // the 12 point header row is widest
  EXPECT_EQ(layout.rowHeights[1], 40 + 5 + 2 * 5);
  PrintTable(table, settings, BandedTableLook(), canvas, Now(), Locale::WorkedExample());
  EXPECT_EQ(canvas.Find(0, CellText(0, 1))->font.name, "Courier");
}

}  // namespace
}  // namespace ln40
