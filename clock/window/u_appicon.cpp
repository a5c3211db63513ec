#include "clock/window/u_appicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace kw {

QImage KronwelIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  const QRectF face(s * 0.06, s * 0.06, s * 0.88, s * 0.88);

  // A warm brass rim around a cream dial.
  QRadialGradient rim(face.center(), s * 0.5);
  rim.setColorAt(0.0, QColor(0xF6, 0xD3, 0x8A));
  rim.setColorAt(1.0, QColor(0x9A, 0x5B, 0x1E));
  p.setPen(Qt::NoPen);
  p.setBrush(rim);
  p.drawEllipse(face);
  const QRectF dial = face.adjusted(s * 0.08, s * 0.08, -s * 0.08, -s * 0.08);
  QRadialGradient cream(dial.center() - QPointF(s * 0.08, s * 0.08), s * 0.45);
  cream.setColorAt(0.0, QColor(0xFF, 0xFB, 0xF0));
  cream.setColorAt(1.0, QColor(0xEF, 0xE0, 0xC0));
  p.setBrush(cream);
  p.drawEllipse(dial);

  // Twelve marks, the four quarters heavier.
  const QPointF c = dial.center();
  const double r = dial.width() / 2;
  for (int i = 0; i < 12; ++i) {
    const double a = i * M_PI / 6;
    const bool quarter = i % 3 == 0;
    p.setPen(QPen(QColor(0x5A, 0x3A, 0x1A), s * (quarter ? 0.05 : 0.025), Qt::SolidLine, Qt::RoundCap));
    const double inner = r * (quarter ? 0.70 : 0.78);
    p.drawLine(c + QPointF(std::sin(a) * inner, -std::cos(a) * inner),
               c + QPointF(std::sin(a) * r * 0.88, -std::cos(a) * r * 0.88));
  }

  // Hands at ten past ten, the game's faster hand in deep red.
  auto hand = [&](double angle, double length, double width, const QColor& colour) {
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(std::sin(angle) * length, -std::cos(angle) * length));
  };
  hand(-M_PI / 3, r * 0.5, s * 0.07, QColor(0x3A, 0x26, 0x14));
  hand(M_PI / 3, r * 0.72, s * 0.05, QColor(0xA8, 0x1E, 0x1E));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x3A, 0x26, 0x14));
  p.drawEllipse(c, s * 0.05, s * 0.05);
  return image;
}

}  // namespace kw
