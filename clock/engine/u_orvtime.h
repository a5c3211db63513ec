// The game-time engine: one time base per game server, the conversion between real
// date-times and game-week times, the weekly chaos slots, and the server table and network
// endpoints read from httpctrl.cfg.
//
// Texts are UTF-8. Lines of the clock server's pages are CP932 bytes; the positional parsers
// count their positions in bytes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "common/datetime.h"
#include "common/http_client.h"
#include "platform/product_id.h"

namespace kw {

class LogSink;

inline constexpr std::string_view kServerTableChangedNotice =
    "サーバー構成が変化したみたいです。\r\n念のためアラーム設定等を見直して下さい。";

// A point in the game week.
struct TGameWeekTime {
  int32_t Weekday = 0;  // 0..6
  int32_t Hour = 0;
  int32_t Minute = 0;
  int32_t Second = 0;

  int64_t Seconds() const { return Weekday * 86400LL + Hour * 3600LL + Minute * 60LL + Second; }
  bool operator==(const TGameWeekTime&) const = default;
};

constexpr int32_t kGameWeekSeconds = 604800;

// One server's time base.
struct TOrvTimeSystem {
  TDateTime RealBase = 0;  // 0: the server has no base
  TDateTime RealLast = 0;  // when the clock server last adjusted this server
  TGameWeekTime GameBase;
  std::string HeadMarker;  // starts this server's block on the sync page
  std::string ServerName;
};

struct TServerStatus {
  std::string Name;
  int32_t State = 0;  // 2: open
  int32_t Column3 = 0, Column4 = 0;  // kept as listed; nothing uses them
};

struct TServersStatus {
  int32_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
  int32_t Count = 0;
  std::vector<TServerStatus> Servers;
  bool Valid = false;
};

// The latest released version; all zero when it could not be read.
struct TUpgradeInfo {
  int32_t V1 = 0, V2 = 0, V3 = 0, V4 = 0;
  int32_t Year = 0, Month = 0, Day = 0;  // release date
  std::string Url;                        // download page
};

struct THttpAuth {
  bool HttpAuthEnabled = false;
  std::string HttpUsername;
  std::string HttpPassword;
};

class TOrvTime {
 public:
  // Reads httpctrl.cfg from the program folder and checks the server list against the
  // signature cached in kronwel.ini (remapping the stored server choices when it changed).
  // The clock and the log (which may be null) must outlive the engine.
  TOrvTime(std::string programFolder, const Clock& clock, LogSink* log = nullptr);

  // The server table changed since the last run and the user's stored server choices were
  // remapped: the clock asks the user to look over the alarms (kServerTableChangedNotice).
  bool ServerTableChanged = false;

  // Positions on the sync page (1-based byte positions and lengths; see ParseRealBase).
  int32_t RealBaseOffset = 0;
  std::array<int32_t, 14> RealBasePos{11, 4, 15, 2, 17, 2, 19, 2, 21, 2, 23, 2, 25, 2};
  int32_t OrvBaseOffset = 0;
  std::array<int32_t, 6> OrvBasePos{5, 2, 7, 2, 9, 2};
  int32_t RealLastOffset = 0;
  std::array<int32_t, 12> RealLastPos{28, 4, 32, 2, 34, 2, 36, 2, 38, 2, 40, 2};

  int32_t ServerCount = 3;
  std::vector<std::string> ServerNames;

  // Regular maintenance: weekday 1 = Sunday .. 7 = Saturday, times of day.
  int32_t RegularMaintWeekday = 3;
  TDateTime RegularMaintStart = 10.0 / 24;
  TDateTime RegularMaintEnd = 15.0 / 24;
  std::string RegularMaintTitle = "定期メンテナンス";
  // Temporary maintenance windows 1..10 at index 0..9.
  std::array<TDateTime, 10> TempMaintStart{};
  std::array<TDateTime, 10> TempMaintEnd{};
  std::array<std::string, 10> TempMaintTitle;

  TServersStatus ServersStatus;

  std::string AgentName = "KronwelClient3";
  bool UpdateEnabled = false;
  std::string UpdateURL, UpdateParam, UpdateAuthUser, UpdateAuthPass;
  std::string UpgradeCheck;
  std::string UpgradeInfo2;
  std::string RemoteOption;
  std::string StatusURL;  // the server status file
  // Primary and secondary clock server at index 0 and 1.
  std::array<std::string, 2> SyncURL;
  std::array<std::string, 2> RefererEmu;
  std::array<std::string, 2> SntpServers;
  int32_t SntpTimeout = 1000;  // milliseconds
  std::array<THttpAuth, 2> HttpAuth;
  std::string ProgramVersion;

  bool ProxyEnabled = false;
  std::string ProxyIP, ProxyPort, ProxyUsername, ProxyPassword;

  std::vector<TOrvTimeSystem> Servers;
  TDateTime TimeAdjustOffset = 0;  // days added to the PC clock

  // The PC clock plus TimeAdjustOffset.
  TDateTime CurrentTime() const { return clock_.Now() + TimeAdjustOffset; }

  std::string ServerName(int32_t i) const;
  static std::string WeekdayName(int32_t d);

