// The clock face: layout of the cells, what is drawn when, backgrounds by hour, icons,
// colours of trouble, the chaos countdown, and the analog dial.
#include <gtest/gtest.h>

#include <QImage>
#include <memory>
#include <set>

#include "clock/engine/u_orvtime.h"
#include "clock/face/u_face.h"
#include "clock/settings/u_appinfos.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;

constexpr const char* kThreeServers =
    "[ServerInfo]\nServers=3\n"
    "[ServerInfo1]\nServerName=Diana\nHTMLHead3=Diana:\n"
    "[ServerInfo2]\nServerName=Pola\nHTMLHead3=Pola:\n"
    "[ServerInfo3]\nServerName=9Eris\nHTMLHead3=Eris:\n";

constexpr TColor kNight = Rgb(200, 40, 40), kMorning = Rgb(40, 200, 40), kDay = Rgb(40, 40, 200);
constexpr TColor kDial = Rgb(240, 240, 240);

TABitmap Solid(int w, int h, TColor c) {
  TABitmap b(w, h);
  FillRect(b, 0, 0, w, h, c);
  return b;
}

class FaceTest : public ::testing::Test {
 protected:
  FaceTest() {
    test::WriteWindowsFile(dir.File("httpctrl.cfg"), kThreeServers);
    orv = std::make_unique<TOrvTime>(dir.path(), clock);
    settings.FServer = 99;
    settings.RealClockEnabled = settings.ChaosClockEnabled = true;
    face = std::make_unique<TFace>(*orv, settings);
    face->Skin.Backgrounds = {Solid(80, 40, kNight), Solid(80, 40, kMorning), Solid(80, 40, kDay)};
    face->Skin.Analog = Solid(80, 80, kDial);
    face->Skin.AnalogShadow = Rgb(0, 200, 0);
    face->Skin.AnalogAllow = Rgb(0, 0, 200);
    face->Skin.AnalogHighlight = Rgb(0, 150, 150);
    face->Skin.AnalogAmPm = Rgb(255, 0, 255);
    face->Skin.AnalogAmPmOutline = Rgb(255, 255, 0);
    face->Skin.AntiAlias = false;
    // Server 0 at night, 1 in the morning, 2 by day.
    SetGameTime(0, 1, 2, 10);
    SetGameTime(1, 2, 6, 20);
    SetGameTime(2, 3, 12, 30);
  }

  void SetGameTime(int server, int weekday, int hour, int minute) {
    orv->Servers[static_cast<size_t>(server)].RealBase = clock.Now();
    orv->Servers[static_cast<size_t>(server)].GameBase = {weekday, hour, minute, 0};
  }

  TColor At(int x, int y) const {
    const uint32_t p = face->BackBuffer.ScanLine(y)[x];
    return Rgb(static_cast<int>(p >> 16 & 0xFF), static_cast<int>(p >> 8 & 0xFF), static_cast<int>(p & 0xFF));
  }
  int Count(TColor c, int x0, int y0, int w, int h) const {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
      for (int x = x0; x < x0 + w; ++x) n += At(x, y) == c;
    return n;
  }
  // Columns of the cell at x0 where two renderings differ.
  static std::pair<int, int> DiffColumns(const QImage& a, const QImage& b) {
    int lo = 1 << 30, hi = -1;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if (a.pixel(x, y) != b.pixel(x, y)) lo = std::min(lo, x), hi = std::max(hi, x);
    return {lo, hi};
  }

  test::TempDir dir;
  ManualClock clock{test::At(2026, 12, 11, 20, 0, 0)};  // a Friday evening
  std::unique_ptr<TOrvTime> orv;
  TAppInfos settings;
  std::unique_ptr<TFace> face;
};

TEST_F(FaceTest, CellsSideBySideOrStacked) {
  const TColor realBg = kNight;  // 20:00 real time
  const TColor chaosBg = orv->ChaosPhase(clock.Now()) == 0 ? kDay : kNight;
  const TColor expected[5] = {kNight, kMorning, kDay, realBg, chaosBg};
  for (int rotate : {0, 1}) {
    settings.Rotate = rotate;
    face->ResetFaceCache();
    face->CellDraws = 0;
    EXPECT_TRUE(face->RefreshFace());
    EXPECT_EQ(face->CellDraws, 5);
    EXPECT_EQ(face->BackBuffer.Width(), rotate ? 80 : 400);
    EXPECT_EQ(face->BackBuffer.Height(), rotate ? 200 : 40);
    for (int i = 0; i < 5; ++i) {
      const int x = rotate ? 0 : 80 * i, y = rotate ? 40 * i : 0;
      EXPECT_EQ(At(x + 1, y + 38), expected[i]) << "rotate " << rotate << " cell " << i;
      EXPECT_EQ(At(x + 78, y + 1), expected[i]) << "rotate " << rotate << " cell " << i;
    }
  }
}

