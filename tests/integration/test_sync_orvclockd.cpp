// The clock's synchronisation against the real orvclockd on loopback: the sync page, the
// maintenance page, the status and version files, the remote update, and what the user is
// told.
#include <gtest/gtest.h>

#include "clock/engine/u_orvtime.h"
#include "clock/window/u_orvsync.h"
#include "common/clock.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using server::test::OrvclockdProcess;
using server::test::RunOrvclockd;

// orvclockd's demo: three servers (Diana 天の日 6:00, Pallas 水の日 12:30, Elmo 沌の日 21:15 at
// its start), the user demo/demo, and the clock's program folder pointing at it.
class SyncAgainstOrvclockd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(demo.port(), 0) << demo.firstLine();
    clock.Set(SystemClock().Now());
  }
  std::string Folder() const { return dir.File("demo/kronwel"); }
  int Admin(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", dir.File("demo/orvclockd.db")});
    return RunOrvclockd(args);
  }
  SyncEnv Env(TOrvTime& orv) {
    return SyncEnv{.orv = orv,
                   .log = log,
                   .tray = tray,
                   .notifier = notifier,
                   .globalBalloon = true,
                   .playSoundEvent = [this](int32_t e) { sounds.push_back(e); },
                   .sleepMs = [this](int ms) { slept += ms; }};
  }

  test::TempDir dir;
  OrvclockdProcess demo{{"demo", "--dir", dir.File("demo"), "--port", "0"}};
  ManualClock clock;
  test::MemoryLog log;
  test::RecordingTray tray;
  test::RecordingNotifier notifier;
  std::vector<int32_t> sounds;
  int slept = 0;
};

TEST_F(SyncAgainstOrvclockd, SyncPageSetsTheBasesAndTellsChangedFromUnchanged) {
  TOrvTime orv(Folder(), clock, &log);
  orv.ProgramVersion = "3.0.0.0";
  ASSERT_EQ(orv.SyncGameClock(), 2);
  const int32_t expected[] = {6 * 3600, 3 * 86400 + 12 * 3600 + 30 * 60, 6 * 86400 + 21 * 3600 + 15 * 60};
  for (int32_t i = 0; i < 3; ++i) {
    // The demo's bases are whole seconds at its start, a moment before the test's now.
    const int32_t s = orv.GameSecondsOfWeek(i, orv.Servers[i].RealBase);
    EXPECT_EQ(s, expected[i]) << i;
    EXPECT_LT(std::abs(ToMs(orv.Servers[i].RealBase) - ToMs(clock.Now())), 5000) << i;
  }
  EXPECT_EQ(orv.SyncGameClock(), 0);

  // A second engine sends a new base for Pallas; the first sees a changed base.
  clock.AdvanceMs(20000);
  TOrvTime sender(Folder(), clock, &log);
  const DateTimeParts at = DecodeDateTime(clock.Now());
  const std::string answer = sender.RequestRemoteUpdate(1, 4, 8, 45, at.year, at.month, at.day, at.hour,
                                                        at.minute, at.second, 0);
  ASSERT_FALSE(answer.empty()) << "the remote update was refused";
  // Only the last server decides the code: Pallas changed, Elmo did not.
  EXPECT_EQ(orv.SyncGameClock(), 0);
  EXPECT_EQ(orv.Servers[1].GameBase, (TGameWeekTime{4, 8, 45, 0}));
  EXPECT_EQ(orv.GameSecondsOfWeek(1, orv.Servers[1].RealBase), 4 * 86400 + 8 * 3600 + 45 * 60);

  // Refused without credentials, and not sent at all while updates are off.
  sender.UpdateAuthPass = "wrong";
  EXPECT_EQ(sender.RequestRemoteUpdate(1, 4, 8, 45, at.year, at.month, at.day, at.hour, at.minute, at.second, 0), "");
  sender.UpdateEnabled = false;
  sender.UpdateAuthPass = "demo";
  EXPECT_EQ(sender.RequestRemoteUpdate(1, 4, 8, 45, at.year, at.month, at.day, at.hour, at.minute, at.second, 0), "");
}

