// 32-bit bitmaps with direct row access, and the keyed copy that puts icons with a
// see-through background onto the face.
#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

namespace kw {

// Colours as the skins and settings write them: red in the low byte (0x00BBGGRR).
using TColor = uint32_t;
constexpr TColor Rgb(int r, int g, int b) {
  return static_cast<TColor>(r & 0xFF) | static_cast<TColor>(g & 0xFF) << 8 | static_cast<TColor>(b & 0xFF) << 16;
}
constexpr int RedOf(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GreenOf(TColor c) { return static_cast<int>(c >> 8 & 0xFF); }
constexpr int BlueOf(TColor c) { return static_cast<int>(c >> 16 & 0xFF); }
inline QColor ToQColor(TColor c) { return QColor(RedOf(c), GreenOf(c), BlueOf(c)); }

// The see-through colour of the clock window and of every icon's background.
constexpr TColor kKeyColor = Rgb(1, 1, 255);

// A bitmap that is always 32 bits per pixel (QImage::Format_RGB32: bytes blue, green, red
// and a fourth byte that Qt keeps at 0xFF and nothing reads as transparency).
class TABitmap {
 public:
  TABitmap() = default;
  TABitmap(int width, int height);

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  bool Empty() const { return image_.isNull() || Width() <= 0 || Height() <= 0; }

  // Resizes, keeping what fits of the old content; new pixels are black.
  void SetSize(int width, int height);
  // Loads any picture Qt reads (BMP, ICO, PNG, ...) and converts it to 32 bits. False, with
  // the bitmap unchanged, when the file cannot be read or decoded.
  bool LoadFromFile(const QString& path);
  void Assign(const QImage& image);

  uint32_t* ScanLine(int y) { return reinterpret_cast<uint32_t*>(image_.scanLine(y)); }
  const uint32_t* ScanLine(int y) const { return reinterpret_cast<const uint32_t*>(image_.constScanLine(y)); }

  QImage& Image() { return image_; }
  const QImage& Image() const { return image_; }

  // Copies the rectangle (srcX, srcY, width, height) of this bitmap to dest at (destX,
  // destY), leaving out every pixel whose red, green and blue equal keyColor's. Clipped to
  // dest; the source rectangle is clipped to this bitmap as well, so nothing outside either
  // bitmap is read or written.
  void CopyRectKeyed(int destX, int destY, int width, int height, int srcX, int srcY,
                     TABitmap& dest, TColor keyColor) const;

 private:
  QImage image_;
};

// Fills a rectangle (clipped to the bitmap) with one colour.
void FillRect(TABitmap& bitmap, int x, int y, int width, int height, TColor color);
// Copies all of src to dest at (x, y), opaque, clipped to dest.
void DrawOpaque(TABitmap& dest, int x, int y, const TABitmap& src);

}  // namespace kw
