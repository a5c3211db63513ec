// The engine's requests to the clock server and the SNTP servers, and what it keeps of the
// answers. Each request uses a fresh HTTP handle, the user agent "AgentName ProgramVersion" and
// the proxy of the settings (the status file always goes direct).
#include <algorithm>
#include <cmath>

#include "clock/engine/u_orvpages.h"
#include "clock/engine/u_orvtime.h"
#include "common/cp932.h"
#include "common/log_sink.h"
#include "common/sntp_client.h"

namespace kw {
namespace {

constexpr int kPageTimeoutMs = 5000;
constexpr int kSmallFileTimeoutMs = 1000;

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string Describe(const HttpResponse& r) {
  if (r.status == 0) return r.error;
  if (r.status != 200) return "HTTP " + std::to_string(r.status);
  return "an empty page";
}

}  // namespace

std::string DefaultStatusURL(const std::string& syncUrl) {
  if (syncUrl.empty()) return {};
  const size_t scheme = syncUrl.find("://");
  const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t query = syncUrl.find_first_of("?#", hostStart);
  const std::string path = syncUrl.substr(0, query);
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash < hostStart) return path + "/status.txt";
  return path.substr(0, slash + 1) + "status.txt";
}

void TOrvTime::Log(const std::string& line) const {
  if (log_) log_->WriteLog(line);
}

HttpResponse TOrvTime::Get(const std::string& url, int timeoutMs, bool useProxy,
                           const std::string& referer, const THttpAuth& auth) const {
  HttpRequest request;
  request.url = url;
  request.readTimeoutMs = timeoutMs;
  if (useProxy)
    request.proxy = ProxyFromSettings(ProxyEnabled, ProxyIP, ProxyPort, ProxyUsername, ProxyPassword, log_);
  request.userAgent = AgentName + " " + ProgramVersion;
  request.referer = referer;
  request.basicAuth = auth.HttpAuthEnabled;
  request.username = auth.HttpUsername;
  request.password = auth.HttpPassword;
  return HttpGet(request);
}

std::string TOrvTime::StripTags(std::string_view page) { return StripPageTags(page); }

int32_t TOrvTime::SyncGameClock() {
  HttpResponse page;
  int32_t source = 0;
  for (int32_t n = 0; n < 2 && !page.Usable(); ++n) {
    page = {};
    if (SyncURL[n].empty()) continue;
    source = n + 1;
    page = Get(SyncURL[n], kPageTimeoutMs, true, RefererEmu[n], HttpAuth[n]);
    if (!page.Usable()) Log(">Sync page " + std::to_string(n + 1) + ": " + Describe(page) + "\r");
  }
  if (!page.Usable()) return 9;
  std::string error;
  const int32_t code = ApplySyncPage(page.body, source, &error);
  if (code == 9) Log(">Sync page " + std::to_string(source) + " ignored: " + error + "\r");
  return code;
}

int32_t TOrvTime::ApplySyncPage(std::string_view body, int32_t source, std::string* error) {
  const std::string text = StripTags(body);
  const auto lines = SplitPageLines(text);
  const auto lineAt = [&](size_t header, int32_t offset, std::string_view& line) {
    const auto at = static_cast<int64_t>(header) + offset;
    if (at < 0 || at >= static_cast<int64_t>(lines.size())) return false;
    line = lines[static_cast<size_t>(at)];
    return true;
  };
  // Parse into a copy: only a page that is good for every server replaces the bases.
  std::vector<TOrvTimeSystem> servers = Servers;
  int32_t code = 0;
  for (TOrvTimeSystem& s : servers) {
    std::string marker;
    Utf8ToCp932(s.HeadMarker, marker);
    size_t header = lines.size();
    for (size_t k = lines.size(); k-- > 0;)
      if (lines[k].starts_with(marker)) {
        header = k;
        break;
      }
    if (header == lines.size()) {
      s.RealBase = s.RealLast = 0;
      s.GameBase = {};
      code = 0;
      continue;
    }
    std::string_view last, base, game;
    if (!lineAt(header, RealLastOffset, last) || !lineAt(header, RealBaseOffset, base) ||
        !lineAt(header, OrvBaseOffset, game)) {
      if (error) *error = s.ServerName + ": a field lies past the last line";
      return 9;
    }
    const TDateTime oldLast = s.RealLast;
    if (!TryParseRealLast(last, s.RealLast) || !TryParseRealBase(base, s.RealBase)) {
      if (error) *error = s.ServerName + ": a date-time that does not exist";
      return 9;
    }
    s.GameBase = ParseGameBase(game);
    code = s.RealLast != oldLast ? source + 1 : source - 1;
  }
  Servers = std::move(servers);
  return code;
}

std::string TOrvTime::SntpServer(int32_t i) const {
  return i == 1 || i == 2 ? SntpServers[i - 1] : std::string();
}

bool TOrvTime::CheckPcClock() {
  for (int32_t i = 1; i <= 2; ++i) {
    const std::string server = SntpServer(i);
    if (server.empty()) continue;
    const SntpAnswer answer = SntpQuery(server, SntpTimeout, clock_);
    if (!answer.ok || answer.time == 0) {
      Log(">SNTP " + server + ": " + answer.error + "\r");
      continue;
    }
    TimeAdjustOffset = answer.time - clock_.Now();
    return true;
  }
  return false;
}

