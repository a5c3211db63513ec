// Speed of the foundation: the game-time conversions the clock runs on every tick, and
// loading and saving a full kronwel.ini. Prints its figures beside their targets; it checks
// no timing, so a busy machine gives slow figures, never a failure.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"
#include "common/clock.h"
#include "common/datetime.h"
#include "tests/support/test_support.h"

#if defined(__has_feature)
#define KW_HAS_ASAN __has_feature(address_sanitizer)
#else
#define KW_HAS_ASAN 0
#endif

namespace {

using Steady = std::chrono::steady_clock;

// Keeps the compiler from dropping work whose result is otherwise unused.
template <class T>
void KeepAlive(const T& value) {
  asm volatile("" : : "g"(&value) : "memory");
}

double NsPerCall(Steady::duration d, int64_t calls) {
  return std::chrono::duration<double, std::nano>(d).count() / static_cast<double>(calls);
}

double Ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Max(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

kw::TAppInfos FullSettings() {
  kw::TAppInfos a;
  for (int k = 0; k < kw::kMaxAlarmRecords; ++k) {
    kw::AList r;
    r.Server = k % 3;
    r.Week = k % 8;
    r.H = k % 24;
    r.M = (k * 7) % 60;
    r.ReSet = k % 2 == 0;
    r.Caption = "カオス前の集合 " + std::to_string(k);
    r.mySound = "C:\\Sounds\\alarm" + std::to_string(k) + ".wav";
    r.PreCall = k % 8;
    a.AlarmList.push_back(r);
  }
  for (int k = 0; k < kw::kMaxLandRecords; ++k) {
    kw::HList h;
    h.Caption = "別荘 " + std::to_string(k);
    h.LimitDate = 45400 + k;
    h.CaptColor = 0x00FF00u + static_cast<uint32_t>(k);
    h.SubText = "家賃は倉庫番へ";
    a.LandList.push_back(h);
  }
  return a;
}

}  // namespace

int main() {
#if defined(__SANITIZE_ADDRESS__) || KW_HAS_ASAN
  std::printf("note: built with sanitizers; the figures are far slower than a release build\n");
#endif
  kw::test::TempDir dir;
  kw::TDateTime now = 0;
  kw::TryEncodeDateTime({2024, 5, 18, 21, 37, 12, 345}, now);
  kw::ManualClock clock(now);
  kw::TOrvTime orv(dir.path(), clock);
  for (int32_t i = 0; i < orv.ServerCount; ++i) {
    orv.Servers[i].RealBase = now - 0.37 * (i + 1);
    orv.Servers[i].GameBase = {i % 7, 3 + i, 20, 0};
  }

  // Inputs vary from call to call, taken from small tables so that computing them costs
  // next to nothing.
  constexpr int kTable = 1024;
  std::array<kw::TDateTime, kTable> times{};
  std::array<kw::TGameWeekTime, kTable> targets{};
  for (int k = 0; k < kTable; ++k) {
    times[k] = now + (k - kTable / 2) * 0.0137;
    targets[k] = {k % 7, (k * 5) % 24, (k * 11) % 60, 0};
  }
  const int32_t servers = orv.ServerCount;
  constexpr int64_t kCalls = 4'000'000;

  {
    int64_t sum = 0;
    const auto start = Steady::now();
    for (int64_t n = 0; n < kCalls; ++n) {
      sum += orv.GameSecondsOfWeek(static_cast<int32_t>(n % servers), times[n % kTable]);
      KeepAlive(sum);
    }
    const double ns = NsPerCall(Steady::now() - start, kCalls);
    KeepAlive(sum);
    std::printf("GameSecondsOfWeek   %8.1f ns/call   (target: well under 1000 ns)\n", ns);
  }
  {
    double sum = 0;
    const auto start = Steady::now();
    for (int64_t n = 0; n < kCalls; ++n) {
      sum += orv.NextRealTime(static_cast<int32_t>(n % servers), targets[n % kTable]);
      KeepAlive(sum);
    }
    const double ns = NsPerCall(Steady::now() - start, kCalls);
    KeepAlive(sum);
    std::printf("NextRealTime        %8.1f ns/call   (target: well under 1000 ns)\n", ns);
  }

  // kronwel.ini with 128 alarms and 128 land entries, loaded and saved as at start and close.
  kw::AppInfosEnv env;
  env.iniPath = dir.File("kronwel.ini");
  env.programFolder = dir.path();
  env.orv = &orv;
  const kw::TAppInfos full = FullSettings();
  if (!kw::SaveAppInfos(full, env)) {
    std::printf("cannot write %s\n", env.iniPath.c_str());
    return 1;
  }
  const size_t fileSize = kw::test::ReadFile(env.iniPath).size();

  constexpr int kRounds = 50;
  std::vector<double> load, save, both;
  for (int round = 0; round < kRounds; ++round) {
    kw::TAppInfos loaded;
    const auto t0 = Steady::now();
    kw::LoadAppInfos(loaded, env);
    const auto t1 = Steady::now();
    const bool saved = kw::SaveAppInfos(loaded, env);
    const auto t2 = Steady::now();
    // A figure for settings that did not make the round trip would mean nothing.
    if (!saved || loaded.AlarmList.size() != full.AlarmList.size() ||
        loaded.LandList.size() != full.LandList.size()) {
      std::printf("the settings did not survive load and save in round %d\n", round);
      return 1;
    }
    load.push_back(Ms(t1 - t0));
    save.push_back(Ms(t2 - t1));
    both.push_back(Ms(t2 - t0));
  }
  std::printf("kronwel.ini, 128 alarms + 128 land entries, %zu bytes, %d rounds:\n", fileSize,
              kRounds);
  std::printf("  load               median %6.2f ms   max %6.2f ms\n", Median(load), Max(load));
  std::printf("  save               median %6.2f ms   max %6.2f ms\n", Median(save), Max(save));
  std::printf("  load + save        median %6.2f ms   max %6.2f ms   (target: under 20 ms)\n",
              Median(both), Max(both));
  return 0;
}
