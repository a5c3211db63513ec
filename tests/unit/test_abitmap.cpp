// The 32-bit bitmap helpers: keyed copy with clipping, the anti-alias arithmetic, halving,
// and the passes of the text effects.
#include <gtest/gtest.h>

#include <QImage>
#include <set>

#include "clock/face/abitmap.h"
#include "clock/face/abitmap_etcs.h"
#include "clock/face/u_face.h"

namespace kw {
namespace {

uint32_t Px(int r, int g, int b, int fourth = 0xFF) {
  return static_cast<uint32_t>(fourth) << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}

TABitmap Filled(int w, int h, uint32_t px) {
  TABitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = px;
  return b;
}

// Source pixel (x, y) holds the colour (x, y, 7), so a copied pixel tells where it came from.
TABitmap Numbered(int w, int h) {
  TABitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = Px(x, y, 7, 0x12);
  return b;
}

TEST(CopyRectKeyed, LeavesOutKeyPixelsWhateverTheirFourthByte) {
  TABitmap src(3, 1);
  src.ScanLine(0)[0] = Px(1, 1, 255, 0x00);
  src.ScanLine(0)[1] = Px(1, 1, 255, 0x7F);
  src.ScanLine(0)[2] = Px(1, 1, 254, 0x00);  // one step off the key: copied
  TABitmap dest = Filled(3, 1, Px(9, 9, 9));
  src.CopyRectKeyed(0, 0, 3, 1, 0, 0, dest, kKeyColor);
  EXPECT_EQ(dest.ScanLine(0)[0], Px(9, 9, 9));
  EXPECT_EQ(dest.ScanLine(0)[1], Px(9, 9, 9));
  // A written pixel is opaque in Qt's 32-bit format, whatever the source's fourth byte.
  EXPECT_EQ(dest.ScanLine(0)[2], Px(1, 1, 254, 0xFF));
}

TEST(CopyRectKeyed, ClipsAgainstTheDestination) {
  struct Case {
    int destX, destY, width, height, srcX, srcY;
    int firstDestX, firstDestY, firstSrcX, firstSrcY, columns, rows;
  } cases[] = {
      {-3, 0, 10, 2, 0, 0, 0, 0, 3, 0, 7, 2},  // left edge: 7 columns from source column 3
      {0, -1, 2, 3, 1, 0, 0, 0, 1, 1, 2, 2},   // top edge
      {15, 5, 10, 10, 0, 0, 15, 5, 0, 0, 5, 3},  // right and bottom edges cut
      {2, 1, 4, 2, 5, 6, 2, 1, 5, 6, 4, 2},    // inside
  };
  for (const Case& c : cases) {
    const TABitmap src = Numbered(20, 12);
    TABitmap dest = Filled(20, 8, Px(200, 200, 200));
    src.CopyRectKeyed(c.destX, c.destY, c.width, c.height, c.srcX, c.srcY, dest, kKeyColor);
    int written = 0;
    for (int y = 0; y < dest.Height(); ++y)
      for (int x = 0; x < dest.Width(); ++x)
        if (dest.ScanLine(y)[x] != Px(200, 200, 200)) ++written;
    EXPECT_EQ(written, c.columns * c.rows) << c.destX << "," << c.destY;
    EXPECT_EQ(dest.ScanLine(c.firstDestY)[c.firstDestX], Px(c.firstSrcX, c.firstSrcY, 7)) << c.destX;
  }
}

TEST(CopyRectKeyed, NothingHappensOutsideOrWithEmptyBitmaps) {
  const TABitmap src = Numbered(4, 4);
  TABitmap dest = Filled(4, 4, Px(200, 200, 200));
  src.CopyRectKeyed(-4, 0, 4, 4, 0, 0, dest, kKeyColor);
  src.CopyRectKeyed(0, 4, 4, 4, 0, 0, dest, kKeyColor);
  src.CopyRectKeyed(4, 0, 4, 4, 0, 0, dest, kKeyColor);
  TABitmap empty;
  empty.CopyRectKeyed(0, 0, 4, 4, 0, 0, dest, kKeyColor);
  src.CopyRectKeyed(0, 0, 4, 4, 0, 0, empty, kKeyColor);
  // A source rectangle reaching past the source is cut too (nothing read outside it).
  src.CopyRectKeyed(0, 0, 4, 4, 2, 2, dest, kKeyColor);
  EXPECT_EQ(dest.ScanLine(0)[0], Px(2, 2, 7));
  EXPECT_EQ(dest.ScanLine(0)[2], Px(200, 200, 200));
}

TEST(AntiAliasBlend, AveragesFourSamplesIntoTheTextColour) {
  // Temporary picture 5 x 3 (hw = 2, hh = 1): row 0 unused, rows 1-2 sampled.
  TABitmap temp = Filled(5, 3, Px(255, 255, 255));
  for (int y : {1, 2})
    for (int x : {0, 1}) temp.ScanLine(y)[x] = Px(0, 0, 0);  // first output pixel: all black
  temp.ScanLine(0)[2] = Px(0, 0, 0);                       // row 0 is never read
  TABitmap dest = Filled(3, 1, Px(255, 255, 255, 0x40));
  AntiAliasBlend(temp, 2, 1, dest, 0, 0, Rgb(0, 0, 0));
  EXPECT_EQ(dest.ScanLine(0)[0], Px(0, 0, 0, 0x40));          // a = 1: (255 + 0) div 256 = 0
  EXPECT_EQ(dest.ScanLine(0)[1], Px(255, 255, 255, 0x40));    // a = 256: untouched
  EXPECT_EQ(dest.ScanLine(0)[2], Px(255, 255, 255, 0x40));    // beyond hw

  // Two of four samples black, red text on grey 100: a = 510 div 4 + 1 = 128.
  temp = Filled(3, 3, Px(255, 255, 255));
  temp.ScanLine(1)[0] = temp.ScanLine(2)[1] = Px(0, 0, 0);
  dest = Filled(1, 1, Px(100, 100, 100));
  AntiAliasBlend(temp, 1, 1, dest, 0, 0, Rgb(255, 0, 0));
  const uint32_t a = 510 / 4 + 1;  // 128
  const uint32_t red = (100 * a + 255 * (256 - a)) / 256, other = (100 * a) / 256;
  EXPECT_EQ(dest.ScanLine(0)[0], Px(static_cast<int>(red), static_cast<int>(other), static_cast<int>(other)));
}

TEST(AntiAliasBlend, ClipsAtTheRightAndBottomEdges) {
  const TABitmap temp = Filled(21, 21, Px(0, 0, 0));
  TABitmap dest = Filled(6, 4, Px(255, 255, 255));
  AntiAliasBlend(temp, 10, 10, dest, 3, 2, Rgb(0, 0, 0));  // ASan watches for writes past the rows
  EXPECT_EQ(dest.ScanLine(3)[5], Px(0, 0, 0));
  EXPECT_EQ(dest.ScanLine(1)[5], Px(255, 255, 255));
  EXPECT_EQ(dest.ScanLine(3)[2], Px(255, 255, 255));
}

TEST(HalveBitmap, AveragesEachChannelAndHalvesTheSize) {
  TABitmap b(5, 3);  // odd sizes: the last column and row are dropped
  const uint32_t v[3][5] = {{Px(0, 10, 255), Px(3, 20, 255), Px(8, 0, 0), Px(8, 0, 0), Px(1, 1, 1)},
                            {Px(1, 30, 255), Px(2, 41, 254), Px(8, 0, 0), Px(8, 4, 0), Px(1, 1, 1)},
                            {Px(9, 9, 9), Px(9, 9, 9), Px(9, 9, 9), Px(9, 9, 9), Px(9, 9, 9)}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.ScanLine(y)[x] = v[y][x];
  HalveBitmap(b);
  ASSERT_EQ(b.Width(), 2);
  ASSERT_EQ(b.Height(), 1);
  EXPECT_EQ(b.ScanLine(0)[0], Px(1, 25, 254));  // 6/4, 101/4, 1019/4 truncated
  EXPECT_EQ(b.ScanLine(0)[1], Px(8, 1, 0));
}

// ---- Text effects ---------------------------------------------------------------------------

constexpr uint32_t kBg = 0xFF203040u;
constexpr TColor kMain = Rgb(250, 250, 0), kEffect = Rgb(0, 200, 250);

QImage Render(uint32_t mode, const TFont& font) {
  QImage image(60, 30, QImage::Format_RGB32);
  image.fill(kBg);
  EffectTextOut(mode, 10, 5, QStringLiteral("Hj8"), font, kEffect, image);
  return image;
}

TFont Crisp() {
  TFont f;
  f.Name = QStringLiteral("Tahoma");
  f.Height = 16;
  f.Bold = true;
  f.Color = kMain;
  f.NoAntialias = true;
  return f;
}

bool Is(const QImage& image, int x, int y, TColor c) {
  return x >= 0 && y >= 0 && x < image.width() && y < image.height() &&
         (image.pixel(x, y) & 0xFFFFFFu) == (static_cast<uint32_t>(RedOf(c)) << 16 | static_cast<uint32_t>(GreenOf(c)) << 8 |
                                            static_cast<uint32_t>(BlueOf(c)));
}

TEST(EffectTextOut, OutlineSurroundsTheMainTextInAllEightDirections) {
  const QImage plain = Render(kEffectPlain, Crisp());
  const QImage outline = Render(kEffectOutline, Crisp());
  int mainPixels = 0;
  for (int y = 0; y < plain.height(); ++y)
    for (int x = 0; x < plain.width(); ++x) {
      if (!Is(plain, x, y, kMain)) continue;
      ++mainPixels;
      EXPECT_TRUE(Is(outline, x, y, kMain)) << "the main text is drawn last, on top";
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          EXPECT_TRUE(Is(outline, x + dx, y + dy, kMain) || Is(outline, x + dx, y + dy, kEffect)) << x << "," << y;
    }
  EXPECT_GT(mainPixels, 20);
}

TEST(EffectTextOut, ShadowEmbossAndDoubleStrikeOffsets) {
  const QImage plain = Render(kEffectPlain, Crisp());
  struct Case {
    uint32_t mode;
    int dx, dy;        // where the second pass lands relative to the main text
    bool effectColour;  // and in which colour
  } cases[] = {{kEffectShadow, 2, 2, true}, {kEffectEmboss, -1, -1, true}, {kEffectDoubleStrike, 2, 0, false}};
  for (const Case& c : cases) {
    const QImage image = Render(c.mode, Crisp());
    for (int y = 0; y < plain.height(); ++y)
      for (int x = 0; x < plain.width(); ++x)
        if (Is(plain, x, y, kMain)) {
          ASSERT_TRUE(Is(image, x, y, kMain)) << c.mode;
          ASSERT_TRUE(Is(image, x + c.dx, y + c.dy, kMain) || Is(image, x + c.dx, y + c.dy, c.effectColour ? kEffect : kMain))
              << c.mode << " at " << x << "," << y;
        }
  }
}

TEST(EffectTextOut, JitterStaysWithinAThirdOfThePointSizeAndUnknownModesDrawNothing) {
  const QImage plain = Render(kEffectPlain, Crisp());
  const int n = Crisp().PointSize() / 3;
  ASSERT_GT(n, 1);
  std::set<int> offsets;
  for (int i = 0; i < 40; ++i) {
    const QImage jittered = Render(kEffectJitterRight, Crisp());
    int found = -1;
    for (int dx = 0; dx < n && found < 0; ++dx) {
      bool same = true;
      for (int y = 0; y < plain.height() && same; ++y)
        for (int x = 0; x + dx < plain.width() && same; ++x) same = Is(plain, x, y, kMain) == Is(jittered, x + dx, y, kMain);
      if (same) found = dx;
    }
    ASSERT_GE(found, 0) << "a shift outside 0.." << n - 1;
    offsets.insert(found);
  }
  EXPECT_GT(offsets.size(), 1u) << "the jitter never moved";
  const QImage none = Render(8, Crisp());
  for (int y = 0; y < none.height(); ++y)
    for (int x = 0; x < none.width(); ++x) ASSERT_EQ(none.pixel(x, y), kBg);
}

TEST(EffectTextOutAA, DrawsSmoothTextAndNothingInModeSeven) {
  TFont f = Crisp();
  f.Color = Rgb(0, 0, 0);
  TABitmap bitmap = Filled(60, 30, Px(255, 255, 255));
  EffectTextOutAA(kEffectDoubleStrike, 2, 2, QStringLiteral("Hj8"), f, Rgb(255, 0, 0), bitmap);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) ASSERT_EQ(bitmap.ScanLine(y)[x], Px(255, 255, 255));
  EffectTextOutAA(kEffectPlain, 2, 2, QStringLiteral("Hj8"), f, Rgb(255, 0, 0), bitmap);
  std::set<uint32_t> greys;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) greys.insert(bitmap.ScanLine(y)[x]);
  EXPECT_TRUE(greys.count(Px(0, 0, 0))) << "all four samples black give pure black";
  EXPECT_GT(greys.size(), 3u) << "edges are shades between text and paper";

  // Outline on a bitmap narrower than the text: cut at the edge, nothing written beyond.
  TABitmap narrow = Filled(8, 30, Px(255, 255, 255));
  EffectTextOutAA(kEffectOutline, 1, 1, QStringLiteral("WWWW"), f, Rgb(255, 0, 0), narrow);
  bool red = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 8; ++x) red |= (narrow.ScanLine(y)[x] & 0xFF0000u) > (narrow.ScanLine(y)[x] & 0xFFu) << 16;
  EXPECT_TRUE(red);
}

}  // namespace
}  // namespace kw
