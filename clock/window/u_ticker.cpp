#include "clock/window/u_ticker.h"

#include <cstdlib>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"

namespace kw {

void TTicker::DrawTimerTimer(TDateTime now, TDateTime pcNow) {
  if (running_) return;
  running_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{running_};

  const int32_t maintenance = duties_.MaintenanceState();
  duties_.RefreshFace();

  // A resume from standby or a jump of the clock.
  if (std::llabs(ToMs(now) - ToMs(LastTickTime)) / 1000 >= 60) duties_.ReRegisterTray();
  LastTickTime = now;

  if (DecodeDateTime(LastSecondPass).second != DecodeDateTime(now).second)
    SecondPass(now, pcNow, maintenance);

  duties_.ReassertTopmost();
  duties_.FadeStep();
  if (maintenance != LastMaintenanceState) duties_.MaintenanceAlert(LastMaintenanceState, maintenance);
  LastMaintenanceState = maintenance;
}

void TTicker::SecondPass(TDateTime now, TDateTime pcNow, int32_t maintenance) {
  if (DateOf(LandCheckTime) != DateOf(now)) {
    if (settings_.AlarmSW) duties_.CheckLandDeadlines();
    LandCheckTime = now;
  }
  LastSecondPass = now;

  if (settings_.AutoSync &&
      UnixSeconds(now) - UnixSeconds(settings_.LastSyncTime) > settings_.AutoInterval * 60LL)
    duties_.OrvSync(true);

  if (std::llabs(UnixSeconds(now) - UnixSeconds(RadioCheckTime)) > duties_.RadioCheckIntervalSeconds()) {
    duties_.UpdateRadioMenu();
    RadioCheckTime = LastSecondPass;
  }

  duties_.CheckAlarms();
  duties_.CheckChaosAlarms();

  const DateTimeParts pc = DecodeDateTime(pcNow);
  if (pc.second == StatusPollSecond) PollServersStatus(pc.minute, maintenance);
}

void TTicker::PollServersStatus(int minute, int32_t maintenance) {
  const TServersStatus& status = duties_.ServersStatus();
  const bool even = minute % 2 == 0;
  if (!status.Valid) {
    if (even) duties_.FetchServersStatus();
  } else if (status.Count > 0) {
    bool anyDown = false;
    for (int32_t i = 0; i < status.Count && !anyDown; ++i) anyDown = duties_.IsServerDown(i);
    if (anyDown) {
      if (even) duties_.FetchServersStatus();
    } else if (minute % 10 == 0) {
      duties_.FetchServersStatus();
      duties_.UpdateConfigFiles();
    }
  } else if (maintenance == 0 ? even : minute % 5 == 0) {
    duties_.FetchServersStatus();
  }
}

}  // namespace kw
