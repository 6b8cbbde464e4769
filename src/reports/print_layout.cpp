#include "reports/print_layout.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "reports/print_format.h"

namespace ln40 {
namespace {

// Each column gets this much (2 mm) beside its text, half on either side.
constexpr int kColumnSpace = 20;
// A right-hand text ends this far (2 mm) inside the right margin.
constexpr int kRightInset = 20;

bool IsTop(PrintPosition position) {
  return position == PrintPosition::TopLeft || position == PrintPosition::TopRight ||
         position == PrintPosition::TopCenter;
}

bool IsBottom(PrintPosition position) {
  return position == PrintPosition::BottomLeft || position == PrintPosition::BottomRight ||
         position == PrintPosition::BottomCenter;
}

PrintPosition PositionOf(PrintPlace place) {
  switch (place) {
    case PrintPlace::TopLeft: return PrintPosition::TopLeft;
    case PrintPlace::TopRight: return PrintPosition::TopRight;
    case PrintPlace::TopCenter: return PrintPosition::TopCenter;
    case PrintPlace::BottomLeft: return PrintPosition::BottomLeft;
    case PrintPlace::BottomRight: return PrintPosition::BottomRight;
    case PrintPlace::BottomCenter: return PrintPosition::BottomCenter;
  }
  return PrintPosition::None;
}

bool IsLeft(PrintPosition position) {
  return position == PrintPosition::TopLeft || position == PrintPosition::BottomLeft;
}
bool IsRight(PrintPosition position) {
  return position == PrintPosition::TopRight || position == PrintPosition::BottomRight;
}

// Screen pixels as tenths of a millimetre.
int PixelsToPaper(int pixels, int pixels_per_inch) {
  if (pixels_per_inch <= 0) pixels_per_inch = 96;
  return static_cast<int>(static_cast<long long>(std::max(0, pixels)) * 254 / pixels_per_inch);
}

std::vector<std::string_view> CellLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (true) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

struct Fonts {
  FontSpec body;
  FontSpec header_row;
  const TableLook* look = nullptr;
  bool display = true;

  const FontSpec& Of(int col, int row, FontSpec& scratch) const {
    if (row == 0) return header_row;
    if (display && look->cellFont) {
      scratch = look->cellFont(col, row);
      return scratch;
    }
    return body;
  }
};

Fonts ChooseFonts(const PrintSettings& settings, const TableLook& look) {
  Fonts fonts;
  fonts.look = &look;
  fonts.display = settings.UseDisplayFont;
  fonts.body = settings.UseDisplayFont ? look.font : settings.Font;
  fonts.header_row = settings.UseDisplayFont ? look.headerFont : settings.FixedFont;
  return fonts;
}

bool IsCovered(const TGridTable& table, int col, int row) {
  const std::optional<MergeSpan> span = table.MergeSpanAt(col, row);
  return span && (span->col != col || span->row != row);
}

// Measures each line once: a column of repeated values costs little.
class Measure {
 public:
  explicit Measure(PrintCanvas& canvas) : canvas_(canvas) {}
  int Width(const FontSpec& font, std::string_view text) {
    int widest = 0;
    for (std::string_view line : CellLines(text)) {
      if (line.empty()) continue;
      widest = std::max(widest, canvas_.TextWidth(font, line));
    }
    return widest;
  }
  int LineHeight(const FontSpec& font) { return canvas_.TextHeight(font); }

