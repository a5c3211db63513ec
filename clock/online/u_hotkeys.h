// The clock's six global hotkeys: which setting pair a pressed combination belongs to, their
// registration with the desktop, and when a hotkey may open its window.
#pragma once

#include <array>
#include <cstdint>

#include "common/datetime.h"

namespace kw {

class GlobalHotkeys;
class LogSink;
struct TAppInfos;

inline constexpr int kHotkeyCount = 6;

struct HotkeyPair {
  uint16_t key = 0;    // virtual-key code
  uint16_t flags = 0;  // MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4
  bool operator==(const HotkeyPair&) const = default;
};

// The pairs sc1K/sc1S .. sc6K/sc6S; element 0 is pair 1.
std::array<HotkeyPair, kHotkeyCount> HotkeyPairs(const TAppInfos& infos);
void SetHotkeyPair(TAppInfos& infos, int pair, HotkeyPair value);

// The first pair (1..6) set to these flags and key; 0 when none is.
int FindHotkeyPair(const TAppInfos& infos, uint16_t flags, uint16_t key);

// Registers pair N under id N, logging each; a pair with both values 0 is unregistered.
// Without a desktop that can do hotkeys it says so in the log, once.
void RegisterAllHotkeys(GlobalHotkeys& hotkeys, const TAppInfos& infos, LogSink& log);
void UnregisterAllHotkeys(GlobalHotkeys& hotkeys, LogSink& log);

// Pairs 2..6 open their window only when no modal dialog of the clock is open and its menu
// was not opened in the last 9 seconds.
bool HotkeyMayOpen(TDateTime now, TDateTime topmostHoldUntil);

}  // namespace kw
