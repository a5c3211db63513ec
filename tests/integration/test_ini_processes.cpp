// Settings files shared with other processes and exposed to crashes: real processes (fork)
// writing real files. Children report through their exit status and always leave by _exit.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"
#include "common/file_io.h"
#include "common/ini_file.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
using test::ReadFile;
using test::TempDir;
using test::WriteWindowsFile;

// A forked child running body() and leaving with its result as exit status. The child is
// killed and reaped if the test leaves before waiting for it.
class ChildProcess {
 public:
  explicit ChildProcess(const std::function<int()>& body) {
    std::fflush(nullptr);  // nothing buffered is written twice
    pid_ = ::fork();
    if (pid_ == 0) ::_exit(body());
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      Wait();
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  void Kill() const { ::kill(pid_, SIGKILL); }

  // The raw wait status.
  int Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
  }
  // True once the child has ended; status then holds its wait status.
  bool Ended(int& status) {
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
  }

 private:
  pid_t pid_ = -1;
};

std::string DescribeStatus(int status) {
  if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  return "wait status " + std::to_string(status);
}

// A pipe whose read end blocks until the parent closes the write end: lets children start
// together, or lets a child say it is running.
struct Pipe {
  int fd[2] = {-1, -1};
  Pipe() { EXPECT_EQ(::pipe(fd), 0); }
  ~Pipe() {
    CloseRead();
    CloseWrite();
  }
  void CloseRead() {
    if (fd[0] >= 0) ::close(fd[0]);
    fd[0] = -1;
  }
  void CloseWrite() {
    if (fd[1] >= 0) ::close(fd[1]);
    fd[1] = -1;
  }
  // Blocks until a byte arrives or the write end is closed.
  void WaitRead() const {
    char c;
    while (::read(fd[0], &c, 1) < 0 && errno == EINTR) {
    }
  }
  void Signal() const { (void)!::write(fd[1], "x", 1); }
};

// A counter in memory shared with forked children.
class SharedCounter {
 public:
  SharedCounter() {
    void* p = ::mmap(nullptr, sizeof(std::atomic<int>), PROT_READ | PROT_WRITE,
                     MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    counter_ = p == MAP_FAILED ? nullptr : new (p) std::atomic<int>(0);
  }
  ~SharedCounter() {
    if (counter_) ::munmap(counter_, sizeof(std::atomic<int>));
  }
  std::atomic<int>& operator*() { return *counter_; }
  std::atomic<int>* operator->() { return counter_; }

 private:
  std::atomic<int>* counter_;
};

// ---------------------------------------------------------------------------------------
// A save killed at any moment leaves the old or the new file whole.

// A full settings record whose every alarm and land entry differs between the variants.
TAppInfos FullSettings(int variant) {
  TAppInfos a;
  a.FLeft = variant ? 1280 : 16;
  a.FTop = variant ? 720 : 24;
  a.CurrentSkinName = variant ? "夜空" : "標準設定";
  a.ProxyIP = variant ? "192.0.2.7" : "";
  for (int k = 0; k < kMaxAlarmRecords; ++k) {
    AList r;
    r.Server = k % 3;
    r.Week = (k + variant) % 8;
    r.H = (k * 7 + variant) % 24;
    r.M = (k * 13 + variant * 5) % 60;
    r.DlgPop = (k + variant) % 2 == 0;
    r.Caption = (variant ? "狩りの集合 " : "カオス前 ") + std::to_string(k);
    r.mySound = variant ? "C:\\Sounds\\bell" + std::to_string(k) + ".wav" : "";
    a.AlarmList.push_back(r);
  }
  for (int k = 0; k < kMaxLandRecords; ++k) {
    HList h;
    h.Caption = (variant ? "別荘 " : "畑 ") + std::to_string(k);
    h.LimitDate = 45000 + k + variant * 31;
    h.CaptColor = variant ? 0x0000FF : 0xFF0000;
    h.SubText = variant ? "更新を忘れずに、家賃は倉庫番へ" : "";
    a.LandList.push_back(h);
  }
  return a;
}

TEST(IniCrashSafety, SaveKilledAtRandomMomentsLeavesOneWholeFile) {
  TempDir dir;
  const ManualClock clock(46000.5);
  TOrvTime orv(dir.path(), clock);
  AppInfosEnv env;
  env.iniPath = dir.File("kronwel.ini");
  env.programFolder = dir.path();
  env.orv = &orv;
  const TAppInfos settings[2] = {FullSettings(0), FullSettings(1)};

  // The two complete files the saves alternate between. Each save merges into the file it
  // finds, so the contents are taken once both have been saved over each other.
  std::string content[2];
  for (int round = 0; round < 4; ++round) {
    ASSERT_TRUE(SaveAppInfos(settings[round % 2], env));
    content[round % 2] = ReadFile(env.iniPath);
  }
  ASSERT_TRUE(SaveAppInfos(settings[0], env));
  ASSERT_EQ(ReadFile(env.iniPath), content[0]) << "saving the same settings again changed the file";
  ASSERT_NE(content[0], content[1]);

  SharedCounter saves;
  const std::string tmpPath = env.iniPath + ".tmp";
  auto tmpExists = [&] { return ::access(tmpPath.c_str(), F_OK) == 0; };
  int killsDuringWrite = 0;

  // Starts a child that saves the two settings in turn until killed, kills it once wait()
  // returns, and checks the file.
  auto killWhileSaving = [&](const std::string& round, const std::function<void()>& wait) {
    // A temporary file seen after the kill is then this child's unfinished one.
    ::unlink(tmpPath.c_str());
    Pipe running;
    ChildProcess child([&] {
      running.CloseRead();
      running.Signal();
      const auto childStart = Steady::now();
      for (int n = 0; Steady::now() - childStart < std::chrono::seconds(5); ++n) {
        if (!SaveAppInfos(settings[(n + 1) % 2], env)) return 3;
        ++*saves;
      }
      return 4;  // never killed: the parent is gone or stuck
    });
    ASSERT_TRUE(child.started());
    running.CloseWrite();
    running.WaitRead();
    wait();
    child.Kill();
    const int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << round << ": the saving child ended by itself: " << DescribeStatus(status)
        << " (3: a save failed)";

    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(env.iniPath, bytes)) << round << ": kronwel.ini is missing";
    ASSERT_TRUE(bytes == content[0] || bytes == content[1])
        << round << ": kronwel.ini holds " << bytes.size()
        << " bytes that are neither complete content (" << content[0].size() << " or "
        << content[1].size() << " bytes)";
    if (tmpExists()) ++killsDuringWrite;
  };

