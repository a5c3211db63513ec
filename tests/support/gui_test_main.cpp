// main() for GoogleTest programs that draw: a QGuiApplication on the offscreen platform
// with the faces' font substitutions.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "clock/face/u_facefonts.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  kw::InstallFaceFontSubstitutions();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
