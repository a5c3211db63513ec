// One plot of land whose use the player pays for, with its deadline.
#pragma once

#include <cstdint>
#include <string>

#include "common/datetime.h"

namespace kw {

constexpr int kMaxLandRecords = 128;

struct HList {
  std::string Caption = "No Name";
  uint32_t CaptColor = 0;  // 0x00BBGGRR
  TDateTime LimitDate = 0;  // last day of use (date only)
  std::string SubText;

  bool operator==(const HList&) const = default;
};

}  // namespace kw
