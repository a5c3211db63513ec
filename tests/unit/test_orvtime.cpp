#include "clock/engine/u_orvtime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "common/ini_file.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;
using test::TempDir;
using test::WriteWindowsFile;

TDateTime PlusMs(TDateTime t, int64_t ms) { return t + static_cast<double>(ms) / kMsPerDay; }

// An instant a whole number of real milliseconds from t, and a quarter millisecond more, so
// that the double's rounding cannot take it below the whole count.
TDateTime AfterMs(TDateTime t, int64_t ms) {
  return t + (static_cast<double>(ms) + (ms < 0 ? -0.25 : 0.25)) / kMsPerDay;
}

constexpr const char* kThreeServers =
    "[ServerInfo]\nServers=3\n"
    "[ServerInfo1]\nServerName=ディアナ\nHTMLHead3=Diana:\n"
    "[ServerInfo2]\nServerName=ポーラ\nHTMLHead3=Pola:\n"
    "[ServerInfo3]\nServerName=エリス\nHTMLHead3=Eris:\n";

class OrvTimeTest : public ::testing::Test {
 protected:
  void WriteHttpCtrl(const std::string& text) { WriteWindowsFile(dir.File("httpctrl.cfg"), text); }
  TOrvTime Make() { return TOrvTime(dir.path(), clock, &log); }

  TempDir dir;
  ManualClock clock{At(2026, 12, 11, 20, 0)};
  test::MemoryLog log;
};

