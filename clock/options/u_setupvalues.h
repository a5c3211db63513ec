// What the options dialogs edit: a copy of the settings, taken when the dialog opens and
// written back only on OK.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "clock/online/u_hotkeys.h"
#include "common/datetime.h"

namespace kw {

struct TAppInfos;

struct SetupValues {
  bool StartupSync = true, AutoSync = true;
  int32_t AutoInterval = 30;
  bool AutoHidden = false, HideOnOrv = false, Startup = false, GlobalBalloon = true;
  std::string SkinName;
  std::string ClientProgram;  // the game client's full path: CPath + "Orvane.exe"
  bool ProxyEnabled = false;
  std::string ProxyIP, ProxyPort, ProxyUsername, ProxyPassword;
  bool OrvRadiSensorSW = false;
  bool LogViewer = false;
  bool TaskHidden = false;
  std::array<HotkeyPair, kHotkeyCount> Hotkeys{};
  bool operator==(const SetupValues&) const = default;
};

inline constexpr int32_t kMinAutoInterval = 5, kMaxAutoInterval = 120, kAutoIntervalStep = 5;

SetupValues SetupValuesFrom(const TAppInfos& a, bool logViewer);
// Writes the values back; true when the radio sensor switch changed (its menu is rebuilt).
bool ApplySetupValues(const SetupValues& v, TAppInfos& a, bool& logViewer);

// The folder of a Windows path, with its trailing backslash ("C:\a\b.exe" -> "C:\a\").
std::string FolderOfPath(const std::string& path);

// The skin to select: the current one when it is listed, else the first.
int32_t SkinIndex(const std::vector<std::string>& skins, const std::string& current);

// The PC clock's difference from standard time: "1秒500ms 進んでいます", "誤差無し", ...
std::string ClockDifferenceText(TDateTime offsetDays);

}  // namespace kw
