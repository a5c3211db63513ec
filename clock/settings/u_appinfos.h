// The clock's settings record and its file kronwel.ini: LoadAppInfos fills the record, the
// alarm and land lists and the engine's cached time bases once at start-up; SaveAppInfos
// writes them back at close.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "clock/alarms/u_alarmrecord.h"
#include "clock/tools/u_landrecord.h"
#include "common/datetime.h"

namespace kw {

class LogSink;
class TOrvTime;
class UserNotifier;

struct TAppInfos {
  // [Network]
  bool StartupSync = true;
  bool AutoSync = true;
  int32_t AutoInterval = 30;  // minutes
  bool Startup = false;
  bool ProxyEnabled = false;
  std::string ProxyIP, ProxyPort, ProxyUsername, ProxyPassword;
  bool SNTPEnabled = false;  // not stored
  // [AlarmSets]
  std::vector<AList> AlarmList;
  // [Alarm]
  bool TimeSignalEnabled = false;
  int32_t TimeSignlaServer = 0;
  bool ChaosAlarmEnabled = false;
  int32_t ChaosAlarmMode1 = 1, ChaosAlarmMode2 = 1, ChaosAlarmMode3 = 1;
  int32_t ChaosAlarmPre1 = 1, ChaosAlarmPre2 = 1, ChaosAlarmPre3 = 1;
  // [Window]
  int32_t FMode = 0;  // 0 digital, 1 mini digital, 2 analogue
  int32_t FLeft = 0, FTop = 0;
  int32_t FServer = 99;  // server index, 99 all servers, 999 the game client's server
  bool FAlwaysTop = false;
  int32_t FAlpha = 100;  // percent
  bool GlobalBalloon = true, Skeleton = false, RealClockEnabled = true, ChaosClockEnabled = true;
  int32_t AlarmpopL = -1, AlarmpopT = -1, ChaospopL = -1, ChaospopT = -1, AlarmpreL = -1,
          AlarmpreT = -1;
  bool PosLock = false;
  int32_t Rotate = 0;  // 0 side by side, 1 stacked
  // [Network]
  TDateTime LastSyncTime = 0;
  TDateTime LastUpdate = 0;
  // [OrvClient]
  std::string CPath = "\\";  // game client folder, ends in "\"
  // [Window]
  bool AutoHidden = false, HideOnOrv = false, SEffect = true;
  std::string CurrentSkinName = "標準設定";
  // [Sound]
  int32_t SENumber = 0;
  std::string UcSync, UcSyncNoChange, UcManualSync, UcAlarm, UcSignal, UcRMBegin, UcRMEnd,
      UcEMBegin, UcEMEnd, UcChaos1, UcChaos2, UcChaos3, UcChaos1Pre, UcChaos2Pre, UcChaos3Pre;
  // [Menu]
  bool Custom = true;
  // [Network]
  bool OrvRadiSensorSW = false;
  // [HotKeys]: virtual-key code and modifier flags of the six hotkeys
  uint16_t sc1K = 0, sc1S = 0, sc2K = 0, sc2S = 0, sc3K = 0, sc3S = 0, sc4K = 0, sc4S = 0,
           sc5K = 0, sc5S = 0, sc6K = 0, sc6S = 0;
  // [HousingInfo]
  std::vector<HList> LandList;
  bool AlarmSW = false;
  // [Window]
  bool TaskHidden = false;

  bool operator==(const TAppInfos&) const = default;
};

// What loading and saving need from the rest of the program. Every hook may be left empty.
struct AppInfosEnv {
  std::string iniPath;  // kronwel.ini in the program folder
  std::string programFolder;
  TOrvTime* orv = nullptr;  // required: "now", the cached time bases and the clock offset
  LogSink* log = nullptr;
  UserNotifier* notifier = nullptr;
  bool windowsVista = false;  // owner-drawn menus are forced off there
  bool logViewer = false;     // the log window's switch, saved with the window keys

  std::function<void()> openNotalu;               // the memo program was open at the last close
  std::function<bool()> notaluRunning;            // the memo program is running now
  std::function<bool(const std::string&)> clientFolderHasClient;  // "Orvane.exe" is in the folder
  std::function<std::string()> findClientPath;    // looks for the game client afresh
  std::function<void()> buildDirectURLMenu;
};

void LoadAppInfos(TAppInfos& infos, const AppInfosEnv& env);

// False when the file could not be written; the old file then stays whole and the user has
// been warned.
bool SaveAppInfos(const TAppInfos& infos, const AppInfosEnv& env);

// The parameter check after loading: no proxy without host and port, the opacity snapped to
// 25, 50, 75 or 100 percent.
void NormalizeAppInfos(TAppInfos& infos);

}  // namespace kw
