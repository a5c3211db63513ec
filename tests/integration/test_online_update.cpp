// The configuration set and the self-update against real servers on loopback: orvclockd
// offers the set with its stamp, nginx the failures, redirects and the installer.
#include <gtest/gtest.h>

#include <filesystem>

#include "clock/engine/u_orvtime.h"
#include "clock/update/u_autoupdate.h"
#include "clock/update/u_configupdate.h"
#include "common/ini_file.h"
#include "common/sha256.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteBytes;

std::string HttpCtrl(const std::string& base, const std::string& stamp) {
  return "[ServerInfo]\r\nServers=1\r\n[GeneralSettingUpdate]\r\nHttpCtrl=" + base + "/cfg/httpctrl.cfg\r\nUrlList=" +
         base + "/cfg/urllist.cfg\r\nMrList=" + base + "/cfg/mrlist.cfg\r\nstamp=" + stamp + "\r\n";
}

class ConfigSet : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(site.ok()) << site.ErrorLog(); }
  // The set the server offers for version 3.0.0.0.
  void Offer(const std::string& stamp) {
    site.Put("/cfg/httpctrl.cfg.3.0.0.0", HttpCtrl(site.url(""), stamp));
    site.Put("/cfg/urllist.cfg.3.0.0.0", "new urls " + stamp);
    site.Put("/cfg/mrlist.cfg.3.0.0.0", "new radio " + stamp);
  }
  void Local(const std::string& stamp) {
    WriteBytes(folder.File("httpctrl.cfg"), HttpCtrl(site.url(""), stamp));
    WriteBytes(folder.File("urllist.cfg"), "old urls");
    WriteBytes(folder.File("mrlist.cfg"), "old radio");
  }
  bool Update() {
    return UpdateConfigFiles({.programFolder = folder.path(), .productVersion = "3.0.0.0", .log = log,
                              .rebuildDirectURLMenu = [this] { ++rebuilt; }});
  }
  // Only the three files and kronwel.ini: no .new or .old left behind.
  std::vector<std::string> Files() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::NginxPeer site;
  test::TempDir folder;
  test::MemoryLog log;
  int rebuilt = 0;
};

TEST_F(ConfigSet, ReplacedTogetherWhenTheStampDiffers) {
  Local("000000200");
  Offer("000000200");
  EXPECT_FALSE(Update());
  EXPECT_EQ(ReadFile(folder.File("urllist.cfg")), "old urls");
  EXPECT_EQ(Files(), (std::vector<std::string>{"httpctrl.cfg", "mrlist.cfg", "urllist.cfg"}));
  EXPECT_NE(site.AccessLineFor("/cfg/mrlist.cfg.3.0.0.0").find(" 200 "), std::string::npos);

  Offer("000000100");  // an older-looking stamp is just as new
  EXPECT_TRUE(Update());
  EXPECT_EQ(IniFile(folder.File("httpctrl.cfg")).ReadString("GeneralSettingUpdate", "stamp", ""), "000000100");
  EXPECT_EQ(ReadFile(folder.File("urllist.cfg")), "new urls 000000100");
  EXPECT_EQ(ReadFile(folder.File("mrlist.cfg")), "new radio 000000100");
  EXPECT_EQ(Files(), (std::vector<std::string>{"httpctrl.cfg", "mrlist.cfg", "urllist.cfg"}));
  EXPECT_TRUE(log.Contains("新しい情報を見つけました！\r"));
  EXPECT_TRUE(log.Contains("少し賢くなりました。\r"));
  EXPECT_EQ(rebuilt, 1);
}

TEST_F(ConfigSet, NothingChangesWithoutTheWholeSet) {
  Local("000000200");
  Offer("000000300");
  fs::remove(site.root() + "/cfg/urllist.cfg.3.0.0.0");  // one 404
  EXPECT_FALSE(Update());
  EXPECT_EQ(ReadFile(folder.File("urllist.cfg")), "old urls");
  EXPECT_EQ(IniFile(folder.File("httpctrl.cfg")).ReadString("GeneralSettingUpdate", "stamp", ""), "000000200");
  EXPECT_TRUE(log.Contains("[はわわ]　実家に繋がりませんでした...\r"));
  EXPECT_EQ(Files(), (std::vector<std::string>{"httpctrl.cfg", "mrlist.cfg", "urllist.cfg"}));

  // A page that is no configuration set (a login portal answering 200) replaces nothing.
  Offer("000000300");
  site.Put("/cfg/httpctrl.cfg.3.0.0.0", "<html>Please log in</html>");
  EXPECT_FALSE(Update());
  EXPECT_EQ(ReadFile(folder.File("mrlist.cfg")), "old radio");
  EXPECT_EQ(rebuilt, 0);
}