TEST_F(FaceTest, ACellIsDrawnOnlyWhenItsTimeChanged) {
  ASSERT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->CellDraws, 5);
  EXPECT_FALSE(face->RefreshFace()) << "nothing changed: the window is not copied";
  EXPECT_EQ(face->CellDraws, 5);
  clock.AdvanceMs(100);
  EXPECT_FALSE(face->RefreshFace());
  clock.AdvanceMs(900);  // the real second changes; game minutes last 3.6 s
  EXPECT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->CellDraws, 7);
  clock.AdvanceMs(3000);
  EXPECT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->CellDraws, 12);
  face->ResetFaceCache();
  EXPECT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->CellDraws, 17);
}

TEST_F(FaceTest, SwitchingTheRealClockOffMovesTheChaosCell) {
  ASSERT_TRUE(face->RefreshFace());
  settings.RealClockEnabled = false;
  clock.AdvanceMs(1000);
  face->CellDraws = 0;
  ASSERT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->CellDraws, 1);
  EXPECT_EQ(face->BackBuffer.Width(), 320);
  EXPECT_EQ(At(241, 38), orv->ChaosPhase(clock.Now()) == 0 ? kDay : kNight);
}

TEST_F(FaceTest, OneChosenServerOrTheGameClientsServer) {
  settings.FServer = 1;
  ASSERT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->BackBuffer.Width(), 240);
  EXPECT_EQ(At(1, 38), kMorning);

  settings.FServer = 999;
  face->Hooks.SelectedGameServer = [] { return 2; };
  face->ResetFaceCache();
  ASSERT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->BackBuffer.Width(), 240);
  EXPECT_EQ(At(1, 38), kDay);
}

TEST_F(FaceTest, OtherModesAndMissingPicturesGiveAnEmptyFace) {
  settings.FMode = 3;
  EXPECT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->BackBuffer.Width(), 0);
  settings.FMode = 0;
  face->Skin.Backgrounds = {};
  face->ResetFaceCache();
  EXPECT_TRUE(face->RefreshFace());
  EXPECT_EQ(face->BackBuffer.Width(), 0);
}

TEST_F(FaceTest, SkeletonMakesTheDigitalBackgroundsSeeThrough) {
  settings.Skeleton = true;
  for (int mode : {0, 1}) {
    settings.FMode = mode;
    face->ResetFaceCache();
    ASSERT_TRUE(face->RefreshFace());
    EXPECT_EQ(At(0, face->CellHeight() - 1), kKeyColor) << mode;
    EXPECT_EQ(At(79, 0), kKeyColor) << mode;
  }
  settings.FMode = 2;  // the dial stays
  face->ResetFaceCache();
  ASSERT_TRUE(face->RefreshFace());
  EXPECT_EQ(At(79, 79), kDial);
  EXPECT_EQ(At(4 * 80 + 40, 79), kKeyColor) << "the analog chaos cell is always see-through";
}

TEST_F(FaceTest, TroubledServersShowTheirTimeInRed) {
  int down = -1;
  int32_t maintenance = 0;
  face->Hooks.MaintenanceState = [&] { return maintenance; };
  face->Hooks.IsServerDown = [&](int32_t i) { return i == down; };
  struct Case {
    int mode;
    TColor red, normal;
  } cases[] = {{0, Rgb(160, 0, 0), Rgb(0, 0, 0)}, {1, Rgb(255, 128, 128), Rgb(255, 255, 255)}};
  for (const Case& c : cases) {
    settings.FMode = c.mode;
    const int h = c.mode == 0 ? 40 : 20;
    maintenance = 0;
    down = 1;
    face->ResetFaceCache();
    ASSERT_TRUE(face->RefreshFace());
    EXPECT_EQ(Count(c.red, 0, 0, 80, h), 0) << c.mode;
    EXPECT_GT(Count(c.normal, 0, 0, 80, h), 10) << c.mode;
    EXPECT_GT(Count(c.red, 80, 0, 80, h), 10) << c.mode;
    maintenance = -1;
    face->ResetFaceCache();
    ASSERT_TRUE(face->RefreshFace());
    EXPECT_GT(Count(c.red, 0, 0, 80, h), 10) << c.mode;
    EXPECT_EQ(Count(c.red, 240, 0, 80, h), 0) << "the real clock is never in trouble";
  }
}

