// The real kronwel on a real X server: Xvfb with a window manager and a tray host, each
// program in its own runtime folder and program folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>


#include "common/ini_file.h"
#include "platform/endpoints.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/desktop.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

std::string g_kronwel;  // path of the program under test

using test::Process;
using test::WaitFor;

class KronwelApp : public ::testing::Test {
 protected:
  KronwelApp() {
    runtime = dir.File("runtime");
    home = dir.File("home");
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(home);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("KRONWEL_HOME", home.c_str(), 1);
  }

  std::unique_ptr<Process> Start() {
    return std::make_unique<Process>(std::vector<std::string>{g_kronwel}, home);
  }
  static bool Running() { return EndpointAlive(QStringLiteral("Kronwel")); }
  std::string Ini() const { return home + "/kronwel.ini"; }

  test::TempDir dir;
  std::string runtime, home;
};

TEST_F(KronwelApp, SecondStartEndsAndRaisesTheFirst) {
  auto first = Start();
  ASSERT_TRUE(WaitFor(Running, 20s)) << "kronwel did not come up";
  // Another program has the focus when the clock is started again.
  Process other({"xmessage", "-geometry", "+300+300", "another program"});
  ASSERT_TRUE(WaitFor([] { return test::ActiveWindowName() == "xmessage"; }, 10s)) << test::ActiveWindowName();

  const auto started = Steady::now();
  auto second = Start();
  EXPECT_EQ(second->WaitExit(5s), 0);
  std::cout << "second start ended after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - started).count() << " ms\n";
  EXPECT_EQ(first->WaitExit(300ms), -1) << "the first instance ended";
  EXPECT_TRUE(Running());
  EXPECT_TRUE(WaitFor([] { return test::ActiveWindowName() == "Kronwel"; }, 5s)) << test::ActiveWindowName();

  // SIGTERM closes it through the normal close sequence, which saves the settings.
  first->Signal(SIGTERM);
  EXPECT_EQ(first->WaitExit(15s), 0);
  ASSERT_TRUE(fs::exists(Ini()));
  const IniFile ini(Ini());
  EXPECT_EQ(ini.ReadInteger("Window", "FAlpha", 0), 100);
  EXPECT_EQ(ini.ReadString("Window", "CurrentSkinName", ""), "標準設定");
  EXPECT_FALSE(Running());
}

TEST_F(KronwelApp, AKilledInstanceDoesNotBlockTheNextStart) {
  auto first = Start();
  ASSERT_TRUE(WaitFor(Running, 20s));
  first->Signal(SIGKILL);
  first->WaitExit(5s);
  auto second = Start();
  EXPECT_TRUE(WaitFor(Running, 20s)) << "the stale endpoint blocked the start";
  EXPECT_EQ(second->WaitExit(200ms), -1);
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(second->WaitExit(15s), 0);
}