TEST_F(ConfigSet, DeniedMeansNoRequest) {
  Local("000000200");
  Offer("000000300");
  WriteBytes(folder.File("kronwel.ini"), "[Network]\r\nUpdateDenied=1\r\n");
  EXPECT_FALSE(Update());
  EXPECT_TRUE(log.Contains("[はわわ]　自動更新しちゃダメみたいです。\r"));
  EXPECT_TRUE(site.AccessLines().empty());
  EXPECT_EQ(ReadFile(folder.File("urllist.cfg")), "old urls");
}

TEST(ConfigSetFromOrvclockd, TheServedSetIsTaken) {
  test::TempDir dir;
  server::test::OrvclockdProcess demo({"demo", "--dir", dir.File("demo"), "--port", "0"});
  ASSERT_GT(demo.port(), 0);
  const std::string folder = dir.File("demo/kronwel");
  // An older set here: the demo's is taken whole, and the engine reads it.
  IniFile ini(folder + "/httpctrl.cfg");
  ini.WriteString("GeneralSettingUpdate", "stamp", "000000001");
  ini.WriteString("ServerInfo", "Servers", "1");
  ASSERT_TRUE(ini.Flush());
  test::MemoryLog log;
  EXPECT_TRUE(UpdateConfigFiles({.programFolder = folder, .productVersion = KRONWEL_VERSION, .log = log,
                                 .rebuildDirectURLMenu = {}}));
  ManualClock clock;
  EXPECT_EQ(TOrvTime(folder, clock).ServerCount, 3);
  EXPECT_FALSE(UpdateConfigFiles({.programFolder = folder, .productVersion = KRONWEL_VERSION, .log = log,
                                  .rebuildDirectURLMenu = {}}));
}

// ---- Self-update -------------------------------------------------------------------------

class RecordingProgress final : public UpdateProgress {
 public:
  void Show() override { steps.push_back("show"); }
  void Hide() override { steps.push_back("hide"); }
  void SetAction(std::string_view action, std::string_view status) override {
    steps.push_back(std::string(action) + "/" + std::string(status));
  }
  void SetProgress(int64_t position, int64_t maximum, std::string_view status) override {
    lastPosition = position, lastMaximum = maximum, lastStatus = status;
  }
  void Beep() override { steps.push_back("beep"); }
  void Pause(int) override {}
  std::vector<std::string> steps;
  int64_t lastPosition = -1, lastMaximum = -1;
  std::string lastStatus;
};

constexpr const char* kInstaller = "#!/bin/sh\necho \"$1\" > \"$(dirname \"$0\")/installed\"\nexit 3\n";

class SelfUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site.ok()) << site.ErrorLog();
    site.Put("/files/kronwel-setup.exe", kInstaller);
  }
  AutoUpdateEnv Env() {
    return AutoUpdateEnv{.programFolder = folder.path(), .fileVersion = "3.0.0.0", .upgradeInfo2 = site.url("/upgrade.txt"),
                         .proxy = {}, .winePrefix = prefix.path(), .clock = clock, .log = log, .runAndWait = RunAndWait};
  }
  void Installed(const char* displayName, const char* version) {
    WriteBytes(prefix.File("system.reg"), std::string("WINE REGISTRY Version 2\n[Software\\\\Microsoft\\\\Windows\\\\"
                                                      "CurrentVersion\\\\Uninstall\\\\{K}] 1\n\"DisplayName\"=\"") +
                                              displayName + "\"\n\"DisplayVersion\"=\"" + version + "\"\n");
  }

  test::NginxPeer site{{.authLocation = {}, .authUser = {}, .authPassword = {}, .redirects = {{"/go", "/go2"}, {"/go2", "/files/kronwel-setup.exe"},
                                      {"/far", "/far2"}, {"/far2", "/far3"}, {"/far3", "/files/kronwel-setup.exe"}}}};
  test::TempDir folder, prefix;
  ManualClock clock{test::At(2026, 12, 11, 20, 0)};
  test::MemoryLog log;
};

TEST_F(SelfUpdate, AvailableOnlyForAnInstalledCopyOfThisVersion) {
  EXPECT_EQ(ExpectedInstallerVersion("1.2.3.4"), "1.02.0003");
  EXPECT_EQ(ExpectedInstallerVersion("2.1.40.512"), "2.01.0040");
  site.Put("/upgrade.txt", "  " + site.url("/files/kronwel-setup.exe") + "\r\n");
  EXPECT_FALSE(AutoUpdateAvailable(Env()));  // no installation record
  Installed("Kronwel 3", "3.00.0001");
  EXPECT_FALSE(AutoUpdateAvailable(Env()));  // another version
  EXPECT_TRUE(log.Contains(":Found Kronwel \r"));
  Installed("Kronwel 3", "3.00.0000");
  EXPECT_TRUE(AutoUpdateAvailable(Env()));
  EXPECT_TRUE(log.Contains(":Found 3.0.0.0\r"));
  site.Put("/upgrade.txt", " \r\n");  // nothing offered
  EXPECT_FALSE(AutoUpdateAvailable(Env()));
}