bool TOrvTime::FetchMaintenanceInfo() {
  if (RemoteOption.empty()) return false;
  const HttpResponse page = Get(RemoteOption, kPageTimeoutMs, true, RefererEmu[0], HttpAuth[0]);
  if (!page.Usable()) {
    Log(">Maintenance page: " + Describe(page) + "\r");
    return false;
  }
  TMaintenanceInfo m;
  std::string error;
  if (!ParseMaintenancePage(StripTags(page.body), m, error)) {
    Log(">Maintenance page ignored: " + error + "\r");
    return false;
  }
  RegularMaintWeekday = m.RegularMaintWeekday;
  RegularMaintStart = m.RegularMaintStart;
  RegularMaintEnd = m.RegularMaintEnd;
  RegularMaintTitle = m.RegularMaintTitle;
  TempMaintStart = m.TempMaintStart;
  TempMaintEnd = m.TempMaintEnd;
  TempMaintTitle = m.TempMaintTitle;
  SntpServers = m.SntpServers;
  SntpTimeout = m.SntpTimeout;
  return true;
}

int32_t TOrvTime::MaintenanceState() const {
  const TDateTime now = CurrentTime();
  const int64_t nowMs = ToMs(now);
  const int64_t timeOfDay = MsOfDay(now);
  const auto dayMs = [](TDateTime t) { return std::llround(t * kMsPerDay); };
  int32_t state = DayOfWeek(now) == RegularMaintWeekday && timeOfDay >= dayMs(RegularMaintStart) &&
                          timeOfDay < dayMs(RegularMaintEnd)
                      ? -1
                      : 0;
  for (int32_t i = 0; i < 10; ++i)
    if (ToMs(TempMaintStart[i]) <= nowMs && nowMs < ToMs(TempMaintEnd[i])) state = i + 1;
  return state;
}

TDateTime TOrvTime::TempMaintenanceStart(int32_t i) const {
  return i >= 1 && i <= 10 ? TempMaintStart[i - 1] : 0;
}

TDateTime TOrvTime::TempMaintenanceEnd(int32_t i) const {
  return i >= 1 && i <= 10 ? TempMaintEnd[i - 1] : 0;
}

std::string TOrvTime::TempMaintenanceTitle(int32_t i) const {
  return i >= 1 && i <= 10 ? TempMaintTitle[i - 1] : std::string();
}

bool TOrvTime::FetchServersStatus() {
  ServersStatus = {};
  if (StatusURL.empty()) return false;
  const HttpResponse file = Get(StatusURL, kSmallFileTimeoutMs, false, {}, {});
  if (!file.Usable()) return false;
  TServersStatus status;
  TDateTime produced = 0;
  std::string error;
  if (!ParseServersStatus(file.body, status, produced, error)) {
    Log(">Server status ignored: " + error + "\r");
    return false;
  }
  // A list produced more than an hour ago tells nothing about now.
  if (ToMs(CurrentTime()) - 3600000 > ToMs(produced)) return false;
  ServersStatus = std::move(status);
  return true;
}

bool TOrvTime::IsServerDown(int32_t i) const {
  if (!ServersStatus.Valid) return false;
  const std::string name = LowerAscii(ServerName(i));
  if (name.empty()) return true;
  return std::none_of(ServersStatus.Servers.begin(), ServersStatus.Servers.end(),
                      [&](const TServerStatus& e) { return e.State == 2 && LowerAscii(e.Name) == name; });
}

void TOrvTime::GetUpgradeInfo(TUpgradeInfo& info) {
  info = {};
  if (UpgradeCheck.empty()) return;
  const HttpResponse file = Get(UpgradeCheck, kSmallFileTimeoutMs, true, {}, {});
  if (file.Usable() && !ParseUpgradeInfo(file.body, info)) Log(">Version file ignored\r");
}

std::string TOrvTime::GetUIN() const {
  std::string id;
  switch (ReadProductIdFn(id)) {
    case ProductIdStatus::Ok: return UinFromProductId(id);
    case ProductIdStatus::ReadError: return "GetUIN_Error";
    case ProductIdStatus::NotAvailable: break;
  }
  return {};
}

std::string TOrvTime::RequestRemoteUpdate(int32_t server, int32_t weekday, int32_t hour,
                                          int32_t minute, int32_t year, int32_t month, int32_t day,
                                          int32_t realHour, int32_t realMinute, int32_t second,
                                          int32_t millisecond) {
  if (!UpdateEnabled || UpdateURL.empty()) return {};
  const auto n = [](int32_t v) { return std::to_string(v); };
  const std::string query = ReplacePlaceholders(
      UpdateParam, {{"<SV>", n(server)}, {"<MW>", n(weekday)}, {"<MH>", n(hour)}, {"<MN>", n(minute)},
                    {"<RY>", n(year)}, {"<RM>", n(month)}, {"<RD>", n(day)}, {"<RH>", n(realHour)},
                    {"<RN>", n(realMinute)}, {"<RS>", n(second)}, {"<RMS>", n(millisecond)},
                    {"<UPI>", GetUIN()}});
  THttpAuth auth;
  auth.HttpAuthEnabled = !UpdateAuthUser.empty();
  auth.HttpUsername = UpdateAuthUser;
  auth.HttpPassword = UpdateAuthPass;
  const HttpResponse answer = Get(UpdateURL + "?" + query, kPageTimeoutMs, true, {}, auth);
  if (!answer.Usable()) {
    Log(">Remote update: " + Describe(answer) + "\r");
    return {};
  }
  return DecodeTextFile(answer.body);
}

}  // namespace kw