  // Game seconds since the start of the game week (0..604799) that server i shows at the
  // real date-time t; 0 for an unknown server or one without a base.
  int32_t GameSecondsOfWeek(int32_t i, TDateTime t) const;
  static int32_t WeekSecondsFromBase(const TGameWeekTime& base, TDateTime realBase, TDateTime t);

  // The next real date-time (from now) at which server i shows the target game time; now
  // itself when it shows it already; 0 for an unknown server or one without a base.
  TDateTime NextRealTime(int32_t i, const TGameWeekTime& target) const;
  TDateTime NextRealTimeFromBase(const TGameWeekTime& target, const TGameWeekTime& base,
                                 TDateTime realBase) const;

  // Fields of a sync-page line (CP932 bytes) at the configured positions. A date-time that
  // does not exist gives 0 (no base).
  TDateTime ParseRealBase(std::string_view line) const;
  TDateTime ParseRealLast(std::string_view line) const;
  // The same, false for a date-time that does not exist.
  bool TryParseRealBase(std::string_view line, TDateTime& t) const;
  bool TryParseRealLast(std::string_view line, TDateTime& t) const;
  TGameWeekTime ParseGameBase(std::string_view line) const;

  // The first character of every server's header marker in httpctrl.cfg, in order.
  std::string ServerSignature() const;

  // 0 no chaos slot, 1 gate open, 2 torrent released, 3 battle; t = 0 means now.
  int32_t ChaosPhase(TDateTime t = 0) const;
  // The next real date-time of chaos boundary k (0..3, others count as 0); t = 0 means now.
  TDateTime NextChaosBoundary(int32_t k, TDateTime t = 0) const;

  // n as text of at least width digits, keeping only the last width characters.
  static std::string ZeroPad(int32_t n, int32_t width);

  // The clock server and SNTP. Every request blocks for at most its read time-out.

  // The page without markup tags, line ends as carriage return + line feed.
  static std::string StripTags(std::string_view page);
  // Reads the sync page from the primary address, or the secondary one when the primary gave
  // no usable page, and takes every server's time base from it: 0/1 read from the primary/
  // secondary address and the last server's entry unchanged (or missing), 2/3 changed, 9 no
  // usable page (the time bases stay).
  int32_t SyncGameClock();
  // Takes the time bases from a sync page read from source 1 or 2; the code as above. A page
  // with a date-time that does not exist or a field past its last line changes nothing and
  // gives 9, with the reason in error.
  int32_t ApplySyncPage(std::string_view body, int32_t source, std::string* error = nullptr);
  std::string SntpServer(int32_t i) const;  // i = 1, 2
  // Asks the SNTP servers of the maintenance page for the time and sets TimeAdjustOffset;
  // false (the offset stays) when none answered.
  bool CheckPcClock();
  // Reads the maintenance page: the regular and temporary maintenance and the SNTP servers.
  // False (every old value stays) when it cannot be read or parsed.
  bool FetchMaintenanceInfo();
  int32_t MaintenanceState() const;  // -1 regular, 1..10 temporary, 0 none
  TDateTime TempMaintenanceStart(int32_t i) const;
  TDateTime TempMaintenanceEnd(int32_t i) const;
  std::string TempMaintenanceTitle(int32_t i) const;
  // Reads the server status file into ServersStatus; Valid only for a fresh, whole list.
  bool FetchServersStatus();
  bool IsServerDown(int32_t i) const;
  void GetUpgradeInfo(TUpgradeInfo& info);
  // The user number sent with remote updates; empty when the machine has no product id.
  std::string GetUIN() const;
  // Sends a new time base for a server to the clock server; its answer, or empty text when
  // remote updates are off or it did not accept.
  std::string RequestRemoteUpdate(int32_t server, int32_t weekday, int32_t hour, int32_t minute,
                                  int32_t year, int32_t month, int32_t day, int32_t realHour,
                                  int32_t realMinute, int32_t second, int32_t millisecond);

  // Where the product id comes from; tests put in their own.
  std::function<ProductIdStatus(std::string&)> ReadProductIdFn = [](std::string& id) {
    return ReadProductId(id);
  };

  const std::string& ProgramFolder() const { return programFolder_; }

 private:
  void ReadConfiguration();
  void CheckServerList();
  TDateTime Resolve(TDateTime t) const { return t == 0 ? CurrentTime() : t; }
  HttpResponse Get(const std::string& url, int timeoutMs, bool useProxy, const std::string& referer,
                   const THttpAuth& auth) const;
  void Log(const std::string& line) const;

  std::string programFolder_;
  const Clock& clock_;
  LogSink* log_;
};

// The status file beside the sync page: its address with the last path segment replaced by
// "status.txt"; empty when there is no sync page.
std::string DefaultStatusURL(const std::string& syncUrl);

// Maps a stored server choice from the old server signature to the new one, by the letter of
// the chosen server: its position in the new signature; notFound when the letter is gone; the
// new signature's length when v was not a server of the old one (automatic, all servers).
int32_t RemapServerChoice(int32_t v, const std::string& oldSignature,
                          const std::string& newSignature, int32_t notFound);

}  // namespace kw
