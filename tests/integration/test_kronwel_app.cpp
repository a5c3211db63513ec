// The real kronwel on a real X server: Xvfb with a window manager and a tray host, each
// program in its own runtime folder and program folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>


#include "common/ini_file.h"
#include "platform/endpoints.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/desktop.h"
#include "tests/support/peers.h"
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

  // Starts the clock in home, with the shipped skins from beside the program unless a test
  // says otherwise: without one the clock does not start.
  std::unique_ptr<Process> Start() {
    if (withSkins && !fs::exists(home + "/skins"))
      fs::copy(fs::path(g_kronwel).parent_path() / "skins", home + "/skins", fs::copy_options::recursive);
    return std::make_unique<Process>(std::vector<std::string>{g_kronwel}, home);
  }
  bool withSkins = true;
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

TEST_F(KronwelApp, WithoutSkinsItSaysSoAndEnds) {
  withSkins = false;
  auto clock = Start();
  // The error box shows (the clock window never does) and waits for the user.
  const std::string visible = "xdotool search --onlyvisible --name '^Kronwel$'";
  ASSERT_TRUE(WaitFor([&] { return !test::CommandOutput(visible).empty(); }, 20s));
  EXPECT_EQ(clock->WaitExit(500ms), -1) << "ended before the user saw the box";
  test::CommandOutput(visible + " windowactivate --sync key --clearmodifiers Return");
  EXPECT_EQ(clock->WaitExit(15s), 0);
  EXPECT_EQ(IniFile(Ini()).ReadString("Window", "CurrentSkinName", ""), "") << "nothing was loaded, so nothing is saved";
}

TEST_F(KronwelApp, TheWindowHasTheSizeOfItsFaceAndSeeThroughCorners) {
  auto clock = Start();
  ASSERT_TRUE(WaitFor(Running, 20s));
  // Three game servers, the real clock and the chaos clock side by side: 5 cells of 80 x 40.
  std::string geometry;
  const bool sized = WaitFor([&] {
    geometry = test::CommandOutput("xdotool search --onlyvisible --name '^Kronwel$' getwindowgeometry --shell 2>/dev/null | tr '\\n' ' '");
    return geometry.find("WIDTH=400 HEIGHT=40") != std::string::npos;
  }, 20s);
  ASSERT_TRUE(sized) << geometry;
  const auto number = [&](const char* key) {
    const size_t at = geometry.find(key);
    return at == std::string::npos ? 0 : std::stoi(geometry.substr(at + std::strlen(key)));
  };
  const int x = number("X="), y = number("Y=");
  // The window is shaped, and no key-coloured pixel reaches the screen: the rounded corners
  // of the plates show the desktop.
  EXPECT_NE(test::CommandOutput("xwininfo -shape -name Kronwel | grep -c 'Window shape extents'"), "0");
  const std::string keyPixels = test::CommandOutput(
      "import -window root -crop 400x40+" + std::to_string(x) + "+" + std::to_string(y) + " -depth 8 txt:- | grep -ci '#0101FF'");
  EXPECT_EQ(keyPixels, "0");
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
}

// Where the clock window is on screen; {-1, -1} while it is not shown.
std::pair<int, int> ClockPosition() {
  const std::string g = test::CommandOutput(
      "xdotool search --onlyvisible --name '^Kronwel$' getwindowgeometry --shell 2>/dev/null | tr '\\n' ' '");
  const size_t x = g.find("X="), y = g.find(" Y=");
  if (x == std::string::npos || y == std::string::npos) return {-1, -1};
  return {std::stoi(g.substr(x + 2)), std::stoi(g.substr(y + 3))};
}

