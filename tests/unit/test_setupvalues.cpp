#include "clock/options/u_setupvalues.h"

#include <gtest/gtest.h>

#include "clock/engine/u_orvtime.h"
#include "clock/options/u_aboutinfo.h"
#include "clock/settings/u_appinfos.h"
#include "platform/os_name.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

TEST(OptionValues, ClockDifference) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {
      {-1.5, "1秒500ms 進んでいます"},
      {86400, "1日 遅れています"},
      {0, "誤差無し"},
      {0.0000001, "誤差無し"},
      {3723.004, "1時間2分3秒4ms 遅れています"},
      {-90061, "1日1時間1分1秒 進んでいます"},
  };
  for (const auto& c : cases) EXPECT_EQ(ClockDifferenceText(c.seconds / 86400), c.text) << c.seconds;
}

TEST(OptionValues, CopiedOutAndBack) {
  TAppInfos a;
  a.CPath = "C:\\PELLUCID\\Orvane\\";
  a.AutoInterval = 3;  // a damaged file: the dialog starts within its range
  a.sc2K = 'L';
  a.sc2S = 2 | 1 | 8;
  bool logViewer = true;
  SetupValues v = SetupValuesFrom(a, logViewer);
  EXPECT_EQ(v.ClientProgram, "C:\\PELLUCID\\Orvane\\Orvane.exe");
  EXPECT_EQ(v.AutoInterval, kMinAutoInterval);
  EXPECT_TRUE(v.LogViewer);
  EXPECT_EQ(v.Hotkeys[1], (HotkeyPair{'L', 11}));

  // The radio switch reports a change only when it changed.
  EXPECT_FALSE(ApplySetupValues(v, a, logViewer));
  EXPECT_EQ(a.sc2S, 3);  // only Alt, Ctrl and Shift stay
  v.OrvRadiSensorSW = true;
  v.ClientProgram = "D:\\Games\\Orvane\\Orvane.exe";
  v.LogViewer = false;
  v.SkinName = "夜空";
  EXPECT_TRUE(ApplySetupValues(v, a, logViewer));
  EXPECT_FALSE(ApplySetupValues(v, a, logViewer));
  EXPECT_EQ(a.CPath, "D:\\Games\\Orvane\\");  // only the folder is kept
  EXPECT_FALSE(logViewer);
  EXPECT_EQ(a.CurrentSkinName, "夜空");

  EXPECT_EQ(FolderOfPath("Orvane.exe"), "");
  EXPECT_EQ(SkinIndex({"a", "b"}, "b"), 1);
  EXPECT_EQ(SkinIndex({"a", "b"}, "gone"), 0);
}

TEST(AboutInfo, VersionAgainstTheLatest) {
  TUpgradeInfo latest{2, 1, 41, 1, 2008, 6, 19, "http://example.org/dl"};
  AboutStatus s = AboutVersionStatus("2.1.40.512", latest);
  EXPECT_EQ(s.line1, "新しい Kronwel が存在します！");
  EXPECT_EQ(s.line2, "2008/6/19 に 2.1.41.1 が公開されました");
  EXPECT_TRUE(s.red && s.showDownload && s.enableDownload);

  latest = {2, 1, 40, 512, 2008, 6, 19, ""};
  s = AboutVersionStatus("2.1.40.512", latest);
  EXPECT_EQ(s.line1, "この Kronwel は最新ﾊﾞｰｼﾞｮﾝです");
  EXPECT_EQ(s.line2, "");
  EXPECT_FALSE(s.red || s.showDownload || s.enableDownload);

  latest = {2, 1, 39, 900, 2008, 6, 19, "x"};
  s = AboutVersionStatus("2.1.40.512", latest);
  EXPECT_EQ(s.line1, "デバッグバージョン");
  EXPECT_EQ(s.line2, "2008/6/19 に 2.1.39.900 が公開されています");
  EXPECT_FALSE(s.red || s.showDownload);

  s = AboutVersionStatus("2.1.40.512", TUpgradeInfo{});
  EXPECT_EQ(s.line1, "ｱｯﾌﾟｸﾞﾚｰﾄﾞ情報が取得できませんでした");
  EXPECT_TRUE(s.red);
  EXPECT_FALSE(s.showDownload || s.enableDownload);
}

TEST(AboutInfo, SurveyAddressAndSystemName) {
  EXPECT_EQ(SurveyAddress("http://q/?v=$VERSION$&os=$OS$&again=$OS$", "3.0.0.0", "Debian GNU/Linux 12 (bookworm)"),
            "http://q/?v=3.0.0.0&os=Debian GNU/Linux 12 (bookworm)&again=Debian GNU/Linux 12 (bookworm)");
  test::TempDir dir;
  test::WriteBytes(dir.File("os-release"), "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
  EXPECT_EQ(WindowsName(dir.File("os-release")), "Debian GNU/Linux 12 (bookworm)");
  test::WriteBytes(dir.File("os-release"), "NAME=Fedora\n");
  EXPECT_EQ(WindowsName(dir.File("os-release")), "Fedora");
  EXPECT_EQ(WindowsName(dir.File("none")), "Linux");
  EXPECT_FALSE(IsWindowsVista());
}

}  // namespace
}  // namespace kw
