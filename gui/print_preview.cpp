#include "print_preview.h"

#include <QPainter>
#include <cmath>

#include "qt/qt_print_canvas.h"
#include "reports/print_layout.h"

namespace ln40::gui {
namespace {

// A4 in tenths of a millimetre.
constexpr int kA4Width = 2100;
constexpr int kA4Height = 2970;

}  // namespace

QImage RenderFirstPagePreview(const TGridTable& table, const TableLook& look, const PrintSettings& settings,
                              int width, TDateTime now, const Locale& locale) {
  const bool landscape = settings.Orientation == PageOrientation::Landscape;
  const int page_width = landscape ? kA4Height : kA4Width;
  const int page_height = landscape ? kA4Width : kA4Height;
  width = std::max(width, 16);
  const int height = static_cast<int>(std::lround(static_cast<double>(width) * page_height / page_width));
  QImage image(width, height, QImage::Format_RGB32);
  // The image's resolution makes one page width of paper `width` pixels, so the fonts are
  // reduced with everything else.
  const int dots_per_metre = static_cast<int>(std::lround(width / (page_width / 10000.0)));
  image.setDotsPerMeterX(dots_per_metre);
  image.setDotsPerMeterY(dots_per_metre);
  image.fill(Qt::white);

  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QtPaintCanvas canvas(painter, page_width, page_height);
  const PrintLayout layout = LayoutPrintTable(table, settings, look, canvas);
  DrawPrintPage(layout, 0, table, settings, look, canvas, now, locale);
  painter.end();
  return image;
}

}  // namespace ln40::gui
