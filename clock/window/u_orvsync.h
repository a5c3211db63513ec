// Synchronising the clock with the clock server and the PC clock with SNTP, with what the user
// is told about it (log lines, balloons, boxes, sounds), and the maintenance information box.
// Windowless: the clock window hands in its log, tray, boxes and sound.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "common/datetime.h"
#include "platform/user_notifier.h"

namespace kw {

class LogSink;
class TOrvTime;
class Tray;

// Sound events of synchronisation.
inline constexpr int32_t kUcSync = 0;          // the clock was set
inline constexpr int32_t kUcSyncNoChange = 1;  // the clock was right

struct SyncEnv {
  TOrvTime& orv;
  LogSink& log;
  Tray& tray;
  UserNotifier& notifier;
  bool globalBalloon = true;  // tell the user in balloons, else in boxes where there are any
  std::function<void(int32_t event)> playSoundEvent;
  std::function<void(int ms)> sleepMs;  // lets a balloon be read before the next one
};

// The whole synchronisation: maintenance page, PC clock check, sync page, reports.
// Refused without traffic when lastSyncTime is less than 10 seconds from now; otherwise
// lastSyncTime becomes now whatever the outcome.
void OrvSync(SyncEnv& env, bool silent, TDateTime& lastSyncTime);
// The PC clock check with its reports.
void RealSync(SyncEnv& env, bool silent);

// "パソコンの時計は…遅れています/進んでいます" with the correction remark; empty when the
// difference is under 10 seconds.
std::string PcClockOffsetText(TDateTime offsetDays);
// Time elapsed from `from` to `to` in its largest whole unit: "3日", "5時間", "12分", "40秒".
std::string ElapsedText(TDateTime from, TDateTime to);
// Every server's game time at now and the age of its last adjustment.
std::string SyncReport(const TOrvTime& orv, TDateTime now);

struct MaintenanceBox {
  std::string text;
  NoticeKind kind = NoticeKind::Information;
};
// The maintenance information box for the current maintenance state.
MaintenanceBox MaintenanceInfo(const TOrvTime& orv);

}  // namespace kw
