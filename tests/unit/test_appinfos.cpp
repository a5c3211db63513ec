#include "clock/settings/u_appinfos.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "clock/engine/u_orvtime.h"
#include "common/ini_file.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::At;
using test::ReadFile;
using test::TempDir;
using test::WriteWindowsFile;

class AppInfosTest : public ::testing::Test {
 protected:
  AppInfosTest() {
    WriteWindowsFile(dir.File("httpctrl.cfg"),
                     "[ServerInfo]\nServers=3\n[ServerInfo1]\nServerName=ディアナ\nHTMLHead3=Diana\n"
                     "[ServerInfo2]\nServerName=ポーラ\nHTMLHead3=Pola\n"
                     "[ServerInfo3]\nServerName=エリス\nHTMLHead3=Eris\n");
    env.iniPath = dir.File("kronwel.ini");
    env.programFolder = dir.path();
    env.log = &log;
    env.notifier = &notifier;
    env.findClientPath = [this] {
      ++clientSearches;
      return std::string("C:\\Program Files\\BRIGHTWATER\\Orvane\\");
    };
  }

  // A fresh engine, as at each start of the program.
  TOrvTime& Engine() {
    orv = std::make_unique<TOrvTime>(dir.path(), clock, &log);
    env.orv = orv.get();
    return *orv;
  }

  TAppInfos Load() {
    Engine();
    TAppInfos a;
    LoadAppInfos(a, env);
    return a;
  }

  TempDir dir;
  ManualClock clock{At(2026, 12, 11, 20, 0, 0, 500)};
  test::MemoryLog log;
  test::RecordingNotifier notifier;
  std::unique_ptr<TOrvTime> orv;
  AppInfosEnv env;
  int clientSearches = 0;
};

TEST_F(AppInfosTest, FreshInstallLoadsDefaults) {
  const TAppInfos a = Load();
  TAppInfos expected;
  expected.CPath = "C:\\Program Files\\BRIGHTWATER\\Orvane\\";  // looked for afresh
  EXPECT_EQ(a, expected);
  EXPECT_TRUE(a.StartupSync);
  EXPECT_TRUE(a.AutoSync);
  EXPECT_EQ(a.AutoInterval, 30);
  EXPECT_TRUE(a.GlobalBalloon);
  EXPECT_EQ(a.FAlpha, 100);
  EXPECT_EQ(a.FServer, 99);
  EXPECT_EQ(a.CurrentSkinName, "標準設定");
  EXPECT_TRUE(a.Custom);
  EXPECT_EQ(clientSearches, 1);
  EXPECT_EQ(orv->TimeAdjustOffset, 0);
  // Without a cache every server keeps the start-up base: now, 天の日 00:00.
  EXPECT_EQ(orv->Servers[0].RealBase, clock.Now());
  EXPECT_EQ(orv->Servers[0].GameBase, TGameWeekTime{});
}

