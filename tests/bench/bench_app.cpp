// Figures of the running clock, printed beside their targets (no pass or fail):
// start to first shown window, resident memory, the CPU of an idle clock, and the cost of a
// tick that draws nothing. Usage: bench_app <path of kronwel>
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"
#include "clock/window/u_ticker.h"
#include "platform/endpoints.h"
#include "tests/support/desktop.h"
#include "tests/support/test_support.h"

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Resident memory in KiB and CPU time (user + system) in seconds of a process.
long RssKiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) {
      stime = std::stoull(field);
      break;
    }
  }
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Duties that do nothing: what is left is the tick's own scheduling.
class IdleDuties : public kw::TickDuties {
 public:
  int32_t MaintenanceState() override { return 0; }
  void RefreshFace() override {}
  void ReRegisterTray() override {}
  void CheckLandDeadlines() override {}
  void OrvSync(bool) override {}
  int32_t RadioCheckIntervalSeconds() override { return 300; }
  void UpdateRadioMenu() override {}
  void CheckAlarms() override {}
  void CheckChaosAlarms() override {}
  const kw::TServersStatus& ServersStatus() override { return status; }
  bool IsServerDown(int32_t) override { return false; }
  void FetchServersStatus() override {}
  void UpdateConfigFiles() override {}
  void ReassertTopmost() override {}
  void FadeStep() override {}
  void MaintenanceAlert(int32_t, int32_t) override {}
  kw::TServersStatus status;
};

void TickCost() {
  IdleDuties duties;
  kw::TAppInfos settings;
  settings.LastSyncTime = 46367.5;
  kw::TTicker ticker(duties, settings);
  ticker.LastTickTime = 46367.5;
  constexpr int kTicks = 1000000;
  const auto start = Steady::now();
  for (int i = 0; i < kTicks; ++i) {
    const kw::TDateTime now = 46367.5 + i * (0.1 / 86400);  // 100 ms apart
    ticker.DrawTimerTimer(now, now);
  }
  const double ns = std::chrono::duration<double, std::nano>(Steady::now() - start).count() / kTicks;
  std::printf("tick scheduling, no duty    %8.3f us/tick  (target for a tick that draws nothing: under 20 us)\n",
              ns / 1000);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_app <path of kronwel>\n");
    return 2;
  }
#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
  std::printf("note: built with sanitizers; the figures are inflated\n");
#endif
#endif
  TickCost();

  const std::string kronwel = std::filesystem::absolute(argv[1]).string();
  kw::test::VirtualDesktop desktop;
  if (!desktop.ok()) {
    std::printf("no virtual desktop (Xvfb): the window figures are left out\n");
    return 0;
  }
  kw::test::TempDir dir;
  const std::string runtime = dir.File("runtime"), home = dir.File("home");
  std::filesystem::create_directories(runtime);
  std::filesystem::permissions(runtime, std::filesystem::perms::owner_all, std::filesystem::perm_options::replace);
  std::filesystem::create_directories(home);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("KRONWEL_HOME", home.c_str(), 1);
  std::filesystem::copy(std::filesystem::path(kronwel).parent_path() / "skins", home + "/skins",
                        std::filesystem::copy_options::recursive);

  std::vector<double> startMs;
  for (int round = 0; round < 5; ++round) {
    const auto start = Steady::now();
    kw::test::Process clock({kronwel}, home);
    const bool shown = kw::test::WaitFor(
        [] { return !kw::test::CommandOutput("xdotool search --onlyvisible --name '^Kronwel$' 2>/dev/null").empty(); },
        20s);
    if (!shown) {
      std::printf("kronwel showed no window\n");
      return 1;
    }
    startMs.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
    if (round < 4) {
      kw::SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close"));
      clock.WaitExit(15s);
      continue;
    }
    std::this_thread::sleep_for(3s);  // let the log window fade and the start-up settle
    const long rss = RssKiB(clock.pid());
    const double cpu0 = CpuSeconds(clock.pid());
    constexpr int kIdleSeconds = 30;
    std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
    const double cpu = CpuSeconds(clock.pid()) - cpu0;
    std::sort(startMs.begin(), startMs.end());
    std::printf("start to first shown window %8.1f ms median, %.1f ms max over %zu starts  (target: under 500 ms)\n",
                startMs[startMs.size() / 2], startMs.back(), startMs.size());
    std::printf("resident memory             %8.1f MB  (target: under 80 MB)\n", rss / 1024.0);
    std::printf("idle clock                  %8.3f %% of one core over %d s, %.1f us CPU per 100 ms tick  (target: under 0.2 %%)\n",
                cpu / kIdleSeconds * 100, kIdleSeconds, cpu / (kIdleSeconds * 10) * 1e6);
    kw::SendCommand(QStringLiteral("Kronwel"), QStringLiteral("close"));
    clock.WaitExit(15s);
  }
  return 0;
}