 private:
  PrintCanvas& canvas_;
};

void AddPart(std::string& place_text, bool left, const std::string& part) {
  if (left) place_text = part + " " + place_text;
  else place_text += " " + part;
}

}  // namespace

std::vector<std::string> FurtherTitleLines(const PrintSettings& settings) {
  if (settings.Title == PrintPosition::None) return {};
  const std::vector<std::string>& lines = settings.TitleLines;
  if (lines.size() < 2) return {};
  return std::vector<std::string>(lines.begin() + 1, lines.end());
}

std::array<std::string, 6> PlaceTexts(const PrintSettings& settings, int page, int page_count, TDateTime now,
                                      const Locale& locale) {
  std::array<std::string, 6> texts;
  std::string title = settings.TitleText;
  if (title.empty() && !settings.TitleLines.empty()) title = settings.TitleLines.front();
  std::string number = std::to_string(page);
  if (!settings.PageNumSep.empty() && page_count > 1) number += settings.PageNumSep + std::to_string(page_count);
  const std::string page_part = settings.PagePrefix + " " + number + " " + settings.PageSuffix;

  for (int i = 0; i < 6; ++i) {
    const PrintPosition place = PositionOf(static_cast<PrintPlace>(i));
    const bool left = IsLeft(place);
    std::string& text = texts[static_cast<size_t>(i)];
    if (settings.Time == place) AddPart(text, left, FormatPrintDateTime(kPrintTimeFormat, now, locale));
    if (settings.Date == place) AddPart(text, left, FormatPrintDateTime(settings.DateFormat, now, locale));
    if (settings.PageNr == place) AddPart(text, left, page_part);
    if (settings.Title == place) AddPart(text, left, title);
  }
  return texts;
}

PrintLayout LayoutPrintTable(const TGridTable& table, const PrintSettings& settings, const TableLook& look,
                             PrintCanvas& canvas) {
  PrintLayout layout;
  layout.pageWidth = canvas.PageWidth();
  layout.pageHeight = canvas.PageHeight();
  Measure measure(canvas);
  const Fonts fonts = ChooseFonts(settings, look);
  layout.bodyFont = fonts.body;
  layout.headerRowFont = fonts.header_row;
  FontSpec scratch;

  const int cols = table.ColCount();
  const int rows = table.RowCount();
  const int space = kColumnSpace + settings.ColumnSpacing;
  layout.cellPadding = space / 2;

  // Column widths: the widest text, or the screen width, then fitted to the page.
  std::vector<int> text_widths(static_cast<size_t>(cols), 0);
  long long sum_text = 0;
  long long sum_space = 0;
  for (int col = 0; col < cols; ++col) {
    if (table.IsColumnHidden(col)) continue;
    int width = 0;
    if (settings.NoAutoSize) {
      width = PixelsToPaper(table.ColumnWidth(col) - 4, look.screenPixelsPerInch);
    } else {
      for (int row = 0; row < rows; ++row) {
        const std::string& text = table.Cell(col, row);
        if (text.empty() || IsCovered(table, col, row)) continue;
        width = std::max(width, measure.Width(fonts.Of(col, row, scratch), text));
      }
    }
    text_widths[static_cast<size_t>(col)] = width;
    sum_text += width;
    sum_space += space;
  }
  double factor = 1.0;
  if (settings.FitToPage != PrintFit::Never && sum_text > 0) {
    const double available =
        static_cast<double>(layout.pageWidth - settings.LeftSize - settings.RightSize) - static_cast<double>(sum_space);
    const double fit = std::max(0.0, available / static_cast<double>(sum_text));
    if (settings.FitToPage == PrintFit::Always || (settings.FitToPage == PrintFit::Grow && fit > 1.0) ||
        (settings.FitToPage == PrintFit::Shrink && fit < 1.0)) {
      factor = fit;
    }
  }
  layout.columnWidths.assign(static_cast<size_t>(cols), 0);
  for (int col = 0; col < cols; ++col) {
    if (table.IsColumnHidden(col)) continue;
    layout.columnWidths[static_cast<size_t>(col)] =
        static_cast<int>(std::floor(text_widths[static_cast<size_t>(col)] * factor)) + space;
  }

  // Bands: columns while the band still ends within the right margin; at least one each.
  const int right_limit = layout.pageWidth - settings.RightSize;
  PrintBand band;
  const auto close_band = [&] {
    if (band.columns.empty()) return;
    band.left = settings.Centered ? std::max(0, (layout.pageWidth - band.width) / 2) : settings.LeftSize;
    int x = band.left;
    for (PrintColumn& column : band.columns) {
      column.left = x;
      x += column.width;
    }
    layout.bands.push_back(std::move(band));
    band = PrintBand();
  };
  for (int col = 0; col < cols; ++col) {
    if (table.IsColumnHidden(col)) continue;
    const int width = layout.columnWidths[static_cast<size_t>(col)];
    if (!band.columns.empty() && settings.LeftSize + band.width + width > right_limit) close_band();
    band.columns.push_back({col, 0, width});
    band.width += width;
  }
  close_band();

  // Row heights: the tallest text, or the screen height, plus an eighth of it, two eighths
  // of a line of the settings' font and the row spacing.
  const int table_font_eighth = measure.LineHeight(settings.Font) / 8;
  layout.rowHeights.assign(static_cast<size_t>(rows), 0);
  layout.textOffsets.assign(static_cast<size_t>(rows), 0);
  for (int row = 0; row < rows; ++row) {
    int height = 0;
    if (settings.NoAutoSizeRow) {
      height = PixelsToPaper(look.defaultRowHeight - 4, look.screenPixelsPerInch);
    } else {
      for (int col = 0; col < cols; ++col) {
        if (table.IsColumnHidden(col) || IsCovered(table, col, row)) continue;
        const FontSpec& font = fonts.Of(col, row, scratch);
        const int lines = static_cast<int>(CellLines(table.Cell(col, row)).size());
        height = std::max(height, lines * measure.LineHeight(font));
      }
      if (height == 0) height = measure.LineHeight(row == 0 ? fonts.header_row : fonts.body);
    }
    const int extra = height / 8 + 2 * table_font_eighth;
    layout.rowHeights[static_cast<size_t>(row)] = height + extra + settings.RowSpacing;
    layout.textOffsets[static_cast<size_t>(row)] = extra / 2;
  }

  // Reserves at the top and the bottom of each page.
  const int header_line = measure.LineHeight(settings.HeaderFont);
  const int footer_line = measure.LineHeight(settings.FooterFont);
  const int further_titles = static_cast<int>(FurtherTitleLines(settings).size());
  const bool any_top = IsTop(settings.Title) || IsTop(settings.Date) || IsTop(settings.Time) || IsTop(settings.PageNr);
  const bool any_bottom =
      IsBottom(settings.Title) || IsBottom(settings.Date) || IsBottom(settings.Time) || IsBottom(settings.PageNr);
  layout.topReserve = settings.HeaderSize + settings.TitleSpacing;
  if (any_top) layout.topReserve += header_line + table_font_eighth;
  if (IsTop(settings.Title)) layout.topReserve += further_titles * header_line;
  layout.bottomReserve = settings.FooterSize + (any_bottom ? 2 : 1) * (footer_line + table_font_eighth);
  if (IsBottom(settings.Title)) layout.bottomReserve += further_titles * footer_line;

  // Pages: rows fill each page downwards and are never split; a page holds at least one
  // row besides a repeated header row, however tall.
  const int bottom_limit = layout.pageHeight - layout.bottomReserve;
  for (int b = 0; b < static_cast<int>(layout.bands.size()); ++b) {
    PrintPage page{b, {}};
    int y = layout.topReserve;
    bool has_own_row = false;
    for (int row = 0; row < rows; ++row) {
      const int height = layout.rowHeights[static_cast<size_t>(row)];
      if (has_own_row && y + height > bottom_limit) {
        layout.pages.push_back(std::move(page));
        page = PrintPage{b, {}};
        y = layout.topReserve;
        has_own_row = false;
        if (settings.RepeatFixedRows) {
          page.rows.push_back({0, y, layout.rowHeights[0], true});
          y += layout.rowHeights[0];
        }
      }
      page.rows.push_back({row, y, height, false});
      y += height;
      has_own_row = true;
    }
    layout.pages.push_back(std::move(page));
  }
  return layout;
}

namespace {

class PageDrawer {
 public:
  PageDrawer(const PrintLayout& layout, const PrintPage& page, const TGridTable& table, const PrintSettings& settings,
             const TableLook& look, PrintCanvas& canvas)
      : layout_(layout), page_(page), table_(table), settings_(settings), look_(look), canvas_(canvas),
        band_(layout.bands[static_cast<size_t>(page.band)]), fonts_(ChooseFonts(settings, look)) {}