TEST_F(AppInfosTest, LoadsAFileWrittenOnWindows) {
  fs::copy_file(KRONWEL_FIXTURES "/windows_kronwel.ini", env.iniPath);
  bool memoStarted = false;
  env.openNotalu = [&] { memoStarted = true; };
  const TAppInfos a = Load();

  EXPECT_FALSE(a.StartupSync);
  EXPECT_EQ(a.AutoInterval, 15);
  EXPECT_TRUE(a.ProxyEnabled);
  EXPECT_EQ(a.ProxyUsername, "山田");
  EXPECT_EQ(a.ProxyPassword, "p@ss word");
  EXPECT_EQ(a.LastSyncTime, At(2026, 12, 11, 20, 5, 9));
  EXPECT_EQ(a.LastUpdate, At(2026, 12, 10));
  EXPECT_TRUE(a.OrvRadiSensorSW);
  EXPECT_FALSE(a.SNTPEnabled);

  ASSERT_EQ(a.AlarmList.size(), 2u);
  AList first;
  first.Server = 1;
  first.H = 12;
  first.M = 30;
  first.DlgPop = first.ReSet = true;
  first.Caption = "ボス討伐～準備";
  first.mySound = "C:\\Program Files\\Kronwel\\sound\\ベル.wav";
  first.PreCall = 4;
  EXPECT_EQ(a.AlarmList[0], first);
  EXPECT_EQ(a.AlarmList[1].Server, 3);
  EXPECT_EQ(a.AlarmList[1].Week, 2);
  EXPECT_FALSE(a.AlarmList[1].ActiveSW);
  EXPECT_EQ(a.AlarmList[1].LastMinute, 99);

  EXPECT_TRUE(a.TimeSignalEnabled);
  EXPECT_EQ(a.TimeSignlaServer, 3);
  EXPECT_EQ(a.ChaosAlarmMode1, 2);
  EXPECT_EQ(a.ChaosAlarmPre3, 3);
  EXPECT_EQ(a.FMode, 2);
  EXPECT_EQ(a.FTop, -12);
  EXPECT_EQ(a.FServer, 999);
  EXPECT_EQ(a.FAlpha, 75);
  EXPECT_FALSE(a.GlobalBalloon);
  EXPECT_TRUE(a.Skeleton);
  EXPECT_EQ(a.CurrentSkinName, "標準設定");
  EXPECT_EQ(a.AlarmpreT, 400);
  EXPECT_EQ(a.ChaospopL, -1);
  EXPECT_TRUE(a.TaskHidden);
  EXPECT_EQ(a.SENumber, 1);
  EXPECT_EQ(a.UcAlarm, "D:\\音\\目覚まし.mp3");
  EXPECT_EQ(a.UcChaos3Pre, "gk.wav");
  EXPECT_FALSE(memoStarted);
  EXPECT_EQ(a.CPath, "C:\\Program Files\\BRIGHTWATER\\Orvane\\");
  EXPECT_FALSE(a.Custom);
  EXPECT_EQ(a.sc1K, 112);
  EXPECT_EQ(a.sc1S, 6);
  EXPECT_EQ(a.sc6K, 123);
  EXPECT_EQ(a.sc3K, 0);

  ASSERT_EQ(a.LandList.size(), 1u);
  EXPECT_EQ(a.LandList[0].Caption, "北の丘の家");
  EXPECT_EQ(a.LandList[0].LimitDate, At(2027, 1, 5));
  EXPECT_EQ(a.LandList[0].CaptColor, 255u);
  EXPECT_EQ(a.LandList[0].SubText, "ヴェルモラ東 12-3");
  EXPECT_TRUE(a.AlarmSW);

  EXPECT_DOUBLE_EQ(orv->TimeAdjustOffset, 1.15740740740741E-5);
  EXPECT_EQ(orv->Servers[0].RealBase, At(2026, 12, 11, 19, 58, 7, 250));
  EXPECT_EQ(orv->Servers[0].RealLast, At(2026, 12, 11, 19, 58));
  EXPECT_EQ(orv->Servers[0].GameBase, (TGameWeekTime{4, 13, 20, 0}));
  EXPECT_EQ(orv->Servers[1].RealBase, 0);  // cached without a base
  EXPECT_EQ(orv->Servers[2].RealBase, orv->CurrentTime());  // not cached: now
}

TEST_F(AppInfosTest, WhatWeWriteLoadsBackUnchanged) {
  fs::copy_file(KRONWEL_FIXTURES "/windows_kronwel.ini", env.iniPath);
  const TAppInfos a = Load();
  const std::vector<TOrvTimeSystem> servers = orv->Servers;
  ASSERT_TRUE(SaveAppInfos(a, env));
  const std::string written = ReadFile(env.iniPath);

  const TAppInfos b = Load();
  EXPECT_EQ(a, b);
  for (size_t i = 0; i < servers.size(); ++i) {
    EXPECT_EQ(orv->Servers[i].RealBase, servers[i].RealBase) << i;
    EXPECT_EQ(orv->Servers[i].RealLast, servers[i].RealLast) << i;
    EXPECT_EQ(orv->Servers[i].GameBase, servers[i].GameBase) << i;
  }
  EXPECT_DOUBLE_EQ(orv->TimeAdjustOffset, 1.15740740740741E-5);
  ASSERT_TRUE(SaveAppInfos(b, env));
  EXPECT_EQ(ReadFile(env.iniPath), written);

  // Keys of other owners stay; old keys go; the menu switch is never written.
  const IniFile ini(env.iniPath);
  EXPECT_EQ(ini.ReadInteger("Window", "QListRw", 0), 3);
  EXPECT_EQ(ini.ReadInteger("Notalu", "MemoNo", 0), 2);
  EXPECT_EQ(ini.ReadString("MiniTimer", "TimeVal", ""), "00500");
  EXPECT_EQ(ini.ReadString("OrvTimeSystemCache", "ServerNames", ""), "DPE");
  EXPECT_FALSE(ini.ValueExists("Network", "SNTPSync"));
  EXPECT_FALSE(ini.ValueExists("Alarm", "AlarmSoundFile"));
  EXPECT_FALSE(ini.ValueExists("OrvClient", "Path"));
  EXPECT_FALSE(ini.ValueExists("OrvTimeSystemCache", "RealBase0"));
  EXPECT_EQ(ini.ReadInteger("Menu", "Custom", -1), 0);
  EXPECT_FALSE(ini.ValueExists("Network", "SNTPEnabled"));
}

