// One game-time alarm of the user's alarm list.
#pragma once

#include <cstdint>
#include <string>

namespace kw {

constexpr int kMaxAlarmRecords = 128;

struct AList {
  int32_t Server = 0;  // 0..ServerCount-1; ServerCount (or more): the game client's server
  int32_t Week = 7;    // game weekday 0..6; 7 every day
  int32_t H = 0;
  int32_t M = 0;
  bool DlgPop = false;  // announce with the alarm popup, else with a balloon
  bool ReSet = false;   // repeat; a one-shot alarm switches itself off when it fires
  int32_t LastMinute = 99;  // game minute last evaluated; 99 none (not stored)
  std::string Caption;
  int32_t PreCall = 0;  // pre-notice choice 0..7
  std::string mySound;
  std::string myPreSound;
  bool ActiveSW = true;

  bool operator==(const AList&) const = default;
};

}  // namespace kw
