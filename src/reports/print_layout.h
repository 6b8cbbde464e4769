#pragma once
// PrintTable: lays a TGridTable out on pages and draws it on a PrintCanvas. Every row and
// every visible column is printed; columns that do not fit across the page form further
// bands, each printed on pages of its own after all rows of the band to its left. The top
// and bottom lines of each page carry time, date, page number and title as PrintSettings
// place them. All lengths are tenths of a millimetre.
#include <array>
#include <string>
#include <vector>

#include "reports/print_canvas.h"
#include "reports/print_settings.h"
#include "table/grid_table.h"
#include "table/table_look.h"
#include "text/date_time.h"
#include "text/locale.h"

namespace ln40 {

// One visible column of a band: its table index and where it stands on the page.
struct PrintColumn {
  int col = 0;
  int left = 0;
  int width = 0;
};

struct PrintBand {
  std::vector<PrintColumn> columns;
  int left = 0;
  int width = 0;
};

// One row on one page. `repeated` marks the header row printed again at the top of a
// page after the first.
struct PrintRowPlacement {
  int row = 0;
  int top = 0;
  int height = 0;
  bool repeated = false;
};

struct PrintPage {
  int band = 0;
  std::vector<PrintRowPlacement> rows;
};

struct PrintLayout {
  int pageWidth = 0;
  int pageHeight = 0;
  int topReserve = 0;     // the table starts here
  int bottomReserve = 0;  // and ends this far above the bottom edge
  std::vector<int> columnWidths;  // by table column, the added spaces included; 0 when hidden
  std::vector<int> rowHeights;    // by table row, as printed
  std::vector<int> textOffsets;   // by table row: from the row's top to its text
  int cellPadding = 0;            // from a cell's side to its text
  FontSpec bodyFont;
  FontSpec headerRowFont;
  std::vector<PrintBand> bands;
  std::vector<PrintPage> pages;

  int PageCount() const { return static_cast<int>(pages.size()); }
};

// The places of the top and bottom lines, in the order their texts are built.
enum class PrintPlace { TopLeft, TopRight, TopCenter, BottomLeft, BottomRight, BottomCenter };

// The text of each place on page `page` (1-based) of `page_count`: time ("hh:nn"), date
// (DateFormat), page number and title, each added where its position says; at a left place
// in front of what is there, followed by a blank, at a right or centre place after it,
// preceded by a blank. The page number is PagePrefix, a blank, the number, a blank and
// PageSuffix; the number is page, PageNumSep and page_count when the separator is set and
// there is more than one page, else the page alone. The title is TitleText, or the first
// of TitleLines when TitleText is empty.
std::array<std::string, 6> PlaceTexts(const PrintSettings& settings, int page, int page_count, TDateTime now,
                                      const Locale& locale);

// The title lines printed below the first one, at the title's place.
std::vector<std::string> FurtherTitleLines(const PrintSettings& settings);

// Measures the table with `canvas` and computes every page. Does not draw.
PrintLayout LayoutPrintTable(const TGridTable& table, const PrintSettings& settings, const TableLook& look,
                             PrintCanvas& canvas);

// Draws page `page_index` (0-based) of `layout`; the page preview of the settings dialog
// draws page 0 on a reduced canvas.
void DrawPrintPage(const PrintLayout& layout, int page_index, const TGridTable& table, const PrintSettings& settings,
                   const TableLook& look, PrintCanvas& canvas, TDateTime now, const Locale& locale);

// Lays out and draws every page, calling NewPage between pages. Returns the page count.
int PrintTable(const TGridTable& table, const PrintSettings& settings, const TableLook& look, PrintCanvas& canvas,
               TDateTime now, const Locale& locale);

}  // namespace ln40