TEST_F(AppInfosTest, ListsAreCappedAt128AndOverflowIsDropped) {
  std::string text = "[AlarmSets]\nAlarmNum=200\n[HousingInfo]\nHouseNum=300\n";
  for (int k = 1; k <= 200; ++k)
    text += "[AlarmSets]\nAlarm" + std::to_string(k) + "H=" + std::to_string(k % 24) + "\n";
  for (int k = 1; k <= 300; ++k) text += "[HousingInfo]\nHouse" + std::to_string(k) + "Caption=h" + std::to_string(k) + "\n";
  WriteWindowsFile(env.iniPath, text);
  const TAppInfos a = Load();
  EXPECT_EQ(a.AlarmList.size(), 128u);
  EXPECT_EQ(a.LandList.size(), 128u);
  EXPECT_EQ(a.AlarmList[127].H, 128 % 24);
  EXPECT_EQ(a.LandList[127].Caption, "h128");
  EXPECT_EQ(a.LandList[0].LimitDate, At(2026, 12, 11));  // missing date: today
  EXPECT_TRUE(log.Contains(":Alarm Count 128\r"));

  ASSERT_TRUE(SaveAppInfos(a, env));
  const IniFile ini(env.iniPath);
  EXPECT_EQ(ini.ReadInteger("AlarmSets", "AlarmNum", 0), 128);
  EXPECT_TRUE(ini.ValueExists("AlarmSets", "Alarm128H"));
  EXPECT_FALSE(ini.ValueExists("AlarmSets", "Alarm129H"));
  EXPECT_FALSE(ini.ValueExists("AlarmSets", "Alarm200H"));
  EXPECT_EQ(ini.ReadInteger("HousingInfo", "HouseNum", 0), 128);
  EXPECT_FALSE(ini.ValueExists("HousingInfo", "House129Caption"));
}

TEST_F(AppInfosTest, OldAlarmKeysGoAtLoadEvenWithoutSave) {
  WriteWindowsFile(env.iniPath,
                   "[Alarm]\nAlarmEnabled=1\nAlarmServer=0\nAlarmH=3\nAlarmReSet2=1\nAlarmM3=5\n"
                   "TimeSignalEnabled=1\nAlarmSoundFile=a.wav\n");
  const TAppInfos a = Load();
  EXPECT_TRUE(a.TimeSignalEnabled);
  const IniFile ini(env.iniPath);
  for (const char* key : {"AlarmEnabled", "AlarmServer", "AlarmH", "AlarmReSet2", "AlarmM3"})
    EXPECT_FALSE(ini.ValueExists("Alarm", key)) << key;
  EXPECT_TRUE(ini.ValueExists("Alarm", "TimeSignalEnabled"));
  EXPECT_TRUE(ini.ValueExists("Alarm", "AlarmSoundFile"));  // goes at the next save
}

TEST_F(AppInfosTest, ParameterCheck) {
  struct Case {
    int32_t alpha, expected;
  } cases[] = {{60, 50}, {49, 25}, {0, 25}, {50, 50}, {74, 50}, {75, 75}, {99, 75}, {100, 100}, {250, 100}, {-5, 100}};
  for (const Case& c : cases) {
    TAppInfos a;
    a.FAlpha = c.alpha;
    NormalizeAppInfos(a);
    EXPECT_EQ(a.FAlpha, c.expected) << c.alpha;
  }
  TAppInfos a;
  a.ProxyEnabled = true;
  a.ProxyIP = "proxy";
  NormalizeAppInfos(a);
  EXPECT_FALSE(a.ProxyEnabled);
  a.ProxyEnabled = true;
  a.ProxyPort = "3128";
  NormalizeAppInfos(a);
  EXPECT_TRUE(a.ProxyEnabled);
}

TEST_F(AppInfosTest, TimeBaseCacheRoundTrips) {
  TOrvTime& engine = Engine();
  engine.Servers[0].RealBase = At(2026, 12, 11, 19, 0, 1, 999);
  engine.Servers[0].RealLast = At(2026, 12, 11, 18, 0);
  engine.Servers[0].GameBase = {6, 23, 59, 0};
  engine.Servers[1].RealBase = 0;  // no base
  engine.Servers[1].RealLast = 0;
  engine.TimeAdjustOffset = -2.5 / 86400;
  ASSERT_TRUE(SaveAppInfos(TAppInfos(), env));

  Load();
  EXPECT_EQ(orv->Servers[0].RealBase, At(2026, 12, 11, 19, 0, 1, 999));
  EXPECT_EQ(orv->Servers[0].RealLast, At(2026, 12, 11, 18, 0));
  EXPECT_EQ(orv->Servers[0].GameBase, (TGameWeekTime{6, 23, 59, 0}));
  EXPECT_EQ(orv->Servers[1].RealBase, 0);
  EXPECT_EQ(orv->Servers[1].RealLast, 0);
  EXPECT_EQ(orv->GameSecondsOfWeek(1, orv->CurrentTime()), 0);
  EXPECT_DOUBLE_EQ(orv->TimeAdjustOffset, -2.5 / 86400);
}

