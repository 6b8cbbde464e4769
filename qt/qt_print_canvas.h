#pragma once
// QtPaintCanvas: the print layout's drawing surface (reports/print_canvas.h) on a QPainter.
// The painter may work on a printer, a PDF writer or an image (the page preview): lengths in
// tenths of a millimetre are turned into the device's dots with its resolution, and fonts are
// measured on the device itself, so the preview and the paper show the same layout. Texts
// arrive as Windows-1252 bytes. Used on the thread that owns the painter.
#include <QFont>
#include <functional>

#include "reports/print_canvas.h"

class QPainter;

namespace ln40 {

class QtPaintCanvas : public PrintCanvas {
 public:
  // `painter` is active on its device; (0, 0) of the canvas is the painter's origin, the top
  // left corner of the printable area. `page_width` and `page_height` are that area's size in
  // tenths of a millimetre. `new_page` ends a page and starts the next (a printer's
  // newPage); unset, the canvas draws one page only and ignores later pages.
  QtPaintCanvas(QPainter& painter, int page_width, int page_height, std::function<void()> new_page = {});

  int PageWidth() const override { return page_width_; }
  int PageHeight() const override { return page_height_; }
  int TextWidth(const FontSpec& font, std::string_view text) override;
  int TextHeight(const FontSpec& font) override;
  void FillRect(const PrintRect& rect, CellColor color) override;
  void DrawLine(int x1, int y1, int x2, int y2, int width, LineStyle style) override;
  void DrawText(int x, int y, std::string_view text, const FontSpec& font, CellColor color,
                const PrintRect& clip) override;
  void NewPage() override;

  // The Qt font of a print font, sized for the painter's device.
  QFont DeviceFont(const FontSpec& font) const;

 private:
  double X(int tenths) const { return tenths * dots_x_; }
  double Y(int tenths) const { return tenths * dots_y_; }
  bool Drawing() const { return !past_first_page_; }

  QPainter& painter_;
  int page_width_;
  int page_height_;
  std::function<void()> new_page_;
  double dots_x_;  // device dots per tenth of a millimetre
  double dots_y_;
  bool past_first_page_ = false;  // only without new_page_
};

}  // namespace ln40
