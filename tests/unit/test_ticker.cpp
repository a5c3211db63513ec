#include "clock/window/u_ticker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;

// Records the duties in the order the tick calls them.
class RecordingDuties : public TickDuties {
 public:
  std::vector<std::string> calls;
  int32_t maintenance = 0;
  int32_t radioInterval = 300;
  TServersStatus status;
  std::vector<bool> down;
  std::function<void()> onCheckAlarms;

  int Count(const std::string& name) const { return static_cast<int>(std::count(calls.begin(), calls.end(), name)); }

  int32_t MaintenanceState() override { return calls.push_back("MaintenanceState"), maintenance; }
  void RefreshFace() override { calls.push_back("RefreshFace"); }
  void ReRegisterTray() override { calls.push_back("ReRegisterTray"); }
  void CheckLandDeadlines() override { calls.push_back("CheckLandDeadlines"); }
  void OrvSync(bool silent) override { calls.push_back(silent ? "OrvSync(silent)" : "OrvSync"); }
  int32_t RadioCheckIntervalSeconds() override { return radioInterval; }
  void UpdateRadioMenu() override { calls.push_back("UpdateRadioMenu"); }
  void CheckAlarms() override {
    calls.push_back("CheckAlarms");
    if (onCheckAlarms) onCheckAlarms();
  }
  void CheckChaosAlarms() override { calls.push_back("CheckChaosAlarms"); }
  const TServersStatus& ServersStatus() override { return status; }
  bool IsServerDown(int32_t i) override { return i >= static_cast<int32_t>(down.size()) || down[i]; }
  void FetchServersStatus() override { calls.push_back("FetchServersStatus"); }
  void UpdateConfigFiles() override { calls.push_back("UpdateConfigFiles"); }
  void ReassertTopmost() override { calls.push_back("ReassertTopmost"); }
  void FadeStep() override { calls.push_back("FadeStep"); }
  void MaintenanceAlert(int32_t from, int32_t to) override {
    calls.push_back("MaintenanceAlert(" + std::to_string(from) + "," + std::to_string(to) + ")");
  }
};

class TickerTest : public ::testing::Test {
 protected:
  TickerTest() {
    settings.AutoSync = true;
    settings.AutoInterval = 30;
    settings.LastSyncTime = start;
    ticker.LastTickTime = start;
    ticker.RadioCheckTime = start;
    ticker.LandCheckTime = start;
    ticker.StatusPollSecond = 15;
  }
  void Tick(TDateTime now) { ticker.DrawTimerTimer(now, now); }

  const TDateTime start = At(2026, 12, 11, 12, 0, 0);
  RecordingDuties duties;
  TAppInfos settings;
  TTicker ticker{duties, settings};
};

TEST_F(TickerTest, StepsRunInOrder) {
  Tick(At(2026, 12, 11, 12, 0, 1));
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"MaintenanceState", "RefreshFace", "CheckAlarms",
                                                    "CheckChaosAlarms", "ReassertTopmost", "FadeStep"}));
  duties.calls.clear();
  Tick(At(2026, 12, 11, 12, 0, 1, 100));  // same second: no pass
  EXPECT_EQ(duties.calls, (std::vector<std::string>{"MaintenanceState", "RefreshFace", "ReassertTopmost", "FadeStep"}));
}

TEST_F(TickerTest, OncePerSecondGateComparesOnlyTheSecondsField) {
  Tick(At(2026, 12, 11, 12, 0, 5));
  Tick(At(2026, 12, 11, 12, 0, 5, 900));
  Tick(At(2026, 12, 11, 12, 1, 5));  // a minute later, same seconds field: skipped
  EXPECT_EQ(duties.Count("CheckAlarms"), 1);
  Tick(At(2026, 12, 11, 12, 1, 6));
  EXPECT_EQ(duties.Count("CheckAlarms"), 2);
  EXPECT_EQ(ticker.LastSecondPass, At(2026, 12, 11, 12, 1, 6));
}