TEST_F(SelfUpdate, DownloadsThroughRedirectsRunsAndRemovesTheInstaller) {
  site.Put("/upgrade.txt", site.url("/go") + "\n");
  RecordingProgress progress;
  ASSERT_TRUE(AutoUpdate(Env(), progress));
  EXPECT_EQ(ReadFile(folder.File("installed")), "/V\"/quiet /passive /norestart\"\n");
  EXPECT_FALSE(fs::exists(folder.File("update_20261211.exe")));
  EXPECT_TRUE(log.Contains("Download Response Code : 200\r"));
  EXPECT_TRUE(log.Contains("セットアップの実行と終了を検知しました\r"));
  EXPECT_EQ(progress.lastStatus, "ダウンロード完了");
  EXPECT_EQ(progress.steps.back(), "hide");
  EXPECT_NE(std::find(progress.steps.begin(), progress.steps.end(), "Kronwelを再起動します/セットアップ終了"),
            progress.steps.end());

  // Three redirects are one too many.
  site.Put("/upgrade.txt", site.url("/far"));
  fs::remove(folder.File("installed"));
  RecordingProgress failed;
  EXPECT_FALSE(AutoUpdate(Env(), failed));
  EXPECT_FALSE(fs::exists(folder.File("installed")));
  EXPECT_EQ(failed.steps[failed.steps.size() - 3], "アップデートに失敗しました/ダウンロードエラー");
  EXPECT_EQ(failed.steps[failed.steps.size() - 2], "beep");
}

TEST_F(SelfUpdate, TheInstallerMustMatchItsDigest) {
  const std::string address = site.url("/files/kronwel-setup.exe");
  site.Put("/upgrade.txt", address + "#sha256=" + std::string(64, '0'));
  RecordingProgress progress;
  EXPECT_FALSE(AutoUpdate(Env(), progress));
  EXPECT_FALSE(fs::exists(folder.File("installed")));
  EXPECT_FALSE(fs::exists(folder.File("update_20261211.exe")));

  std::string hex = Sha256Hex(kInstaller);
  for (char& c : hex) c = static_cast<char>(std::toupper(c));
  site.Put("/upgrade.txt", address + "#SHA256=" + hex);
  EXPECT_TRUE(AutoUpdate(Env(), progress));
  EXPECT_TRUE(fs::exists(folder.File("installed")));

  // No information at all.
  site.Put("/upgrade.txt", "");
  RecordingProgress none;
  EXPECT_FALSE(AutoUpdate(Env(), none));
  EXPECT_NE(std::find(none.steps.begin(), none.steps.end(), "アップデートに失敗しました/Upgrade情報取得に失敗"),
            none.steps.end());
}

TEST(UpdateNotice, TheQuestionsInTurn) {
  test::RecordingNotifier notifier;
  std::vector<std::string> opened;
  int updates = 0, restarts = 0;
  bool available = true, succeeds = false;
  std::string page = "http://example.org/kronwel/";
  const UpdateNoticeEnv env{.notifier = notifier,
                            .autoUpdateAvailable = [&] { return available; },
                            .autoUpdate = [&] { ++updates; return succeeds; },
                            .restart = [&] { ++restarts; },
                            .getUpgradeInfo = [&](TUpgradeInfo& u) { u = {}; u.Url = page; },
                            .openUrl = [&](const std::string& url) { opened.push_back(url); }};

  UpdateNoticeClick("Kronwel", env);  // another balloon
  EXPECT_TRUE(notifier.notices.empty());

  notifier.answers = {true, true};  // update now; it fails; open the page
  UpdateNoticeClick(kUpdateSensorTitle, env);
  EXPECT_EQ(updates, 1);
  ASSERT_EQ(notifier.notices.size(), 3u);
  EXPECT_EQ(notifier.notices[1].text, "自動アップデートに失敗しました。");
  EXPECT_EQ(opened, std::vector<std::string>{page});

  succeeds = true;
  notifier.answers = {true};
  UpdateNoticeClick(kUpdateSensorTitle, env);
  EXPECT_EQ(restarts, 1);

  available = false;
  page.clear();
  notifier.answers = {true};
  UpdateNoticeClick(kUpdateSensorTitle, env);
  EXPECT_EQ(notifier.notices.back().text, "配布元サイトURLの取得に失敗しました。\r\n代替手段として検索サイト(google)を開きますか？");
  EXPECT_EQ(notifier.lastButtons, QuestionButtons::OkCancel);
  EXPECT_EQ(opened.back(), "https://www.google.com/search?hl=ja&q=Kronwel&lr=lang_ja");
}

}  // namespace
}  // namespace kw
