// Draws Kronwel's pictures: the skins shipped in data/skins and the program's own bitmaps
// in clock/face/res. Run by scripts/make_artwork.sh; its output is committed.
//
//   make_artwork <skins folder> <resource folder>
//
// Pictures shown on the colour-keyed clock window are drawn without anti-aliasing where
// they meet the key colour RGB(1,1,255), so no blue fringe shows around them.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "common/cp932.h"

namespace {

const QColor kKey(1, 1, 255);

QImage Canvas(int w, int h, const QColor& fill = kKey) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(fill);
  return image;
}

// Pixels that an anti-aliased drawing left half covered become opaque or key colour.
QImage Keyed(const QImage& argb) {
  QImage out = Canvas(argb.width(), argb.height());
  for (int y = 0; y < argb.height(); ++y)
    for (int x = 0; x < argb.width(); ++x) {
      const QRgb p = argb.pixel(x, y);
      if (qAlpha(p) >= 128) out.setPixel(x, y, qRgb(qRed(p), qGreen(p), qBlue(p)));
    }
  return out;
}

QImage Transparent(int w, int h) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  return image;
}

bool Save(const QImage& image, const QString& path) {
  const bool ok = image.save(path);
  if (!ok) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return ok;
}

struct Palette {
  QColor nightTop, nightBottom, morningTop, morningBottom, dayTop, dayBottom, border;
  QColor rimLight, rimDark, dialCentre, dialEdge, marks;
  QColor panelA, panelB;
};

// A digital-face background: a rounded plate with a soft gradient, a lighter band at the
// top for the server name, a fine border.
QImage Plate(const QColor& top, const QColor& bottom, const QColor& border, int kind) {
  QImage argb = Transparent(80, 40);
  {
    QPainter p(&argb);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 40);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    QPainterPath plate;
    plate.addRoundedRect(QRectF(0.5, 0.5, 79, 39), 6, 6);
    p.fillPath(plate, g);
    p.setClipPath(plate);
    // A glimpse of the time of day: stars, a rising sun, a high sun.
    if (kind == 0) {
      auto* rng = QRandomGenerator::global();
      QRandomGenerator seeded(7);
      (void)rng;
      for (int i = 0; i < 14; ++i) {
        const QPointF s(seeded.bounded(78) + 1, seeded.bounded(38) + 1);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 246, 214, 90 + seeded.bounded(120)));
        p.drawEllipse(s, 0.6, 0.6);
      }
      p.setBrush(QColor(255, 240, 200, 150));
      p.drawEllipse(QPointF(68, 9), 5, 5);
      p.setBrush(top);
      p.drawEllipse(QPointF(70.5, 7.5), 4.2, 4.2);
    } else if (kind == 1) {
      QRadialGradient sun(QPointF(66, 40), 22);
      sun.setColorAt(0, QColor(255, 250, 220, 200));
      sun.setColorAt(1, QColor(255, 250, 220, 0));
      p.fillRect(QRectF(0, 0, 80, 40), sun);
    } else {
      QRadialGradient sun(QPointF(70, 4), 26);
      sun.setColorAt(0, QColor(255, 255, 240, 170));
      sun.setColorAt(1, QColor(255, 255, 240, 0));
      p.fillRect(QRectF(0, 0, 80, 40), sun);
    }
    p.fillRect(QRectF(0, 0, 80, 15), QColor(255, 255, 255, 45));
    p.setClipping(false);
    p.setPen(QPen(border, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(plate);
  }
  return Keyed(argb);
}