TEST_F(AppInfosTest, BadCacheAndBadValuesFallBack) {
  WriteWindowsFile(env.iniPath,
                   "[OrvTimeSystemCache]\nServerNames=DPE\nRealBaseM0=13\nOrwBaseWeek0=5\n"
                   "[Network]\nAutoInterval=thirty\nLastSync=yesterday\n"
                   "[HotKeys]\nsc1K=70000\nsc2K=-1\nsc3K=65535\n"
                   "[SubClockSystem]\nTimeAdjustOffset=nan\n");
  const TAppInfos a = Load();
  EXPECT_EQ(orv->Servers[0].RealBase, clock.Now());  // left as constructed
  EXPECT_EQ(orv->Servers[0].GameBase, TGameWeekTime{});
  EXPECT_EQ(a.AutoInterval, 30);
  EXPECT_EQ(a.LastSyncTime, 0);
  EXPECT_EQ(a.sc1K, 0);
  EXPECT_EQ(a.sc2K, 0);
  EXPECT_EQ(a.sc3K, 65535);
  EXPECT_EQ(orv->TimeAdjustOffset, 0);
}

TEST_F(AppInfosTest, GameClientFolder) {
  const fs::path client = fs::path(dir.path()) / "client";
  fs::create_directory(client);
  test::WriteBytes((client / "Orvane.exe").string(), "MZ");
  struct Case {
    std::string stored, loaded;
    int searches;
  } cases[] = {
      {client.string(), client.string() + "\\", 0},  // the backslash is added, the folder stays
      {client.string() + "\\", client.string() + "\\", 0},
      {"", "C:\\Program Files\\BRIGHTWATER\\Orvane\\", 1},
      {dir.path() + "\\", "C:\\Program Files\\BRIGHTWATER\\Orvane\\", 1},  // no client there
  };
  for (const Case& c : cases) {
    WriteWindowsFile(env.iniPath, "[OrvClient]\nCPath=" + c.stored + "\n");
    clientSearches = 0;
    EXPECT_EQ(Load().CPath, c.loaded) << c.stored;
    EXPECT_EQ(clientSearches, c.searches) << c.stored;
  }
}

TEST_F(AppInfosTest, HooksOfOtherParts) {
  WriteWindowsFile(env.iniPath, "[Notalu]\nOpenSW=1\n[Menu]\nCustom=1\n");
  int memoStarts = 0, menus = 0;
  env.openNotalu = [&] { ++memoStarts; };
  env.buildDirectURLMenu = [&] { ++menus; };
  env.windowsVista = true;
  TAppInfos a = Load();
  EXPECT_EQ(memoStarts, 1);
  EXPECT_EQ(menus, 1);
  EXPECT_FALSE(a.Custom);

  env.notaluRunning = [] { return false; };
  env.logViewer = true;
  ASSERT_TRUE(SaveAppInfos(a, env));
  const IniFile ini(env.iniPath);
  EXPECT_FALSE(ini.ReadBool("Notalu", "OpenSW", true));
  EXPECT_TRUE(ini.ReadBool("Window", "LogViewer", false));
  EXPECT_TRUE(ini.ReadBool("Menu", "Custom", false));
}