TEST_F(KronwelApp, DebugLogAndRestart) {
  test::WriteBytes(home + "/debug.log", "");
  auto first = Start();
  ASSERT_TRUE(WaitFor(Running, 20s));
  ASSERT_TRUE(WaitFor([&] { return test::ReadFile(home + "/debug.log").find(":TaskTray Activate") != std::string::npos; }, 20s));

  // A restart request saves, says goodbye and a fresh process comes up.
  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("restart")));
  EXPECT_EQ(first->WaitExit(15s), 0);
  ASSERT_TRUE(WaitFor(Running, 20s)) << "no fresh process after the restart";
  EXPECT_TRUE(fs::exists(Ini()));
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  ASSERT_TRUE(WaitFor([] { return !Running(); }, 15s));
  ASSERT_TRUE(WaitFor([&] {
    const std::string log = test::ReadFile(home + "/debug.log");
    return log.find("Logging Stop at") != log.rfind("Logging Stop at");  // two runs ended
  }, 10s));

  // The lines of both runs, in order.
  const std::string log = test::ReadFile(home + "/debug.log");
  const char* expected[] = {
      "-----", "Logging Start at", "Starting Kronwel ver.3.0.0.0 ", "Kronwel を起こしています... ",
      "\003clRed", "少し待ってね!  ", "\003clBlack", "実家に新しい情報がないか探しています... ", ":Done ",
      "本体を起動しています... ", ":Creating TOrvTime ", ":Check UIN = ", ":Creating TOrvRadi ",
      ":Screen Buffer Initialize ", ":SE Engine Initialize ", ":Alarm Control Initialize ",
      ":House Control Initialize ", ":Skin System Initialize ", ":Alarm Dialogs PreLoad ",
      ":Time Calculater PreLoad ", ":Monitor System Initialize ", ":Registing Global HotKeys ",
      "なんとなく目が覚めました。 ", ":Window Presetting ", ":TaskTray Startup ",
      "前回の設定を思い出しています... ", ":Loading AppInfos : Network ", ":Loading AppInfos...DoneOrvTimeSystemCache ",
      ":Done ", ":Parameter Check ", "起きてスグやる事をしています... ", ":RadioSensor First Update ",
      ":Version Check(Online)... ", ":Done ", "\003clBlue", "Kronwel が起動しました。 ", "\003clBlack",
      ":TaskTray Activate ", "\003clRed", " おやすみの準備をしています... ", ":UnRegisting Global HotKeys ",
      "今回の出来事を日記に書いています ", ":Saving AppInfos : Network ", ":Saving AppInfos...Done ",
      "Notaluを閉じています ", "片付けています ", ":Stopping Alarm Control ", ":Stopping House Control ",
      ":Stopping Draw System ", ":Stopping OrvRadi ", ":Stopping Skin System ", ":Stopping OrvTime ",
      " 再起動します☆", ":Restart Switch ENABLED! ", ":Stopping Logging System ", "Logging Stop at",
      "-----", "Logging Start at", "Starting Kronwel ver.3.0.0.0 ", ":TaskTray Activate ",
      " おやすみの準備をしています... ", " お疲れ様でした☆", ":Stopping Logging System ", "Logging Stop at"};
  size_t at = 0;
  for (const char* line : expected) {
    const size_t found = log.find(line, at);
    ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << line << "\n" << log;
    at = found + std::string(line).size();
  }
}

// At start the clock takes every server's time base from the clock server and keeps it in
// kronwel.ini when it closes.
TEST_F(KronwelApp, SynchronisesWithTheClockServerAtStart) {
  server::test::OrvclockdProcess demo({"demo", "--dir", dir.File("demo"), "--port", "0"});
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  home = dir.File("demo/kronwel");
  setenv("KRONWEL_HOME", home.c_str(), 1);
  test::WriteBytes(home + "/debug.log", "");
  auto clock = Start();
  ASSERT_TRUE(WaitFor([&] { return test::ReadFile(home + "/debug.log").find(":TaskTray Activate") != std::string::npos; }, 30s));
  const std::string log = test::ReadFile(home + "/debug.log");
  EXPECT_NE(log.find(":Clock sync to server!!"), std::string::npos) << log;
  EXPECT_NE(log.find(":Pallas Velmora Time 水の日12:3"), std::string::npos) << log;

  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
  const IniFile ini(Ini());
  EXPECT_EQ(ini.ReadInteger("OrvTimeSystemCache", "OrwBaseWeek1", -1), 3);
  EXPECT_EQ(ini.ReadInteger("OrvTimeSystemCache", "OrwBaseHour1", -1), 12);
  EXPECT_EQ(ini.ReadInteger("OrvTimeSystemCache", "OrwBaseMin1", -1), 30);
}