// The analog face: a round dial with a rim and twelve marks; outside the circle the key.
QImage Dial(const Palette& pal) {
  QImage argb = Transparent(80, 80);
  {
    QPainter p(&argb);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(39.5, 39.5);
    QRadialGradient rim(c - QPointF(8, 8), 48);
    rim.setColorAt(0, pal.rimLight);
    rim.setColorAt(1, pal.rimDark);
    p.setPen(Qt::NoPen);
    p.setBrush(rim);
    p.drawEllipse(c, 38.5, 38.5);
    QRadialGradient dial(c - QPointF(6, 6), 40);
    dial.setColorAt(0, pal.dialCentre);
    dial.setColorAt(1, pal.dialEdge);
    p.setBrush(dial);
    p.drawEllipse(c, 34, 34);
    for (int i = 0; i < 60; ++i) {
      const double a = i * M_PI / 30;
      const bool hour = i % 5 == 0, quarter = i % 15 == 0;
      const double outer = 32, inner = quarter ? 25 : hour ? 27.5 : 30.5;
      p.setPen(QPen(pal.marks, quarter ? 2.2 : hour ? 1.4 : 0.6, Qt::SolidLine, Qt::RoundCap));
      p.drawLine(c + QPointF(std::cos(a) * inner, std::sin(a) * inner), c + QPointF(std::cos(a) * outer, std::sin(a) * outer));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(pal.marks);
    p.drawEllipse(c, 2.2, 2.2);
  }
  return Keyed(argb);
}

// The panel picture that dialogs show behind their controls: calm, light, a clock motif.
QImage Panel(const Palette& pal) {
  QImage image = Canvas(400, 200, pal.panelA);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 400, 200);
  g.setColorAt(0, pal.panelA);
  g.setColorAt(1, pal.panelB);
  p.fillRect(image.rect(), g);
  const QPointF c(330, 150);
  for (int r = 150; r > 20; r -= 26) {
    p.setPen(QPen(QColor(255, 255, 255, 60), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r, r);
  }
  for (int i = 0; i < 12; ++i) {
    const double a = i * M_PI / 6;
    p.setPen(QPen(QColor(255, 255, 255, 90), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(std::cos(a) * 96, std::sin(a) * 96), c + QPointF(std::cos(a) * 110, std::sin(a) * 110));
  }
  return image;
}

bool WriteSkin(const QString& folder, const QString& id, const std::string& name, const Palette& pal,
               const std::string& colours, bool antialias) {
  QDir(folder).mkpath(id);
  const QString base = folder + "/" + id + "/";
  bool ok = Save(Plate(pal.nightTop, pal.nightBottom, pal.border, 0), base + "bg0.bmp") &&
            Save(Plate(pal.morningTop, pal.morningBottom, pal.border, 1), base + "bg1.bmp") &&
            Save(Plate(pal.dayTop, pal.dayBottom, pal.border, 2), base + "bg2.bmp") &&
            Save(Dial(pal), base + "ana.bmp") && Panel(pal).save(base + "panel.jpg", "JPEG", 88);
  const std::string sub = id.toStdString();
  std::string text = "[INFO]\r\nname=" + name + "\r\n\r\n[IMAGE]\r\n";
  for (const char* key : {"bg0", "bg1", "bg2", "ana"}) text += std::string(key) + "=" + sub + "\\" + key + ".bmp\r\n";
  text += "pnl=" + sub + "\\panel.jpg\r\n\r\n[COLOR]\r\n" + colours + "\r\n[DRAW]\r\nantialias=" + (antialias ? "1" : "0") + "\r\n";
  std::string bytes;
  ok = kw::Utf8ToCp932(text, bytes) && ok;
  std::ofstream out((folder + "/" + id + ".skn").toStdString(), std::ios::binary);
  out << bytes;
  return ok && static_cast<bool>(out);
}

// ---- The program's own bitmaps -------------------------------------------------------------

QImage MiniBackground() {
  QImage argb = Transparent(80, 20);
  {
    QPainter p(&argb);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 20);
    g.setColorAt(0, QColor(0x7A, 0x52, 0x36));
    g.setColorAt(1, QColor(0x4A, 0x2E, 0x1C));
    QPainterPath bar;
    bar.addRoundedRect(QRectF(0.5, 0.5, 79, 19), 5, 5);
    p.fillPath(bar, g);
    p.fillRect(QRectF(2, 1, 76, 6), QColor(255, 255, 255, 28));
    p.setPen(QPen(QColor(0x2E, 0x1C, 0x10), 1));
    p.drawPath(bar);
  }
  return Keyed(argb);
}

QImage Bell(int size) {
  QImage argb = Transparent(size, size);
  {
    QPainter p(&argb);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    QPainterPath bell;
    bell.moveTo(8, 1.5);
    bell.cubicTo(4, 1.5, 3.5, 5, 3.5, 8);
    bell.lineTo(2, 12);
    bell.lineTo(14, 12);
    bell.lineTo(12.5, 8);
    bell.cubicTo(12.5, 5, 12, 1.5, 8, 1.5);
    p.setPen(QPen(QColor(0x6B, 0x42, 0x0E), 1));
    QLinearGradient g(3, 0, 13, 0);
    g.setColorAt(0, QColor(0xFF, 0xE0, 0x70));
    g.setColorAt(1, QColor(0xD8, 0x9A, 0x1E));
    p.setBrush(g);
    p.drawPath(bell);
    p.setBrush(QColor(0x8A, 0x55, 0x10));
    p.drawEllipse(QPointF(8, 13.5), 1.8, 1.6);
  }
  return Keyed(argb);
}

QImage ChaosIcon() {
  QImage argb = Transparent(16, 16);
  {
    QPainter p(&argb);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath star;
    for (int i = 0; i < 16; ++i) {
      const double a = i * M_PI / 8 - M_PI / 2;
      const double r = i % 2 ? 3.2 : 7.2;
      const QPointF pt(8 + std::cos(a) * r, 8 + std::sin(a) * r);
      i ? star.lineTo(pt) : star.moveTo(pt);
    }
    star.closeSubpath();
    QRadialGradient g(QPointF(8, 8), 7);
    g.setColorAt(0, QColor(0xFF, 0xE8, 0x9A));
    g.setColorAt(1, QColor(0xE0, 0x3C, 0x1C));
    p.setPen(QPen(QColor(0x7A, 0x18, 0x08), 0.9));
    p.setBrush(g);
    p.drawPath(star);
  }
  return Keyed(argb);
}

QImage TimerIcon() {
  QImage argb = Transparent(19, 19);
  {
    QPainter p(&argb);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2F, 0x4A, 0x2A), 1.2));
    p.setBrush(QColor(0x6C, 0xA8, 0x5A));
    p.drawRoundedRect(QRectF(7.5, 0.5, 4, 2.5), 1, 1);
    QRadialGradient g(QPointF(8, 9), 9);
    g.setColorAt(0, QColor(0xFF, 0xFC, 0xF0));
    g.setColorAt(1, QColor(0xD8, 0xEC, 0xC8));
    p.setBrush(g);
    p.drawEllipse(QPointF(9.5, 11), 7.3, 7.3);
    p.setPen(QPen(QColor(0xC0, 0x30, 0x20), 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(9.5, 11), QPointF(9.5, 6));
    p.drawLine(QPointF(9.5, 11), QPointF(12.5, 12.5));
  }
  return Keyed(argb);
}

