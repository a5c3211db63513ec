#include "clock/face/abitmap_etcs.h"

#include "clock/face/u_facefonts.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>
#include <utility>

namespace kw {

namespace {

// The jitter of modes 3-5: 0 <= rnd < pointSize div 3, or 0 for small fonts.
int Jitter(const TFont& font) {
  const int n = font.PointSize() / 3;
  return n > 0 ? static_cast<int>(QRandomGenerator::global()->bounded(n)) : 0;
}

// The passes of an effect: offset and whether the pass uses the effect colour.
struct Pass {
  int dx, dy;
  bool effect;
};

constexpr std::array<Pass, 9> kOutline{{{1, 1, true}, {1, 0, true}, {1, -1, true}, {0, 1, true}, {0, -1, true},
                                        {-1, 1, true}, {-1, 0, true}, {-1, -1, true}, {0, 0, false}}};

template <typename Draw>
void RunPasses(uint32_t mode, const TFont& font, Draw&& draw, bool forBitmap) {
  switch (mode) {
    case kEffectPlain:
      draw(0, 0, false);
      break;
    case kEffectOutline:
      for (const Pass& p : kOutline) draw(p.dx, p.dy, p.effect);
      break;
    case kEffectShadow:
      draw(2, 2, true);
      draw(0, 0, false);
      break;
    case kEffectJitterRight:
      draw(Jitter(font), 0, false);
      break;
    case kEffectJitterDown:
      draw(0, Jitter(font), false);
      break;
    case kEffectJitterBoth: {
      const int rx = Jitter(font);
      const int ry = Jitter(font);
      draw(rx, ry, false);
      break;
    }
    case kEffectEmboss:
      if (forBitmap) {
        draw(-1, -1, false);
        draw(0, 0, true);
      } else {
        draw(-1, -1, true);
        draw(0, 0, false);
      }
      break;
    case kEffectDoubleStrike:
      if (!forBitmap) {
        draw(2, 0, false);
        draw(0, 0, false);
      }
      break;
    default:
      break;
  }
}

}  // namespace

namespace {

// The em size in pixels that gives a line of height pixels in this family: measured once
// per family and weight at a large size.
int EmForLineHeight(const QString& name, bool bold, int height) {
  struct Key {
    QString name;
    bool bold;
    double ratio;
  };
  static std::vector<Key> known;
  for (const Key& k : known)
    if (k.bold == bold && k.name == name) return std::max(1, static_cast<int>(std::lround(height * k.ratio)));
  QFont f(name);
  f.setPixelSize(200);
  f.setBold(bold);
  const double line = QFontMetricsF(f).height();
  const double ratio = line > 0 ? 200.0 / line : 1.0;
  known.push_back({name, bold, ratio});
  return std::max(1, static_cast<int>(std::lround(height * ratio)));
}

}  // namespace

int TFont::PointSize() const {
  const int em = Height > 0 ? EmForLineHeight(Name, Bold, Height) : -Height;
  return (em * 72 + 48) / 96;
}

QFont TFont::ToQFont() const {
  QFont f(Name);
  f.setPixelSize(Height > 0 ? EmForLineHeight(Name, Bold, Height) : std::max(-Height, 1));
  f.setBold(Bold);
  f.setStyleStrategy(NoAntialias ? QFont::NoAntialias : QFont::PreferDefault);
  if (const int stretch = FaceFontStretch(Name); stretch != 100) f.setStretch(stretch);
  return f;
}

int TextWidth(const TFont& font, const QString& text) {
  return QFontMetrics(font.ToQFont()).horizontalAdvance(text);
}

int TextHeight(const TFont& font, const QString&) { return QFontMetrics(font.ToQFont()).height(); }

void PlainTextOut(QImage& canvas, int x, int y, const TFont& font, const QString& text) {
  if (text.isEmpty() || canvas.isNull()) return;
  QPainter p(&canvas);
  const QFont f = font.ToQFont();
  p.setFont(f);
  p.setPen(ToQColor(font.Color));
  p.drawText(x, y + QFontMetrics(f).ascent(), text);
}

void EffectTextOut(uint32_t mode, int x, int y, const QString& text, const TFont& font, TColor effectColor,
                   QImage& canvas) {
  if (text.isEmpty() || mode > kEffectDoubleStrike || canvas.isNull()) return;
  QPainter p(&canvas);
  const QFont f = font.ToQFont();
  p.setFont(f);
  const int baseline = y + QFontMetrics(f).ascent();
  const QColor main = ToQColor(font.Color), effect = ToQColor(effectColor);
  RunPasses(mode, font, [&](int dx, int dy, bool useEffect) {
    p.setPen(useEffect ? effect : main);
    p.drawText(x + dx, baseline + dy, text);
  }, false);
}

void AntiAliasBlend(const TABitmap& temp, int hw, int hh, TABitmap& bitmap, int x, int y, TColor color) {
  if (x < 0 || y < 0) return;
  int w = hw, h = hh;
  if (bitmap.Width() < x + hw) w = bitmap.Width() - x;
  if (bitmap.Height() < y + hh) h = bitmap.Height() - y;
  // Never read past the temporary picture either.
  w = std::min(w, (temp.Width() - 1) / 2);
  h = std::min(h, (temp.Height() - 1) / 2);
  const uint32_t R = static_cast<uint32_t>(RedOf(color)), G = static_cast<uint32_t>(GreenOf(color)),
                 B = static_cast<uint32_t>(BlueOf(color));
  for (int j = 0; j < h; ++j) {
    const uint8_t* t1 = reinterpret_cast<const uint8_t*>(temp.ScanLine(2 * j + 1));
    const uint8_t* t2 = reinterpret_cast<const uint8_t*>(temp.ScanLine(2 * j + 2));
    uint8_t* d = reinterpret_cast<uint8_t*>(bitmap.ScanLine(y + j) + x);
    for (int i = 0; i < w; ++i) {
      const int c = 8 * i;  // byte offset of temporary column 2i
      const uint32_t a = ((t1[c] + t1[c + 4] + t2[c] + t2[c + 4]) >> 2) + 1;
      uint8_t* px = d + 4 * i;
      px[0] = static_cast<uint8_t>((px[0] * a + B * (256 - a)) >> 8);
      px[1] = static_cast<uint8_t>((px[1] * a + G * (256 - a)) >> 8);
      px[2] = static_cast<uint8_t>((px[2] * a + R * (256 - a)) >> 8);
    }
  }
}

void AntiAliasTextOut(TABitmap& bitmap, int x, int y, const TFont& font, const QString& text) {
  if (text.isEmpty() || bitmap.Empty()) return;
  TFont twice;  // name, weight and twice the size; nothing else of font
  twice.Name = font.Name;
  twice.Bold = font.Bold;
  twice.Height = font.Height * 2;
  const QFont f = twice.ToQFont();
  const QFontMetrics fm(f);
  const int hw = fm.horizontalAdvance(text) / 2, hh = fm.height() / 2;
  if (hw <= 0 || hh <= 0) return;
  TABitmap temp(2 * hw + 1, 2 * hh + 1);
  temp.Image().fill(0xFFFFFFFFu);
  {
    QPainter p(&temp.Image());
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(0, fm.ascent(), text);
  }
  AntiAliasBlend(temp, hw, hh, bitmap, x, y, font.Color);
}

void EffectTextOutAA(uint32_t mode, int x, int y, const QString& text, const TFont& font, TColor effectColor,
                     TABitmap& bitmap) {
  TFont effect = font;
  effect.Color = effectColor;
  RunPasses(mode, font, [&](int dx, int dy, bool useEffect) {
    AntiAliasTextOut(bitmap, x + dx, y + dy, useEffect ? effect : font, text);
  }, true);
}

}  // namespace kw