  // The first child is let finish three saves: it shows that saves succeed, and how long one
  // takes in a child.
  const auto calibrationStart = Steady::now();
  Steady::duration saveTime{};
  killWhileSaving("first kill", [&] {
    const auto giveUp = Steady::now() + std::chrono::seconds(4);
    while (saves->load() < 3 && Steady::now() < giveUp) std::this_thread::yield();
    saveTime = (Steady::now() - calibrationStart) / 3;
  });
  if (HasFatalFailure()) return;
  ASSERT_GE(saves->load(), 3) << "the child did not finish three saves in 4 s";

  const unsigned seed = std::random_device{}();
  SCOPED_TRACE("random seed " + std::to_string(seed));
  std::mt19937 random(seed);
  // Half the kills land anywhere in the child's first three saves; the others are aimed at
  // the write itself: they follow within a moment of the temporary file appearing.
  std::uniform_int_distribution<int64_t> anywhereUs(
      0, 3 * std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count());
  std::uniform_int_distribution<int64_t> afterTmpUs(0, 300);
  constexpr int kKills = 60;
  for (int kill = 1; kill <= kKills && !HasFatalFailure(); ++kill) {
    const bool aimed = kill % 2 == 0;
    const int64_t delayUs = aimed ? afterTmpUs(random) : anywhereUs(random);
    killWhileSaving("kill " + std::to_string(kill) + (aimed ? " (aimed)" : "") + " after " +
                        std::to_string(delayUs) + " us",
                    [&] {
                      if (!aimed) {
                        std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
                        return;
                      }
                      const auto giveUp = Steady::now() + std::chrono::seconds(2);
                      while (!tmpExists() && Steady::now() < giveUp) {
                      }
                      const auto until = Steady::now() + std::chrono::microseconds(delayUs);
                      while (Steady::now() < until) {
                      }
                    });
  }
  if (HasFatalFailure()) return;
  std::printf("[          ] %d kills, %d while the new file was written, %d saves completed\n",
              kKills + 1, killsDuringWrite, saves->load());

