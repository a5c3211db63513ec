// System-wide keyboard shortcuts. Combinations are given as on Windows, so kronwel.ini keeps
// its values: a virtual-key code and the modifier flags MOD_ALT = 1, MOD_CONTROL = 2,
// MOD_SHIFT = 4 (MOD_WIN = 8 is understood as well).
#pragma once

#include <cstdint>
#include <functional>

namespace kw {

inline constexpr uint16_t kModAlt = 1;
inline constexpr uint16_t kModControl = 2;
inline constexpr uint16_t kModShift = 4;
inline constexpr uint16_t kModWin = 8;

class GlobalHotkeys {
 public:
  virtual ~GlobalHotkeys() = default;
  // False when there is no desktop that can do this (no X11).
  virtual bool Available() const = 0;
  // Registers (or re-registers) id for the combination; false when the system refused it,
  // for example because another program holds it.
  virtual bool Register(int id, uint16_t modFlags, uint16_t virtualKey) = 0;
  virtual void Unregister(int id) = 0;

  // Called when a registered combination is pressed, with the flags and key it was
  // registered with.
  std::function<void(uint16_t modFlags, uint16_t virtualKey)> onHotkey;
  // Set once the user has been told that hotkeys are not available.
  bool unavailableReported = false;
};

}  // namespace kw
