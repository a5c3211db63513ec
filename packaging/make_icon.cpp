// Writes Kronwel's icon as a PNG file for the desktop entry: make_icon <file> <size>.
#include <QGuiApplication>
#include <cstdlib>

#include "clock/window/u_appicon.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  return kw::KronwelIcon(std::atoi(argv[2])).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