TEST_F(SyncAgainstOrvclockd, MaintenanceStatusAndVersion) {
  ASSERT_EQ(Admin({"set-maintenance", "regular", "4", "09:00:00", "13:30:00", "定期メンテ"}), 0);
  ASSERT_EQ(Admin({"set-maintenance", "slot", "3", "2030/01/02", "10:00:00", "18:00:00", "臨時メンテ"}), 0);
  ASSERT_EQ(Admin({"set-maintenance", "sntp", "127.0.0.1:1123", "ntp.example", "1500"}), 0);
  ASSERT_EQ(Admin({"set-status", "Pallas", "1"}), 0);

  TOrvTime orv(Folder(), clock, &log);
  ASSERT_TRUE(orv.FetchMaintenanceInfo());
  EXPECT_EQ(orv.RegularMaintWeekday, 4);
  EXPECT_EQ(orv.RegularMaintTitle, "定期メンテ");
  EXPECT_EQ(orv.TempMaintenanceTitle(3), "臨時メンテ");
  EXPECT_EQ(ToMs(orv.TempMaintenanceStart(3)), ToMs(test::At(2030, 1, 2, 10)));
  EXPECT_EQ(orv.SntpServer(1), "127.0.0.1:1123");
  EXPECT_EQ(orv.SntpServer(2), "ntp.example");
  EXPECT_EQ(orv.SntpServer(3), "");
  EXPECT_EQ(orv.SntpTimeout, 1500);
  const MaintenanceBox box = MaintenanceInfo(orv);
  EXPECT_NE(box.text.find("　毎週水曜日 09時00分 から 13時30分 の間に行われます。"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("　01月02日 10時00分 より 臨時メンテ\r\n"), std::string::npos) << box.text;

  ASSERT_TRUE(orv.FetchServersStatus());
  EXPECT_FALSE(orv.IsServerDown(0));
  EXPECT_TRUE(orv.IsServerDown(1));
  EXPECT_FALSE(orv.IsServerDown(2));
  // A list produced more than an hour before now says nothing.
  clock.AdvanceMs(61 * 60000);
  EXPECT_FALSE(orv.FetchServersStatus());
  EXPECT_FALSE(orv.ServersStatus.Valid);
  for (int32_t i = 0; i < 3; ++i) EXPECT_FALSE(orv.IsServerDown(i));

  TUpgradeInfo latest;
  latest.V1 = 99;
  orv.GetUpgradeInfo(latest);
  EXPECT_EQ((std::array{latest.V1, latest.V2, latest.V3, latest.V4}), (std::array{3, 0, 0, 0}));
  EXPECT_FALSE(latest.Url.empty());

  // A server that went away leaves every fetched value as it was.
  demo.Kill(SIGTERM);
  EXPECT_FALSE(orv.FetchMaintenanceInfo());
  EXPECT_EQ(orv.SntpServer(1), "127.0.0.1:1123");
  EXPECT_EQ(orv.SyncGameClock(), 9);
  orv.GetUpgradeInfo(latest);
  EXPECT_EQ(latest.V1, 0);
}

TEST_F(SyncAgainstOrvclockd, WhatTheUserIsTold) {
  TOrvTime orv(Folder(), clock, &log);
  SyncEnv env = Env(orv);
  TDateTime lastSync = 0;

  // A changed clock: the report balloon, the sound, a pause for reading.
  OrvSync(env, false, lastSync);
  EXPECT_EQ(lastSync, clock.Now());
  ASSERT_FALSE(tray.balloons.empty());
  const auto& report = tray.balloons.back();
  EXPECT_EQ(report.kind, BalloonKind::Information);
  EXPECT_EQ(report.title, "Kronwel");
  EXPECT_EQ(report.timeoutMs, 10000);
  EXPECT_TRUE(report.text.starts_with("時計サーバと同期しました\r\n\r\nDiana\r\n  天の日6:0")) << report.text;
  EXPECT_NE(report.text.find("秒前）"), std::string::npos) << report.text;
  EXPECT_EQ(sounds, (std::vector<int32_t>{kUcSync}));
  EXPECT_EQ(slept, 4000);  // after the PC check's balloon and after the report
  EXPECT_TRUE(log.Contains(":Clock sync to server!!\r"));
  EXPECT_TRUE(log.ContainsLineStartingWith(":Diana Velmora Time 天の日6:0"));
  // No SNTP servers are known: the PC check failed, in red, and with a warning balloon.
  EXPECT_TRUE(log.Contains("[はわわ]　標準時刻が分からないよぉ！\r"));
  EXPECT_EQ(tray.balloons.front().text, "パソコンの時計合わせ（現実時刻）に失敗しました。");

  // Five seconds later the server is spared.
  tray.balloons.clear();
  clock.AdvanceMs(5000);
  OrvSync(env, false, lastSync);
  ASSERT_EQ(tray.balloons.size(), 1u);
  EXPECT_EQ(tray.balloons[0].kind, BalloonKind::Warning);
  EXPECT_EQ(tray.balloons[0].text,
            "負荷調整のため、サーバへの通信を制限中です。\r\n時計合わせは10秒以上間隔をあけて下さい。");
  EXPECT_EQ(ToMs(lastSync), ToMs(clock.Now()) - 5000);
  EXPECT_TRUE(log.Contains(">Use Request Buffer...\r"));
  // Without balloons the refusal is a box.
  env.globalBalloon = false;
  OrvSync(env, false, lastSync);
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_EQ(notifier.notices[0].kind, NoticeKind::Warning);
  env.globalBalloon = true;

  // Nothing changed: the confirmation and its own sound; silently only the log.
  tray.balloons.clear();
  sounds.clear();
  clock.AdvanceMs(11000);
  OrvSync(env, false, lastSync);
  EXPECT_EQ(tray.balloons.back().text, "同期確認成功");
  EXPECT_EQ(sounds, (std::vector<int32_t>{kUcSyncNoChange}));
  tray.balloons.clear();
  sounds.clear();
  clock.AdvanceMs(11000);
  OrvSync(env, true, lastSync);
  EXPECT_TRUE(tray.balloons.empty());
  EXPECT_TRUE(sounds.empty());
  EXPECT_TRUE(log.Contains(":Data is no change on Primary server\r"));

  // The server is gone: the failure notice; the time of the attempt still counts.
  demo.Kill(SIGTERM);
  clock.AdvanceMs(11000);
  OrvSync(env, false, lastSync);
  EXPECT_EQ(tray.balloons.back().kind, BalloonKind::Error);
  EXPECT_EQ(tray.balloons.back().text, "時計合わせに失敗しました。");
  EXPECT_TRUE(log.Contains("[はわわ]　時計合わせに失敗しちゃいました...\r"));
  EXPECT_EQ(lastSync, clock.Now());
}

}  // namespace
}  // namespace kw
