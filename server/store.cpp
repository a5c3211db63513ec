#include "server/store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <random>

#include "common/cp932.h"
#include "common/sha256.h"

namespace kw::server {
namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS game_server(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL, name_key TEXT NOT NULL UNIQUE,
  marker TEXT NOT NULL UNIQUE,
  has_base INTEGER NOT NULL DEFAULT 0, real_base_ms INTEGER NOT NULL DEFAULT 0,
  weekday INTEGER NOT NULL DEFAULT 0, hour INTEGER NOT NULL DEFAULT 0,
  minute INTEGER NOT NULL DEFAULT 0, real_last_ms INTEGER NOT NULL DEFAULT 0,
  state INTEGER NOT NULL DEFAULT 2, column3 INTEGER NOT NULL DEFAULT 0,
  column4 INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS setting(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS maintenance_slot(
  slot INTEGER PRIMARY KEY, date_ms INTEGER NOT NULL, start_sec INTEGER NOT NULL,
  end_sec INTEGER NOT NULL, title TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS user(
  name TEXT PRIMARY KEY, salt TEXT NOT NULL, hash TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS update_audit(
  id INTEGER PRIMARY KEY AUTOINCREMENT, at_ms INTEGER NOT NULL, user TEXT NOT NULL,
  query TEXT NOT NULL, accepted INTEGER NOT NULL, reason TEXT NOT NULL);
CREATE INDEX IF NOT EXISTS update_audit_user ON update_audit(user, at_ms);
)sql";

}  // namespace

// A prepared statement with positional binding, finalised on scope exit.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
  ~Stmt() { sqlite3_finalize(s_); }
  bool ok() const { return s_ != nullptr; }
  Stmt& Bind(int i, int64_t v) { sqlite3_bind_int64(s_, i, v); return *this; }
  Stmt& Bind(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
  int64_t Int(int c) const { return sqlite3_column_int64(s_, c); }
  std::string Text(int c) const {
    const auto* p = sqlite3_column_text(s_, c);
    return p ? std::string(reinterpret_cast<const char*>(p)) : std::string();
  }

 private:
  sqlite3_stmt* s_ = nullptr;
};

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// Text that goes into a page line as CP932: no tag brackets (the clock strips tags), no
// control characters (they would break the line structure).
std::string CheckPageText(const std::string& text, size_t minBytes, size_t maxBytes,
                          const char* what) {
  std::string cp;
  if (!Utf8ToCp932(text, cp)) return std::string(what) + " has characters without a CP932 form";
  if (cp.size() < minBytes || cp.size() > maxBytes)
    return std::string(what) + " must be " + std::to_string(minBytes) + ".." +
           std::to_string(maxBytes) + " CP932 bytes";
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f || c == '<' || c == '>')
      return std::string(what) + " must not hold control characters, '<' or '>'";
  return {};
}

std::string RandomSalt() {
  std::random_device rd;
  static const char* hex = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < 32; ++i) s += hex[rd() % 16];
  return s;
}

bool ValidGameBase(int weekday, int hour, int minute, std::string* error) {
  if (weekday < 0 || weekday > 6 || hour < 0 || hour > 23 || minute < 0 || minute > 59) {
    *error = "game base out of range (weekday 0..6, hour 0..23, minute 0..59)";
    return false;
  }
  return true;
}

}  // namespace

std::string CheckServerName(const std::string& name) {
  if (auto e = CheckPageText(name, 1, 8, "server name"); !e.empty()) return e;
  if (name.front() == ' ' || name.back() == ' ') return "server name must not start or end with a blank";
  return {};
}

std::string CheckMarker(const std::string& marker) {
  if (auto e = CheckPageText(marker, 1, 4, "marker"); !e.empty()) return e;
  if (marker.front() == ' ') return "marker must not start with a blank";
  return {};
}

std::string CheckTitle(const std::string& title) { return CheckPageText(title, 0, 256, "title"); }

std::unique_ptr<Store> Store::Open(const std::string& path, std::string* error) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    *error = db ? sqlite3_errmsg(db) : "cannot open " + path;
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<Store> store(new Store(db));
  sqlite3_busy_timeout(db, 5000);
  if (!store->Exec("PRAGMA journal_mode=WAL;", error) ||
      !store->Exec(kSchema, error))
    return nullptr;
  return store;
}

Store::~Store() { sqlite3_close(db_); }

bool Store::Exec(const char* sql, std::string* error) {
  char* msg = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) == SQLITE_OK) return true;
  if (error) *error = msg ? msg : "SQLite error";
  sqlite3_free(msg);
  return false;
}

template <class F>
bool Store::InTransaction(F&& body, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!Exec("BEGIN IMMEDIATE;", error)) return false;
  if (!body()) {
    Exec("ROLLBACK;", nullptr);
    return false;
  }
  if (!Exec("COMMIT;", error)) return false;
  ++commits_;
  return true;
}

