#include "clock/face/abitmap.h"

#include <QImageReader>
#include <algorithm>

namespace kw {

namespace {
constexpr uint32_t kOpaque = 0xFF000000u;
}

TABitmap::TABitmap(int width, int height) : image_(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32) {
  image_.fill(0);
}

void TABitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width() && height == Height() && !image_.isNull()) return;
  QImage next(width, height, QImage::Format_RGB32);
  next.fill(0);
  const int w = std::min(width, Width()), h = std::min(height, Height());
  for (int y = 0; y < h; ++y)
    std::copy_n(reinterpret_cast<const uint32_t*>(image_.constScanLine(y)), w,
                reinterpret_cast<uint32_t*>(next.scanLine(y)));
  image_ = std::move(next);
}

bool TABitmap::LoadFromFile(const QString& path) {
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  QImage loaded = reader.read();
  if (loaded.isNull()) return false;
  Assign(loaded);
  return true;
}

void TABitmap::Assign(const QImage& image) {
  image_ = image.convertToFormat(QImage::Format_RGB32);
}

void TABitmap::CopyRectKeyed(int destX, int destY, int width, int height, int srcX, int srcY,
                             TABitmap& dest, TColor keyColor) const {
  if (Width() <= 0 || dest.Width() <= 0) return;
  const int W = dest.Width(), H = dest.Height();
  if ((destX < 0 && destX + width <= 0) || (destY < 0 && destY + height <= 0) || destX >= W || destY >= H) return;
  if (destX < 0) {
    width += destX;
    srcX -= destX;
    destX = 0;
  } else if (destX + width < 0 || destX + width > W) {
    width = W - destX;
  }
  if (destY < 0) {
    height += destY;
    srcY -= destY;
    destY = 0;
  } else if (destY + height < 0 || destY + height > H) {
    height = H - destY;
  }
  // Keep the source inside this bitmap and the destination inside dest.
  if (srcX < 0) { width += srcX; destX -= srcX; srcX = 0; }
  if (srcY < 0) { height += srcY; destY -= srcY; srcY = 0; }
  width = std::min({width, Width() - srcX, W - destX});
  height = std::min({height, Height() - srcY, H - destY});
  if (width <= 0 || height <= 0) return;

  const uint32_t key = static_cast<uint32_t>(RedOf(keyColor)) << 16 | static_cast<uint32_t>(GreenOf(keyColor)) << 8 |
                       static_cast<uint32_t>(BlueOf(keyColor));
  for (int r = 0; r < height; ++r) {
    const uint32_t* src = ScanLine(srcY + r) + srcX;
    uint32_t* dst = dest.ScanLine(destY + r) + destX;
    for (int c = 0; c < width; ++c) {
      const uint32_t rgb = src[c] & 0x00FFFFFFu;
      if (rgb != key) dst[c] = rgb | kOpaque;
    }
  }
}

void FillRect(TABitmap& bitmap, int x, int y, int width, int height, TColor color) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + width, bitmap.Width()), y1 = std::min(y + height, bitmap.Height());
  const uint32_t px = kOpaque | static_cast<uint32_t>(RedOf(color)) << 16 | static_cast<uint32_t>(GreenOf(color)) << 8 |
                      static_cast<uint32_t>(BlueOf(color));
  for (int j = y0; j < y1; ++j) std::fill(bitmap.ScanLine(j) + x0, bitmap.ScanLine(j) + std::max(x1, x0), px);
}

void DrawOpaque(TABitmap& dest, int x, int y, const TABitmap& src) {
  const int x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int x1 = std::min(x + src.Width(), dest.Width()), y1 = std::min(y + src.Height(), dest.Height());
  if (x1 <= x0) return;
  for (int j = y0; j < y1; ++j) std::copy(src.ScanLine(j - y) + (x0 - x), src.ScanLine(j - y) + (x1 - x), dest.ScanLine(j) + x0);
}

}  // namespace kw
