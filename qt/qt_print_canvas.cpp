#include "qt/qt_print_canvas.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <cmath>

#include "text/codepage.h"

namespace ln40 {
namespace {

constexpr double kTenthsPerInch = 254.0;

QString ToQString(std::string_view cp1252) {
  return QString::fromStdU16String(Cp1252ToUtf16(std::string(cp1252)));
}

QColor ToQColor(CellColor color) {
  return QColor((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

Qt::PenStyle ToPenStyle(LineStyle style) {
  switch (style) {
    case LineStyle::Solid:
      return Qt::SolidLine;
    case LineStyle::Dash:
      return Qt::DashLine;
    case LineStyle::Dot:
      return Qt::DotLine;
    case LineStyle::DashDot:
      return Qt::DashDotLine;
    case LineStyle::DashDotDot:
      return Qt::DashDotDotLine;
    case LineStyle::None:
      break;
  }
  return Qt::NoPen;
}

}  // namespace

QtPaintCanvas::QtPaintCanvas(QPainter& painter, int page_width, int page_height, std::function<void()> new_page)
    : painter_(painter),
      page_width_(page_width),
      page_height_(page_height),
      new_page_(std::move(new_page)),
      dots_x_(painter.device()->logicalDpiX() / kTenthsPerInch),
      dots_y_(painter.device()->logicalDpiY() / kTenthsPerInch) {}

QFont QtPaintCanvas::DeviceFont(const FontSpec& font) const {
  QFont qt_font(ToQString(font.name));
  qt_font.setPointSizeF(font.size > 0 ? font.size : 8);
  qt_font.setBold(font.bold);
  qt_font.setItalic(font.italic);
  qt_font.setUnderline(font.underline);
  // "MS Sans Serif" and its like are not on a Linux desktop: a sans-serif face stands in.
  qt_font.setStyleHint(QFont::SansSerif);
  return QFont(qt_font, painter_.device());
}

int QtPaintCanvas::TextWidth(const FontSpec& font, std::string_view text) {
  const QFontMetricsF metrics(DeviceFont(font), painter_.device());
  return static_cast<int>(std::ceil(metrics.horizontalAdvance(ToQString(text)) / dots_x_));
}

int QtPaintCanvas::TextHeight(const FontSpec& font) {
  const QFontMetricsF metrics(DeviceFont(font), painter_.device());
  return static_cast<int>(std::ceil(metrics.height() / dots_y_));
}

void QtPaintCanvas::FillRect(const PrintRect& rect, CellColor color) {
  if (!Drawing()) return;
  painter_.fillRect(QRectF(X(rect.left), Y(rect.top), X(rect.Width()), Y(rect.Height())), ToQColor(color));
}

void QtPaintCanvas::DrawLine(int x1, int y1, int x2, int y2, int width, LineStyle style) {
  if (!Drawing() || style == LineStyle::None) return;
  QPen pen(Qt::black);
  pen.setWidthF(std::max(X(width), 1.0));
  pen.setStyle(ToPenStyle(style));
  pen.setCapStyle(Qt::FlatCap);
  painter_.setPen(pen);
  painter_.drawLine(QPointF(X(x1), Y(y1)), QPointF(X(x2), Y(y2)));
}

void QtPaintCanvas::DrawText(int x, int y, std::string_view text, const FontSpec& font, CellColor color,
                             const PrintRect& clip) {
  if (!Drawing() || text.empty()) return;
  const QFont device_font = DeviceFont(font);
  const QFontMetricsF metrics(device_font, painter_.device());
  painter_.save();
  painter_.setClipRect(QRectF(X(clip.left), Y(clip.top), X(clip.Width()), Y(clip.Height())));
  painter_.setFont(device_font);
  painter_.setPen(ToQColor(color));
  painter_.drawText(QPointF(X(x), Y(y) + metrics.ascent()), ToQString(text));
  painter_.restore();
}

void QtPaintCanvas::NewPage() {
  if (new_page_) {
    new_page_();
  } else {
    past_first_page_ = true;
  }
}

}  // namespace ln40