TEST(GameTime, ForwardFromABase) {
  const TGameWeekTime base{};  // 天の日 00:00:00
  const TDateTime rb = At(2026, 12, 11, 20, 0);
  struct Case {
    int64_t realMs;
    int32_t gameSeconds;
  } cases[] = {
      {0, 0},
      {3600, 60},              // 00:01
      {5184000, 86400},        // 冥の日 00:00
      {36288000, 0},           // the next week starts
      {-3600, 604800 - 60},    // before the base
      {59, 0},                 // 983.33 game ms
      {60, 1},                 // exactly 1000 game ms
      {36288000 - 60, 604799},
      {-36288000 * 3, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TOrvTime::WeekSecondsFromBase(base, rb, AfterMs(rb, c.realMs)), c.gameSeconds) << c.realMs;

  EXPECT_EQ(TOrvTime::WeekSecondsFromBase(base, rb, 1e300), 0);  // a damaged clock offset

  const TGameWeekTime sixth{6, 23, 59, 0};
  EXPECT_EQ(TOrvTime::WeekSecondsFromBase(sixth, rb, AfterMs(rb, 3600)), 0);
  EXPECT_EQ(TOrvTime::WeekSecondsFromBase(sixth, 0, rb), 0);  // no base
}

TEST(GameTime, MillisecondsAreTruncatedFromTheDouble) {
  const TDateTime rb = At(2026, 12, 11, 20, 0);
  TDateTime t = rb + 3600.0 / kMsPerDay;
  while (static_cast<double>(kMsPerDay) * (t - rb) >= 3600.0) t = std::nextafter(t, 0.0);
  // 3599.999… ms count as 3599 ms: 59.98 game seconds.
  EXPECT_EQ(TOrvTime::WeekSecondsFromBase({}, rb, t), 59);
}

TEST_F(OrvTimeTest, ReverseMapping) {
  WriteHttpCtrl(kThreeServers);
  TOrvTime orv = Make();
  const TDateTime now = clock.Now();
  orv.Servers[0].RealBase = PlusMs(now, -1234567);
  orv.Servers[0].GameBase = {2, 10, 30, 0};
  const int32_t cur = orv.GameSecondsOfWeek(0, now);
  auto gameTime = [](int64_t s) {
    s = ((s % kGameWeekSeconds) + kGameWeekSeconds) % kGameWeekSeconds;
    return TGameWeekTime{static_cast<int32_t>(s / 86400), static_cast<int32_t>(s / 3600 % 24),
                         static_cast<int32_t>(s / 60 % 60), static_cast<int32_t>(s % 60)};
  };

  EXPECT_EQ(orv.NextRealTime(0, gameTime(cur)), now);
  // The game second just passed comes round again a game week (36288 real s) later.
  const TDateTime passed = orv.NextRealTime(0, gameTime(cur - 1));
  EXPECT_NEAR((passed - now) * 86400, 36288 - 0.06, 0.002);
  for (int64_t ahead : {1, 59, 3600, 86400, 300000, 604799}) {
    const TDateTime t = orv.NextRealTime(0, gameTime(cur + ahead));
    EXPECT_GE(t, now);
    EXPECT_LE((t - now) * 86400, 36288.0);
    EXPECT_EQ(orv.GameSecondsOfWeek(0, t), (cur + ahead) % kGameWeekSeconds) << ahead;
  }

  orv.Servers[1].RealBase = 0;
  EXPECT_EQ(orv.NextRealTime(1, {}), 0);
  EXPECT_EQ(orv.NextRealTime(3, {}), 0);
  EXPECT_EQ(orv.GameSecondsOfWeek(-1, now), 0);
}

TEST_F(OrvTimeTest, ChaosPhases) {
  const TOrvTime orv = Make();
  struct Case {
    TDateTime t;
    int32_t phase;
  } cases[] = {
      {At(2026, 12, 12, 17, 39), 0},  // Saturday
      {At(2026, 12, 12, 17, 39, 59, 999), 0},
      {At(2026, 12, 12, 17, 40), 1},
      {At(2026, 12, 12, 17, 49, 59, 999), 1},
      {At(2026, 12, 12, 17, 50), 2},
      {At(2026, 12, 12, 18, 0), 3},
      {At(2026, 12, 12, 19, 30), 3},
      {At(2026, 12, 12, 19, 31), 0},
      {At(2026, 12, 12, 21, 45), 1},
      {At(2026, 12, 13, 23, 30), 3},  // Sunday
      {At(2026, 12, 13, 23, 31), 0},
      {At(2026, 12, 11, 17, 45), 0},  // Friday
  };
  for (const Case& c : cases) EXPECT_EQ(orv.ChaosPhase(c.t), c.phase) << FormatIniDateTime(c.t);
}

TEST_F(OrvTimeTest, NextChaosBoundary) {
  clock.Set(At(2026, 12, 12, 17, 45));
  const TOrvTime orv = Make();
  struct Case {
    int32_t k;
    TDateTime t, expected;
  } cases[] = {
      {0, At(2026, 12, 13, 23, 31), At(2026, 12, 19, 17, 40)},  // Sunday night: next Saturday
      {0, At(2026, 12, 11, 12, 0), At(2026, 12, 12, 17, 40)},
      {0, At(2026, 12, 12, 17, 40), At(2026, 12, 12, 17, 40)},  // the instant itself counts
      {1, At(2026, 12, 12, 17, 45), At(2026, 12, 12, 17, 50)},
      {3, At(2026, 12, 12, 19, 30, 0, 1), At(2026, 12, 12, 21, 30)},
      {3, At(2026, 12, 13, 23, 0), At(2026, 12, 13, 23, 30)},
      {7, At(2026, 12, 12, 17, 41), At(2026, 12, 12, 19, 40)},  // out of range: boundary 0
      {1, 0, At(2026, 12, 12, 17, 50)},                          // 0: now
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatIniDateTime(orv.NextChaosBoundary(c.k, c.t)), FormatIniDateTime(c.expected))
        << c.k << " " << FormatIniDateTime(c.t);
  EXPECT_EQ(orv.ChaosPhase(), 1);
}

TEST_F(OrvTimeTest, PositionalParsers) {
  const TOrvTime orv = Make();
  //                    1        10        20        30        40
  //                    |........|.........|.........|.........|.
  const std::string line = "RealBase: 2026121120301550 20261211193000";
  EXPECT_EQ(orv.ParseRealBase(line), At(2026, 12, 11, 20, 30, 15, 50));
  EXPECT_EQ(orv.ParseRealLast(line), At(2026, 12, 11, 19, 30));
  EXPECT_EQ(orv.ParseGameBase("Orv:1345 3"), (TGameWeekTime{3, 13, 45, 0}));

  // Short lines and fields that are not numbers take the defaults.
  EXPECT_EQ(orv.ParseRealBase("RealBase: 2026"), At(2026, 1, 1));
  EXPECT_EQ(orv.ParseRealBase("RealBase: 2026xx11203015"), At(2026, 1, 11, 20, 30, 15));
  EXPECT_EQ(orv.ParseGameBase("Orv:13"), (TGameWeekTime{0, 13, 0, 0}));
  EXPECT_EQ(orv.ParseGameBase(""), TGameWeekTime{});
  // No year, or a date that does not exist: no base.
  EXPECT_EQ(orv.ParseRealBase(""), 0);
  EXPECT_EQ(orv.ParseRealBase("RealBase: 20261311203015"), 0);
  EXPECT_EQ(orv.ParseRealLast("RealBase: 2026121120301550 20261211256000"), 0);
}

TEST_F(OrvTimeTest, ReadsTheServerTableAndEndpoints) {
  WriteHttpCtrl(std::string(kThreeServers) +
                "[RealBase3]\nOffset=1\nYp=3\nMSl=3\n"
                "[OrvBase3]\nOffset=2\nWp=11\n"
                "[RealLast3]\nOffset=-1\nSl=1\n"
                "[Interface]\nAgentName3=Agent\nUpdateEnabled=1\nUpdateURL=http://u/\nUpgradeCheck=http://v/\n"
                "UpgradeInfo2=http://w/\nRemoteOption=http://m/\n"
                "[Interface1]\nSyncURL=http://127.0.0.1:8080/sync\nRefererEmu=http://r/\nHttpAuthEnabled=1\n"
                "HttpUsername=me\nHttpPassword=pw\n"
                "[Interface2]\nSyncURL=http://127.0.0.1:8081/sync\n");
  const TOrvTime orv = Make();
  ASSERT_EQ(orv.ServerCount, 3);
  EXPECT_EQ(orv.ServerName(1), "ポーラ");
  EXPECT_EQ(orv.ServerName(3), "");
  EXPECT_EQ(orv.Servers[2].HeadMarker, "Eris:");
  EXPECT_EQ(orv.Servers[0].RealBase, clock.Now());
  EXPECT_EQ(orv.Servers[0].GameBase, TGameWeekTime{});
  EXPECT_EQ(orv.RealBaseOffset, 1);
  EXPECT_EQ(orv.RealBasePos[0], 3);
  EXPECT_EQ(orv.RealBasePos[1], 4);
  EXPECT_EQ(orv.RealBasePos[13], 3);
  EXPECT_EQ(orv.OrvBaseOffset, 2);
  EXPECT_EQ(orv.OrvBasePos[4], 11);
  EXPECT_EQ(orv.RealLastOffset, -1);
  EXPECT_EQ(orv.RealLastPos[11], 1);
  EXPECT_EQ(orv.AgentName, "Agent");
  EXPECT_TRUE(orv.UpdateEnabled);
  EXPECT_EQ(orv.UpdateURL, "http://u/");
  EXPECT_EQ(orv.UpgradeCheck, "http://v/");
  EXPECT_EQ(orv.UpgradeInfo2, "http://w/");
  EXPECT_EQ(orv.RemoteOption, "http://m/");
  EXPECT_EQ(orv.SyncURL[1], "http://127.0.0.1:8081/sync");
  EXPECT_EQ(orv.RefererEmu[0], "http://r/");
  EXPECT_TRUE(orv.HttpAuth[0].HttpAuthEnabled);
  EXPECT_EQ(orv.HttpAuth[0].HttpPassword, "pw");
  EXPECT_FALSE(orv.HttpAuth[1].HttpAuthEnabled);
  EXPECT_EQ(orv.SntpServer(1), "");
  EXPECT_EQ(orv.SntpTimeout, 1000);
  EXPECT_EQ(orv.ServerSignature(), "DPE");
}

TEST_F(OrvTimeTest, MissingOrBadHttpCtrlGivesDefaults) {
  for (const char* text : {"", "[ServerInfo]\nServers=abc\n", "[ServerInfo]\nServers=-2\n",
                           "[ServerInfo]\nServers=100000000\n", "\x01\x02garbage"}) {
    if (*text) WriteHttpCtrl(text);
    TOrvTime orv = Make();
    EXPECT_EQ(orv.ServerCount, 3) << text;
    ASSERT_EQ(orv.Servers.size(), 3u);
    EXPECT_EQ(orv.ServerName(0), "Error in httpctrl.cfg");
    EXPECT_EQ(orv.Servers[0].HeadMarker, "Error in httpctrl.cfg");
    EXPECT_EQ(orv.SyncURL[0], "");
    EXPECT_EQ(orv.AgentName, "KronwelClient3");
    EXPECT_EQ(orv.RealBasePos, (std::array<int32_t, 14>{11, 4, 15, 2, 17, 2, 19, 2, 21, 2, 23, 2, 25, 2}));
    EXPECT_EQ(orv.RegularMaintWeekday, 3);
    EXPECT_EQ(orv.RegularMaintTitle, "定期メンテナンス");
    EXPECT_EQ(orv.SyncGameClock(), 9);
  }
}

TEST(ServerChoiceRemap, FollowsTheServerLetter) {
  struct Case {
    int32_t v;
    const char* oldSig;
    const char* newSig;
    int32_t notFound, expected;
  } cases[] = {
      {1, "DPE", "DPEX", 3, 1},
      {3, "DPE", "DPEX", 3, 4},   // automatic stays automatic
      {0, "DPE", "PE", 2, 2},     // D is gone
      {1, "DPE", "PE", 2, 0},
      {2, "DPE", "EPE", 3, 0},    // the first of two servers with the same letter
      {0, "DPE", "PE", 99, 99},   // the window's choice: all servers
      {99, "DPE", "PE", 99, 2},
      {999, "DPE", "PE", 99, 2},
      {-1, "DPE", "PE", 2, 2},
      {1, "D冥E", "冥DE", 3, 0},  // letters, not bytes
  };
  for (const Case& c : cases)
    EXPECT_EQ(RemapServerChoice(c.v, c.oldSig, c.newSig, c.notFound), c.expected)
        << c.v << " " << c.oldSig << "->" << c.newSig;
}

TEST_F(OrvTimeTest, ChangedServerTableRemapsStoredChoices) {
  WriteHttpCtrl("[ServerInfo]\nServers=4\n"
                "[ServerInfo1]\nHTMLHead3=Diana\n[ServerInfo2]\nHTMLHead3=Pola\n"
                "[ServerInfo3]\nHTMLHead3=Eris\n[ServerInfo4]\nHTMLHead3=Xeno\n");
  WriteWindowsFile(dir.File("kronwel.ini"),
                   "[AlarmSets]\nAlarmNum=3\nAlarm1Server=1\nAlarm2Server=3\n"
                   "[Window]\nFServer=999\n[OrvTimeSystemCache]\nServerNames=DPE\n");
  EXPECT_TRUE(Make().ServerTableChanged);
  const IniFile ini(dir.File("kronwel.ini"));
  EXPECT_EQ(ini.ReadInteger("AlarmSets", "Alarm1Server", -1), 1);
  EXPECT_EQ(ini.ReadInteger("AlarmSets", "Alarm2Server", -1), 4);
  EXPECT_EQ(ini.ReadInteger("AlarmSets", "Alarm3Server", -1), 4);  // missing: 3, automatic
  EXPECT_EQ(ini.ReadInteger("Window", "FServer", -1), 4);
  EXPECT_EQ(ini.ReadString("OrvTimeSystemCache", "ServerNames", ""), "DPEX");
  EXPECT_TRUE(log.Contains(":Server list changed: DPE -> DPEX\r"));

  // The next start finds the table unchanged.
  EXPECT_FALSE(Make().ServerTableChanged);
  EXPECT_EQ(IniFile(dir.File("kronwel.ini")).ReadInteger("AlarmSets", "Alarm2Server", -1), 4);
}

TEST_F(OrvTimeTest, AFirstStartHasNothingToLookOver) {
  WriteHttpCtrl(kThreeServers);  // DPE, as the default signature
  EXPECT_FALSE(Make().ServerTableChanged);
  std::filesystem::remove(dir.File("kronwel.ini"));
  WriteHttpCtrl("[ServerInfo]\nServers=2\n[ServerInfo1]\nHTMLHead3=Xeno\n[ServerInfo2]\nHTMLHead3=Yore\n");
  EXPECT_FALSE(Make().ServerTableChanged);  // changed, but there were no settings yet
  EXPECT_EQ(IniFile(dir.File("kronwel.ini")).ReadString("OrvTimeSystemCache", "ServerNames", ""), "XY");
}

TEST_F(OrvTimeTest, UnwritableSettingsSkipTheServerCheck) {
  WriteHttpCtrl(kThreeServers);
  std::filesystem::create_directory(dir.File("kronwel.ini.tmp"));
  WriteWindowsFile(dir.File("kronwel.ini"), "[OrvTimeSystemCache]\nServerNames=XY\n");
  const TOrvTime orv = Make();
  EXPECT_EQ(orv.ServerCount, 3);
  EXPECT_EQ(IniFile(dir.File("kronwel.ini")).ReadString("OrvTimeSystemCache", "ServerNames", ""), "XY");
  EXPECT_FALSE(orv.ServerTableChanged);  // nothing was remapped, so nothing to check
}

constexpr const char* kSyncServers =
    "[ServerInfo]\nServers=3\n"
    "[ServerInfo1]\nServerName=ディアナ\nHTMLHead3=DIA:\n"
    "[ServerInfo2]\nServerName=ポーラ\nHTMLHead3=POL:\n"
    "[ServerInfo3]\nServerName=エリス\nHTMLHead3=ERI:\n";

// One sync-page line at the default positions.
std::string SyncLine(const std::string& marker, const char* game, const char* base, const char* last) {
  return marker + game + base + " " + last + " name";
}

TEST_F(OrvTimeTest, SyncPageSetsEveryServer) {
  WriteHttpCtrl(kSyncServers);
  TOrvTime orv = Make();
  for (auto& s : orv.Servers) s.RealLast = At(2026, 12, 11, 18, 0);
  const std::string page = "<html><pre>\n" +
                           SyncLine("DIA:", "070503", "2026121120000050", "20261211180000") + "\n" +
                           SyncLine("POL:", "230000", "2026121119000000", "20261211190000") + "\n" +
                           SyncLine("ERI:", "000006", "2026121118000099", "20261211180000") + "\n" +
                           "</pre></html>";
  // The last server's entry is unchanged: 0 from the primary address, 1 from the secondary.
  EXPECT_EQ(orv.ApplySyncPage(page, 1), 0);
  EXPECT_EQ(ToMs(orv.Servers[0].RealBase), ToMs(At(2026, 12, 11, 20, 0, 0, 50)));
  EXPECT_EQ(orv.Servers[0].GameBase, (TGameWeekTime{3, 7, 5, 0}));
  EXPECT_EQ(ToMs(orv.Servers[1].RealLast), ToMs(At(2026, 12, 11, 19, 0)));
  EXPECT_EQ(orv.Servers[2].GameBase, (TGameWeekTime{6, 0, 0, 0}));
  EXPECT_EQ(orv.ApplySyncPage(page, 2), 1);

  // The last server changed: 2 or 3.
  std::string changed = page;
  changed.replace(changed.rfind("20261211180000"), 14, "20261211193000");
  EXPECT_EQ(orv.ApplySyncPage(changed, 2), 3);
  orv.Servers[2].RealLast = 0;
  EXPECT_EQ(orv.ApplySyncPage(changed, 1), 2);

  // Two lines with the same marker: the later one counts.
  const std::string twice = page + "\n" + SyncLine("ERI:", "120000", "2026121120000000", "20261211200000");
  EXPECT_EQ(orv.ApplySyncPage(twice, 1), 2);
  EXPECT_EQ(orv.Servers[2].GameBase.Hour, 12);

  // A server missing from the page loses its base and makes the code 0.
  const std::string noEris = SyncLine("DIA:", "070503", "2026121120000050", "20261211210000") + "\n" +
                             SyncLine("POL:", "230000", "2026121119000000", "20261211190000");
  EXPECT_EQ(orv.ApplySyncPage(noEris, 1), 2 - 2);
  EXPECT_EQ(orv.Servers[2].RealBase, 0);
  EXPECT_EQ(orv.GameSecondsOfWeek(2, clock.Now()), 0);
}

TEST_F(OrvTimeTest, ABrokenSyncPageChangesNoServer) {
  WriteHttpCtrl(kSyncServers + std::string("[RealLast3]\nOffset=1\n"));
  TOrvTime orv = Make();
  const auto before = orv.Servers;
  // The line below each header carries the last-adjusted time.
  const auto last = [](const char* t) { return SyncLine("----", "000000", "0000000000000000", t) + "\n"; };
  const std::string good = SyncLine("DIA:", "070503", "2026121120000050", "") + "\n" + last("20261211200000");
  const std::string cases[] = {
      // The last server's last-adjusted line would be past the last line.
      good + SyncLine("POL:", "070503", "2026121120000050", "") + "\n" + "x\n" +
          SyncLine("ERI:", "070503", "2026121120000050", ""),
      // A month 13 in the last server's base, after two good servers.
      good + SyncLine("POL:", "070503", "2026121120000050", "") + "\n" + last("20261211200000") +
          SyncLine("ERI:", "070503", "2026131120000050", "") + "\n" + last("20261211200000"),
      // A last-adjusted time on 30 February.
      good + SyncLine("POL:", "070503", "2026121120000050", "") + "\n" + last("20260230200000") +
          SyncLine("ERI:", "070503", "2026121120000050", "") + "\n" + last("20261211200000"),
  };
  for (const std::string& page : cases) {
    std::string error;
    EXPECT_EQ(orv.ApplySyncPage(page, 1, &error), 9) << page;
    EXPECT_FALSE(error.empty());
    for (size_t i = 0; i < before.size(); ++i) {
      EXPECT_EQ(orv.Servers[i].RealBase, before[i].RealBase);
      EXPECT_EQ(orv.Servers[i].RealLast, before[i].RealLast);
    }
  }
  // With the offset the same page shape is good.
  const std::string page = good + SyncLine("POL:", "070503", "2026121120000050", "") + "\n" +
                           last("20261211200000") + SyncLine("ERI:", "070503", "2026121120000050", "") +
                           "\n" + last("20261211210000");
  EXPECT_EQ(orv.ApplySyncPage(page, 1), 2);
}

TEST_F(OrvTimeTest, MaintenanceState) {
  TOrvTime orv = Make();  // Tuesday 10:00-15:00
  const struct {
    TDateTime now;
    int32_t state;
  } regular[] = {
      {At(2026, 12, 8, 9, 59, 59), 0},  // Tuesday
      {At(2026, 12, 8, 10, 0, 0), -1},
      {At(2026, 12, 8, 14, 59, 59), -1},
      {At(2026, 12, 8, 15, 0, 0), 0},   // the end is excluded
      {At(2026, 12, 9, 11, 0, 0), 0},   // Wednesday
  };
  for (const auto& c : regular) {
    clock.Set(c.now);
    EXPECT_EQ(orv.MaintenanceState(), c.state) << FormatIniDateTime(c.now);
  }

  // A temporary slot wins over the regular maintenance; a later slot over an earlier one.
  orv.TempMaintStart[0] = At(2026, 12, 8, 9);
  orv.TempMaintEnd[0] = At(2026, 12, 8, 12);
  clock.Set(At(2026, 12, 8, 10));
  EXPECT_EQ(orv.MaintenanceState(), 1);
  orv.TempMaintStart[1] = At(2026, 12, 8, 8);
  orv.TempMaintEnd[1] = At(2026, 12, 8, 11);
  orv.TempMaintStart[4] = At(2026, 12, 8, 9, 30);
  orv.TempMaintEnd[4] = At(2026, 12, 8, 10, 30);
  EXPECT_EQ(orv.MaintenanceState(), 5);
  clock.Set(At(2026, 12, 8, 12));
  EXPECT_EQ(orv.MaintenanceState(), -1);  // slots over, the regular one goes on

  // The clock offset counts.
  orv.TempMaintStart[1] = orv.TempMaintEnd[1] = orv.TempMaintStart[4] = orv.TempMaintEnd[4] = 0;
  clock.Set(At(2026, 12, 8, 8, 59, 59));
  orv.TimeAdjustOffset = 2.0 / 86400;
  EXPECT_EQ(orv.MaintenanceState(), 1);
}

TEST_F(OrvTimeTest, ServerDownByTheStatusList) {
  WriteHttpCtrl(kThreeServers);
  TOrvTime orv = Make();
  for (int32_t i = -1; i <= 3; ++i) EXPECT_FALSE(orv.IsServerDown(i)) << "no list: nothing is down";

  orv.ServersStatus.Valid = true;
  for (int32_t i = -1; i <= 3; ++i) EXPECT_TRUE(orv.IsServerDown(i)) << "an empty list: all down";

  orv.ServersStatus.Servers = {{"DIANA", 1}, {"ディアナ", 2}, {"ポーラ", 1}};
  orv.ServerNames[0] = "ディアナ";
  orv.ServerNames[2] = "diana";
  orv.ServersStatus.Servers.push_back({"Diana", 2});
  EXPECT_FALSE(orv.IsServerDown(0));
  EXPECT_TRUE(orv.IsServerDown(1));   // listed, not open
  EXPECT_FALSE(orv.IsServerDown(2));  // case is ignored
  EXPECT_TRUE(orv.IsServerDown(3));   // no such server
}

TEST_F(OrvTimeTest, UserNumberFromTheProductId) {
  TOrvTime orv = Make();
  const struct {
    ProductIdStatus status;
    const char* id;
    const char* uin;
  } cases[] = {
      {ProductIdStatus::Ok, "12-345", "543021"},
      {ProductIdStatus::NotAvailable, "", ""},
      {ProductIdStatus::ReadError, "", "GetUIN_Error"},
  };
  for (const auto& c : cases) {
    orv.ReadProductIdFn = [&](std::string& id) {
      id = c.id;
      return c.status;
    };
    EXPECT_EQ(orv.GetUIN(), c.uin);
  }

  TempDir files;
  std::string id;
  EXPECT_EQ(ReadProductId(id, files.File("none")), ProductIdStatus::NotAvailable);
  test::WriteBytes(files.File("machine-id"), "");
  EXPECT_EQ(ReadProductId(id, files.File("machine-id")), ProductIdStatus::ReadError);
  test::WriteBytes(files.File("machine-id"), "0123456789abcdef0123456789abcdef\n");
  ASSERT_EQ(ReadProductId(id, files.File("machine-id")), ProductIdStatus::Ok);
  EXPECT_EQ(id, ProductIdFromMachineId("0123456789abcdef0123456789abcdef"));
  EXPECT_EQ(id.size(), 23u);
  EXPECT_EQ(id.find("0123456789abcdef"), std::string::npos);  // the machine id is not in it
  EXPECT_NE(ProductIdFromMachineId("a"), ProductIdFromMachineId("b"));
}

TEST(OrvTimeHelpers, StatusFileBesideTheSyncPage) {
  EXPECT_EQ(DefaultStatusURL("http://h:8080/clock/sync.html?x=1"), "http://h:8080/clock/status.txt");
  EXPECT_EQ(DefaultStatusURL("http://h:8080"), "http://h:8080/status.txt");
  EXPECT_EQ(DefaultStatusURL(""), "");
}

TEST(OrvTimeHelpers, ZeroPadAndNames) {
  struct Case {
    int32_t n, width;
    const char* text;
  } cases[] = {{7, 2, "07"}, {7, 1, "7"}, {100, 2, "00"}, {5, 2, "05"}, {123, 2, "23"}, {0, 4, "0000"}, {42, 0, "42"}};
  for (const Case& c : cases) EXPECT_EQ(TOrvTime::ZeroPad(c.n, c.width), c.text) << c.n << "/" << c.width;
  EXPECT_EQ(TOrvTime::WeekdayName(0), "天の日");
  EXPECT_EQ(TOrvTime::WeekdayName(6), "沌の日");
  EXPECT_EQ(TOrvTime::WeekdayName(7), "");
  EXPECT_EQ(TOrvTime::WeekdayName(-1), "");
}

TEST_F(OrvTimeTest, CurrentTimeAddsTheClockOffset) {
  TOrvTime orv = Make();
  orv.TimeAdjustOffset = 1.5 / 86400;
  EXPECT_DOUBLE_EQ(orv.CurrentTime(), clock.Now() + 1.5 / 86400);
}

}  // namespace
}  // namespace kw