TEST_F(FaceTest, BellsMarkTheServersWithActiveAlarms) {
  auto render = [&] {
    face->ResetFaceCache();
    EXPECT_TRUE(face->RefreshFace());
    return face->BackBuffer.Image().copy();
  };
  QImage plain = render();
  // The cells whose bottom-left 16 x 16 corner differs from the face without alarms.
  auto bellCells = [&] {
    const QImage image = render();
    std::vector<int> cells;
    for (int i = 0; i < 3 && i * 80 < image.width(); ++i)
      if (DiffColumns(plain.copy(i * 80, 24, 16, 16), image.copy(i * 80, 24, 16, 16)).second >= 0) cells.push_back(i);
    return cells;
  };
  EXPECT_EQ(bellCells(), std::vector<int>{});
  AList automatic;
  automatic.Server = 3;  // the game client's server
  settings.AlarmList = {automatic};
  face->Hooks.SelectedGameServer = [] { return 1; };
  EXPECT_EQ(bellCells(), std::vector<int>{1});
  AList off;
  off.Server = 2;
  off.ActiveSW = false;
  AList zero;
  zero.Server = 0;
  settings.AlarmList = {off, zero};
  EXPECT_EQ(bellCells(), std::vector<int>{0});
  settings.FServer = 999;  // every active alarm shows on the single cell
  face->Hooks.SelectedGameServer = [] { return 2; };
  settings.AlarmList.clear();
  plain = render();
  AList other;
  other.Server = 1;
  settings.AlarmList = {other};
  EXPECT_EQ(bellCells(), std::vector<int>{0});
}

TEST_F(FaceTest, TimerAndChaosAlarmIconsSitSideBySideOnTheRealClock) {
  auto render = [&](bool timer, bool chaos) {
    face->Hooks.TimerActive = [timer] { return timer; };
    settings.ChaosAlarmEnabled = chaos;
    face->ResetFaceCache();
    EXPECT_TRUE(face->RefreshFace());
    return face->BackBuffer.Image().copy(240, 0, 80, 40);
  };
  const QImage none = render(false, false);
  const auto [chaosLo, chaosHi] = DiffColumns(none, render(false, true));
  EXPECT_GE(chaosLo, 0);
  EXPECT_LE(chaosHi, 15);
  const auto [bothLo, bothHi] = DiffColumns(none, render(true, true));
  EXPECT_GE(bothLo, 0);
  EXPECT_GT(bothHi, 19) << "the chaos-alarm icon right of the 19-pixel timer";
  EXPECT_LE(bothHi, 19 + 15);
}

TEST(FaceTables, BackgroundByHour) {
  const int expected[24] = {0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0, 0};
  for (int h = 0; h < 24; ++h) EXPECT_EQ(BackgroundIndex(h), expected[h]) << h;
}

TEST(FaceTables, PadNumber) {
  struct Case {
    char ch;
    int n, width;
    const char* text;
  } cases[] = {{' ', 7, 2, " 7"}, {'0', 7, 2, "07"}, {'0', 123, 2, "23"}, {' ', 12, 2, "12"}, {'0', 0, 2, "00"}, {'0', 5, 0, ""}};
  for (const Case& c : cases) EXPECT_EQ(PadNumber(QLatin1Char(c.ch), c.n, c.width), QString::fromUtf8(c.text)) << c.n;
  // The digital face's " 7:05" and the mini face's "07:05".
  EXPECT_EQ(PadNumber(QLatin1Char(' '), 7, 2) + ':' + PadNumber(QLatin1Char('0'), 5, 2), QStringLiteral(" 7:05"));
}

TEST(FaceTables, ChaosCountdown) {
  struct Case {
    int64_t s;
    const char* text;
    const char* mini;
  } cases[] = {
      {86400, "1日と0時間", "1 Day"},   {2 * 86400 + 7 * 3600, "2日と7時間", "2 Day(s)"},
      {3600, "1時間00分", "1 Hour"},    {5 * 3600 + 61, "5時間01分", "5 Hours"},
      {61, "01分01秒", "01 Min."},      {59, "59秒", "59 Sec."},
      {5, "05秒", "05 Sec."},           {0, "(ﾟ∀ﾟ)", "00 Sec."},
      {-4, "(ﾟ∀ﾟ)", "00 Sec."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChaosCountdownText(c.s), QString::fromUtf8(c.text)) << c.s;
    EXPECT_EQ(ChaosCountdownTextMini(c.s), QString::fromUtf8(c.mini)) << c.s;
  }
  struct Colour {
    int32_t phase;
    int64_t s;
    TColor colour;
  } colours[] = {{0, 30, Rgb(119, 0, 0)}, {0, 3599, Rgb(0, 0, 0)}, {0, 0, Rgb(120, 0, 0)}, {0, 3600, Rgb(0, 0, 0)},
                 {0, 90000, Rgb(0, 0, 0)}, {1, 10, Rgb(255, 128, 0)}, {2, 10, Rgb(255, 128, 0)}, {3, 10, Rgb(240, 0, 0)}};
  for (const Colour& c : colours) EXPECT_EQ(ChaosCountdownColor(c.phase, c.s), c.colour) << c.phase << " " << c.s;
}