uint64_t Store::Generation() {
  std::lock_guard lock(mutex_);
  Stmt q(db_, "PRAGMA data_version");
  const uint64_t others = q.Step() == SQLITE_ROW ? static_cast<uint64_t>(q.Int(0)) : 0;
  return (others << 32) ^ commits_;
}

bool Store::RenameServer(const std::string& name, const std::string& newName, std::string* error) {
  if (auto e = CheckServerName(newName); !e.empty()) return *error = e, false;
  return InTransaction([&] {
    Stmt up(db_, "UPDATE game_server SET name = ?, name_key = ? WHERE name_key = ?");
    up.Bind(1, newName).Bind(2, Lower(newName)).Bind(3, Lower(name));
    if (up.Step() != SQLITE_DONE) {
      *error = "a server named \"" + newName + "\" exists already";
      return false;
    }
    if (sqlite3_changes(db_) != 1) {
      *error = "no server named \"" + name + "\"";
      return false;
    }
    return true;
  }, error);
}

bool Store::AddServer(const std::string& name, const std::string& marker, std::string* error) {
  if (auto e = CheckServerName(name); !e.empty()) return *error = e, false;
  if (auto e = CheckMarker(marker); !e.empty()) return *error = e, false;
  return InTransaction([&] {
    // The clock takes the last line that starts with a marker: no marker may start another.
    Stmt all(db_, "SELECT marker FROM game_server");
    while (all.Step() == SQLITE_ROW) {
      const std::string other = all.Text(0);
      if (other.starts_with(marker) || marker.starts_with(other)) {
        *error = "marker \"" + marker + "\" clashes with \"" + other + "\"";
        return false;
      }
    }
    Stmt ins(db_, "INSERT INTO game_server(name, name_key, marker) VALUES(?, ?, ?)");
    ins.Bind(1, name).Bind(2, Lower(name)).Bind(3, marker);
    if (ins.Step() != SQLITE_DONE) {
      *error = "a server named \"" + name + "\" exists already";
      return false;
    }
    return true;
  }, error);
}

bool Store::SetBaseWhere(const char* where, const std::function<void(Stmt&)>& bindKey,
                         int64_t realBaseMs, int weekday, int hour, int minute,
                         int64_t realLastMs, std::string* error) {
  if (!ValidGameBase(weekday, hour, minute, error)) return false;
  return InTransaction([&] {
    Stmt up(db_, (std::string("UPDATE game_server SET has_base = 1, real_base_ms = ?, weekday = ?, "
                              "hour = ?, minute = ?, real_last_ms = ? WHERE ") + where).c_str());
    up.Bind(1, realBaseMs).Bind(2, weekday).Bind(3, hour).Bind(4, minute).Bind(5, realLastMs);
    bindKey(up);
    if (up.Step() != SQLITE_DONE || sqlite3_changes(db_) != 1) {
      *error = "no such server";
      return false;
    }
    return true;
  }, error);
}

bool Store::SetBase(const std::string& name, int64_t realBaseMs, int weekday, int hour,
                    int minute, int64_t realLastMs, std::string* error) {
  if (SetBaseWhere("name_key = ?", [&](Stmt& s) { s.Bind(6, Lower(name)); }, realBaseMs, weekday,
                   hour, minute, realLastMs, error))
    return true;
  if (*error == "no such server") *error = "no server named \"" + name + "\"";
  return false;
}

bool Store::SetBaseAt(int index, int64_t realBaseMs, int weekday, int hour, int minute,
                      int64_t realLastMs, std::string* error) {
  // The publishing position, looked up inside the same transaction as the change.
  return SetBaseWhere("id = (SELECT id FROM game_server ORDER BY id LIMIT 1 OFFSET ?)",
                      [&](Stmt& s) { s.Bind(6, index < 0 ? int64_t{-1} : index); }, realBaseMs,
                      weekday, hour, minute, realLastMs, error);
}

bool Store::SetStatus(const std::string& name, int state, int column3, int column4,
                      std::string* error) {
  // The status file gives each number eight columns.
  for (int v : {state, column3, column4})
    if (v < -9999999 || v > 99999999) return *error = "status value out of range", false;
  return InTransaction([&] {
    Stmt up(db_, "UPDATE game_server SET state = ?, column3 = ?, column4 = ? WHERE name_key = ?");
    up.Bind(1, state).Bind(2, column3).Bind(3, column4).Bind(4, Lower(name));
    if (up.Step() != SQLITE_DONE || sqlite3_changes(db_) != 1) {
      *error = "no server named \"" + name + "\"";
      return false;
    }
    return true;
  }, error);
}

