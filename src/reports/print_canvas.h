#pragma once
// PrintCanvas: the surface PrintTable draws on, one print job, page after page. Every length
// is in tenths of a millimetre, measured from the top-left corner of the page's printable
// area. The printer side implements it on its painter (for the preview on a reduced one);
// tests use RecordingCanvas (recording_canvas.h). Used from one thread.
#include <string_view>

#include "reports/print_settings.h"
#include "table/table_look.h"

namespace ln40 {

struct PrintRect {
  int left = 0;
  int top = 0;
  int right = 0;  // exclusive
  int bottom = 0;

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PrintRect&) const = default;
};

class PrintCanvas {
 public:
  virtual ~PrintCanvas() = default;

  // Size of the printable area of the current page.
  virtual int PageWidth() const = 0;
  virtual int PageHeight() const = 0;

  // Advance width of one line of Windows-1252 text in `font`, and the font's line height.
  virtual int TextWidth(const FontSpec& font, std::string_view text) = 0;
  virtual int TextHeight(const FontSpec& font) = 0;

  virtual void FillRect(const PrintRect& rect, CellColor color) = 0;
  // A line of `width` in `style` (never LineStyle::None; no line is drawn then).
  virtual void DrawLine(int x1, int y1, int x2, int y2, int width, LineStyle style) = 0;
  // One line of text whose top-left corner is (x, y); nothing outside `clip` is drawn.
  virtual void DrawText(int x, int y, std::string_view text, const FontSpec& font, CellColor color,
                        const PrintRect& clip) = 0;

  // Ends the current page and starts the next one. Not called before the first page, nor
  // after the last: the job ends when the canvas is released.
  virtual void NewPage() = 0;
};

}  // namespace ln40