TEST_F(KronwelApp, DraggedWhereTheUserWantsAndKeptThere) {
  test::WriteBytes(Ini(), "[Window]\r\nFLeft=200\r\nFTop=150\r\n");
  auto clock = Start();
  ASSERT_TRUE(WaitFor([] { return ClockPosition() == std::pair{200, 150}; }, 20s)) << ClockPosition().first;
  test::CommandOutput("xdotool mousemove 220 160 mousedown 1 mousemove 260 180 mousemove 320 210 mouseup 1");
  EXPECT_TRUE(WaitFor([] { return ClockPosition() == std::pair{300, 200}; }, 5s)) << ClockPosition().first;
  // Dragged past the right edge of the 1280-pixel screen: back inside, one pixel short.
  test::CommandOutput("xdotool mousemove 320 210 mousedown 1 mousemove 900 210 mousemove 1250 210 mouseup 1");
  EXPECT_TRUE(WaitFor([] { return ClockPosition().first == 1279 - 400; }, 5s)) << ClockPosition().first;
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
  EXPECT_EQ(IniFile(Ini()).ReadInteger("Window", "FLeft", 0), 879);
  EXPECT_EQ(IniFile(Ini()).ReadInteger("Window", "FTop", 0), 200);
}

// A locked clock does not move and says why in the debug log; settings out of range are put
// right and saved so.
TEST_F(KronwelApp, ALockedClockStaysWhereItIs) {
  test::WriteBytes(Ini(), "[Window]\r\nFLeft=200\r\nFTop=150\r\nPosLock=1\r\nFAlpha=60\r\nFServer=5\r\n");
  test::WriteBytes(home + "/debug.log", "");
  auto clock = Start();
  ASSERT_TRUE(WaitFor([] { return ClockPosition() == std::pair{200, 150}; }, 20s)) << ClockPosition().first;
  test::CommandOutput("xdotool mousemove 220 160 mousedown 1 mousemove 260 180 mousemove 320 210 mouseup 1");
  EXPECT_TRUE(WaitFor([&] { return test::ReadFile(home + "/debug.log").find("PosLock有効によりWinAutoAdjustスキップ") != std::string::npos; }, 5s));
  EXPECT_EQ(ClockPosition(), (std::pair{200, 150}));
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
  const IniFile ini(Ini());
  EXPECT_EQ(ini.ReadInteger("Window", "FAlpha", 0), 50);
  EXPECT_EQ(ini.ReadInteger("Window", "FServer", 0), 99);
  EXPECT_EQ(ini.ReadInteger("Window", "FLeft", 0), 200);
}

TEST_F(KronwelApp, HidesNearTheMouseAndWhileTheGameRuns) {
  test::WriteBytes(Ini(), "[Window]\r\nFLeft=200\r\nFTop=150\r\nAutoHidden=1\r\nHideOnOrv=1\r\n");
  test::CommandOutput("xdotool mousemove 900 700");
  auto clock = Start();
  const auto shown = [] { return ClockPosition().first == 200; };
  const auto hidden = [] { return ClockPosition().first == -1; };
  ASSERT_TRUE(WaitFor(shown, 20s));
  test::CommandOutput("xdotool mousemove 190 140");  // 10 pixels off the corner
  EXPECT_TRUE(WaitFor(hidden, 5s));
  test::CommandOutput("xdotool keydown shift");
  EXPECT_TRUE(WaitFor(shown, 5s)) << "Shift brings it back";
  test::CommandOutput("xdotool keyup shift mousemove 900 700");
  EXPECT_TRUE(WaitFor(shown, 5s));

  // The game's window: hidden wherever the mouse is, until Shift is held within 64 pixels.
  Process game({"xmessage", "-title", "Orvane -The Vastmere Universe-", "-geometry", "+900+600", "game"});
  EXPECT_TRUE(WaitFor(hidden, 10s));
  test::CommandOutput("xdotool mousemove 150 140 keydown shift");
  EXPECT_TRUE(WaitFor(shown, 5s));
  test::CommandOutput("xdotool keyup shift");
  EXPECT_TRUE(WaitFor(hidden, 5s));
  game.Stop();
  test::CommandOutput("xdotool mousemove 900 700");
  EXPECT_TRUE(WaitFor(shown, 10s)) << "the game ended";
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
}

