// The one source of "now". Everything that needs the current time asks a Clock, so tests can
// stand at any instant.
#pragma once

#include "common/datetime.h"

namespace kw {

class Clock {
 public:
  virtual ~Clock() = default;
  // The PC's local time as a day count, to the millisecond.
  virtual TDateTime Now() const = 0;
};

class SystemClock final : public Clock {
 public:
  TDateTime Now() const override;
};

// A clock that stands still until it is told otherwise.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(TDateTime now = 0) : now_(now) {}
  TDateTime Now() const override { return now_; }
  void Set(TDateTime now) { now_ = now; }
  void AdvanceMs(int64_t ms) { now_ = FromMs(ToMs(now_) + ms); }

 private:
  TDateTime now_;
};

}  // namespace kw