std::vector<GameServer> Store::Servers() {
  std::lock_guard lock(mutex_);
  std::vector<GameServer> out;
  Stmt q(db_, "SELECT id, name, marker, has_base, real_base_ms, weekday, hour, minute, "
              "real_last_ms, state, column3, column4 FROM game_server ORDER BY id");
  while (q.Step() == SQLITE_ROW) {
    GameServer s;
    s.id = q.Int(0);
    s.name = q.Text(1);
    s.marker = q.Text(2);
    s.hasBase = q.Int(3) != 0;
    s.realBaseMs = q.Int(4);
    s.weekday = static_cast<int>(q.Int(5));
    s.hour = static_cast<int>(q.Int(6));
    s.minute = static_cast<int>(q.Int(7));
    s.realLastMs = q.Int(8);
    s.state = static_cast<int>(q.Int(9));
    s.column3 = static_cast<int>(q.Int(10));
    s.column4 = static_cast<int>(q.Int(11));
    out.push_back(std::move(s));
  }
  return out;
}

bool Store::SetMaintenance(const Maintenance& m, std::string* error) {
  if (m.regularWeekday < 1 || m.regularWeekday > 7)
    return *error = "regular weekday must be 1 (Sunday) .. 7 (Saturday)", false;
  auto validTimes = [](int a, int b) { return a >= 0 && b >= a && b < 86400; };
  if (!validTimes(m.regularStartSec, m.regularEndSec))
    return *error = "regular maintenance must start before it ends, within one day", false;
  if (auto e = CheckTitle(m.regularTitle); !e.empty()) return *error = e, false;
  for (const auto& s : m.slots) {
    if (!s.set) continue;
    if (!validTimes(s.startSec, s.endSec))
      return *error = "a maintenance slot must start before it ends, within one day", false;
    if (auto e = CheckTitle(s.title); !e.empty()) return *error = e, false;
  }
  for (const std::string& host : {m.sntp1, m.sntp2})
    if (auto e = CheckPageText(host, 0, 255, "SNTP server"); !e.empty()) return *error = e, false;
  if (m.sntpTimeoutMs < 1 || m.sntpTimeoutMs > 60000)
    return *error = "SNTP time-out must be 1..60000 ms", false;
  return InTransaction([&] {
    auto set = [&](const char* key, const std::string& value) {
      Stmt s(db_, "INSERT OR REPLACE INTO setting(key, value) VALUES(?, ?)");
      s.Bind(1, std::string(key)).Bind(2, value);
      return s.Step() == SQLITE_DONE;
    };
    bool ok = set("regular_weekday", std::to_string(m.regularWeekday)) &&
              set("regular_start", std::to_string(m.regularStartSec)) &&
              set("regular_end", std::to_string(m.regularEndSec)) &&
              set("regular_title", m.regularTitle) && set("sntp1", m.sntp1) &&
              set("sntp2", m.sntp2) && set("sntp_timeout", std::to_string(m.sntpTimeoutMs)) &&
              Exec("DELETE FROM maintenance_slot;", error);
    for (int i = 0; ok && i < 10; ++i) {
      const auto& s = m.slots[i];
      if (!s.set) continue;
      Stmt ins(db_, "INSERT INTO maintenance_slot VALUES(?, ?, ?, ?, ?)");
      ins.Bind(1, i + 1).Bind(2, s.dateMs).Bind(3, s.startSec).Bind(4, s.endSec).Bind(5, s.title);
      ok = ins.Step() == SQLITE_DONE;
    }
    if (!ok && error->empty()) *error = sqlite3_errmsg(db_);
    return ok;
  }, error);
}

Maintenance Store::GetMaintenance() {
  std::lock_guard lock(mutex_);
  Maintenance m;
  Stmt q(db_, "SELECT key, value FROM setting");
  while (q.Step() == SQLITE_ROW) {
    const std::string k = q.Text(0), v = q.Text(1);
    if (k == "regular_weekday") m.regularWeekday = std::stoi(v);
    else if (k == "regular_start") m.regularStartSec = std::stoi(v);
    else if (k == "regular_end") m.regularEndSec = std::stoi(v);
    else if (k == "regular_title") m.regularTitle = v;
    else if (k == "sntp1") m.sntp1 = v;
    else if (k == "sntp2") m.sntp2 = v;
    else if (k == "sntp_timeout") m.sntpTimeoutMs = std::stoi(v);
  }
  Stmt s(db_, "SELECT slot, date_ms, start_sec, end_sec, title FROM maintenance_slot");
  while (s.Step() == SQLITE_ROW) {
    const int64_t slot = s.Int(0);
    if (slot < 1 || slot > 10) continue;
    auto& t = m.slots[slot - 1];
    t.set = true;
    t.dateMs = s.Int(1);
    t.startSec = static_cast<int>(s.Int(2));
    t.endSec = static_cast<int>(s.Int(3));
    t.title = s.Text(4);
  }
  return m;
}

