// The game client in a Wine prefix made by the test: its folder, its uninstall entries, the
// selected server and the password switch.
#include "clock/client/u_gameclient.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "clock/engine/u_orvtime.h"
#include "platform/wine_prefix.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;

TEST(WinePrefix, WindowsPathsInThePrefix) {
  const struct {
    const char* windows;
    const char* unix;
  } cases[] = {
      {"C:\\PELLUCID\\Orvane\\", "/p/drive_c/PELLUCID/Orvane/"},
      {"c:\\a b\\x.ini", "/p/drive_c/a b/x.ini"},
      {"D:\\Games\\", "/p/dosdevices/d:/Games/"},
      {"/home/u/Orvane\\", "/home/u/Orvane/"},
      {"\\", "/p/drive_c/"},
      {"\\Games\\", "/p/drive_c/Games/"},
  };
  for (const auto& c : cases) EXPECT_EQ(WindowsToUnixPath(c.windows, "/p"), c.unix) << c.windows;
}

TEST(WinePrefix, UninstallListFromTheRegistryFile) {
  const std::string reg =
      "WINE REGISTRY Version 2\r\n#arch=win64\r\n\r\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\the orvane] 1700000000\r\n"
      "#time=1da\r\n\"DisplayName\"=\"The Orvane\"\r\n\"InstallLocation\"=\"C:\\\\Other\\\\\"\r\n\r\n"
      "[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Orvane Online] 1700000000\r\n"
      "\"DisplayName\"=\"Orvane Online \\x65e5\\x672c\"\r\n\"InstallLocation\"=\"C:\\\\PELLUCID\\\\Orvane\"\r\n"
      "\"EstimatedSize\"=dword:00001000\r\n\"UninstallString\"=str(2):\"%ProgramFiles%\\\\u.exe\"\r\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Orvane Online\\\\Sub] 1\r\n"
      "\"DisplayName\"=\"not an entry\"\r\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\r\n\"DisplayName\"=\"Orvane elsewhere\"\r\n";
  const auto list = ParseUninstallList(reg);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].name, "Orvane Online");  // sorted without regard to case
  EXPECT_EQ(list[0].values.at("DisplayName"), "Orvane Online 日本");
  EXPECT_EQ(list[0].values.at("InstallLocation"), "C:\\PELLUCID\\Orvane");
  EXPECT_FALSE(list[0].values.contains("EstimatedSize"));    // not a plain string
  EXPECT_FALSE(list[0].values.contains("UninstallString"));  // an expandable string
  EXPECT_EQ(list[1].values.at("DisplayName"), "The Orvane");
  EXPECT_TRUE(ParseUninstallList("").empty());
  EXPECT_TRUE(ReadUninstallList("").empty());
  EXPECT_TRUE(ReadUninstallList("/nonexistent").empty());
}

class GameClient : public ::testing::Test {
 protected:
  void InstallClient(const std::string& windowsFolder) {
    const std::string folder = WindowsToUnixPath(windowsFolder, prefix.path());
    fs::create_directories(folder);
    WriteBytes(folder + "/Orvane.exe", "MZ");
  }
  void Registry(const std::string& entries) { WriteBytes(prefix.File("system.reg"), "WINE REGISTRY Version 2\n" + entries); }

  test::TempDir prefix;
  test::MemoryLog log;
};

TEST_F(GameClient, FindsTheClient) {
  // Nothing installed: the second default folder, after telling the user.
  EXPECT_EQ(FindClientPath(prefix.path(), &log), "C:\\Program Files\\BRIGHTWATER\\Orvane\\");
  EXPECT_TRUE(log.Contains("[はわわ]　クライアントが見つからないよぉ！\r"));
  EXPECT_TRUE(log.Contains(":Client Path \"C:\\Program Files\\BRIGHTWATER\\Orvane\\\"\r"));

  // Of "The Orvane" and "Orvane Online" only the second counts; its location gets a backslash.
  const std::string key = "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\";
  Registry(key + "A] 1\n\"DisplayName\"=\"The Orvane\"\n\"InstallLocation\"=\"C:\\\\A\"\n" + key +
           "B] 1\n\"DisplayName\"=\"Orvane Online\"\n\"InstallLocation\"=\"D:\\\\Games\\\\Orvane\"\n" + key +
           "C] 1\n\"DisplayName\"=\"Orvane Later\"\n\"InstallLocation\"=\"C:\\\\C\"\n");
  EXPECT_EQ(FindClientPath(prefix.path(), &log), "D:\\Games\\Orvane\\");

  // The second default folder holding the client wins over the list, the first over both.
  InstallClient("C:\\Program Files\\BRIGHTWATER\\Orvane\\");
  EXPECT_EQ(FindClientPath(prefix.path(), &log), "C:\\Program Files\\BRIGHTWATER\\Orvane\\");
  InstallClient("C:\\PELLUCID\\Orvane\\");
  log.lines.clear();
  EXPECT_EQ(FindClientPath(prefix.path(), &log), "C:\\PELLUCID\\Orvane\\");
  EXPECT_TRUE(log.lines.empty());
  EXPECT_TRUE(ClientFolderHasClient("C:\\PELLUCID\\Orvane\\", prefix.path()));
  EXPECT_FALSE(ClientFolderHasClient("C:\\PELLUCID\\", prefix.path()));

  const ClientLaunch launch = ClientLaunchCommand("C:\\PELLUCID\\Orvane\\", prefix.path());
  EXPECT_EQ(launch.program, "wine");
  EXPECT_EQ(launch.arguments, std::vector<std::string>{prefix.path() + "/drive_c/PELLUCID/Orvane/Orvane.exe"});
  EXPECT_EQ(launch.workingFolder, prefix.path() + "/drive_c/PELLUCID/Orvane/");
}

