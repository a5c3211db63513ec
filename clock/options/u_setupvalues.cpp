#include "clock/options/u_setupvalues.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "clock/client/u_gameclient.h"
#include "clock/settings/u_appinfos.h"

namespace kw {

SetupValues SetupValuesFrom(const TAppInfos& a, bool logViewer) {
  SetupValues v;
  v.StartupSync = a.StartupSync;
  v.AutoSync = a.AutoSync;
  v.AutoInterval = std::clamp(a.AutoInterval, kMinAutoInterval, kMaxAutoInterval);
  v.AutoHidden = a.AutoHidden;
  v.HideOnOrv = a.HideOnOrv;
  v.Startup = a.Startup;
  v.GlobalBalloon = a.GlobalBalloon;
  v.SkinName = a.CurrentSkinName;
  v.ClientProgram = a.CPath + std::string(kClientProgram);
  v.ProxyEnabled = a.ProxyEnabled;
  v.ProxyIP = a.ProxyIP;
  v.ProxyPort = a.ProxyPort;
  v.ProxyUsername = a.ProxyUsername;
  v.ProxyPassword = a.ProxyPassword;
  v.OrvRadiSensorSW = a.OrvRadiSensorSW;
  v.LogViewer = logViewer;
  v.TaskHidden = a.TaskHidden;
  v.Hotkeys = HotkeyPairs(a);
  return v;
}

bool ApplySetupValues(const SetupValues& v, TAppInfos& a, bool& logViewer) {
  const bool radioChanged = v.OrvRadiSensorSW != a.OrvRadiSensorSW;
  a.OrvRadiSensorSW = v.OrvRadiSensorSW;
  a.StartupSync = v.StartupSync;
  a.AutoSync = v.AutoSync;
  a.AutoInterval = v.AutoInterval;
  a.AutoHidden = v.AutoHidden;
  a.HideOnOrv = v.HideOnOrv;
  a.Startup = v.Startup;
  a.GlobalBalloon = v.GlobalBalloon;
  a.CPath = FolderOfPath(v.ClientProgram);
  logViewer = v.LogViewer;
  a.TaskHidden = v.TaskHidden;
  a.ProxyEnabled = v.ProxyEnabled;
  a.ProxyIP = v.ProxyIP;
  a.ProxyPort = v.ProxyPort;
  a.ProxyUsername = v.ProxyUsername;
  a.ProxyPassword = v.ProxyPassword;
  a.CurrentSkinName = v.SkinName;
  // Alt, Ctrl and Shift are all a hotkey can carry.
  for (int i = 0; i < kHotkeyCount; ++i)
    SetHotkeyPair(a, i + 1, {v.Hotkeys[i].key, static_cast<uint16_t>(v.Hotkeys[i].flags & 7)});
  return radioChanged;
}

std::string FolderOfPath(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int32_t SkinIndex(const std::vector<std::string>& skins, const std::string& current) {
  const auto it = std::find(skins.begin(), skins.end(), current);
  return it == skins.end() ? 0 : static_cast<int32_t>(it - skins.begin());
}

std::string ClockDifferenceText(TDateTime offsetDays) {
  const int64_t signedMs = std::llround(offsetDays * kMsPerDay);
  const int64_t ms = std::llabs(signedMs);
  std::string text;
  const auto part = [&](int64_t n, const char* unit) {
    if (n) text += std::to_string(n) + unit;
  };
  part(ms / kMsPerDay, "日");
  part(ms / 3600000 % 24, "時間");
  part(ms / 60000 % 60, "分");
  part(ms / 1000 % 60, "秒");
  part(ms % 1000, "ms");
  return text + (signedMs < 0 ? " 進んでいます" : signedMs == 0 ? "誤差無し" : " 遅れています");
}

}  // namespace kw
