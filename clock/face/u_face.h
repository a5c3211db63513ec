// The clock face: a strip of cells (one per game server shown, then the real clock and the
// chaos countdown) drawn into a 32-bit back buffer that the clock window shows. A server cell
// is drawn again only when its game minute changes, the real-clock and chaos cells only when
// the real second changes.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clock/face/abitmap.h"
#include "clock/face/abitmap_etcs.h"
#include "clock/face/u_skinctrl.h"
#include "common/datetime.h"

namespace kw {

struct TAppInfos;
class TOrvTime;

constexpr int32_t kRealClockCell = 99;
constexpr int32_t kChaosCell = 100;

// "  7" style padding: width copies of ch, then n's digits, of which the last width remain.
QString PadNumber(QChar ch, int32_t n, int width);

// The chaos countdown of s seconds (the digital and analog faces, and the mini face).
QString ChaosCountdownText(int64_t s);
QString ChaosCountdownTextMini(int64_t s);
// Its colour on the digital and analog faces in phase p.
TColor ChaosCountdownColor(int32_t p, int64_t s);

// Background index of a game hour: 0 night (0-4, 19-23), 1 morning (5-8), 2 day (9-18).
int BackgroundIndex(int hour);

// Averages 2 x 2 pixels to one, in place, and halves the bitmap.
void HalveBitmap(TABitmap& bitmap);

// What the face asks of parts of the clock that may not be there yet. Empty hooks take the
// defaults: maintenance and server state from the engine, the game client's server = the
// chosen server when it is one, else 0, the mini timer not running.
struct FaceHooks {
  std::function<int32_t()> MaintenanceState;
  std::function<bool(int32_t)> IsServerDown;
  std::function<int32_t()> SelectedGameServer;
  std::function<bool()> TimerActive;
};

struct FaceIcons {
  TABitmap Bell, ChaosAlarm, Timer;        // 16 x 16, 16 x 16, 19 x 19
  TABitmap BellMD, ChaosAlarmMD, TimerMD;  // 4 x 20 strips for the mini face
};

class TFace {
 public:
  // The engine and the settings must outlive the face; both are read on every refresh.
  TFace(const TOrvTime& orv, const TAppInfos& settings);

  FaceHooks Hooks;
  TSkinInUse Skin;
  FaceIcons Icons;  // from the program's resources
  TABitmap BackBuffer;
  // Entry 0: the real second last drawn; entry i + 1: server i's game minute of the week
  // last drawn (entry 1 also for the single cell of one chosen server).
  std::vector<int32_t> FaceMinuteCache;

  void ResetFaceCache();
  // One refresh at the engine's current time: resizes the back buffer to the cells shown
  // and draws the cells whose time changed. True when the window should show the buffer
  // again (something was drawn, at least once a real second).
  bool RefreshFace();
  bool RefreshFace(TDateTime now);
  void DrawFaceCell(int32_t cell, int x, int y, TDateTime now);
  void DrawAnalogCell(int32_t cell, int x, int y, int hour, int minute, int weekday, TDateTime now);

  // Cell size of the face mode: the day background, the mini background or the analog face.
  int CellWidth() const;
  int CellHeight() const;
  // (width - width of text in the current font) div 2.
  int CentreIn(const QString& text, int width) const;

  int64_t CellDraws = 0;  // cells drawn since creation

 private:
  int32_t MaintenanceState() const;
  bool IsServerDown(int32_t i) const;
  int32_t SelectedGameServer() const;
  bool TimerActive() const;
  void SetFont(const char* name, int height, bool bold, TColor color, bool noAntialias = true);
  void Text(int x, int y, const QString& text, TColor outline);
  void DrawIcons(int32_t cell, int x, int y, int ch);
  void DrawChaosCell(int x, int y, TDateTime now);
  QString ServerInitial(int32_t cell) const;

  const TOrvTime& orv_;
  const TAppInfos& settings_;
  TFont font_;  // the back buffer's current font
  TABitmap work_, scratch_;
};

}  // namespace kw