  // A temporary file left by a crash neither blocks nor survives the next save.
  if (!tmpExists()) test::WriteBytes(tmpPath, "[AlarmSets]\r\nAlarmNum=");
  ASSERT_TRUE(SaveAppInfos(settings[1], env));
  EXPECT_EQ(ReadFile(env.iniPath), content[1]);
  EXPECT_FALSE(tmpExists());
}

// ---------------------------------------------------------------------------------------
// Two processes writing different sections of one file, each flushing after every write.

enum WriterResult {
  kWriterOk = 0,
  kWriterFlushFailed = 10,
  kWriterOwnValueLost,     // its own last value is not on disk right after its flush
  kWriterOtherWentBack,    // the other writer's section vanished or its counter went back
  kWriterUnrelatedLost,    // the key neither writer touches is gone
};

const char* DescribeWriterResult(int code) {
  switch (code) {
    case kWriterFlushFailed: return "a flush failed";
    case kWriterOwnValueLost: return "its own counter was not on disk after its flush";
    case kWriterOtherWentBack: return "the other writer's counter vanished or went back";
    case kWriterUnrelatedLost: return "the [Network] key was lost";
    default: return "unexpected exit";
  }
}

// Writes 1..iterations to [section] Counter through one IniFile kept for the whole run, and
// checks the file after every flush.
int WriteCounters(const std::string& path, const std::string& section, const std::string& other,
                  int iterations) {
  IniFile ini(path);
  int lastOther = -1;
  for (int i = 1; i <= iterations; ++i) {
    ini.WriteInteger(section, "Counter", i);
    if (!ini.Flush()) return kWriterFlushFailed;
    const IniFile disk(path);
    if (disk.ReadInteger(section, "Counter", -1) != i) return kWriterOwnValueLost;
    const int seen = disk.ReadInteger(other, "Counter", -1);
    if (seen < lastOther) return kWriterOtherWentBack;
    lastOther = seen;
    if (disk.ReadString("Network", "ProxyIP", "") != "192.0.2.1") return kWriterUnrelatedLost;
  }
  return kWriterOk;
}

TEST(IniTwoWriters, DifferentSectionsFlushedConcurrentlyKeepEveryWrite) {
  constexpr int kIterations = 200;
  TempDir dir;
  const std::string path = dir.File("kronwel.ini");
  WriteWindowsFile(path, "[Network]\nProxyIP=192.0.2.1\n");

  Pipe gate;
  ChildProcess notalu([&] {
    gate.CloseWrite();
    gate.WaitRead();
    return WriteCounters(path, "Notalu", "Window", kIterations);
  });
  ChildProcess window([&] {
    gate.CloseWrite();
    gate.WaitRead();
    return WriteCounters(path, "Window", "Notalu", kIterations);
  });
  ASSERT_TRUE(notalu.started() && window.started());
  gate.CloseWrite();  // both start now

  // Meanwhile a reader that takes no lock, as another program would, must always find the
  // file whole, with every section it has once seen and no counter going back.
  int last[2] = {-1, -1};
  int snapshots = 0, overlapping = 0;
  int status[2] = {0, 0};
  bool ended[2] = {false, false};
  const auto deadline = Steady::now() + std::chrono::seconds(30);
  while (!(ended[0] && ended[1])) {
    ASSERT_TRUE(Steady::now() < deadline) << "the writers did not finish";
    if (!ended[0]) ended[0] = notalu.Ended(status[0]);
    if (!ended[1]) ended[1] = window.Ended(status[1]);
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes)) << "the file went missing while being written";
    const IniFile snapshot(path);
    ASSERT_EQ(snapshot.ReadString("Network", "ProxyIP", ""), "192.0.2.1");
    const int now[2] = {snapshot.ReadInteger("Notalu", "Counter", -1),
                        snapshot.ReadInteger("Window", "Counter", -1)};
    for (int w = 0; w < 2; ++w) {
      ASSERT_GE(now[w], last[w]) << (w ? "[Window]" : "[Notalu]") << " went back";
      last[w] = now[w];
    }
    ++snapshots;
    if (now[0] > 0 && now[0] < kIterations && now[1] > 0 && now[1] < kIterations) ++overlapping;
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }

  EXPECT_EQ(status[0], 0) << "[Notalu] writer: " << DescribeStatus(status[0]) << ", "
                          << DescribeWriterResult(WEXITSTATUS(status[0]));
  EXPECT_EQ(status[1], 0) << "[Window] writer: " << DescribeStatus(status[1]) << ", "
                          << DescribeWriterResult(WEXITSTATUS(status[1]));
  const IniFile result(path);
  EXPECT_EQ(result.ReadInteger("Notalu", "Counter", -1), kIterations);
  EXPECT_EQ(result.ReadInteger("Window", "Counter", -1), kIterations);
  EXPECT_EQ(result.ReadString("Network", "ProxyIP", ""), "192.0.2.1");
  // Otherwise one writer finished before the other began and nothing was contended.
  EXPECT_GT(overlapping, 0) << "no snapshot of " << snapshots << " caught both writers mid-run";
}

