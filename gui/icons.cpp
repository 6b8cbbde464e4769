#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <map>

namespace ln40::gui {

namespace {

using Drawing = std::function<void(QPainter&)>;

const QColor kInk(0x33, 0x3a, 0x44);
const QColor kPaper(0xfb, 0xfb, 0xf8);
const QColor kBlue(0x2f, 0x6d, 0xb5);
const QColor kGreen(0x21, 0x8a, 0x43);
const QColor kRed(0xc8, 0x32, 0x2b);
const QColor kYellow(0xf2, 0xc1, 0x3d);
const QColor kOrange(0xe3, 0x7b, 0x22);
const QColor kGrey(0x9a, 0xa3, 0xad);

QPen Pen(const QColor& color, qreal width = 1.4) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A sheet of paper with a folded corner.
void Page(QPainter& p, const QRectF& r) {
  QPainterPath path;
  const qreal fold = r.width() * 0.3;
  path.moveTo(r.topLeft());
  path.lineTo(r.right() - fold, r.top());
  path.lineTo(r.right(), r.top() + fold);
  path.lineTo(r.bottomRight());
  path.lineTo(r.bottomLeft());
  path.closeSubpath();
  p.setPen(Pen(kInk, 1.1));
  p.setBrush(kPaper);
  p.drawPath(path);
  p.drawLine(QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold));
  p.drawLine(QPointF(r.right() - fold, r.top() + fold), QPointF(r.right(), r.top() + fold));
}

// Ruled lines on a page, as text.
void Lines(QPainter& p, qreal left, qreal right, qreal top, int count, qreal step = 2.6) {
  p.setPen(Pen(kGrey, 1.1));
  for (int i = 0; i < count; ++i) p.drawLine(QPointF(left, top + i * step), QPointF(right, top + i * step));
}

// A small spreadsheet: a green sheet with a grid.
void Sheet(QPainter& p, const QRectF& r) {
  p.setPen(Pen(kGreen.darker(130), 1.1));
  p.setBrush(QColor(0xe4, 0xf4, 0xe8));
  p.drawRoundedRect(r, 1.2, 1.2);
  p.setPen(Pen(kGreen, 0.9));
  for (int i = 1; i < 3; ++i) {
    const qreal x = r.left() + r.width() * i / 3.0;
    p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
  }
  for (int i = 1; i < 4; ++i) {
    const qreal y = r.top() + r.height() * i / 4.0;
    p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
  }
}

void Printer(QPainter& p) {
  p.setPen(Pen(kInk, 1.1));
  p.setBrush(kPaper);
  p.drawRect(QRectF(7, 3, 10, 7));  // paper going in
  p.setBrush(QColor(0x6b, 0x75, 0x80));
  p.drawRoundedRect(QRectF(3, 9, 18, 8), 1.5, 1.5);
  p.setBrush(kPaper);
  p.drawRect(QRectF(7, 14, 10, 7));  // paper coming out
  Lines(p, 9, 15, 16.5, 2, 2.4);
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawEllipse(QPointF(18.2, 11.4), 0.9, 0.9);
}

void Magnifier(QPainter& p, const QPointF& centre, qreal radius) {
  p.setPen(Pen(kInk, 2.0));
  p.setBrush(QColor(0xd8, 0xea, 0xfb));
  p.drawEllipse(centre, radius, radius);
  const QPointF handle = centre + QPointF(radius * 0.72, radius * 0.72);
  p.setPen(Pen(QColor(0x7a, 0x4a, 0x22), 3.0));
  p.drawLine(handle, handle + QPointF(radius * 0.85, radius * 0.85));
}

void Floppy(QPainter& p, const QRectF& r) {
  p.setPen(Pen(kBlue.darker(140), 1.1));
  p.setBrush(kBlue);
  QPainterPath body;
  body.moveTo(r.topLeft());
  body.lineTo(r.right() - r.width() * 0.2, r.top());
  body.lineTo(r.right(), r.top() + r.height() * 0.2);
  body.lineTo(r.bottomRight());
  body.lineTo(r.bottomLeft());
  body.closeSubpath();
  p.drawPath(body);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xdc, 0xe6, 0xf2));
  p.drawRect(QRectF(r.left() + r.width() * 0.22, r.top(), r.width() * 0.5, r.height() * 0.34));
  p.setBrush(kPaper);
  p.drawRect(QRectF(r.left() + r.width() * 0.15, r.top() + r.height() * 0.55, r.width() * 0.7, r.height() * 0.45));
}