TEST_F(TickerTest, ResumeDetection) {
  Tick(At(2026, 12, 11, 12, 0, 59, 900));  // 59.9 s: still the same session
  EXPECT_EQ(duties.Count("ReRegisterTray"), 0);
  Tick(At(2026, 12, 11, 13, 1, 0));        // an hour later
  EXPECT_EQ(duties.Count("ReRegisterTray"), 1);
  Tick(At(2026, 12, 11, 12, 1, 1));        // the clock set back by an hour
  EXPECT_EQ(duties.Count("ReRegisterTray"), 2);
  Tick(At(2026, 12, 11, 12, 1, 2));
  EXPECT_EQ(duties.Count("ReRegisterTray"), 2);
  EXPECT_EQ(ticker.LastTickTime, At(2026, 12, 11, 12, 1, 2));
}

TEST_F(TickerTest, PeriodicSynchronisation) {
  Tick(At(2026, 12, 11, 12, 30, 0));  // exactly the interval: not yet
  EXPECT_EQ(duties.Count("OrvSync(silent)"), 0);
  Tick(At(2026, 12, 11, 12, 30, 1));
  EXPECT_EQ(duties.Count("OrvSync(silent)"), 1);
  settings.AutoSync = false;
  Tick(At(2026, 12, 11, 12, 30, 2));
  EXPECT_EQ(duties.Count("OrvSync(silent)"), 1);
  // After the clock is set back, synchronisation waits until the interval has passed again.
  settings.AutoSync = true;
  settings.LastSyncTime = At(2026, 12, 11, 12, 30, 1);
  Tick(At(2026, 12, 11, 11, 30, 3));
  Tick(At(2026, 12, 11, 12, 59, 59));
  EXPECT_EQ(duties.Count("OrvSync(silent)"), 1);
}

TEST_F(TickerTest, RadioSensorInterval) {
  duties.radioInterval = 60;
  Tick(At(2026, 12, 11, 12, 1, 0));
  EXPECT_EQ(duties.Count("UpdateRadioMenu"), 0);
  Tick(At(2026, 12, 11, 12, 1, 1));
  EXPECT_EQ(duties.Count("UpdateRadioMenu"), 1);
  EXPECT_EQ(ticker.RadioCheckTime, At(2026, 12, 11, 12, 1, 1));
  Tick(At(2026, 11, 11, 12, 1, 2));  // far in the past counts too
  EXPECT_EQ(duties.Count("UpdateRadioMenu"), 2);
}

TEST_F(TickerTest, LandDeadlinesOnANewDate) {
  Tick(At(2026, 12, 11, 23, 59, 58));
  EXPECT_EQ(duties.Count("CheckLandDeadlines"), 0);
  Tick(At(2026, 12, 12, 0, 0, 0));  // new date, alarm off: only the date is noted
  EXPECT_EQ(duties.Count("CheckLandDeadlines"), 0);
  settings.AlarmSW = true;
  Tick(At(2026, 12, 12, 0, 0, 1));  // switched on: nothing until the next date
  EXPECT_EQ(duties.Count("CheckLandDeadlines"), 0);
  Tick(At(2026, 12, 13, 0, 0, 2));
  EXPECT_EQ(duties.Count("CheckLandDeadlines"), 1);
}

TEST_F(TickerTest, MaintenanceAlertWhenTheStateChanges) {
  duties.maintenance = -1;  // started inside the regular maintenance
  Tick(At(2026, 12, 11, 12, 0, 1));
  Tick(At(2026, 12, 11, 12, 0, 2));
  duties.maintenance = 0;
  Tick(At(2026, 12, 11, 12, 0, 3));
  EXPECT_EQ(duties.Count("MaintenanceAlert(0,-1)"), 1);
  EXPECT_EQ(duties.Count("MaintenanceAlert(-1,0)"), 1);
  EXPECT_EQ(duties.calls.back(), "MaintenanceAlert(-1,0)");
}