  void DrawCells() {
    for (size_t p = 0; p < page_.rows.size(); ++p) {
      for (size_t c = 0; c < band_.columns.size(); ++c) DrawCell(p, c);
    }
    DrawOutline();
  }

 private:
  // The rectangle and source cell of the cell at placement p, band column c; false when a
  // merge drawn elsewhere on this page covers it. A merge is drawn once per page and band,
  // from its first column in the band and its first row on the page.
  bool Locate(size_t p, size_t c, PrintRect& rect, int& src_col, int& src_row) const {
    const PrintRowPlacement& placement = page_.rows[p];
    const PrintColumn& column = band_.columns[c];
    src_col = column.col;
    src_row = placement.row;
    rect = {column.left, placement.top, column.left + column.width, placement.top + placement.height};
    const std::optional<MergeSpan> span = table_.MergeSpanAt(column.col, placement.row);
    if (!span) return true;
    const bool first_col = c == 0 || band_.columns[c - 1].col < span->col;
    const bool first_row = placement.row == span->row || p == 0 || page_.rows[p - 1].repeated ||
                           page_.rows[p - 1].row != placement.row - 1;
    if (!first_col || !first_row) return false;
    src_col = span->col;
    src_row = span->row;
    for (size_t k = c + 1; k < band_.columns.size() && band_.columns[k].col < span->col + span->width; ++k) {
      rect.right = band_.columns[k].left + band_.columns[k].width;
    }
    for (size_t k = p + 1; k < page_.rows.size() && !page_.rows[k].repeated &&
                           page_.rows[k].row == page_.rows[k - 1].row + 1 &&
                           page_.rows[k].row < span->row + span->height;
         ++k) {
      rect.bottom = page_.rows[k].top + page_.rows[k].height;
    }
    return true;
  }