void Globe(QPainter& p, const QPointF& c, qreal r) {
  p.setPen(Pen(kBlue.darker(130), 1.2));
  p.setBrush(QColor(0xcf, 0xe6, 0xfa));
  p.drawEllipse(c, r, r);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, r * 0.45, r);
  p.drawLine(c - QPointF(r, 0), c + QPointF(r, 0));
  p.drawLine(c - QPointF(0, r), c + QPointF(0, r));
}

void Stopwatch(QPainter& p, const QPointF& c, qreal r) {
  p.setPen(Pen(kInk, 1.4));
  p.setBrush(QColor(0x5c, 0x66, 0x70));
  p.drawRoundedRect(QRectF(c.x() - r * 0.28, c.y() - r * 1.42, r * 0.56, r * 0.34), 0.8, 0.8);
  p.drawLine(c + QPointF(0, -r * 1.08), c + QPointF(0, -r));
  p.setBrush(kPaper);
  p.drawEllipse(c, r, r);
  p.setPen(Pen(kGrey, 1.0));
  for (int i = 0; i < 12; ++i) {
    p.save();
    p.translate(c);
    p.rotate(i * 30);
    p.drawLine(QPointF(0, -r * 0.82), QPointF(0, -r * 0.68));
    p.restore();
  }
  p.setPen(Pen(kRed, 1.6));
  p.drawLine(c, c + QPointF(r * 0.45, -r * 0.5));
  p.setPen(Pen(kInk, 1.6));
  p.drawLine(c, c + QPointF(0, -r * 0.6));
  p.setBrush(kInk);
  p.drawEllipse(c, 0.9, 0.9);
}

void Arrow(QPainter& p, const QPointF& from, const QPointF& to, const QColor& color, qreal width = 2.0) {
  p.setPen(Pen(color, width));
  p.drawLine(from, to);
  const QPointF d = to - from;
  const qreal length = std::hypot(d.x(), d.y());
  if (length <= 0) return;
  const QPointF u = d / length;
  const QPointF n(-u.y(), u.x());
  QPolygonF head;
  head << to + u * 1.2 << to - u * 3.0 + n * 2.6 << to - u * 3.0 - n * 2.6;
  p.setPen(Qt::NoPen);
  p.setBrush(color);
  p.drawPolygon(head);
}