bool Store::PublishVersion(const LatestVersion& v, std::string* error) {
  for (int n : v.v)
    if (n < 0 || n > 9999) return *error = "version numbers must be 0..9999", false;
  if (v.year < 1 || v.year > 9999 || v.month < 1 || v.month > 12 || v.day < 1 || v.day > 31)
    return *error = "release date out of range", false;
  for (const std::string& u : {v.url, v.installer})
    if (auto e = CheckPageText(u, 0, 1024, "address"); !e.empty()) return *error = e, false;
  return InTransaction([&] {
    const std::string text = std::to_string(v.v[0]) + "." + std::to_string(v.v[1]) + "." +
                             std::to_string(v.v[2]) + "." + std::to_string(v.v[3]) + " " +
                             std::to_string(v.year) + " " + std::to_string(v.month) + " " +
                             std::to_string(v.day);
    for (auto [key, value] : {std::pair{"version", text}, std::pair{"version_url", v.url},
                              std::pair{"version_installer", v.installer}}) {
      Stmt s(db_, "INSERT OR REPLACE INTO setting(key, value) VALUES(?, ?)");
      s.Bind(1, std::string(key)).Bind(2, value);
      if (s.Step() != SQLITE_DONE) return *error = sqlite3_errmsg(db_), false;
    }
    return true;
  }, error);
}

std::optional<LatestVersion> Store::GetVersion() {
  std::lock_guard lock(mutex_);
  LatestVersion v;
  bool found = false;
  Stmt q(db_, "SELECT key, value FROM setting WHERE key LIKE 'version%'");
  while (q.Step() == SQLITE_ROW) {
    const std::string k = q.Text(0), val = q.Text(1);
    if (k == "version") {
      found = std::sscanf(val.c_str(), "%d.%d.%d.%d %d %d %d", &v.v[0], &v.v[1], &v.v[2],
                          &v.v[3], &v.year, &v.month, &v.day) == 7;
    } else if (k == "version_url") {
      v.url = val;
    } else if (k == "version_installer") {
      v.installer = val;
    }
  }
  if (!found) return std::nullopt;
  return v;
}

bool Store::AddUser(const std::string& name, const std::string& password, std::string* error) {
  if (name.empty() || name.find(':') != std::string::npos)
    return *error = "user name must be non-empty and hold no ':'", false;
  if (password.empty()) return *error = "empty password", false;
  const std::string salt = RandomSalt();
  return InTransaction([&] {
    Stmt s(db_, "INSERT OR REPLACE INTO user(name, salt, hash) VALUES(?, ?, ?)");
    s.Bind(1, name).Bind(2, salt).Bind(3, Sha256Hex(salt + password));
    if (s.Step() != SQLITE_DONE) return *error = sqlite3_errmsg(db_), false;
    return true;
  }, error);
}

bool Store::CheckUser(const std::string& name, const std::string& password) {
  std::lock_guard lock(mutex_);
  Stmt q(db_, "SELECT salt, hash FROM user WHERE name = ?");
  q.Bind(1, name);
  if (q.Step() != SQLITE_ROW) return false;
  const std::string want = q.Text(1), got = Sha256Hex(q.Text(0) + password);
  // Compare without an early exit.
  unsigned diff = want.size() ^ got.size();
  for (size_t i = 0; i < std::min(want.size(), got.size()); ++i) diff |= want[i] ^ got[i];
  return diff == 0;
}

void Store::AddAudit(int64_t atMs, const std::string& user, const std::string& query,
                     bool accepted, const std::string& reason) {
  std::string error;
  InTransaction([&] {
    Stmt s(db_, "INSERT INTO update_audit(at_ms, user, query, accepted, reason) "
                "VALUES(?, ?, ?, ?, ?)");
    s.Bind(1, atMs).Bind(2, user).Bind(3, query).Bind(4, accepted ? 1 : 0).Bind(5, reason);
    return s.Step() == SQLITE_DONE;
  }, &error);
}

int Store::CountAccepted(const std::string& user, int64_t sinceMs) {
  std::lock_guard lock(mutex_);
  Stmt q(db_, "SELECT COUNT(*) FROM update_audit WHERE user = ? AND accepted = 1 AND at_ms >= ?");
  q.Bind(1, user).Bind(2, sinceMs);
  return q.Step() == SQLITE_ROW ? static_cast<int>(q.Int(0)) : 0;
}

int Store::CountAudit() {
  std::lock_guard lock(mutex_);
  Stmt q(db_, "SELECT COUNT(*) FROM update_audit");
  return q.Step() == SQLITE_ROW ? static_cast<int>(q.Int(0)) : 0;
}

}  // namespace kw::server
