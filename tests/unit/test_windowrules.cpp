#include "clock/window/u_windowrules.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/autostart.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

TEST(WindowRules, KeptOnTheMonitor) {
  const ScreenRect monitor{1920, 0, 1280, 1024};  // the right-hand monitor
  const struct {
    int left, top, wantLeft, wantTop;
  } cases[] = {
      {2000, 100, 2000, 100},                    // inside: stays
      {1800, -20, 1920, 0},                      // past the left and top edges
      {3150, 990, 1920 + 1279 - 400, 1023 - 40},  // past the right and bottom: one pixel short
  };
  for (const auto& c : cases) {
    const KeptPosition kept = KeepOnMonitor(c.left, c.top, 400, 40, monitor, false);
    EXPECT_EQ(kept.left, c.wantLeft) << c.left;
    EXPECT_EQ(kept.top, c.wantTop) << c.top;
  }
  const KeptPosition kept = KeepOnMonitor(3150, 990, 400, 40, monitor, false);
  EXPECT_EQ(kept.debugLines, (std::vector<std::string>{"Current Monitor Area: L=1920 T=0 R=3199 B=1023",
                                                       "CoreForm Position: L=3150 T=990 W=400 H=40",
                                                       "CoreForm Position: L=2799 T=983 W=400 H=40"}));
  const KeptPosition locked = KeepOnMonitor(5000, 5000, 400, 40, monitor, true);
  EXPECT_EQ(locked.left, 5000);
  EXPECT_EQ(locked.debugLines, std::vector<std::string>{"PosLock有効によりWinAutoAdjustスキップ"});
}

TEST(WindowRules, HidingNearTheMouseAndWhileTheGameRuns) {
  const ScreenRect w{100, 100, 400, 40};
  const struct {
    bool game, autoHidden;
    int x, y;
    bool shift, hidden;
  } cases[] = {
      {false, false, 150, 120, false, false},  // no hiding asked for
      {false, true, 150, 120, false, true},    // mouse on the clock
      {false, true, 85, 120, false, true},     // 15 pixels off
      {false, true, 84, 120, false, false},    // 16 pixels off: not near
      {false, true, 150, 120, true, false},    // Shift held
      {true, false, 1000, 1000, false, true},  // the game runs: hidden
      {true, false, 40, 120, true, false},     // Shift and within 64 pixels: shown
      {true, false, 36, 120, true, true},      // 64 pixels off: not near
      {true, false, 150, 120, false, true},    // near without Shift: still hidden
  };
  for (const auto& c : cases)
    EXPECT_EQ(ShouldHideClock(c.game, c.autoHidden, w, c.x, c.y, c.shift), c.hidden) << c.x << "," << c.y;
}

TEST(WindowRules, TopmostUpkeep) {
  const TDateTime now = test::At(2026, 12, 11, 20, 0);
  // The menu held it for 10 seconds: nothing until then.
  TopmostStep step = ReassertTopmostStep(now, now + 10.0 / 86400, true, false);
  EXPECT_FALSE(step.reassert);
  step = ReassertTopmostStep(now + 11.0 / 86400, now + 10.0 / 86400, true, false);
  EXPECT_TRUE(step.reassert);
  EXPECT_EQ(ToMs(step.holdUntil), ToMs(now + 12.0 / 86400));
  EXPECT_FALSE(ReassertTopmostStep(now, 0, false, false).reassert);
  EXPECT_FALSE(ReassertTopmostStep(now, 0, true, true).reassert);  // the converter is open
}

TEST(Autostart, AnEntryInTheAutostartFolder) {
  test::TempDir config;
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  EXPECT_EQ(AutostartEntryPath(), config.path() + "/autostart/Kronwel.desktop");
  ASSERT_TRUE(CreateStartupShortcut("/opt/my \"clock\"/kronwel", "/opt/my \"clock\""));
  const std::string entry = test::ReadFile(AutostartEntryPath());
  EXPECT_NE(entry.find("Exec=\"/opt/my \\\\\"clock\\\\\"/kronwel\"\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("Type=Application\n"), std::string::npos);
  EXPECT_TRUE(DeleteStartupShortcut());
  EXPECT_FALSE(std::filesystem::exists(AutostartEntryPath()));
  EXPECT_TRUE(DeleteStartupShortcut());  // already gone: no error
  unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace kw