TEST_F(GameClient, FollowsTheSelectedServerEveryThreeSeconds) {
  test::TempDir folder;
  test::WriteWindowsFile(folder.File("httpctrl.cfg"),
                         "[ServerInfo]\nServers=3\n[ServerInfo1]\nServerName=Diana\nHTMLHead3=D\n"
                         "[ServerInfo2]\nServerName=Pallas\nHTMLHead3=P\n[ServerInfo3]\nServerName=Elmo\nHTMLHead3=E\n");
  ManualClock clock(test::At(2026, 12, 11, 20, 0));
  const TOrvTime orv(folder.path(), clock);
  const std::string cpath = "C:\\PELLUCID\\Orvane\\";
  const std::string gameIni = ClientFile(cpath, "userdata\\game.ini", prefix.path());
  TSelectedServer selected;

  // No game.ini: FServer when it names a server, else 0.
  EXPECT_EQ(selected.Get(orv, cpath, 2, prefix.path()), 2);
  selected.Reset();
  EXPECT_EQ(selected.Get(orv, cpath, 99, prefix.path()), 0);

  fs::create_directories(fs::path(gameIni).parent_path());
  WriteBytes(gameIni, "[server]\r\nselect=pallas\r\n");
  clock.AdvanceMs(3000);
  EXPECT_EQ(selected.Get(orv, cpath, 99, prefix.path()), 0);  // still cached
  clock.AdvanceMs(1);
  EXPECT_EQ(selected.Get(orv, cpath, 99, prefix.path()), 1);  // case ignored
  WriteBytes(gameIni, "[server]\r\nselect=Unknown\r\n");
  clock.AdvanceMs(3001);
  EXPECT_EQ(selected.Get(orv, cpath, 2, prefix.path()), 0);  // no match: 0
}

TEST(PasswordMemory, OnlyItsTwoKeysChange) {
  const struct {
    const char* before;
    bool enable;
    const char* after;
  } cases[] = {
      {"[Window]\r\nX=1\r\n[User]\r\nID=me\r\nEnableSavePass=1\r\nPassword=abc\r\n[Other]\r\nPassword=keep\r\n", false,
       "[Window]\r\nX=1\r\n[User]\r\nID=me\r\nEnableSavePass=0\r\n[Other]\r\nPassword=keep\r\n"},
      {"[user]\nID=me\nenablesavepass = 0\nPassword=abc\n", true, "[user]\nID=me\nenablesavepass =1\nPassword=abc\n"},
      {"[User]\r\nID=me\r\n\r\n[Next]\r\nA=1", true, "[User]\r\nID=me\r\n\r\nEnableSavePass=1\r\n[Next]\r\nA=1"},
      {"[Window]\r\nX=1", true, "[Window]\r\nX=1\r\n[User]\r\nEnableSavePass=1\r\n"},
      {"", false, "[User]\r\nEnableSavePass=0\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(SetPasswordMemory(c.before, c.enable), c.after) << c.before;
}

TEST_F(GameClient, PasswordSwitchAsksFirst) {
  const std::string cpath = "C:\\PELLUCID\\Orvane\\";
  const std::string gameIni = ClientFile(cpath, "userdata\\game.ini", prefix.path());
  test::RecordingNotifier notifier;
  TogglePasswordMemory(cpath, prefix.path(), notifier, &log);
  EXPECT_TRUE(notifier.notices.empty());  // no file, no question

  fs::create_directories(fs::path(gameIni).parent_path());
  const std::string original = "[User]\r\nEnableSavePass=1\r\nPassword=\x82\xa0secret\r\n";
  WriteBytes(gameIni, original);
  TogglePasswordMemory(cpath, prefix.path(), notifier, &log);  // answered No
  EXPECT_EQ(test::ReadFile(gameIni), original);
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].text.starts_with("パスワード記憶機能を無効化しますか？"));

  notifier.answers = {true};
  TogglePasswordMemory(cpath, prefix.path(), notifier, &log);
  EXPECT_EQ(test::ReadFile(gameIni), "[User]\r\nEnableSavePass=0\r\n");
  EXPECT_EQ(notifier.notices.back().text, "設定が変更されました。");

  notifier.answers = {true};
  TogglePasswordMemory(cpath, prefix.path(), notifier, &log);
  EXPECT_TRUE(notifier.notices[notifier.notices.size() - 2].text.starts_with("パスワード記憶機能を有効化しますか？"));
  EXPECT_EQ(test::ReadFile(gameIni), "[User]\r\nEnableSavePass=1\r\n");
}

}  // namespace
}  // namespace kw
