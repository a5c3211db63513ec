// The 100 ms tick of the clock window: the order, conditions and intervals of everything that
// happens without user input. What each duty does belongs to its own subsystem, reached
// through TickDuties.
#pragma once

#include <cstdint>

#include "common/datetime.h"

namespace kw {

struct TAppInfos;
struct TServersStatus;

class TickDuties {
 public:
  virtual ~TickDuties() = default;
  // -1 regular maintenance, 1..10 temporary maintenance i, 0 none.
  virtual int32_t MaintenanceState() = 0;
  virtual void RefreshFace() = 0;
  // After a resume or a jump of the clock: the tray icon is registered anew and the look
  // applied again.
  virtual void ReRegisterTray() = 0;
  virtual void CheckLandDeadlines() = 0;
  virtual void OrvSync(bool silent) = 0;
  virtual int32_t RadioCheckIntervalSeconds() = 0;
  virtual void UpdateRadioMenu() = 0;
  virtual void CheckAlarms() = 0;
  virtual void CheckChaosAlarms() = 0;
  virtual const TServersStatus& ServersStatus() = 0;
  virtual bool IsServerDown(int32_t i) = 0;
  virtual void FetchServersStatus() = 0;
  virtual void UpdateConfigFiles() = 0;
  virtual void ReassertTopmost() = 0;
  virtual void FadeStep() = 0;
  virtual void MaintenanceAlert(int32_t oldState, int32_t newState) = 0;
};

class TTicker {
 public:
  // The settings are read on every tick (AutoSync, AutoInterval, LastSyncTime, AlarmSW).
  TTicker(TickDuties& duties, const TAppInfos& settings) : duties_(duties), settings_(settings) {}

  // One tick at now (the engine's corrected time); pcNow is the uncorrected PC clock, which
  // times the server-status polls. A tick that starts while the previous one still runs
  // (a duty showing a modal box) is skipped.
  void DrawTimerTimer(TDateTime now, TDateTime pcNow);

  TDateTime LastSecondPass = 0;
  TDateTime LastTickTime = 0;
  TDateTime LandCheckTime = 0;
  TDateTime RadioCheckTime = 0;
  int32_t StatusPollSecond = 10;  // 10..19
  int32_t LastMaintenanceState = 0;

 private:
  void SecondPass(TDateTime now, TDateTime pcNow, int32_t maintenance);
  void PollServersStatus(int minute, int32_t maintenance);

  TickDuties& duties_;
  const TAppInfos& settings_;
  bool running_ = false;
};

}  // namespace kw
