// Kronwel's icon, drawn rather than stored: the tray, the windows and the installed
// desktop entry all use it.
#pragma once

#include <QImage>

namespace kw {

QImage KronwelIcon(int size);

}  // namespace kw