// ---- The analog face ------------------------------------------------------------------------

class AnalogTest : public FaceTest {
 protected:
  AnalogTest() {
    settings.FMode = 2;
    settings.FServer = 0;
    settings.RealClockEnabled = settings.ChaosClockEnabled = false;
  }
  void Show(int hour, int minute) {
    SetGameTime(0, 0, hour, minute);
    face->ResetFaceCache();
    ASSERT_TRUE(face->RefreshFace());
    ASSERT_GE(face->BackBuffer.Width(), 80);
  }
  static constexpr TColor kHour = Rgb(0, 0, 200), kMinute = Rgb(0, 150, 150);
};

TEST_F(AnalogTest, HandsPointAtTheTime) {
  Show(3, 0);  // hour hand right, minute hand up
  EXPECT_EQ(At(50, 40), kHour);
  EXPECT_EQ(At(40, 20), kMinute);
  EXPECT_EQ(At(30, 40), kDial);
  const QImage am = face->BackBuffer.Image().copy(0, 44, 80, 18);
  Show(15, 0);  // the same hands, "PM"
  EXPECT_EQ(At(50, 40), kHour);
  EXPECT_EQ(At(40, 20), kMinute);
  EXPECT_NE(face->BackBuffer.Image().copy(0, 44, 80, 18), am);
  EXPECT_GT(Count(face->Skin.AnalogAmPm, 0, 44, 80, 18), 10);

  Show(0, 30);  // minute hand down, hour hand halfway from 12 to 1
  EXPECT_EQ(At(40, 60), kMinute);
  int topX = -1, topY = 80;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80 && topX < 0; ++x)
      if (At(x, y) == kHour) topX = x, topY = y;
  EXPECT_GT(topX, 40);
  EXPECT_LT(topY, 30);
}

TEST_F(AnalogTest, TheMinuteTipAtQuarterPastRoundsHalvesToEven) {
  Show(6, 15);  // tip at (64.5, 39.5): (64, 40)
  EXPECT_EQ(At(64, 40), kMinute);
  EXPECT_EQ(At(66, 40), kDial);
}

TEST_F(AnalogTest, CornersShowTheFullWidthInitialAndTheMaintenanceNote) {
  face->Hooks.MaintenanceState = [] { return 1; };
  settings.RealClockEnabled = true;
  Show(10, 0);
  ASSERT_EQ(face->BackBuffer.Width(), 160);
  const TColor initial = Rgb(0, 40, 80), weekday = Rgb(0, 80, 40);
  EXPECT_GT(Count(initial, 0, 0, 20, 18), 5) << "the server's initial";
  EXPECT_GT(Count(weekday, 60, 0, 20, 18), 5);
  EXPECT_EQ(Count(initial, 80, 0, 20, 18), 0) << "the real clock has no initial";
  EXPECT_GT(Count(weekday, 140, 0, 20, 18), 5);
  auto reddish = [&](int x0) {
    int n = 0;
    for (int y = 60; y < 80; ++y)
      for (int x = x0; x < x0 + 80; ++x) {
        const TColor c = At(x, y);
        n += RedOf(c) > 200 && GreenOf(c) < 120 && BlueOf(c) < 120;
      }
    return n;
  };
  EXPECT_GT(reddish(0), 10) << "the maintenance note";
  EXPECT_EQ(reddish(80), 0) << "no note on the real clock";
}

TEST_F(AnalogTest, DoubleSizeDrawingIsAveragedDown) {
  face->Skin.AntiAlias = true;
  Show(3, 0);
  EXPECT_EQ(face->BackBuffer.Width(), 80);
  std::set<TColor> shades;
  for (int y = 30; y < 50; ++y)
    for (int x = 40; x < 60; ++x) shades.insert(At(x, y));
  EXPECT_GT(shades.size(), 3u) << "edges blend between hand and dial";
}

}  // namespace
}  // namespace kw
