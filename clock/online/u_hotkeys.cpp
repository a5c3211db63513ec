#include "clock/online/u_hotkeys.h"

#include <string>

#include "clock/settings/u_appinfos.h"
#include "common/log_sink.h"
#include "platform/hotkeys.h"

namespace kw {
namespace {

struct PairFields {
  uint16_t TAppInfos::*key;
  uint16_t TAppInfos::*flags;
};

constexpr PairFields kPairs[kHotkeyCount] = {
    {&TAppInfos::sc1K, &TAppInfos::sc1S}, {&TAppInfos::sc2K, &TAppInfos::sc2S},
    {&TAppInfos::sc3K, &TAppInfos::sc3S}, {&TAppInfos::sc4K, &TAppInfos::sc4S},
    {&TAppInfos::sc5K, &TAppInfos::sc5S}, {&TAppInfos::sc6K, &TAppInfos::sc6S},
};

}  // namespace

std::array<HotkeyPair, kHotkeyCount> HotkeyPairs(const TAppInfos& infos) {
  std::array<HotkeyPair, kHotkeyCount> pairs;
  for (int i = 0; i < kHotkeyCount; ++i) pairs[i] = {infos.*kPairs[i].key, infos.*kPairs[i].flags};
  return pairs;
}

void SetHotkeyPair(TAppInfos& infos, int pair, HotkeyPair value) {
  if (pair < 1 || pair > kHotkeyCount) return;
  infos.*kPairs[pair - 1].key = value.key;
  infos.*kPairs[pair - 1].flags = value.flags;
}

int FindHotkeyPair(const TAppInfos& infos, uint16_t flags, uint16_t key) {
  const auto pairs = HotkeyPairs(infos);
  for (int i = 0; i < kHotkeyCount; ++i)
    if (pairs[i].flags == flags && pairs[i].key == key) return i + 1;
  return 0;
}

void RegisterAllHotkeys(GlobalHotkeys& hotkeys, const TAppInfos& infos, LogSink& log) {
  if (!hotkeys.Available() && !hotkeys.unavailableReported) {
    log.WriteLog(">Global HotKeys are not available on this desktop (no X11)\r");
    hotkeys.unavailableReported = true;
  }
  const auto pairs = HotkeyPairs(infos);
  for (int id = 1; id <= kHotkeyCount; ++id) {
    const HotkeyPair& p = pairs[id - 1];
    if (p.flags != 0 || p.key != 0) {
      log.WriteLog(":Registing Global HotKey " + std::to_string(id) + ", Shift=" + std::to_string(p.flags) +
                   ", Key=" + std::to_string(p.key) + ", " + "\r");
      hotkeys.Register(id, p.flags, p.key);
    } else {
      log.WriteLog(":Regist-Skip Global HotKey " + std::to_string(id) + "\r");
      hotkeys.Unregister(id);
    }
  }
}

void UnregisterAllHotkeys(GlobalHotkeys& hotkeys, LogSink& log) {
  for (int id = 1; id <= kHotkeyCount; ++id) hotkeys.Unregister(id);
  log.WriteLog(":Un-Registed All Global HotKeys\r");
}

bool HotkeyMayOpen(TDateTime now, TDateTime topmostHoldUntil) {
  return ToMs(now) + 1000 >= ToMs(topmostHoldUntil);
}

}  // namespace kw
