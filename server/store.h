// The clock server's state in one SQLite database (WAL mode): the game servers and their
// time bases, the maintenance information, the latest released version, the users allowed
// to send remote updates and the audit trail of those updates. Every change runs in one
// transaction; one connection is shared by the HTTP worker threads behind a mutex.
//
// Texts are UTF-8 here; the pages encode them as CP932. Date-times are whole milliseconds on
// the local day count (ToMs of a TDateTime).
#pragma once

#include <array>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace kw::server {

class Stmt;

struct GameServer {
  int64_t id = 0;  // publishing order
  std::string name;    // at most 8 CP932 bytes: the status file's name column
  std::string marker;  // 1..4 CP932 bytes: starts the server's line on the sync page
  bool hasBase = false;
  int64_t realBaseMs = 0;  // real instant of the base (milliseconds 0..999)
  int weekday = 0, hour = 0, minute = 0;  // game time at that instant
  int64_t realLastMs = 0;  // when the base was last adjusted
  int state = 2;           // status file: 2 open, anything else not open
  int column3 = 0, column4 = 0;
};

struct TempMaintenance {
  bool set = false;
  int64_t dateMs = 0;        // the day (midnight)
  int startSec = 0, endSec = 0;  // times of day on that day
  std::string title;
};

struct Maintenance {
  int regularWeekday = 3;  // 1 = Sunday .. 7 = Saturday
  int regularStartSec = 10 * 3600, regularEndSec = 15 * 3600;
  std::string regularTitle = "定期メンテナンス";
  std::array<TempMaintenance, 10> slots{};
  std::string sntp1 = "ntp.nict.jp", sntp2 = "pool.ntp.org";
  int sntpTimeoutMs = 1000;
};

struct LatestVersion {
  std::array<int, 4> v{};
  int year = 0, month = 0, day = 0;
  std::string url;        // download page
  std::string installer;  // installer address for the self-update; empty: none
};

// Checks for the texts the pages carry; empty when fine, else why not.
std::string CheckServerName(const std::string& name);
std::string CheckMarker(const std::string& marker);
std::string CheckTitle(const std::string& title);

class Store {
 public:
  // Opens (creating when missing) the database and its tables; null with error set on failure.
  static std::unique_ptr<Store> Open(const std::string& path, std::string* error);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // Each returns false with error set (and nothing changed) when refused or failed.
  bool AddServer(const std::string& name, const std::string& marker, std::string* error);
  bool RenameServer(const std::string& name, const std::string& newName, std::string* error);
  bool SetBase(const std::string& name, int64_t realBaseMs, int weekday, int hour, int minute,
               int64_t realLastMs, std::string* error);
  // The same by publishing position (0-based), as the remote update addresses servers.
  bool SetBaseAt(int index, int64_t realBaseMs, int weekday, int hour, int minute,
                 int64_t realLastMs, std::string* error);
  bool SetStatus(const std::string& name, int state, int column3, int column4, std::string* error);
  bool SetMaintenance(const Maintenance& m, std::string* error);
  bool PublishVersion(const LatestVersion& v, std::string* error);
  bool AddUser(const std::string& name, const std::string& password, std::string* error);

  std::vector<GameServer> Servers();
  // A number that changes whenever the data may have changed, by this process or another, so
  // that pages rendered from it can be kept until then.
  uint64_t Generation();
  Maintenance GetMaintenance();
  std::optional<LatestVersion> GetVersion();
  bool CheckUser(const std::string& name, const std::string& password);

  // Remote update audit trail: one row per request that passed authentication.
  void AddAudit(int64_t atMs, const std::string& user, const std::string& query, bool accepted,
                const std::string& reason);
  int CountAccepted(const std::string& user, int64_t sinceMs);
  int CountAudit();

 private:
  explicit Store(sqlite3* db) : db_(db) {}
  bool Exec(const char* sql, std::string* error);
  bool SetBaseWhere(const char* where, const std::function<void(Stmt&)>& bindKey,
                    int64_t realBaseMs, int weekday, int hour, int minute, int64_t realLastMs,
                    std::string* error);
  template <class F>
  bool InTransaction(F&& body, std::string* error);

  sqlite3* db_;
  std::mutex mutex_;
  uint64_t commits_ = 0;  // this process's own commits (data_version counts only the others')
};

}  // namespace kw::server
