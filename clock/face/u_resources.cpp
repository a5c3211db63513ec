#include "clock/face/u_resources.h"

#include <QString>

namespace kw {

QImage ResourceBitmap(const char* name) {
  QImage image(QStringLiteral(":/kronwel/res/%1.bmp").arg(QLatin1String(name)));
  return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace kw
