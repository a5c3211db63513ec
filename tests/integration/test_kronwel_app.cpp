// The real kronwel on a real X server: Xvfb with a window manager and a tray host, each
// program in its own runtime folder and program folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/ini_file.h"
#include "platform/endpoints.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

std::string g_kronwel;  // path of the program under test

// A child process started with execvp; killed when the object goes.
class Process {
 public:
  Process(std::vector<std::string> argv, const std::string& cwd = {}, int stdoutFd = -1) {
    pid_ = fork();
    if (pid_ == 0) {
      if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
      const int null = open("/dev/null", O_RDWR);
      dup2(null, 0);
      if (stdoutFd >= 0) dup2(stdoutFd, 3);
      std::vector<char*> args;
      for (std::string& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Process() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  pid_t pid() const { return pid_; }
  void Signal(int sig) const { kill(pid_, sig); }
  // The exit status, or -1 when the process is still running after the wait.
  int WaitExit(std::chrono::milliseconds limit) {
    const auto end = Steady::now() + limit;
    do {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    } while (Steady::now() < end);
    return -1;
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

// The title of the window that has the focus, as the window manager sees it.
std::string ActiveWindowName() {
  std::string name;
  if (FILE* p = popen("xdotool getactivewindow getwindowname 2>/dev/null", "r")) {
    char buf[256];
    while (fgets(buf, sizeof buf, p)) name += buf;
    pclose(p);
  }
  while (!name.empty() && (name.back() == '\n' || name.back() == ' ')) name.pop_back();
  return name;
}

template <class F>
bool WaitFor(F condition, std::chrono::milliseconds limit) {
  const auto end = Steady::now() + limit;
  while (Steady::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return condition();
}

// One X server with a window manager and a tray host for the whole suite.
class Desktop : public ::testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    xvfb_ = std::make_unique<Process>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
        std::string(), fds[1]);
    close(fds[1]);
    char buf[16] = {};
    ASSERT_GT(read(fds[0], buf, sizeof buf - 1), 0) << "Xvfb did not start";
    close(fds[0]);
    const std::string display = ":" + std::string(buf).substr(0, std::string(buf).find('\n'));
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    wm_ = std::make_unique<Process>(std::vector<std::string>{"openbox", "--sm-disable"});
    tray_ = std::make_unique<Process>(std::vector<std::string>{
        "trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
    std::this_thread::sleep_for(500ms);
  }
  void TearDown() override {
    tray_.reset();
    wm_.reset();
    xvfb_.reset();
  }

 private:
  std::unique_ptr<Process> xvfb_, wm_, tray_;
};

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
  ASSERT_TRUE(WaitFor([] { return ActiveWindowName() == "xmessage"; }, 10s)) << ActiveWindowName();

  const auto started = Steady::now();
  auto second = Start();
  EXPECT_EQ(second->WaitExit(5s), 0);
  std::cout << "second start ended after "
            << std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - started).count() << " ms\n";
  EXPECT_EQ(first->WaitExit(300ms), -1) << "the first instance ended";
  EXPECT_TRUE(Running());
  EXPECT_TRUE(WaitFor([] { return ActiveWindowName() == "Kronwel"; }, 5s)) << ActiveWindowName();

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

TEST_F(KronwelApp, WithoutDebugLogNothingIsWritten) {
  auto first = Start();
  ASSERT_TRUE(WaitFor(Running, 20s));
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(first->WaitExit(15s), 0);
  for (const auto& entry : fs::directory_iterator(home))
    EXPECT_NE(entry.path().filename(), "debug.log");
}

}  // namespace
}  // namespace kw

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::cerr << "usage: test_kronwel_app <path of kronwel>\n";
    return 2;
  }
  kw::g_kronwel = std::filesystem::absolute(argv[1]).string();
  ::testing::AddGlobalTestEnvironment(new kw::Desktop);
  return RUN_ALL_TESTS();
}
