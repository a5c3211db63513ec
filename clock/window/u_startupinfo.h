// The texts and decisions of the clock's start-up: the greeting by hour, the comparison with
// the latest released version, and where the automatic synchronisation starts from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "clock/update/u_autoupdate.h"  // kUpdateSensorTitle: the balloon its click acts on
#include "common/datetime.h"

namespace kw {

class LogSink;
class Tray;
struct TUpgradeInfo;

// The greeting for an hour of the local clock (0..23).
std::string GreetingForHour(int hour);

// "1.2.10.0" -> {1, 2, 10, 0}; missing or unreadable parts count as 0.
std::array<int32_t, 4> ParseVersion(std::string_view text);

// True when own is older than latest, number by number, most significant first.
bool IsOutdated(const std::array<int32_t, 4>& own, const std::array<int32_t, 4>& latest);

// Compares the program's version with the latest released one, logs the result and, when a
// newer version exists, shows the update balloon. Says nothing when nothing was fetched.
// Returns true when the balloon was shown.
bool StartupVersionCheck(const TUpgradeInfo& latest, std::string_view ownVersion, LogSink& log,
                         Tray& tray);

// Where LastSyncTime starts when the clock does not synchronise at start: now minus
// AutoInterval as a time of day, so that the automatic synchronisation is due at once.
TDateTime StartupLastSyncTime(TDateTime now, int32_t autoInterval);

}  // namespace kw
