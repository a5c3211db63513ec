#include "clock/settings/u_appinfos.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <variant>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_eventtransfer.h"
#include "common/ini_file.h"
#include "common/log_sink.h"
#include "platform/user_notifier.h"

namespace kw {
namespace {

// A key of kronwel.ini stored straight from a field of a record (the settings, or an alarm).
template <class R>
struct KeyOf {
  std::string_view name;
  std::variant<bool R::*, int32_t R::*, uint16_t R::*, std::string R::*, TDateTime R::*> field;
};
using Key = KeyOf<TAppInfos>;

// The initial values of TAppInfos are the keys' defaults.
const TAppInfos kDefaults;

const Key kNetworkKeys[] = {
    {"StartupSync", &TAppInfos::StartupSync},       {"AutoSync", &TAppInfos::AutoSync},
    {"AutoInterval", &TAppInfos::AutoInterval},     {"Startup", &TAppInfos::Startup},
    {"ProxyEnabled", &TAppInfos::ProxyEnabled},     {"ProxyIP", &TAppInfos::ProxyIP},
    {"ProxyPort", &TAppInfos::ProxyPort},           {"ProxyUsername", &TAppInfos::ProxyUsername},
    {"ProxyPassword", &TAppInfos::ProxyPassword},   {"LastSync", &TAppInfos::LastSyncTime},
    {"LastUpdate", &TAppInfos::LastUpdate},         {"OrvRadiSensorSW", &TAppInfos::OrvRadiSensorSW},
};

const Key kAlarmKeys[] = {
    {"TimeSignalEnabled", &TAppInfos::TimeSignalEnabled},
    {"TimeSignlaServer", &TAppInfos::TimeSignlaServer},
    {"ChaosAlarmEnabled", &TAppInfos::ChaosAlarmEnabled},
    {"ChaosAlarmMode1", &TAppInfos::ChaosAlarmMode1},
    {"ChaosAlarmMode2", &TAppInfos::ChaosAlarmMode2},
    {"ChaosAlarmMode3", &TAppInfos::ChaosAlarmMode3},
    {"ChaosAlarmPre1", &TAppInfos::ChaosAlarmPre1},
    {"ChaosAlarmPre2", &TAppInfos::ChaosAlarmPre2},
    {"ChaosAlarmPre3", &TAppInfos::ChaosAlarmPre3},
};

const Key kWindowKeys[] = {
    {"FMode", &TAppInfos::FMode},
    {"FLeft", &TAppInfos::FLeft},
    {"FTop", &TAppInfos::FTop},
    {"FServer", &TAppInfos::FServer},
    {"FAlwaysTop", &TAppInfos::FAlwaysTop},
    {"FAlpha", &TAppInfos::FAlpha},
    {"GlobalBalloon", &TAppInfos::GlobalBalloon},
    {"Skeleton", &TAppInfos::Skeleton},
    {"RealClockEnabled", &TAppInfos::RealClockEnabled},
    {"ChaosClockEnabled", &TAppInfos::ChaosClockEnabled},
    {"AutoHidden", &TAppInfos::AutoHidden},
    {"HideOnOrv", &TAppInfos::HideOnOrv},
    {"SEffect", &TAppInfos::SEffect},
    {"CurrentSkinName", &TAppInfos::CurrentSkinName},
    {"AlarmpopL", &TAppInfos::AlarmpopL},
    {"AlarmpopT", &TAppInfos::AlarmpopT},
    {"ChaospopL", &TAppInfos::ChaospopL},
    {"ChaospopT", &TAppInfos::ChaospopT},
    {"AlarmpreL", &TAppInfos::AlarmpreL},
    {"AlarmpreT", &TAppInfos::AlarmpreT},
    {"PosLock", &TAppInfos::PosLock},
    {"Rotate", &TAppInfos::Rotate},
    {"TaskHidden", &TAppInfos::TaskHidden},
};

// The user's sound files of sound events 0..14, in event order.
const Key kSoundKeys[] = {
    {"SENumber", &TAppInfos::SENumber},
    {"UcSync", &TAppInfos::UcSync},
    {"UcSyncNoChange", &TAppInfos::UcSyncNoChange},
    {"UcManualSync", &TAppInfos::UcManualSync},
    {"UcAlarm", &TAppInfos::UcAlarm},
    {"UcSignal", &TAppInfos::UcSignal},
    {"UcRMBegin", &TAppInfos::UcRMBegin},
    {"UcRMEnd", &TAppInfos::UcRMEnd},
    {"UcEMBegin", &TAppInfos::UcEMBegin},
    {"UcEMEnd", &TAppInfos::UcEMEnd},
    {"UcChaos1", &TAppInfos::UcChaos1},
    {"UcChaos2", &TAppInfos::UcChaos2},
    {"UcChaos3", &TAppInfos::UcChaos3},
    {"UcChaos1Pre", &TAppInfos::UcChaos1Pre},
    {"UcChaos2Pre", &TAppInfos::UcChaos2Pre},
    {"UcChaos3Pre", &TAppInfos::UcChaos3Pre},
};

const Key kHotKeyKeys[] = {
    {"sc1K", &TAppInfos::sc1K}, {"sc1S", &TAppInfos::sc1S}, {"sc2K", &TAppInfos::sc2K},
    {"sc2S", &TAppInfos::sc2S}, {"sc3K", &TAppInfos::sc3K}, {"sc3S", &TAppInfos::sc3S},
    {"sc4K", &TAppInfos::sc4K}, {"sc4S", &TAppInfos::sc4S}, {"sc5K", &TAppInfos::sc5K},
    {"sc5S", &TAppInfos::sc5S}, {"sc6K", &TAppInfos::sc6K}, {"sc6S", &TAppInfos::sc6S},
};

// The keys of alarm k are "Alarm" + k + these names.
const KeyOf<AList> kAlarmRecordKeys[] = {
    {"Server", &AList::Server},   {"Week", &AList::Week},         {"H", &AList::H},
    {"M", &AList::M},             {"DlgPop", &AList::DlgPop},     {"ReSet", &AList::ReSet},
    {"Caption", &AList::Caption}, {"mySound", &AList::mySound},   {"PreCall", &AList::PreCall},
    {"myPreSound", &AList::myPreSound}, {"ActiveSW", &AList::ActiveSW},
};

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// Reads the keys (named prefix + key name) into r, each defaulting to the field of defaults.
template <class R, size_t N>
void ReadKeys(const IniFile& ini, std::string_view section, const KeyOf<R> (&keys)[N], R& r,
              const R& defaults, const std::string& prefix = {}) {
  for (const KeyOf<R>& k : keys) {
    const std::string name = prefix + std::string(k.name);
    std::visit(Overloaded{
                   [&](bool R::*f) { r.*f = ini.ReadBool(section, name, defaults.*f); },
                   [&](int32_t R::*f) { r.*f = ini.ReadInteger(section, name, defaults.*f); },
                   [&](uint16_t R::*f) {
                     const int32_t v = ini.ReadInteger(section, name, defaults.*f);
                     r.*f = v >= 0 && v <= 0xFFFF ? static_cast<uint16_t>(v) : defaults.*f;
                   },
                   [&](std::string R::*f) { r.*f = ini.ReadString(section, name, defaults.*f); },
                   [&](TDateTime R::*f) { r.*f = ini.ReadDateTime(section, name, defaults.*f); },
               },
               k.field);
  }
}

template <class R, size_t N>
void WriteKeys(IniFile& ini, std::string_view section, const KeyOf<R> (&keys)[N], const R& r,
               const std::string& prefix = {}) {
  for (const KeyOf<R>& k : keys) {
    const std::string name = prefix + std::string(k.name);
    std::visit(Overloaded{
                   [&](bool R::*f) { ini.WriteBool(section, name, r.*f); },
                   [&](int32_t R::*f) { ini.WriteInteger(section, name, r.*f); },
                   [&](uint16_t R::*f) { ini.WriteInteger(section, name, r.*f); },
                   [&](std::string R::*f) { ini.WriteString(section, name, r.*f); },
                   [&](TDateTime R::*f) { ini.WriteDateTime(section, name, r.*f); },
               },
               k.field);
  }
}

// Keys of the single-alarm layout of older versions.
std::vector<std::string> OldAlarmKeys() {
  std::vector<std::string> keys;
  for (std::string_view suffix : {"", "2", "3"})
    for (std::string_view name :
         {"AlarmEnabled", "AlarmServer", "AlarmWeek", "AlarmH", "AlarmM", "AlarmDlgPop", "AlarmReSet"})
      keys.push_back(std::string(name) + std::string(suffix));
  return keys;
}

std::string HouseKey(size_t k, std::string_view suffix) {
  return "House" + std::to_string(k) + std::string(suffix);
}

std::string CacheKey(std::string_view name, int32_t i) { return std::string(name) + std::to_string(i); }

constexpr std::array<std::string_view, 7> kTimeSuffixes{"Y", "M", "D", "H", "N", "S", "MS"};

std::array<int*, 7> PartsOf(DateTimeParts& p) {
  return {&p.year, &p.month, &p.day, &p.hour, &p.minute, &p.second, &p.millisecond};
}

// A cached date-time: seven components, each defaulting to the same component of now.
bool ReadCachedTime(const IniFile& ini, std::string_view prefix, int32_t i, TDateTime now,
                    TDateTime& out) {
  DateTimeParts p = DecodeDateTime(now);
  const auto parts = PartsOf(p);
  for (size_t c = 0; c < kTimeSuffixes.size(); ++c)
    *parts[c] = ini.ReadInteger("OrvTimeSystemCache",
                                CacheKey(std::string(prefix) + std::string(kTimeSuffixes[c]), i), *parts[c]);
  return TryEncodeDateTime(p, out);
}

void WriteCachedTime(IniFile& ini, std::string_view prefix, int32_t i, TDateTime t) {
  DateTimeParts p = DecodeDateTime(t);
  const auto parts = PartsOf(p);
  for (size_t c = 0; c < kTimeSuffixes.size(); ++c)
    ini.WriteInteger("OrvTimeSystemCache",
                     CacheKey(std::string(prefix) + std::string(kTimeSuffixes[c]), i), *parts[c]);
}

void Log(const AppInfosEnv& env, const std::string& line) {
  if (env.log) env.log->WriteLog(line);
}

void FlushOrLog(IniFile& ini, const AppInfosEnv& env) {
  std::string error;
  if (!ini.Flush(&error)) Log(env, ">" + error + "\r");
}

bool DefaultClientFolderHasClient(const std::string& folder) {
  std::string path = folder;
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code ec;
  return std::filesystem::is_regular_file(path + "Orvane.exe", ec);
}

}  // namespace

void LoadAppInfos(TAppInfos& a, const AppInfosEnv& env) {
  TOrvTime& orv = *env.orv;
  IniFile ini(env.iniPath, env.log);
  auto announce = [&](std::string_view section) {
    Log(env, ":Loading AppInfos : " + std::string(section) + "\r");
  };

  announce("Network");
  ReadKeys(ini, "Network", kNetworkKeys, a, kDefaults);
  a.SNTPEnabled = false;

  announce("AlarmSets");
  const int32_t alarms = std::clamp(ini.ReadInteger("AlarmSets", "AlarmNum", 0), 0, kMaxAlarmRecords);
  Log(env, ":Alarm Count " + std::to_string(alarms) + "\r");
  a.AlarmList.clear();
  AList alarmDefaults;
  alarmDefaults.Server = orv.ServerCount;  // the game client's server
  for (int32_t k = 1; k <= alarms; ++k) {
    Log(env, ":Loading Alarm " + std::to_string(k - 1) + "\r");
    AList r;
    ReadKeys(ini, "AlarmSets", kAlarmRecordKeys, r, alarmDefaults, "Alarm" + std::to_string(k));
    r.LastMinute = 99;
    a.AlarmList.push_back(std::move(r));
  }

  announce("Alarm");
  if (ini.ValueExists("Alarm", "AlarmEnabled")) {
    // The older single-alarm keys go at once, whether or not the settings are saved later.
    for (const std::string& key : OldAlarmKeys()) ini.DeleteKey("Alarm", key);
    FlushOrLog(ini, env);
  }
  ReadKeys(ini, "Alarm", kAlarmKeys, a, kDefaults);

  announce("Window");
  ReadKeys(ini, "Window", kWindowKeys, a, kDefaults);
  announce("Sound");
  ReadKeys(ini, "Sound", kSoundKeys, a, kDefaults);

  if (ini.ReadBool("Notalu", "OpenSW", false) && env.openNotalu) env.openNotalu();

  announce("OrvClient");
  a.CPath = ini.ReadString("OrvClient", "CPath", "\\");
  if (a.CPath.empty() || a.CPath.back() != '\\') a.CPath += '\\';
  const auto hasClient = env.clientFolderHasClient ? env.clientFolderHasClient : DefaultClientFolderHasClient;
  if ((a.CPath == "\\" || !hasClient(a.CPath)) && env.findClientPath) a.CPath = env.findClientPath();

  announce("SubClockSystem");
  orv.TimeAdjustOffset = ini.ReadFloat("SubClockSystem", "TimeAdjustOffset", 0);

  announce("Menu");
  a.Custom = ini.ReadBool("Menu", "Custom", true) && !env.windowsVista;

  announce("HotKeys");
  ReadKeys(ini, "HotKeys", kHotKeyKeys, a, kDefaults);

  announce("HousingInfo");
  const int32_t houses = std::clamp(ini.ReadInteger("HousingInfo", "HouseNum", 0), 0, kMaxLandRecords);
  Log(env, ":House Count " + std::to_string(houses) + "\r");
  const TDateTime today = DateOf(orv.CurrentTime());
  a.LandList.clear();
  for (int32_t k = 1; k <= houses; ++k) {
    Log(env, ":Loading House " + std::to_string(k - 1) + "\r");
    HList h;
    h.Caption = ini.ReadString("HousingInfo", HouseKey(k, "Caption"), "No Name");
    h.LimitDate = DateOf(ini.ReadDateTime("HousingInfo", HouseKey(k, "LimitDate"), today));
    h.CaptColor = static_cast<uint32_t>(ini.ReadInteger("HousingInfo", HouseKey(k, "CaptColor"), 0));
    h.SubText = ini.ReadString("HousingInfo", HouseKey(k, "SubText"), "");
    a.LandList.push_back(std::move(h));
  }
  a.AlarmSW = ini.ReadBool("HousingInfo", "AlarmSW", false);

  announce("OrvTimeSystemCache");
  const TDateTime now = orv.CurrentTime();
  for (int32_t i = 0; i < orv.ServerCount; ++i) {
    TOrvTimeSystem& s = orv.Servers[i];
    TDateTime base, last;
    if (!ReadCachedTime(ini, "RealBase", i, now, base) || !ReadCachedTime(ini, "RealLast", i, now, last)) {
      Log(env, ">The cached time base of server " + std::to_string(i) + " is not a date; it is ignored\r");
      continue;
    }
    s.RealBase = base;
    s.RealLast = last;
    s.GameBase.Weekday = ini.ReadInteger("OrvTimeSystemCache", CacheKey("OrwBaseWeek", i), 0);
    s.GameBase.Hour = ini.ReadInteger("OrvTimeSystemCache", CacheKey("OrwBaseHour", i), 0);
    s.GameBase.Minute = ini.ReadInteger("OrvTimeSystemCache", CacheKey("OrwBaseMin", i), 0);
    s.GameBase.Second = 0;
  }
  Log(env, ":Loading AppInfos...DoneOrvTimeSystemCache\r");

  if (env.buildDirectURLMenu) env.buildDirectURLMenu();
  TransferOldEvents(env.programFolder, env.log);
}

bool SaveAppInfos(const TAppInfos& a, const AppInfosEnv& env) {
  const TOrvTime& orv = *env.orv;
  IniFile ini(env.iniPath, env.log);
  auto announce = [&](std::string_view section) {
    Log(env, ":Saving AppInfos : " + std::string(section) + "\r");
  };
  auto cleanUp = [&](std::string_view section) {
    Log(env, ":Clean-up : " + std::string(section) + "\r");
    ini.EraseSection(section);
  };

  announce("Network");
  WriteKeys(ini, "Network", kNetworkKeys, a);

  cleanUp("AlarmSets");
  announce("AlarmSets");
  ini.WriteInteger("AlarmSets", "AlarmNum", static_cast<int64_t>(a.AlarmList.size()));
  for (size_t k = 1; k <= a.AlarmList.size(); ++k)
    WriteKeys(ini, "AlarmSets", kAlarmRecordKeys, a.AlarmList[k - 1], "Alarm" + std::to_string(k));

  announce("Alarm");
  WriteKeys(ini, "Alarm", kAlarmKeys, a);

  announce("Window");
  WriteKeys(ini, "Window", kWindowKeys, a);
  ini.WriteBool("Window", "LogViewer", env.logViewer);

  announce("Sound");
  WriteKeys(ini, "Sound", kSoundKeys, a);

  announce("Notalu");
  ini.WriteBool("Notalu", "OpenSW", env.notaluRunning && env.notaluRunning());

  announce("OrvClient");
  ini.WriteString("OrvClient", "CPath", a.CPath);

  announce("HotKeys");
  WriteKeys(ini, "HotKeys", kHotKeyKeys, a);

  cleanUp("HousingInfo");
  announce("HousingInfo");
  ini.WriteBool("HousingInfo", "AlarmSW", a.AlarmSW);
  ini.WriteInteger("HousingInfo", "HouseNum", static_cast<int64_t>(a.LandList.size()));
  for (size_t k = 1; k <= a.LandList.size(); ++k) {
    const HList& h = a.LandList[k - 1];
    ini.WriteString("HousingInfo", HouseKey(k, "Caption"), h.Caption);
    ini.WriteDate("HousingInfo", HouseKey(k, "LimitDate"), h.LimitDate);
    // Written as the signed 32-bit number it is read as.
    ini.WriteInteger("HousingInfo", HouseKey(k, "CaptColor"), static_cast<int32_t>(h.CaptColor));
    ini.WriteString("HousingInfo", HouseKey(k, "SubText"), h.SubText);
  }

  announce("OrvTimeSystemCache");
  for (int32_t i = 0; i < orv.ServerCount; ++i) {
    const TOrvTimeSystem& s = orv.Servers[i];
    WriteCachedTime(ini, "RealBase", i, s.RealBase);
    WriteCachedTime(ini, "RealLast", i, s.RealLast);
    ini.WriteInteger("OrvTimeSystemCache", CacheKey("OrwBaseWeek", i), s.GameBase.Weekday);
    ini.WriteInteger("OrvTimeSystemCache", CacheKey("OrwBaseHour", i), s.GameBase.Hour);
    ini.WriteInteger("OrvTimeSystemCache", CacheKey("OrwBaseMin", i), s.GameBase.Minute);
  }

  announce("SubClockSystem");
  ini.WriteFloat("SubClockSystem", "TimeAdjustOffset", orv.TimeAdjustOffset);

  Log(env, ":Deleting Old Values\r");
  ini.DeleteKey("Network", "SNTPSync");
  ini.DeleteKey("Alarm", "AlarmSoundFile");
  ini.DeleteKey("Alarm", "TimeSignalSoundFile");
  ini.DeleteKey("Window", "SyncSignalFile");
  ini.DeleteKey("Window", "MSyncSignalFile");
  ini.DeleteKey("OrvClient", "Path");
  for (std::string_view key : {"RealBase0", "RealBase1", "RealBase2", "RealLast0", "RealLast1", "RealLast2"})
    ini.DeleteKey("OrvTimeSystemCache", key);

  Log(env, ":Flushing\r");
  std::string error;
  const bool saved = ini.Flush(&error);
  if (!saved) {
    Log(env, ":EXCEPT on saving..." + env.iniPath + "\r");
    Log(env, ">" + error + "\r");
    if (env.notifier)
      env.notifier->ShowMessage(
          env.iniPath + "への書き込みが出来ませんでした。\r\n設定を保存せずに終了します。",
          NoticeKind::Warning);
  }
  Log(env, ":Saving AppInfos...Done\r");
  return saved;
}

void NormalizeAppInfos(TAppInfos& a) {
  if (a.ProxyIP.empty() || a.ProxyPort.empty()) a.ProxyEnabled = false;
  // Compared as unsigned, so a negative opacity counts as full.
  const auto alpha = static_cast<uint32_t>(a.FAlpha);
  a.FAlpha = alpha < 50 ? 25 : alpha < 75 ? 50 : alpha < 100 ? 75 : 100;
}

}  // namespace kw