// The visible windows of the clock program, as "WIDTHxHEIGHT+X+Y".
std::vector<std::string> KronwelWindows() {
  std::vector<std::string> windows;
  const std::string ids = test::CommandOutput("xdotool search --onlyvisible --class '^kronwel$' 2>/dev/null");
  for (size_t start = 0; start < ids.size();) {
    const size_t end = std::min(ids.find('\n', start), ids.size());
    const std::string g = test::CommandOutput("xdotool getwindowgeometry --shell " + ids.substr(start, end - start) +
                                              " | tr '\\n' ' '");
    const auto value = [&](const char* key) {
      const size_t at = g.find(key);
      if (at == std::string::npos) return std::string("0");
      const size_t from = at + std::strlen(key);
      return g.substr(from, g.find(' ', from) - from);
    };
    windows.push_back(value("WIDTH=") + "x" + value("HEIGHT=") + "+" + value(" X=") + "+" + value(" Y="));
    start = end + 1;
  }
  return windows;
}

// A newer version on the clock server: the start-up balloon tells of it, and a click on it
// offers the download page.
TEST_F(KronwelApp, TheUpdateBalloonLeadsToTheDownloadPage) {
  server::test::OrvclockdProcess demo({"demo", "--dir", dir.File("demo"), "--port", "0"});
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  ASSERT_EQ(server::test::RunOrvclockd({"--db", dir.File("demo/orvclockd.db"), "publish-version", "9.0.0.0",
                                         "2026/12/10", "http://127.0.0.1/kronwel/"}),
            0);
  home = dir.File("demo/kronwel");
  setenv("KRONWEL_HOME", home.c_str(), 1);
  test::WriteBytes(home + "/debug.log", "");
  auto clock = Start();
  // The balloon is the tall window beside the 400 x 40 clock and the tray icon.
  std::string balloon;
  ASSERT_TRUE(WaitFor([&] {
    for (const std::string& w : KronwelWindows())
      if (std::stoi(w.substr(w.find('x') + 1)) > 80) balloon = w;
    return !balloon.empty();
  }, 30s)) << "no balloon; windows: " << ::testing::PrintToString(KronwelWindows()) << "\n" << test::ReadFile(home + "/debug.log");
  int width = 0, height = 0, x = 0, y = 0;
  std::sscanf(balloon.c_str(), "%dx%d+%d+%d", &width, &height, &x, &y);
  // Near the balloon's top-left corner: the box that comes may open under the pointer, and
  // there it finds its icon, not its buttons.
  test::CommandOutput("xdotool mousemove " + std::to_string(x + 20) + " " + std::to_string(y + 15) + " click 1");
  // The balloon goes and the question about the download page comes, a box with OK and Cancel.
  std::string box;
  ASSERT_TRUE(WaitFor([&] {
    const auto windows = KronwelWindows();
    if (std::find(windows.begin(), windows.end(), balloon) != windows.end()) return false;
    for (const std::string& w : windows)
      if (std::stoi(w.substr(w.find('x') + 1)) > 80) box = w;
    return !box.empty();
  }, 10s)) << ::testing::PrintToString(KronwelWindows());
  test::CommandOutput("xdotool key --clearmodifiers Escape");
  EXPECT_TRUE(WaitFor([&] { return KronwelWindows().size() <= 2; }, 5s)) << "the box stays after Cancel";
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
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

// With the radio sensor on, the first showing scans the stations of mrlist.cfg and announces
// what is on air; the web-page menu is built from urllist.cfg while the settings load.
TEST_F(KronwelApp, RadioShowsAndWebPagesAtStart) {
  test::NginxPeer web;
  ASSERT_TRUE(web.ok()) << web.ErrorLog();
  web.Put("/onair.html", "<b>Morning Velmora</b><b>Secret</b> OFFRECO");
  test::WriteWindowsFile(home + "/mrlist.cfg",
                         "[OrvRadiSensor]\nStationNum=1\n[Server1]\nStationName=FM\nStationURL=https://fm.example/\n"
                         "ProcURL=" + web.url("/onair.html") + "\nProcNameKey=<b>\n");
  test::WriteWindowsFile(home + "/urllist.cfg", "0,x,\"公式 サイト\",https://example.org/\n");
  test::WriteWindowsFile(Ini(), "[Network]\nOrvRadiSensorSW=1\n");
  test::WriteBytes(home + "/debug.log", "");
  auto clock = Start();
  ASSERT_TRUE(WaitFor([&] { return test::ReadFile(home + "/debug.log").find(":TaskTray Activate") != std::string::npos; }, 30s));
  const std::string log = test::ReadFile(home + "/debug.log");
  EXPECT_NE(log.find(":Add Item to Root=公式 サイト"), std::string::npos) << log;
  const size_t first = log.find(":RadioSensor First Update");
  const size_t announced = log.find(":OrvRadi Sensor > (FM) Morning Velmora 放送中");
  EXPECT_NE(announced, std::string::npos) << log;
  EXPECT_LT(first, announced);
  EXPECT_EQ(log.find("Secret"), std::string::npos);
  EXPECT_NE(web.AccessLineFor("/onair.html").find("ua=\"Kronwel\""), std::string::npos);

  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(clock->WaitExit(15s), 0);
  EXPECT_EQ(web.AccessLines().size(), 1u);
}

// Hotkeys from kronwel.ini work from any window: Ctrl+Shift+K brings the clock to the front,
// Ctrl+Alt+L opens the memo pad. While the hotkey dialog is open they are released.
TEST_F(KronwelApp, GlobalHotkeysRaiseTheClockAndOpenTheMemoPad) {
  test::WriteWindowsFile(Ini(), "[HotKeys]\nsc1K=75\nsc1S=6\nsc4K=76\nsc4S=3\n");
  test::WriteBytes(home + "/debug.log", "");
  auto clock = Start();
  ASSERT_TRUE(WaitFor([&] { return test::ReadFile(home + "/debug.log").find(":TaskTray Activate") != std::string::npos; }, 30s));
  const std::string log = test::ReadFile(home + "/debug.log");
  EXPECT_NE(log.find(":Registing Global HotKey 1, Shift=6, Key=75, "), std::string::npos) << log;
  EXPECT_NE(log.find(":Registing Global HotKey 4, Shift=3, Key=76, "), std::string::npos) << log;
  EXPECT_NE(log.find(":Regist-Skip Global HotKey 2"), std::string::npos) << log;

  Process other({"xmessage", "-geometry", "+300+300", "another program"});
  ASSERT_TRUE(WaitFor([] { return test::ActiveWindowName() == "xmessage"; }, 10s)) << test::ActiveWindowName();
  ASSERT_EQ(std::system("xdotool key ctrl+shift+k"), 0);
  EXPECT_TRUE(WaitFor([] { return test::ActiveWindowName() == "Kronwel"; }, 5s)) << test::ActiveWindowName();

  // The hotkey dialog holds them: pressing Ctrl+Alt+L then starts nothing.
  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("hotkeys")));
  ASSERT_TRUE(WaitFor([] { return test::ActiveWindowName() == "グローバルホットキーの設定"; }, 10s)) << test::ActiveWindowName();
  ASSERT_EQ(std::system("xdotool key ctrl+alt+l"), 0);  // typed into the dialog's first control
  EXPECT_FALSE(WaitFor([] { return EndpointAlive(QStringLiteral("Notalu")); }, 2s));
  // "キャンセル": the same hotkeys again.
  ASSERT_EQ(std::system("xdotool getactivewindow mousemove --window %1 354 52 click 1"), 0);
  ASSERT_TRUE(WaitFor([] { return test::ActiveWindowName() != "グローバルホットキーの設定"; }, 5s));

  ASSERT_EQ(std::system("xdotool key ctrl+alt+l"), 0);
  EXPECT_TRUE(WaitFor([] { return EndpointAlive(QStringLiteral("Notalu")); }, 20s)) << "the memo pad did not start";
  EXPECT_TRUE(WaitFor([] { return !test::CommandOutput("xdotool search --name '^Notalu$'").empty(); }, 10s));

  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));  // closes the memo pad too
  EXPECT_EQ(clock->WaitExit(15s), 0);
  EXPECT_TRUE(WaitFor([] { return !EndpointAlive(QStringLiteral("Notalu")); }, 10s));
  const IniFile ini(Ini());
  EXPECT_EQ(ini.ReadInteger("HotKeys", "sc4K", 0), 76);  // kept as they were
  EXPECT_EQ(ini.ReadInteger("HotKeys", "sc4S", 0), 3);
}

}  // namespace
}  // namespace kw

int main(int argc, char** argv) {
  return kw::test::RunOnVirtualDesktop(argc, argv, "test_kronwel_app <path of kronwel>", kw::g_kronwel);
}