  void DrawCell(size_t p, size_t c) {
    PrintRect rect;
    int col = 0;
    int row = 0;
    if (!Locate(p, c, rect, col, row)) return;
    if (const auto color = table_.CellBackground(col, row)) canvas_.FillRect(rect, *color);

    FontSpec scratch;
    const FontSpec& font = fonts_.Of(col, row, scratch);
    const int line_height = canvas_.TextHeight(font);
    const HorizontalAlignment alignment = look_.AlignmentOf(col);
    int y = rect.top + layout_.textOffsets[static_cast<size_t>(page_.rows[p].row)];
    for (std::string_view line : CellLines(table_.Cell(col, row))) {
      if (!line.empty()) {
        int x = rect.left + layout_.cellPadding;
        if (alignment != HorizontalAlignment::Left) {
          const int width = canvas_.TextWidth(font, line);
          x = alignment == HorizontalAlignment::Right ? rect.right - layout_.cellPadding - width
                                                      : rect.left + (rect.Width() - width) / 2;
        }
        canvas_.DrawText(x, y, line, font, look_.colors.windowText, rect);
      }
      y += line_height;
    }
    DrawCellLines(rect);
  }

  int LineWidth() const { return settings_.Borders == PrintBorders::Double ? 10 : 2; }

  void Line(int x1, int y1, int x2, int y2) {
    if (settings_.BorderStyle == LineStyle::None) return;
    canvas_.DrawLine(x1, y1, x2, y2, LineWidth(), settings_.BorderStyle);
  }