const std::map<QString, Drawing>& Drawings() {
  static const std::map<QString, Drawing> drawings = {
      {"close",
       [](QPainter& p) {
         p.setPen(Pen(kRed.darker(130), 1.2));
         p.setBrush(kRed);
         p.drawRoundedRect(QRectF(3, 3, 18, 18), 4, 4);
         p.setPen(Pen(Qt::white, 2.6));
         p.drawLine(QPointF(8, 8), QPointF(16, 16));
         p.drawLine(QPointF(16, 8), QPointF(8, 16));
       }},
      {"save-excel",
       [](QPainter& p) {
         Floppy(p, QRectF(2.5, 2.5, 16, 16));
         Sheet(p, QRectF(12.5, 12.5, 9.5, 9));
       }},
      {"print", [](QPainter& p) { Printer(p); }},
      {"html",
       [](QPainter& p) {
         Page(p, QRectF(4, 2.5, 16, 19));
         p.setPen(Pen(kOrange, 2.0));
         p.drawPolyline(QPolygonF({QPointF(10, 9), QPointF(6.8, 12.5), QPointF(10, 16)}));
         p.drawPolyline(QPolygonF({QPointF(14, 9), QPointF(17.2, 12.5), QPointF(14, 16)}));
       }},
      {"serial",
       [](QPainter& p) {
         QPolygonF shell({QPointF(2.5, 7), QPointF(21.5, 7), QPointF(19, 17), QPointF(5, 17)});
         p.setPen(Pen(kInk, 1.2));
         p.setBrush(QColor(0xc9, 0xd1, 0xd9));
         p.drawPolygon(shell);
         p.setPen(Qt::NoPen);
         p.setBrush(kInk);
         for (int i = 0; i < 5; ++i) p.drawEllipse(QPointF(6.4 + i * 2.8, 10.3), 0.95, 0.95);
         for (int i = 0; i < 4; ++i) p.drawEllipse(QPointF(7.8 + i * 2.8, 13.7), 0.95, 0.95);
         p.setPen(Pen(kInk, 1.6));
         p.drawLine(QPointF(12, 17), QPointF(12, 22));
       }},
      {"get-again",
       [](QPainter& p) {
         p.setPen(Pen(kBlue, 2.2));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(3.5, 3.5, 17, 17), 60 * 16, 290 * 16);
         QPolygonF head({QPointF(16.8, 1.2), QPointF(17.6, 8.4), QPointF(11.2, 5.6)});
         p.setPen(Qt::NoPen);
         p.setBrush(kBlue);
         p.drawPolygon(head);
         Arrow(p, QPointF(12, 8), QPointF(12, 15), kGreen, 2.0);
       }},
      {"start-stop",
       [](QPainter& p) {
         p.setPen(Pen(kGreen.darker(130), 1.0));
         p.setBrush(kGreen);
         p.drawPolygon(QPolygonF({QPointF(3, 5), QPointF(12, 12), QPointF(3, 19)}));
         p.setPen(Pen(kRed.darker(130), 1.0));
         p.setBrush(kRed);
         p.drawRect(QRectF(14, 7.5, 8, 9));
       }},
      {"search-readers",
       [](QPainter& p) {
         p.setPen(Pen(kInk, 1.2));
         p.setBrush(QColor(0x4a, 0x55, 0x60));
         p.drawRoundedRect(QRectF(2.5, 3.5, 12, 15), 2, 2);
         p.setBrush(QColor(0xb9, 0xe0, 0xa5));
         p.drawRect(QRectF(4.5, 5.5, 8, 4.5));
         Magnifier(p, QPointF(15, 14), 4.2);
       }},
      {"mail",
       [](QPainter& p) {
         p.setPen(Pen(kInk, 1.2));
         p.setBrush(QColor(0xf6, 0xee, 0xd8));
         p.drawRect(QRectF(2.5, 5.5, 19, 13));
         p.drawPolyline(QPolygonF({QPointF(2.5, 5.5), QPointF(12, 13), QPointF(21.5, 5.5)}));
         p.setPen(Pen(kGrey, 1.0));
         p.drawLine(QPointF(2.5, 18.5), QPointF(9.5, 12));
         p.drawLine(QPointF(21.5, 18.5), QPointF(14.5, 12));
       }},
      {"start-list",
       [](QPainter& p) {
         Page(p, QRectF(3, 2.5, 14, 19));
         Lines(p, 5.5, 12.5, 8, 5);
         p.setPen(Pen(kInk, 1.3));
         p.drawLine(QPointF(16, 9), QPointF(16, 22));
         p.setPen(Qt::NoPen);
         p.setBrush(kGreen);
         p.drawPolygon(QPolygonF({QPointF(16.5, 9), QPointF(22.5, 11.5), QPointF(16.5, 14)}));
       }},
      {"result-list",
       [](QPainter& p) {
         Page(p, QRectF(3, 2.5, 14, 19));
         Lines(p, 5.5, 12.5, 8, 5);
         p.setPen(Pen(QColor(0xa8, 0x7a, 0x10), 1.1));
         p.setBrush(kYellow);
         QPainterPath cup;
         cup.moveTo(13, 10);
         cup.lineTo(22, 10);
         cup.cubicTo(22, 15, 19.5, 16.5, 17.5, 16.5);
         cup.cubicTo(15.5, 16.5, 13, 15, 13, 10);
         p.drawPath(cup);
         p.drawRect(QRectF(16.6, 16.5, 1.8, 2.5));
         p.drawRect(QRectF(14.5, 19, 6, 2.2));
       }},
      {"open-excel",
       [](QPainter& p) {
         p.setPen(Pen(QColor(0xa8, 0x7a, 0x10), 1.1));
         p.setBrush(kYellow.darker(110));
         p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(8, 6), QPointF(10, 8), QPointF(20, 8), QPointF(20, 19),
                                  QPointF(2, 19)}));
         Sheet(p, QRectF(6, 4, 11, 9));
         p.setPen(Pen(QColor(0xa8, 0x7a, 0x10), 1.1));
         p.setBrush(kYellow);
         p.drawPolygon(QPolygonF({QPointF(2, 19), QPointF(5, 11), QPointF(23, 11), QPointF(20, 19)}));
       }},
      {"klubben",
       [](QPainter& p) {
         Globe(p, QPointF(10.5, 10.5), 8);
         Arrow(p, QPointF(18.5, 11), QPointF(18.5, 21), kGreen, 2.4);
       }},
      {"search-data",
       [](QPainter& p) {
         Sheet(p, QRectF(2.5, 2.5, 13, 12));
         Magnifier(p, QPointF(13.5, 13), 5);
       }},
      {"assign",
       [](QPainter& p) {
         p.setPen(Pen(kInk, 1.2));
         p.setBrush(kPaper);
         p.drawRoundedRect(QRectF(2.5, 4.5, 14, 14), 1.5, 1.5);
         p.setBrush(kInk);
         p.drawEllipse(QPointF(4.6, 6.6), 0.8, 0.8);
         p.drawEllipse(QPointF(14.4, 6.6), 0.8, 0.8);
         QFont font;
         font.setPixelSize(8);
         font.setBold(true);
         p.setFont(font);
         p.setPen(kRed);
         p.drawText(QRectF(2.5, 7, 14, 10), Qt::AlignCenter, QStringLiteral("12"));
         Stopwatch(p, QPointF(18, 17), 4.3);
       }},
      {"read-times",
       [](QPainter& p) {
         Page(p, QRectF(3, 2.5, 13, 19));
         Lines(p, 5.5, 12.5, 7.5, 5);
         Stopwatch(p, QPointF(16.5, 15.5), 5.5);
       }},
      {"excel-timing",
       [](QPainter& p) {
         Sheet(p, QRectF(2.5, 3.5, 15, 15));
         Stopwatch(p, QPointF(17, 16), 5);
       }},
      {"help",
       [](QPainter& p) {
         p.setPen(Pen(kBlue.darker(130), 1.2));
         p.setBrush(kBlue);
         p.drawEllipse(QPointF(12, 12), 9.5, 9.5);
         QFont font;
         font.setPixelSize(15);
         font.setBold(true);
         p.setFont(font);
         p.setPen(Qt::white);
         p.drawText(QRectF(2.5, 2.5, 19, 19), Qt::AlignCenter, QStringLiteral("?"));
       }},
      {"exit",
       [](QPainter& p) {
         p.setPen(Pen(kInk, 1.2));
         p.setBrush(QColor(0x9c, 0x6b, 0x3f));
         p.drawRect(QRectF(3.5, 2.5, 11, 19));
         p.setBrush(kYellow);
         p.drawEllipse(QPointF(12.3, 12.5), 0.9, 0.9);
         Arrow(p, QPointF(12.5, 12), QPointF(21, 12), kRed, 2.2);
       }},
      {"online", [](QPainter& p) { Globe(p, QPointF(12, 12), 9.5); }},
      {"lamp",
       [](QPainter& p) {
         QRadialGradient glow(QPointF(10, 10), 10);
         glow.setColorAt(0, QColor(0xb6, 0xf5, 0x9a));
         glow.setColorAt(1, kGreen);
         p.setPen(Pen(kGreen.darker(150), 1.2));
         p.setBrush(glow);
         p.drawEllipse(QPointF(12, 12), 8.5, 8.5);
       }},
      {"autosave", [](QPainter& p) { Floppy(p, QRectF(3, 3, 18, 18)); }},
      {"app", [](QPainter& p) { Stopwatch(p, QPointF(12, 13.2), 9.2); }},
  };
  return drawings;
}

QPixmap Render(const Drawing& draw, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.scale(size / 24.0, size / 24.0);
  draw(painter);
  return pixmap;
}

QIcon MakeIcon(const QString& name) {
  const auto found = Drawings().find(name);
  if (found == Drawings().end()) return {};
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(Render(found->second, size));
  return icon;
}

}  // namespace

QIcon ToolIcon(const QString& name) { return MakeIcon(name); }

QIcon AppIcon() { return MakeIcon(QStringLiteral("app")); }

}  // namespace ln40::gui
