#include "clock/window/u_startupinfo.h"

#include <gtest/gtest.h>

#include "clock/engine/u_orvtime.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;

using test::RecordingTray;

TEST(StartupInfo, GreetingByHour) {
  const std::pair<int, const char*> cases[] = {
      {0, "こんばんわ！"},   {5, "こんばんわ！"},       {6, "おはよう！"},   {8, "おはよう！"},
      {9, "こんにちは！"},   {16, "こんにちは！"},      {17, "一日お疲れ様！"}, {19, "一日お疲れ様！"},
      {20, "こんばんわ！"},  {23, "こんばんわ！"}};
  for (const auto& [hour, greeting] : cases) EXPECT_EQ(GreetingForHour(hour), greeting) << hour;
}

TEST(StartupInfo, VersionsCompareAsNumbers) {
  struct Case {
    const char *own, *latest;
    bool outdated;
  } cases[] = {
      {"1.2.10.0", "1.2.9.9", false}, {"1.2.9.9", "1.2.10.0", true}, {"3.0.0.0", "3.0.0.0", false},
      {"2.9.9.9", "3.0.0.0", true},   {"3.0.0.1", "3.0.0.0", false}, {"3,0,0,0", "3.0.0.1", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IsOutdated(ParseVersion(c.own), ParseVersion(c.latest)), c.outdated) << c.own << " vs " << c.latest;
  EXPECT_EQ(ParseVersion("7.x"), (std::array<int32_t, 4>{7, 0, 0, 0}));
}

TEST(StartupInfo, VersionCheckTellsOfANewerVersion) {
  test::MemoryLog log;
  RecordingTray tray;
  TUpgradeInfo latest{3, 1, 0, 2, 2026, 12, 1, "http://127.0.0.1/dl"};
  EXPECT_TRUE(StartupVersionCheck(latest, "3.0.0.0", log, tray));
  EXPECT_EQ(log.lines, (std::vector<std::string>{"\003clRed", "新しい Kronwel を見つけました！\r",
                                                  ":Current=3.0.0.0\r", ":Latest =3.1.0.2\r", "\003clBlack"}));
  ASSERT_EQ(tray.balloons.size(), 1u);
  EXPECT_EQ(tray.balloons[0].kind, BalloonKind::Warning);
  EXPECT_EQ(tray.balloons[0].title, "更新センサー");
  EXPECT_EQ(tray.balloons[0].timeoutMs, 30000);
  EXPECT_EQ(tray.balloons[0].text,
            "新しい Kronwel が公開されています！\r\n　2026/12/1 に 3.1.0.2 が公開\r\n\r\n"
            "この Kronwel のﾊﾞｰｼﾞｮﾝ：3.0.0.0\r\n\r\nこのメッセージをクリックするとダウンロードページを開きます。");
}

TEST(StartupInfo, VersionCheckUpToDateOrNothingFetched) {
  test::MemoryLog log;
  RecordingTray tray;
  EXPECT_FALSE(StartupVersionCheck(TUpgradeInfo{3, 0, 0, 0, 2026, 1, 1, ""}, "3.0.0.0", log, tray));
  EXPECT_EQ(log.lines, std::vector<std::string>{"この Kronwel は最新です。\r"});
  log.lines.clear();
  EXPECT_FALSE(StartupVersionCheck(TUpgradeInfo{}, "3.0.0.0", log, tray));
  EXPECT_TRUE(log.lines.empty());
  EXPECT_TRUE(tray.balloons.empty());
}

TEST(StartupInfo, LastSyncTimeWithoutStartupSync) {
  const TDateTime now = At(2026, 12, 11, 12, 0);
  EXPECT_EQ(StartupLastSyncTime(now, 30), At(2026, 12, 11, 11, 30));
  EXPECT_EQ(StartupLastSyncTime(now, 1440), now);  // the hours wrap at 24
  EXPECT_EQ(StartupLastSyncTime(now, 90), At(2026, 12, 11, 10, 30));
  EXPECT_EQ(StartupLastSyncTime(now, 1500), At(2026, 12, 11, 11, 0));
}

}  // namespace
}  // namespace kw