TEST_F(AppInfosTest, LogLinesOfLoadAndSave) {
  WriteWindowsFile(env.iniPath, "[AlarmSets]\nAlarmNum=1\n[HousingInfo]\nHouseNum=1\n");
  TAppInfos a = Load();
  const std::vector<std::string> load = {
      ":Loading AppInfos : Network\r",   ":Loading AppInfos : AlarmSets\r",
      ":Alarm Count 1\r",                ":Loading Alarm 0\r",
      ":Loading AppInfos : Alarm\r",     ":Loading AppInfos : Window\r",
      ":Loading AppInfos : Sound\r",     ":Loading AppInfos : OrvClient\r",
      ":Loading AppInfos : SubClockSystem\r", ":Loading AppInfos : Menu\r",
      ":Loading AppInfos : HotKeys\r",   ":Loading AppInfos : HousingInfo\r",
      ":House Count 1\r",                ":Loading House 0\r",
      ":Loading AppInfos : OrvTimeSystemCache\r", ":Loading AppInfos...DoneOrvTimeSystemCache\r"};
  std::vector<std::string> lines(log.lines.end() - static_cast<long>(load.size()), log.lines.end());
  EXPECT_EQ(lines, load);

  log.lines.clear();
  ASSERT_TRUE(SaveAppInfos(a, env));
  const std::vector<std::string> save = {
      ":Saving AppInfos : Network\r",     ":Clean-up : AlarmSets\r",
      ":Saving AppInfos : AlarmSets\r",   ":Saving AppInfos : Alarm\r",
      ":Saving AppInfos : Window\r",      ":Saving AppInfos : Sound\r",
      ":Saving AppInfos : Notalu\r",      ":Saving AppInfos : OrvClient\r",
      ":Saving AppInfos : HotKeys\r",     ":Clean-up : HousingInfo\r",
      ":Saving AppInfos : HousingInfo\r", ":Saving AppInfos : OrvTimeSystemCache\r",
      ":Saving AppInfos : SubClockSystem\r", ":Deleting Old Values\r",
      ":Flushing\r",                      ":Saving AppInfos...Done\r"};
  EXPECT_EQ(log.lines, save);
}

TEST_F(AppInfosTest, FailedSaveWarnsAndKeepsTheOldFileWhole) {
  WriteWindowsFile(env.iniPath, "[Window]\nFAlpha=50\n");
  TAppInfos a = Load();
  const std::string before = ReadFile(env.iniPath);
  ASSERT_EQ(chmod(env.iniPath.c_str(), 0444), 0);  // read-only
  a.FAlpha = 25;
  log.lines.clear();
  EXPECT_FALSE(SaveAppInfos(a, env));
  EXPECT_EQ(ReadFile(env.iniPath), before);
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_EQ(notifier.notices[0].text,
            env.iniPath + "への書き込みが出来ませんでした。\r\n設定を保存せずに終了します。");
  EXPECT_EQ(notifier.notices[0].kind, NoticeKind::Warning);
  EXPECT_TRUE(log.Contains(":EXCEPT on saving..." + env.iniPath + "\r"));
  EXPECT_EQ(log.lines.back(), ":Saving AppInfos...Done\r");
}

TEST_F(AppInfosTest, UserEventsMoveFromTheOldEventFile) {
  WriteWindowsFile(dir.File("event.cfg"),
                   "[EventSchedule]\nCount=2\nES1=@0123000000自分の予定\nES2=*700000000公式イベント\n");
  WriteWindowsFile(dir.File("eventuser.cfg"), "[UserEventSchedule]\nCount=3\nES1=@a\nES2=@b\nES3=@c\n");
  Load();
  EXPECT_FALSE(fs::exists(dir.File("event.cfg")));
  const IniFile user(dir.File("eventuser.cfg"));
  EXPECT_EQ(user.ReadInteger("UserEventSchedule", "Count", 0), 4);
  EXPECT_EQ(user.ReadString("UserEventSchedule", "ES4", ""), "@0123000000自分の予定");
  EXPECT_EQ(user.ReadString("UserEventSchedule", "ES3", ""), "@c");
  EXPECT_TRUE(log.Contains("イベントリストを引継ぎ中です。\r"));
  EXPECT_TRUE(log.Contains(":Transfer : @0123000000自分の予定\r"));
  EXPECT_TRUE(log.Contains(":Old event.cfg DELETED\r"));
}

TEST_F(AppInfosTest, UserEventsStayWhenTheyCannotBeMoved) {
  WriteWindowsFile(dir.File("event.cfg"), "[EventSchedule]\nCount=1\nES1=@0123000000自分の予定\n");
  fs::create_directory(dir.File("eventuser.cfg.tmp"));  // eventuser.cfg cannot be written
  Load();
  EXPECT_EQ(IniFile(dir.File("event.cfg")).ReadString("EventSchedule", "ES1", ""), "@0123000000自分の予定");
  EXPECT_TRUE(log.Contains("[はわわ] 古いデータが消せないよぉ\r"));
  EXPECT_TRUE(log.Contains("\003clRed"));

  // Once it can, the next start moves them.
  fs::remove(dir.File("eventuser.cfg.tmp"));
  Load();
  EXPECT_FALSE(fs::exists(dir.File("event.cfg")));
  EXPECT_EQ(IniFile(dir.File("eventuser.cfg")).ReadString("UserEventSchedule", "ES1", ""), "@0123000000自分の予定");
}

}  // namespace
}  // namespace kw