TEST_F(TickerTest, ATickInsideATickIsSkipped) {
  int inner = 0;
  duties.onCheckAlarms = [&] {
    ++inner;
    Tick(At(2026, 12, 11, 12, 0, 2));  // a modal box inside a duty lets the timer fire
  };
  Tick(At(2026, 12, 11, 12, 0, 1));
  EXPECT_EQ(inner, 1);
  EXPECT_EQ(duties.Count("RefreshFace"), 1);
  duties.onCheckAlarms = nullptr;
  Tick(At(2026, 12, 11, 12, 0, 3));  // and the next one runs normally
  EXPECT_EQ(duties.Count("RefreshFace"), 2);
}

// Runs the pass at the poll second of every minute of an hour and counts what it fetched.
struct PollCounts {
  int fetches = 0, configs = 0;
  std::vector<int> minutes;
};

PollCounts PollAnHour(RecordingDuties& duties, TTicker& ticker) {
  PollCounts counts;
  for (int minute = 0; minute < 60; ++minute) {
    const TDateTime before = At(2026, 12, 11, 14, minute, 14);
    ticker.DrawTimerTimer(before, before);  // the second before opens the gate again
    duties.calls.clear();
    const TDateTime pc = At(2026, 12, 11, 14, minute, 15);
    ticker.DrawTimerTimer(pc + 0.5 / 86400, pc);  // corrected time half a second ahead
    if (duties.Count("FetchServersStatus")) counts.minutes.push_back(minute);
    counts.fetches += duties.Count("FetchServersStatus");
    counts.configs += duties.Count("UpdateConfigFiles");
  }
  return counts;
}

TEST_F(TickerTest, ServerStatusPollingByMinute) {
  struct Case {
    const char* name;
    bool valid;
    int32_t count;
    std::vector<bool> down;
    int32_t maintenance;
    int fetches, configs, firstMinutes;
  } cases[] = {
      {"a server down", true, 3, {false, true, false}, 0, 30, 0, 2},
      {"all up", true, 3, {false, false, false}, 0, 6, 6, 10},
      {"more entries than servers", true, 4, {false, false, false}, 0, 30, 0, 2},
      {"no entries", true, 0, {}, 0, 30, 0, 2},
      {"no entries, in maintenance", true, 0, {}, -1, 12, 0, 5},
      {"not valid", false, 3, {false, false, false}, 0, 30, 0, 2},
  };
  for (const Case& c : cases) {
    RecordingDuties d;
    TTicker t(d, settings);
    t.StatusPollSecond = 15;
    t.LastTickTime = At(2026, 12, 11, 14, 0, 0);
    d.status.Valid = c.valid;
    d.status.Count = c.count;
    d.down = c.down;
    d.maintenance = c.maintenance;
    t.LastMaintenanceState = c.maintenance;
    const PollCounts counts = PollAnHour(d, t);
    EXPECT_EQ(counts.fetches, c.fetches) << c.name;
    EXPECT_EQ(counts.configs, c.configs) << c.name;
    ASSERT_GE(counts.minutes.size(), 2u) << c.name;
    EXPECT_EQ(counts.minutes[0], 0) << c.name;
    EXPECT_EQ(counts.minutes[1], c.firstMinutes) << c.name;
  }
}

TEST_F(TickerTest, PollingFollowsThePcClockNotTheCorrectedOne) {
  duties.status.Valid = false;
  ticker.DrawTimerTimer(At(2026, 12, 11, 14, 2, 16), At(2026, 12, 11, 14, 2, 15));
  EXPECT_EQ(duties.Count("FetchServersStatus"), 1);
  ticker.DrawTimerTimer(At(2026, 12, 11, 14, 4, 15), At(2026, 12, 11, 14, 4, 14));
  EXPECT_EQ(duties.Count("FetchServersStatus"), 1);
}

}  // namespace
}  // namespace kw
