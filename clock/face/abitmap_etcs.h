// Text with effects (outline, shadow, jitter, emboss, double strike), drawn either with the
// painter's own text output or into a 32-bit bitmap with our own anti-aliasing: the text
// drawn at twice the size and averaged down, 2 x 2 pixels to one.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>

#include "clock/face/abitmap.h"

namespace kw {

// A font as the faces set it up: a family name (mapped to an installed font by the
// substitutions of InstallFaceFontSubstitutions), a height, bold, a colour.
struct TFont {
  QString Name = QStringLiteral("MS UI Gothic");
  // Positive: the height of the whole text line (ascent + descent) in pixels; negative: the
  // height of the characters themselves (the em size).
  int Height = 12;
  bool Bold = false;
  TColor Color = 0;
  bool NoAntialias = false;  // crisp glyph edges, so outlines never blend into the key colour

  // The point size a 96 dpi screen gives the character height.
  int PointSize() const;
  QFont ToQFont() const;
};

enum EffectMode : uint32_t {
  kEffectPlain = 0,
  kEffectOutline = 1,
  kEffectShadow = 2,
  kEffectJitterRight = 3,
  kEffectJitterDown = 4,
  kEffectJitterBoth = 5,
  kEffectEmboss = 6,
  kEffectDoubleStrike = 7,
};

// Width and height of text in the font, in pixels.
int TextWidth(const TFont& font, const QString& text);
int TextHeight(const TFont& font, const QString& text);

// Draws text in font's colour with its top-left corner at (x, y).
void PlainTextOut(QImage& canvas, int x, int y, const TFont& font, const QString& text);

// Draws text with the effect mode onto the canvas; effectColor is the effect's second colour.
// Each call sets up its own painter, so nothing of the canvas's state changes.
void EffectTextOut(uint32_t mode, int x, int y, const QString& text, const TFont& font, TColor effectColor,
                   QImage& canvas);

// Anti-aliased text in the font's colour into bitmap, top-left corner at (x, y); clipped at
// the bitmap's right and bottom edges.
void AntiAliasTextOut(TABitmap& bitmap, int x, int y, const TFont& font, const QString& text);

// The averaging step of AntiAliasTextOut: temp holds black text on white at twice the size
// (at least (2 hw + 1) x (2 hh + 1) pixels); the hw x hh result is blended into bitmap at
// (x, y) in colour.
void AntiAliasBlend(const TABitmap& temp, int hw, int hh, TABitmap& bitmap, int x, int y, TColor color);

// The same effects as EffectTextOut, each pass drawn with AntiAliasTextOut. Mode 7 draws
// nothing (no caller uses it).
void EffectTextOutAA(uint32_t mode, int x, int y, const QString& text, const TFont& font, TColor effectColor,
                     TABitmap& bitmap);

}  // namespace kw