// The synchronisation at start sounds through the sound device (SDL's disk driver writes what
// it plays to a file); without a device the clock says so and runs on.
TEST_F(KronwelApp, TheSynchronisationAtStartIsHeard) {
  server::test::OrvclockdProcess demo({"demo", "--dir", dir.File("demo"), "--port", "0"});
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  home = dir.File("demo/kronwel");
  setenv("KRONWEL_HOME", home.c_str(), 1);
  const fs::path bin = fs::path(g_kronwel).parent_path();
  fs::copy_file(bin / "res.lib", home + "/res.lib");
  fs::copy(bin / "sound", home + "/sound", fs::copy_options::recursive);
  const std::string audio = dir.File("audio.raw");
  const auto heard = [&] {
    const std::string raw = test::ReadFile(audio);
    for (size_t i = 0; i + 1 < raw.size(); i += 2)
      if (raw[i] != 0 || raw[i + 1] != 0) return true;
    return false;
  };
  const auto started = [&] {
    return test::ReadFile(home + "/debug.log").find(":TaskTray Activate") != std::string::npos;
  };

  for (const char* driver : {"disk", "no-such-driver"}) {
    SCOPED_TRACE(driver);
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", audio.c_str(), 1);
    test::WriteBytes(home + "/debug.log", "");
    auto clock = Start();
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    ASSERT_TRUE(WaitFor(started, 30s));
    const std::string log = test::ReadFile(home + "/debug.log");
    if (std::string(driver) == "disk") {
      EXPECT_NE(log.find(":Clock sync to server!!"), std::string::npos) << log;
      EXPECT_EQ(log.find(">SE Engine Initialize FAILED!"), std::string::npos) << log;
      EXPECT_TRUE(WaitFor(heard, 10s)) << "nothing was played";
    } else {
      EXPECT_NE(log.find(">SE Engine Initialize FAILED!"), std::string::npos) << log;
      EXPECT_NE(log.find("このパソコンでは音を出せないみたい"), std::string::npos) << log;
    }
    ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
    EXPECT_EQ(clock->WaitExit(15s), 0);
  }
}

TEST_F(KronwelApp, WithoutDebugLogNothingIsWritten) {
  auto first = Start();
  ASSERT_TRUE(WaitFor(Running, 20s));
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(first->WaitExit(15s), 0);
  for (const auto& entry : fs::directory_iterator(home))
    EXPECT_NE(entry.path().filename(), "debug.log");
}

TEST_F(KronwelApp, WaitsWhileKronwelWaitExists) {
  Endpoint wait;
  ASSERT_TRUE(wait.Listen(QStringLiteral("KronwelWait")));  // an installer at work
  QElapsedTimer held;
  held.start();
  auto clock = Start();
  EXPECT_FALSE(WaitFor(Running, 2500ms)) << "started while KronwelWait was there";
  wait.Close();
  ASSERT_TRUE(WaitFor(Running, 20s));
  EXPECT_GE(held.elapsed(), 2500);
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
}

TEST_F(KronwelApp, ClosingAsksTheMemoProgramToClose) {
  Endpoint memo;
  ASSERT_TRUE(memo.Listen(QStringLiteral("Notalu")));
  QStringList received;
  QObject::connect(&memo, &Endpoint::commandReceived, [&](const QString& c) { received << c; });
  auto clock = Start();
  ASSERT_TRUE(WaitFor(Running, 20s));
  clock->Signal(SIGINT);
  const bool asked = WaitFor([&] {
    QCoreApplication::processEvents();
    return received.contains(QStringLiteral("close"));
  }, 15s);
  EXPECT_TRUE(asked);
  EXPECT_EQ(clock->WaitExit(15s), 0);
  EXPECT_TRUE(IniFile(Ini()).ReadBool("Notalu", "OpenSW", false));  // it was open at the close
}

}  // namespace
}  // namespace kw

int main(int argc, char** argv) {
  return kw::test::RunOnVirtualDesktop(argc, argv, "test_kronwel_app <path of kronwel>", kw::g_kronwel);
}
