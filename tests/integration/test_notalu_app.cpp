// The clock and the memo pad together, both real programs on a virtual desktop: the clock
// opens the memo pad once, closes it when it closes itself, and neither loses the other's
// settings in the shared kronwel.ini.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "common/ini_file.h"
#include "memo/u_memofile.h"
#include "platform/endpoints.h"
#include "tests/support/desktop.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::Process;
using test::WaitFor;

std::string g_bin;  // the folder of kronwel and notalu

// How many processes run the given executable.
int ProcessesOf(const std::string& exe) {
  int n = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::error_code linkError;
    if (fs::read_symlink(entry.path() / "exe", linkError) == exe) ++n;
  }
  return n;
}

bool Alive(const char* title) { return EndpointAlive(QString::fromLatin1(title)); }

class MemoWithClock : public ::testing::Test {
 protected:
  MemoWithClock() {
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(home);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    setenv("KRONWEL_HOME", home.c_str(), 1);
    fs::copy(g_bin + "/skins", home + "/skins", fs::copy_options::recursive);
    uint8_t key = 7;
    EXPECT_TRUE(SaveMemos(home + "/kronwel.ntm", memos, [&] { return key += 13; }));
  }
  ~MemoWithClock() override {
    // Nothing may outlive a test.
    SendCommand(QStringLiteral("Notalu"), QStringLiteral("close"));
    WaitFor([] { return !Alive("Notalu"); }, 5s);
  }

  std::unique_ptr<Process> StartClock() { return std::make_unique<Process>(std::vector<std::string>{g_bin + "/kronwel"}, home); }

  test::TempDir dir;
  std::string runtime = dir.File("runtime"), home = dir.File("home");
  const std::vector<ANotalu> memos = {{"買い物", "薬草 x5\r\n\t矢 x100"}, {"ボス", "沌の日 21:00"}};
};

TEST_F(MemoWithClock, TheClockOpensItOnceAndClosesItWithItsMemosSaved) {
  auto clock = StartClock();
  ASSERT_TRUE(WaitFor([] { return Alive("Kronwel"); }, 20s));
  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("notalu")));
  ASSERT_TRUE(WaitFor([] { return Alive("Notalu"); }, 20s)) << "the memo pad did not come up";
  ASSERT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("notalu")));  // again
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(ProcessesOf(g_bin + "/notalu"), 1);

  const std::string before = test::ReadFile(home + "/kronwel.ntm");
  clock->Signal(SIGTERM);
  EXPECT_EQ(clock->WaitExit(20s), 0);
  EXPECT_TRUE(WaitFor([&] { return ProcessesOf(g_bin + "/notalu") == 0; }, 10s)) << "the memo pad still runs";

  // Saved anew (fresh keys), the same memos.
  EXPECT_NE(test::ReadFile(home + "/kronwel.ntm"), before);
  EXPECT_EQ(LoadMemos(home + "/kronwel.ntm", SystemClock()).memos, memos);
  // Both programs' keys are in kronwel.ini.
  const IniFile ini(home + "/kronwel.ini");
  EXPECT_TRUE(ini.ValueExists("Notalu", "PosL"));
  EXPECT_TRUE(ini.ValueExists("Notalu", "MemoNo"));
  EXPECT_TRUE(ini.ValueExists("Window", "FAlpha"));
  EXPECT_TRUE(ini.ValueExists("AlarmSets", "AlarmNum"));
  EXPECT_TRUE(ini.ReadBool("Notalu", "OpenSW", false));

  // Open at the last close: the next start of the clock opens it again.
  auto again = StartClock();
  EXPECT_TRUE(WaitFor([] { return Alive("Notalu"); }, 20s));
  EXPECT_TRUE(SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close")));
  EXPECT_EQ(again->WaitExit(20s), 0);
  EXPECT_TRUE(WaitFor([] { return !Alive("Notalu"); }, 10s));
}

}  // namespace
}  // namespace kw

int main(int argc, char** argv) {
  return kw::test::RunOnVirtualDesktop(argc, argv, "test_notalu_app <folder of kronwel and notalu>", kw::g_bin);
}
