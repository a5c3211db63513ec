#include "clock/window/u_windowrules.h"

namespace kw {
namespace {

std::string PositionLine(int l, int t, int w, int h) {
  return "CoreForm Position: L=" + std::to_string(l) + " T=" + std::to_string(t) + " W=" + std::to_string(w) +
         " H=" + std::to_string(h);
}

}  // namespace

KeptPosition KeepOnMonitor(int fLeft, int fTop, int width, int height, const ScreenRect& monitor, bool posLock) {
  KeptPosition kept{fLeft, fTop, {}};
  if (posLock) {
    kept.debugLines.push_back("PosLock有効によりWinAutoAdjustスキップ");
    return kept;
  }
  const int l = monitor.left, t = monitor.top, r = l + monitor.width - 1, b = t + monitor.height - 1;
  kept.debugLines.push_back("Current Monitor Area: L=" + std::to_string(l) + " T=" + std::to_string(t) +
                            " R=" + std::to_string(r) + " B=" + std::to_string(b));
  kept.debugLines.push_back(PositionLine(fLeft, fTop, width, height));
  if (kept.left < l) kept.left = l;
  if (kept.top < t) kept.top = t;
  if (r < width + kept.left) kept.left = r - width;
  if (b < height + kept.top) kept.top = b - height;
  kept.debugLines.push_back(PositionLine(kept.left, kept.top, width, height));
  return kept;
}

bool ShouldHideClock(bool gameRunning, bool autoHidden, const ScreenRect& w, int x, int y, bool shiftHeld) {
  const int m = gameRunning ? 64 : 16;
  const bool near = w.left - m < x && x < w.left + w.width + m && w.top - m < y && y < w.top + w.height + m;
  if (gameRunning) return !(near && shiftHeld);
  return autoHidden && near && !shiftHeld;
}

TopmostStep ReassertTopmostStep(TDateTime now, TDateTime holdUntil, bool alwaysTop, bool converterVisible) {
  if (!(ToMs(now) > ToMs(holdUntil))) return {holdUntil, false};
  return {FromMs(ToMs(now) + 1000), alwaysTop && !converterVisible};
}

}  // namespace kw
