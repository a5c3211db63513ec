// Figures of the clock face, printed beside their targets (no pass or fail): a refresh with
// nothing to draw, and a full redraw of five digital cells and of five anti-aliased analog
// cells, with the shipped default skin.
#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <memory>

#include "clock/engine/u_orvtime.h"
#include "clock/face/u_face.h"
#include "clock/face/u_facefonts.h"
#include "clock/face/u_skinctrl.h"
#include "clock/settings/u_appinfos.h"
#include "tests/support/test_support.h"

namespace {

using Steady = std::chrono::steady_clock;

template <class F>
double MicrosecondsPerCall(int rounds, F&& f) {
  const auto start = Steady::now();
  for (int i = 0; i < rounds; ++i) f();
  return std::chrono::duration<double, std::micro>(Steady::now() - start).count() / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  kw::InstallFaceFontSubstitutions();
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
  std::printf("note: built with sanitizers; the figures are inflated\n");
#endif
#endif
  kw::test::TempDir dir;
  kw::test::WriteWindowsFile(dir.File("httpctrl.cfg"),
                             "[ServerInfo]\nServers=3\n[ServerInfo1]\nServerName=Diana\n"
                             "[ServerInfo2]\nServerName=Pola\n[ServerInfo3]\nServerName=Eris\n");
  kw::ManualClock clock(kw::test::At(2026, 12, 11, 20, 0));
  kw::TOrvTime orv(dir.path(), clock);
  kw::TAppInfos settings;
  kw::TFace face(orv, settings);
  const kw::TSkinCtrl skins(KRONWEL_DATA);
  kw::LoadSkin(skins, "標準設定", face.Skin, nullptr);
  face.RefreshFace();

  const double idle = MicrosecondsPerCall(20000, [&] { face.RefreshFace(); });
  std::printf("face refresh with nothing to draw: %8.2f us   (target: a whole idle tick < 20 us)\n", idle);

  const double digital = MicrosecondsPerCall(300, [&] {
    face.ResetFaceCache();
    face.RefreshFace();
  });
  std::printf("full redraw, five digital cells:   %8.1f us   (target < 2000 us)\n", digital);

  settings.FMode = 1;
  const double mini = MicrosecondsPerCall(300, [&] {
    face.ResetFaceCache();
    face.RefreshFace();
  });
  std::printf("full redraw, five mini cells:      %8.1f us\n", mini);

  settings.FMode = 2;
  settings.ChaosClockEnabled = false;
  settings.FServer = 99;
  // Four clocks (three servers and the real clock) plus one more server cell's worth: time
  // five anti-aliased dials by drawing the four and adding a fifth directly.
  face.Skin.AntiAlias = true;
  const double analog = MicrosecondsPerCall(200, [&] {
    face.ResetFaceCache();
    face.RefreshFace();
    face.DrawFaceCell(0, 0, 0, clock.Now());
  });
  std::printf("full redraw, five analog cells:    %8.1f us   (anti-aliased, double size)\n", analog);
  return 0;
}
