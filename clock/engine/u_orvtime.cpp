#include "clock/engine/u_orvtime.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "clock/engine/u_orvpages.h"
#include "common/cp932.h"
#include "common/ini_file.h"
#include "common/log_sink.h"

namespace kw {
namespace {

constexpr std::string_view kMissing = "Error in httpctrl.cfg";
// Every game server numbers fewer than 99 servers: 99 and 999 are stored choices of their own.
constexpr int32_t kMaxServers = 98;
constexpr int32_t kMaxAlarms = 128;

// Game time runs 50/3 times as fast as real time. Both factors are the nearest 80-bit values.
constexpr long double kGamePerReal = 50.0L / 3.0L;
constexpr long double kRealPerGame = 3.0L / 50.0L;

struct ChaosRow {
  int weekday;  // 1 = Sunday .. 7 = Saturday
  std::array<int64_t, 4> boundaryMs;
};

constexpr int64_t HM(int h, int m) { return (h * 60LL + m) * 60000LL; }

constexpr std::array<ChaosRow, 6> kChaosTable{{
    {7, {HM(17, 40), HM(17, 50), HM(18, 0), HM(19, 30)}},
    {7, {HM(19, 40), HM(19, 50), HM(20, 0), HM(21, 30)}},
    {7, {HM(21, 40), HM(21, 50), HM(22, 0), HM(23, 30)}},
    {1, {HM(17, 40), HM(17, 50), HM(18, 0), HM(19, 30)}},
    {1, {HM(19, 40), HM(19, 50), HM(20, 0), HM(21, 30)}},
    {1, {HM(21, 40), HM(21, 50), HM(22, 0), HM(23, 30)}},
}};

constexpr std::array<std::string_view, 7> kWeekdayNames{
    "天の日", "冥の日", "地の日", "水の日", "火の日", "風の日", "沌の日"};

// The decimal number in line at the 1-based byte position pos with length len, or def.
int32_t Field(std::string_view line, int32_t pos, int32_t len, int32_t def) {
  int32_t v = def;
  return PageInt(PageField(line, pos, len), v) ? v : def;
}

// A date-time from position/length pairs of year, month, day, hour, minute, second and, when
// there are seven pairs, millisecond. A date-time that does not exist gives 0.
template <size_t N>
bool ParseDateTime(std::string_view line, const std::array<int32_t, N>& p, TDateTime& t) {
  static_assert(N == 12 || N == 14);
  DateTimeParts d;
  int* parts[] = {&d.year, &d.month, &d.day, &d.hour, &d.minute, &d.second, &d.millisecond};
  static constexpr int kDefaults[] = {0, 1, 1, 0, 0, 0, 0};
  for (size_t k = 0; k < N / 2; ++k) *parts[k] = Field(line, p[2 * k], p[2 * k + 1], kDefaults[k]);
  return TryEncodeDateTime(d, t);
}

template <size_t N>
void ReadPositions(const IniFile& ini, std::string_view section,
                   const std::array<std::string_view, N>& keys, int32_t& offset,
                   std::array<int32_t, N>& pos) {
  offset = ini.ReadInteger(section, "Offset", 0);
  for (size_t k = 0; k < N; ++k) pos[k] = ini.ReadInteger(section, keys[k], pos[k]);
}

}  // namespace

TOrvTime::TOrvTime(std::string programFolder, const Clock& clock, LogSink* log)
    : programFolder_(std::move(programFolder)), clock_(clock), log_(log) {
  ReadConfiguration();
  CheckServerList();
}

void TOrvTime::ReadConfiguration() {
  const IniFile ini(programFolder_ + "/httpctrl.cfg", log_);
  ServerCount = ini.ReadInteger("ServerInfo", "Servers", 3);
  if (ServerCount < 1 || ServerCount > kMaxServers) {
    if (log_)
      log_->WriteLog(">httpctrl.cfg: Servers=" + std::to_string(ServerCount) +
                     " is out of range, using 3\r");
    ServerCount = 3;
  }
  const TDateTime now = clock_.Now();
  ServerNames.assign(ServerCount, {});
  Servers.assign(ServerCount, {});
  for (int32_t i = 0; i < ServerCount; ++i) {
    const std::string section = "ServerInfo" + std::to_string(i + 1);
    ServerNames[i] = ini.ReadString(section, "ServerName", kMissing);
    TOrvTimeSystem& s = Servers[i];
    s.ServerName = ServerNames[i];
    s.HeadMarker = ini.ReadString(section, "HTMLHead3", kMissing);
    s.RealBase = now;
    s.RealLast = now;
  }

  ReadPositions<14>(ini, "RealBase3",
                    {"Yp", "Yl", "Mp", "Ml", "Dp", "Dl", "Hp", "Hl", "Np", "Nl", "Sp", "Sl", "MSp", "MSl"},
                    RealBaseOffset, RealBasePos);
  ReadPositions<6>(ini, "OrvBase3", {"Hp", "Hl", "Np", "Nl", "Wp", "Wl"}, OrvBaseOffset, OrvBasePos);
  ReadPositions<12>(ini, "RealLast3",
                    {"Yp", "Yl", "Mp", "Ml", "Dp", "Dl", "Hp", "Hl", "Np", "Nl", "Sp", "Sl"},
                    RealLastOffset, RealLastPos);

  AgentName = ini.ReadString("Interface", "AgentName3", "KronwelClient3");
  UpdateEnabled = ini.ReadBool("Interface", "UpdateEnabled", false);
  UpdateURL = ini.ReadString("Interface", "UpdateURL", "");
  UpdateParam = ini.ReadString("Interface", "UpdateParam", "");
  UpdateAuthUser = ini.ReadString("Interface", "UpdateAuthUser", "");
  UpdateAuthPass = ini.ReadString("Interface", "UpdateAuthPass", "");
  UpgradeCheck = ini.ReadString("Interface", "UpgradeCheck", "");
  UpgradeInfo2 = ini.ReadString("Interface", "UpgradeInfo2", "");
  RemoteOption = ini.ReadString("Interface", "RemoteOption", "");
  for (int n = 0; n < 2; ++n) {
    const std::string section = "Interface" + std::to_string(n + 1);
    SyncURL[n] = ini.ReadString(section, "SyncURL", "");
    RefererEmu[n] = ini.ReadString(section, "RefererEmu", "");
    HttpAuth[n].HttpAuthEnabled = ini.ReadBool(section, "HttpAuthEnabled", false);
    HttpAuth[n].HttpUsername = ini.ReadString(section, "HttpUsername", "");
    HttpAuth[n].HttpPassword = ini.ReadString(section, "HttpPassword", "");
  }
  // The status file sits beside the sync page on the clock server unless httpctrl.cfg says
  // where it is.
  StatusURL = ini.ReadString("Interface", "StatusURL", "");
  if (StatusURL.empty()) StatusURL = DefaultStatusURL(SyncURL[0]);
  SntpServers = {};
  SntpTimeout = 1000;
}

std::string TOrvTime::ServerSignature() const {
  const IniFile ini(programFolder_ + "/httpctrl.cfg");
  int32_t n = ini.ReadInteger("ServerInfo", "Servers", 3);
  if (n < 1 || n > kMaxServers) n = 3;
  std::string signature;
  for (int32_t i = 1; i <= n; ++i) {
    const auto chars =
        SplitUtf8Chars(ini.ReadString("ServerInfo" + std::to_string(i), "HTMLHead3", kMissing));
    // An empty marker still holds its server's place.
    signature += chars.empty() ? "?" : chars.front();
  }
  return signature;
}

int32_t RemapServerChoice(int32_t v, const std::string& oldSignature,
                          const std::string& newSignature, int32_t notFound) {
  const auto oldChars = SplitUtf8Chars(oldSignature);
  const auto newChars = SplitUtf8Chars(newSignature);
  const auto newLength = static_cast<int32_t>(newChars.size());
  if (v < 0 || v >= static_cast<int32_t>(oldChars.size())) return newLength;
  const auto it = std::find(newChars.begin(), newChars.end(), oldChars[v]);
  return it == newChars.end() ? notFound : static_cast<int32_t>(it - newChars.begin());
}

void TOrvTime::CheckServerList() {
  const std::string newSignature = ServerSignature();
  const std::string iniPath = programFolder_ + "/kronwel.ini";
  std::error_code ec;
  const bool hadSettings = std::filesystem::exists(iniPath, ec);
  IniFile ini(iniPath, log_);
  const std::string oldSignature = ini.ReadString("OrvTimeSystemCache", "ServerNames", "DPE");
  if (oldSignature != newSignature) {
    const auto newLength = static_cast<int32_t>(SplitUtf8Chars(newSignature).size());
    const int32_t alarms = std::min(ini.ReadInteger("AlarmSets", "AlarmNum", 0), kMaxAlarms);
    for (int32_t k = 1; k <= alarms; ++k) {
      const std::string key = "Alarm" + std::to_string(k) + "Server";
      const int32_t v = ini.ReadInteger("AlarmSets", key, 3);
      ini.WriteInteger("AlarmSets", key, RemapServerChoice(v, oldSignature, newSignature, newLength));
    }
    const int32_t v = ini.ReadInteger("Window", "FServer", 99);
    ini.WriteInteger("Window", "FServer", RemapServerChoice(v, oldSignature, newSignature, 99));
  }
  if (oldSignature != newSignature || !ini.ValueExists("OrvTimeSystemCache", "ServerNames"))
    ini.WriteString("OrvTimeSystemCache", "ServerNames", newSignature);
  std::string error;
  if (!ini.Flush(&error)) {
    if (log_) log_->WriteLog(">Server list check skipped: " + error + "\r");
    return;
  }
  if (oldSignature == newSignature) return;
  if (log_) log_->WriteLog(":Server list changed: " + oldSignature + " -> " + newSignature + "\r");
  // A first start has no choices of the user's to look over.
  ServerTableChanged = hadSettings;
}

std::string TOrvTime::ServerName(int32_t i) const {
  return i >= 0 && i < ServerCount ? ServerNames[i] : std::string();
}

std::string TOrvTime::WeekdayName(int32_t d) {
  return d >= 0 && d < 7 ? std::string(kWeekdayNames[d]) : std::string();
}

int32_t TOrvTime::GameSecondsOfWeek(int32_t i, TDateTime t) const {
  if (i < 0 || i >= ServerCount) return 0;
  return WeekSecondsFromBase(Servers[i].GameBase, Servers[i].RealBase, t);
}

int32_t TOrvTime::WeekSecondsFromBase(const TGameWeekTime& base, TDateTime realBase, TDateTime t) {
  if (realBase == 0) return 0;
  // Whole real milliseconds since the base, truncated toward zero. Far beyond any calendar
  // (a damaged setting) there is no game time to tell.
  const double span = static_cast<double>(kMsPerDay) * std::fabs(t - realBase);
  if (!(span < 1e15)) return 0;
  auto ms = static_cast<int64_t>(span);
  if (t < realBase) ms = -ms;
  // Elapsed game milliseconds, rounded to nearest (ties to even), then whole game seconds.
  const int64_t gameMs = std::llrint(static_cast<long double>(ms) * kGamePerReal);
  const int64_t s = (base.Seconds() + gameMs / 1000) % kGameWeekSeconds;
  return static_cast<int32_t>(s < 0 ? s + kGameWeekSeconds : s);
}

TDateTime TOrvTime::NextRealTime(int32_t i, const TGameWeekTime& target) const {
  if (i < 0 || i >= ServerCount) return 0;
  return NextRealTimeFromBase(target, Servers[i].GameBase, Servers[i].RealBase);
}

TDateTime TOrvTime::NextRealTimeFromBase(const TGameWeekTime& target, const TGameWeekTime& base,
                                         TDateTime realBase) const {
  if (realBase == 0) return 0;
  const TDateTime now = CurrentTime();
  const int32_t current = WeekSecondsFromBase(base, realBase, now);
  int64_t diff = (target.Seconds() - current) % kGameWeekSeconds;
  if (diff < 0) diff += kGameWeekSeconds;
  const auto ms = static_cast<int64_t>(std::floor(static_cast<long double>(diff) * kRealPerGame * 1000.0L));
  return now + static_cast<double>(ms) / kMsPerDay;
}

bool TOrvTime::TryParseRealBase(std::string_view line, TDateTime& t) const {
  return ParseDateTime(line, RealBasePos, t);
}

bool TOrvTime::TryParseRealLast(std::string_view line, TDateTime& t) const {
  return ParseDateTime(line, RealLastPos, t);
}

TDateTime TOrvTime::ParseRealBase(std::string_view line) const {
  TDateTime t = 0;
  return TryParseRealBase(line, t) ? t : 0;
}

TDateTime TOrvTime::ParseRealLast(std::string_view line) const {
  TDateTime t = 0;
  return TryParseRealLast(line, t) ? t : 0;
}

TGameWeekTime TOrvTime::ParseGameBase(std::string_view line) const {
  const auto& p = OrvBasePos;
  TGameWeekTime g;
  g.Hour = Field(line, p[0], p[1], 0);
  g.Minute = Field(line, p[2], p[3], 0);
  g.Weekday = Field(line, p[4], p[5], 0);
  return g;
}

int32_t TOrvTime::ChaosPhase(TDateTime t) const {
  t = Resolve(t);
  const int weekday = DayOfWeek(t);
  const int64_t x = MsOfDay(t);
  for (const ChaosRow& row : kChaosTable) {
    const auto& b = row.boundaryMs;
    if (row.weekday == weekday && x >= b[0] && x <= b[3]) return x < b[1] ? 1 : x < b[2] ? 2 : 3;
  }
  return 0;
}

TDateTime TOrvTime::NextChaosBoundary(int32_t k, TDateTime t) const {
  t = Resolve(t);
  if (k < 0 || k > 3) k = 0;
  const int64_t now = ToMs(t);
  const int64_t today = ToMs(DateOf(t));
  const int weekday = DayOfWeek(t);
  int64_t best = ToMs(IncYear(t, 1));
  for (const ChaosRow& row : kChaosTable) {
    int64_t candidate = today + ((row.weekday - weekday + 7) % 7) * kMsPerDay + row.boundaryMs[k];
    if (now > candidate) candidate += 7 * kMsPerDay;
    best = std::min(best, candidate);
  }
  return FromMs(best);
}

std::string TOrvTime::ZeroPad(int32_t n, int32_t width) {
  if (width < 2) return std::to_string(n);
  const std::string s = std::string(static_cast<size_t>(width), '0') + std::to_string(n);
  return s.substr(s.size() - static_cast<size_t>(width));
}

}  // namespace kw