  void DrawCellLines(const PrintRect& r) {
    const PrintBorders b = settings_.Borders;
    const bool vertical = b == PrintBorders::Single || b == PrintBorders::Double || b == PrintBorders::Vertical ||
                          b == PrintBorders::AroundVertical;
    const bool horizontal = b == PrintBorders::Single || b == PrintBorders::Double ||
                            b == PrintBorders::Horizontal || b == PrintBorders::AroundHorizontal;
    if (horizontal) {
      Line(r.left, r.top, r.right, r.top);
      Line(r.left, r.bottom, r.right, r.bottom);
    }
    if (vertical) {
      Line(r.left, r.top, r.left, r.bottom);
      Line(r.right, r.top, r.right, r.bottom);
    }
  }

  void DrawOutline() {
    const PrintBorders b = settings_.Borders;
    if (b != PrintBorders::Around && b != PrintBorders::AroundVertical && b != PrintBorders::AroundHorizontal) return;
    if (page_.rows.empty()) return;
    const int top = page_.rows.front().top;
    const int bottom = page_.rows.back().top + page_.rows.back().height;
    const int left = band_.left;
    const int right = band_.left + band_.width;
    Line(left, top, right, top);
    Line(left, bottom, right, bottom);
    Line(left, top, left, bottom);
    Line(right, top, right, bottom);
  }

  const PrintLayout& layout_;
  const PrintPage& page_;
  const TGridTable& table_;
  const PrintSettings& settings_;
  const TableLook& look_;
  PrintCanvas& canvas_;
  const PrintBand& band_;
  Fonts fonts_;
};

}  // namespace

void DrawPrintPage(const PrintLayout& layout, int page_index, const TGridTable& table, const PrintSettings& settings,
                   const TableLook& look, PrintCanvas& canvas, TDateTime now, const Locale& locale) {
  if (page_index < 0 || page_index >= layout.PageCount()) return;
  const PrintPage& page = layout.pages[static_cast<size_t>(page_index)];
  PageDrawer(layout, page, table, settings, look, canvas).DrawCells();

  // The top and bottom lines, and the further title lines below the title's place.
  const std::array<std::string, 6> texts = PlaceTexts(settings, page_index + 1, layout.PageCount(), now, locale);
  const std::vector<std::string> further = FurtherTitleLines(settings);
  const int header_line = canvas.TextHeight(settings.HeaderFont);
  const int footer_line = canvas.TextHeight(settings.FooterFont);
  const int table_font_eighth = canvas.TextHeight(settings.Font) / 8;
  const PrintRect page_rect{0, 0, layout.pageWidth, layout.pageHeight};
  for (int i = 0; i < 6; ++i) {
    const PrintPosition place = PositionOf(static_cast<PrintPlace>(i));
    const bool top = IsTop(place);
    const FontSpec& font = top ? settings.HeaderFont : settings.FooterFont;
    const int line = top ? header_line : footer_line;
    std::vector<std::string> lines;
    if (!texts[static_cast<size_t>(i)].empty()) lines.push_back(texts[static_cast<size_t>(i)]);
    if (settings.Title == place) lines.insert(lines.end(), further.begin(), further.end());
    if (lines.empty()) continue;
    const int title_lines = settings.Title == place ? static_cast<int>(further.size()) : 0;
    int y = top ? settings.HeaderSize
                : layout.pageHeight - settings.FooterSize - table_font_eighth - line * (1 + title_lines);
    for (const std::string& text : lines) {
      const int width = canvas.TextWidth(font, text);
      int x = settings.LeftSize;
      if (IsRight(place)) x = layout.pageWidth - settings.RightSize - kRightInset - width;
      else if (!IsLeft(place)) x = (layout.pageWidth - width) / 2;
      canvas.DrawText(x, y, text, font, look.colors.windowText, page_rect);
      y += line;
    }
  }
}

int PrintTable(const TGridTable& table, const PrintSettings& settings, const TableLook& look, PrintCanvas& canvas,
               TDateTime now, const Locale& locale) {
  const PrintLayout layout = LayoutPrintTable(table, settings, look, canvas);
  for (int page = 0; page < layout.PageCount(); ++page) {
    if (page > 0) canvas.NewPage();
    DrawPrintPage(layout, page, table, settings, look, canvas, now, locale);
  }
  return layout.PageCount();
}

}  // namespace ln40
