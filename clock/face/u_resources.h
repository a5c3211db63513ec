// The program's own pictures (the mini face background, the face icons, the popup
// backgrounds, the about picture), compiled into the program.
#pragma once

#include <QImage>

namespace kw {

// The picture of that resource name ("bMiniDigiBG", "bAlarmBell", ...), 32 bits per pixel;
// a null image for an unknown name.
QImage ResourceBitmap(const char* name);

}  // namespace kw