// A 4 x 20 strip for the mini face: a lit bar with a dark edge.
QImage Strip(const QColor& light, const QColor& dark) {
  QImage image = Canvas(4, 20);
  QPainter p(&image);
  p.fillRect(QRect(0, 3, 4, 14), dark);
  p.fillRect(QRect(1, 4, 2, 12), light);
  return image;
}

// A popup background, 320 x 128: a warm gradient, a motif on the left, a darker band at
// the bottom where the caption is written in white.
QImage Popup(const QColor& a, const QColor& b, const QColor& accent, int motif) {
  QImage image = Canvas(320, 128, a);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient g(0, 0, 320, 128);
  g.setColorAt(0, a);
  g.setColorAt(1, b);
  p.fillRect(image.rect(), g);
  for (int r = 200; r > 20; r -= 30) {
    p.setPen(QPen(QColor(255, 255, 255, 36), 2));
    p.drawEllipse(QPointF(52, 50), r * 0.5, r * 0.5);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 70));
  p.drawEllipse(QPointF(52, 50), 36, 36);
  p.setBrush(accent);
  if (motif == 0) {  // a bell
    QPainterPath bell;
    bell.moveTo(52, 22);
    bell.cubicTo(36, 22, 35, 40, 35, 52);
    bell.lineTo(28, 68);
    bell.lineTo(76, 68);
    bell.lineTo(69, 52);
    bell.cubicTo(69, 40, 68, 22, 52, 22);
    p.drawPath(bell);
    p.drawEllipse(QPointF(52, 74), 6, 5);
  } else if (motif == 1) {  // a star burst
    QPainterPath star;
    for (int i = 0; i < 16; ++i) {
      const double ang = i * M_PI / 8 - M_PI / 2;
      const double r = i % 2 ? 12 : 30;
      const QPointF pt(52 + std::cos(ang) * r, 50 + std::sin(ang) * r);
      i ? star.lineTo(pt) : star.moveTo(pt);
    }
    p.drawPath(star);
  } else {  // a little house
    QPolygonF roof;
    roof << QPointF(26, 50) << QPointF(52, 24) << QPointF(78, 50);
    p.drawPolygon(roof);
    p.drawRect(QRectF(34, 50, 36, 26));
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawRect(QRectF(47, 58, 10, 18));
  }
  p.fillRect(QRect(0, 96, 320, 32), QColor(0, 0, 0, 70));
  return image;
}

