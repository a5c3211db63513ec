#include "clock/menu/u_menudraw.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

namespace kw {
namespace {

const QColor kBrown(100, 62, 60);
const QColor kGreyText(120, 125, 127);
const QColor kBlueGrey(140, 150, 170);
const QColor kGleam(240, 240, 255);

void Ellipse(QPainter& p, int l, int t, int r, int b, const QColor& c) {
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(QRect(QPoint(l, t), QPoint(r - 1, b - 1)));
}

void Ring(QPainter& p, int l, int t, int r, int b, const QColor& c) {
  p.setPen(c);
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QRect(QPoint(l, t), QPoint(r - 1, b - 1)));
}

void Tick(QPainter& p, int y0, int dx, const QColor& c) {
  QPolygon tick;
  tick << QPoint(3 + dx, y0 - 2 + dx) << QPoint(4 + dx, y0 + 3 + dx) << QPoint(8 + dx, y0 - 4 + dx)
       << QPoint(6 + dx, y0 + 2 + dx);
  p.setPen(c);
  p.setBrush(c);
  p.drawPolygon(tick);
}

}  // namespace

QSize MeasureMenuItem(bool separator) { return {240, separator ? 8 : 18}; }

QString MenuCaptionText(const QString& caption) {
  QString text = caption.left(caption.indexOf(QChar(0)) < 0 ? caption.size() : caption.indexOf(QChar(0)));
  return text.remove(QLatin1Char('&'));
}

QImage DrawMenuItem(const MenuItemLook& item, int w, int h, const QFont& baseFont) {
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  QFont font = baseFont;
  font.setFamily(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  p.setFont(font);

  // Background.
  if (item.selected && item.depth > 1 && item.checked && item.tag == 1) {
    image.fill(QColor(120, 125, 200));
  } else if (item.selected && item.enabled) {
    image.fill(kBrown);
    p.fillRect(QRect(1, 1, w - 1, h - 1), QColor(160, 100, 100));
    p.fillRect(QRect(3, 3, w - 3, h - 3), QColor(200, 125, 120));
  } else if (item.selected) {
    image.fill(QColor(160, 160, 160));
  } else if (item.checked && item.radio) {
    image.fill(QColor(220, 220, 255));
  } else {
    image.fill(item.depth == 2 ? QColor(240, 235, 225) : item.depth == 3 ? QColor(225, 220, 210) : QColor(255, 250, 240));
  }

  // Text, or the dotted line of a separator.
  const QString text = MenuCaptionText(item.caption);
  if (item.caption == QLatin1String("-")) {
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.drawLine(0, h / 2, w - 1, h / 2);
    p.end();
    return image;
  }
  // Centred on the row, measured with the regular font as the platform draws it.
  const int y = (h - QFontMetrics(font).height()) / 2;
  const QRect row(10, y, w - 10, QFontMetrics(font).height());
  const auto write = [&](int dx, int dy, const QColor& c) {
    p.setPen(c);
    p.drawText(row.translated(dx, dy), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
  };
  QFont bold = font;
  bold.setBold(true);
  if (item.enabled && item.selected) {
    p.setFont(bold);
    write(1, 1, kBrown);
    write(0, 0, QColor(240, 250, 255));
    p.setFont(font);
  } else if (item.enabled) {
    write(0, 0, Qt::black);
  } else if (item.selected) {
    p.setFont(bold);
    write(0, 0, Qt::white);
    p.setFont(font);
  } else {
    write(0, 0, kGreyText);
  }

  // Marks.
  const int y0 = h / 2;
  if (item.checked && item.radio) {
    if (item.selected) {
      Ellipse(p, 3, y0 - 2, 10, y0 + 5, kBrown);
      Ellipse(p, 2, y0 - 3, 9, y0 + 4, Qt::black);
      Ellipse(p, 2, y0 - 3, 6, y0 + 1, QColor(100, 100, 100));
    } else {
      Ellipse(p, 2, y0 - 3, 9, y0 + 4, kGreyText);
      Ellipse(p, 2, y0 - 3, 6, y0 + 1, kBlueGrey);
    }
    Ellipse(p, 3, y0 - 2, 5, y0, kGleam);
  } else if (item.checked) {
    Tick(p, y0, 0, item.selected ? kBrown : kBlueGrey);
    Tick(p, y0, -1, item.selected ? QColor(Qt::black) : kGreyText);
  } else if (item.radio) {
    if (item.selected) {
      Ring(p, 4, y0 - 1, 9, y0 + 4, kBrown);
      Ring(p, 3, y0 - 2, 8, y0 + 3, Qt::black);
    } else {
      Ring(p, 3, y0 - 2, 8, y0 + 3, kGreyText);
    }
  }
  p.end();
  return image;
}

}  // namespace kw
