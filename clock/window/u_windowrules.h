// How the clock window keeps its place: back onto its monitor after a drag, out of the way of
// the mouse and the game, and on top. Plain rules; the window applies them.
#pragma once

#include <string>
#include <vector>

#include "common/datetime.h"

namespace kw {

struct ScreenRect {
  int left = 0, top = 0, width = 0, height = 0;
};

struct KeptPosition {
  int left = 0, top = 0;
  std::vector<std::string> debugLines;  // for debug.log
};

// The window's position moved inside the monitor's bounds (a window against the right or
// bottom edge ends one pixel short of the last column or row). With the position locked the
// position stays and the debug log says why.
KeptPosition KeepOnMonitor(int fLeft, int fTop, int width, int height, const ScreenRect& monitor, bool posLock);

// Whether the window should be hidden: while the game runs (gameRunning) unless Shift is held
// with the mouse within 64 pixels; with auto-hide alone while the mouse is within 16 pixels and
// Shift is not held.
bool ShouldHideClock(bool gameRunning, bool autoHidden, const ScreenRect& window, int mouseX, int mouseY,
                     bool shiftHeld);

// The always-on-top upkeep: when now is past holdUntil, the hold moves one second on and the
// window goes on top again if it should.
struct TopmostStep {
  TDateTime holdUntil;
  bool reassert;
};
TopmostStep ReassertTopmostStep(TDateTime now, TDateTime holdUntil, bool alwaysTop, bool converterVisible);

}  // namespace kw