QImage AboutPicture() {
  QImage image = Canvas(258, 148);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, 148);
  sky.setColorAt(0, QColor(0x4B, 0x3C, 0x6E));
  sky.setColorAt(0.55, QColor(0xE8, 0x8A, 0x5C));
  sky.setColorAt(1, QColor(0xFF, 0xD9, 0x9A));
  p.fillRect(image.rect(), sky);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 236, 190, 200));
  p.drawEllipse(QPointF(196, 96), 22, 22);
  // A castle on a hill, in silhouette.
  const QColor shade(0x3A, 0x25, 0x30);
  p.setBrush(shade);
  QPainterPath hill;
  hill.moveTo(0, 148);
  hill.cubicTo(40, 112, 120, 104, 258, 124);
  hill.lineTo(258, 148);
  p.drawPath(hill);
  p.drawRect(QRectF(70, 72, 70, 44));
  p.drawRect(QRectF(60, 56, 18, 60));
  p.drawRect(QRectF(132, 56, 18, 60));
  p.drawRect(QRectF(96, 44, 18, 40));
  for (double x : {60.0, 132.0})
    for (int i = 0; i < 3; ++i) p.drawRect(QRectF(x + i * 7, 51, 4, 6));
  QPolygonF spire;
  spire << QPointF(93, 44) << QPointF(105, 20) << QPointF(117, 44);
  p.drawPolygon(spire);
  p.setBrush(QColor(0xFF, 0xD0, 0x70));
  for (const QRectF& w : {QRectF(102, 56, 5, 8), QRectF(66, 70, 4, 7), QRectF(138, 70, 4, 7), QRectF(88, 90, 5, 8),
                          QRectF(117, 90, 5, 8)})
    p.drawRect(w);
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_artwork <skins folder> <resource folder>\n");
    return 2;
  }
  const QString skins = QString::fromLocal8Bit(argv[1]), res = QString::fromLocal8Bit(argv[2]);
  QDir().mkpath(skins);
  QDir().mkpath(res);

  // The default skin: amber evenings, apricot mornings, cream days, a brass dial.
  const Palette standard{QColor(0x6E, 0x6A, 0x9C), QColor(0x4C, 0x46, 0x78), QColor(0xFF, 0xDD, 0xB0),
                         QColor(0xF4, 0xB0, 0x84), QColor(0xFF, 0xF6, 0xDC), QColor(0xF1, 0xDC, 0xA8),
                         QColor(0x6B, 0x4A, 0x2C), QColor(0xF6, 0xD8, 0x96), QColor(0x9A, 0x64, 0x2A),
                         QColor(0xFF, 0xFC, 0xF2), QColor(0xF0, 0xE2, 0xC4), QColor(0x5A, 0x3C, 0x20),
                         QColor(0xF7, 0xE6, 0xC8), QColor(0xE2, 0xB8, 0x8A)};
  // Fresh leaves: a green evening, a mint morning, a pale lime day, a wooden dial.
  const Palette leaves{QColor(0x4E, 0x74, 0x6A), QColor(0x33, 0x55, 0x4C), QColor(0xDD, 0xF4, 0xD8),
                       QColor(0xB4, 0xDE, 0xB0), QColor(0xF6, 0xFB, 0xE4), QColor(0xDC, 0xEE, 0xB8),
                       QColor(0x3C, 0x5A, 0x30), QColor(0xD8, 0xB8, 0x84), QColor(0x7A, 0x52, 0x2C),
                       QColor(0xFB, 0xFF, 0xF4), QColor(0xE2, 0xF0, 0xD2), QColor(0x3A, 0x52, 0x2C),
                       QColor(0xE6, 0xF4, 0xDC), QColor(0xA8, 0xD0, 0x9C)};
  bool ok = WriteSkin(skins, "standard", "標準設定", standard,
                      "analogshadow=$C8B49A\r\nanalogallow=$4A2E18\r\nanaloghighlight=$7A5030\r\n"
                      "analogampm=$7A5030\r\nanalogampmoutline=$FFF6E4\r\n",
                      true);
  ok = WriteSkin(skins, "wakaba", "若葉", leaves,
                 "analogshadow=$B4C8A8\r\nanalogallow=$2C4A24\r\nanaloghighlight=$4E7A3C\r\n"
                 "analogampm=$4E7A3C\r\nanalogampmoutline=$F4FFE8\r\n",
                 true) && ok;

  ok = Save(MiniBackground(), res + "/bMiniDigiBG.bmp") && ok;
  ok = Save(Bell(16), res + "/bAlarmBell.bmp") && ok;
  ok = Save(ChaosIcon(), res + "/bChaosAlarmIcon.bmp") && ok;
  ok = Save(TimerIcon(), res + "/bTimerIcon.bmp") && ok;
  ok = Save(Strip(QColor(0xFF, 0xD8, 0x50), QColor(0x8A, 0x5A, 0x10)), res + "/bAlarmBellMD.bmp") && ok;
  ok = Save(Strip(QColor(0xFF, 0x70, 0x40), QColor(0x8A, 0x20, 0x10)), res + "/bChaosAlarmIconMD.bmp") && ok;
  ok = Save(Strip(QColor(0x90, 0xE0, 0x70), QColor(0x2F, 0x5A, 0x22)), res + "/bTimerIconMD.bmp") && ok;
  ok = Save(Popup(QColor(0xF4, 0x9A, 0x50), QColor(0xB8, 0x4A, 0x2A), QColor(0xFF, 0xE8, 0x90), 0), res + "/bAlarmDialogBG.bmp") && ok;
  ok = Save(Popup(QColor(0xF2, 0xC0, 0x6A), QColor(0xC0, 0x7A, 0x34), QColor(0xFF, 0xF4, 0xC0), 0), res + "/bPreAlarmDialogBG.bmp") && ok;
  ok = Save(Popup(QColor(0x9C, 0xC4, 0x7A), QColor(0x4E, 0x7A, 0x3C), QColor(0xFF, 0xF0, 0xC8), 2), res + "/bHouseAlarmDialogBG.bmp") && ok;
  const QColor chaos[3][2] = {{QColor(0xD8, 0x7A, 0x50), QColor(0x7A, 0x2C, 0x3C)},
                              {QColor(0xC8, 0x6A, 0x8A), QColor(0x5E, 0x2A, 0x5A)},
                              {QColor(0xB8, 0x44, 0x3A), QColor(0x4A, 0x16, 0x20)}};
  for (int k = 0; k < 3; ++k) {
    const QString n = QString::number(k + 1);
    ok = Save(Popup(chaos[k][0], chaos[k][1], QColor(0xFF, 0xD8, 0x80), 1), res + "/bChaosAlarmDialogBG" + n + ".bmp") && ok;
    ok = Save(Popup(chaos[k][0].lighter(118), chaos[k][1].lighter(125), QColor(0xFF, 0xF0, 0xC0), 1),
              res + "/bChaosAlarmDialogBG" + n + "p.bmp") && ok;
  }
  ok = Save(AboutPicture(), res + "/bAboutCastle.bmp") && ok;
  return ok ? 0 : 1;
}