// ---------------------------------------------------------------------------------------
// A flush that cannot write leaves the old file whole and keeps the changes for later.

struct Obstacle {
  const char* name;
  // Puts the obstacle in the way of writing the file at path, and takes it away again.
  void (*put)(const std::string& path);
  void (*clear)(const std::string& path);
};

std::string LockPath(const std::string& path) {
  const fs::path p(path);
  return (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
}

const Obstacle kObstacles[] = {
    {"TemporaryNameIsAFolder",
     [](const std::string& path) { ASSERT_EQ(::mkdir((path + ".tmp").c_str(), 0700), 0); },
     [](const std::string& path) { ASSERT_EQ(::rmdir((path + ".tmp").c_str()), 0); }},
    {"FileIsReadOnly",
     [](const std::string& path) { ASSERT_EQ(::chmod(path.c_str(), 0400), 0); },
     [](const std::string& path) { ASSERT_EQ(::chmod(path.c_str(), 0600), 0); }},
    {"LockNameIsAFolder",
     [](const std::string& path) { ASSERT_EQ(::mkdir(LockPath(path).c_str(), 0700), 0); },
     [](const std::string& path) { ASSERT_EQ(::rmdir(LockPath(path).c_str()), 0); }},
};

void PrintTo(const Obstacle& obstacle, std::ostream* out) { *out << obstacle.name; }

class IniFailedFlush : public ::testing::TestWithParam<Obstacle> {};

TEST_P(IniFailedFlush, KeepsOldFileAndPendingChangesUntilALaterFlush) {
  const Obstacle& obstacle = GetParam();
  TempDir dir;
  const std::string path = dir.File("kronwel.ini");
  WriteWindowsFile(path, "[Window]\nFLeft=10\nFTop=20\n\n[Network]\nProxyIP=192.0.2.1\n");
  const std::string old = ReadFile(path);

  IniFile ini(path);
  ini.WriteInteger("Window", "FLeft", 640);
  ini.DeleteKey("Network", "ProxyIP");
  ini.WriteString("Notalu", "OpenSW", "1");
  obstacle.put(path);

  std::string error;
  EXPECT_FALSE(ini.Flush(&error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_TRUE(ini.HasPendingChanges());
  EXPECT_EQ(ini.ReadInteger("Window", "FLeft", -1), 640);

  // A second change and a second failure: both stay queued, in order.
  ini.WriteInteger("Window", "FLeft", 800);
  EXPECT_FALSE(ini.Flush());
  EXPECT_EQ(ReadFile(path), old);

  obstacle.clear(path);
  // Someone else saves in between; the retry merges into that file, not the old one.
  IniFile other(path);
  other.WriteInteger("Sound", "SENumber", 3);
  ASSERT_TRUE(other.Flush());

  error.clear();
  EXPECT_TRUE(ini.Flush(&error)) << error;
  EXPECT_FALSE(ini.HasPendingChanges());
  const IniFile disk(path);
  EXPECT_EQ(disk.ReadInteger("Window", "FLeft", -1), 800);
  EXPECT_EQ(disk.ReadInteger("Window", "FTop", -1), 20);
  EXPECT_FALSE(disk.ValueExists("Network", "ProxyIP"));
  EXPECT_EQ(disk.ReadString("Notalu", "OpenSW", ""), "1");
  EXPECT_EQ(disk.ReadInteger("Sound", "SENumber", -1), 3);

  std::set<std::string> left;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    left.insert(entry.path().filename().string());
  EXPECT_EQ(left, (std::set<std::string>{"kronwel.ini", ".kronwel.ini.lock"}));
}

INSTANTIATE_TEST_SUITE_P(Obstacles, IniFailedFlush, ::testing::ValuesIn(kObstacles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kw
