#include "server/http_server.h"

#include <httplib.h>

#include <charconv>
#include <chrono>
#include <thread>

#include "common/datetime.h"

namespace kw::server {
namespace {

constexpr const char* kText = "text/plain; charset=Shift_JIS";
constexpr const char* kHtml = "text/html; charset=Shift_JIS";

// A whole decimal number, nothing else.
bool ParseInt(const std::string& s, int& out) {
  if (s.empty() || s.size() > 9) return false;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && p == s.data() + s.size();
}

}  // namespace

bool DecodeBase64(const std::string& in, std::string& out) {
  out.clear();
  uint32_t acc = 0;
  int bits = 0;
  size_t pad = 0;
  for (char c : in) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+') v = 62;
    else if (c == '/') v = 63;
    else if (c == '=') { ++pad; continue; }
    else return false;
    if (pad) return false;  // data after padding
    acc = (acc << 6) | v;
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xff);
    }
  }
  return (in.size() % 4 == 0) && pad <= 2;
}

std::string ParseUpdateQuery(const std::multimap<std::string, std::string>& params, int64_t nowMs,
                             int serverCount, RemoteUpdate& update) {
  int v[11];
  const char* names[11] = {"sv", "mw", "mh", "mn", "ry", "rm", "rd", "rh", "rn", "rs", "rms"};
  for (int i = 0; i < 11; ++i) {
    const auto it = params.lower_bound(names[i]);  // the first of equal names
    if (it == params.end() || it->first != names[i] || !ParseInt(it->second, v[i]))
      return std::string("missing or not a number: ") + names[i];
  }
  const auto [sv, mw, mh, mn, ry, rm, rd, rh, rn, rs, rms] =
      std::tuple{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], v[10]};
  if (mw < 0 || mw > 6 || mh < 0 || mh > 23 || mn < 0 || mn > 59) return "game time out of range";
  TDateTime base;
  if (rms < 0 || rms > 999 || !TryEncodeDateTime({ry, rm, rd, rh, rn, rs, rms}, base))
    return "real date-time does not exist";
  // A base instant must lie in the last week and not in the future (a minute of slack for
  // clocks that run a little ahead).
  const int64_t baseMs = ToMs(base);
  if (baseMs > nowMs + 60000 || baseMs < nowMs - 7 * kMsPerDay) return "real base out of range";
  if (sv < 0 || sv >= serverCount) return "unknown server";
  update = {sv, mw, mh, mn, baseMs};
  return {};
}

ClockServer::ClockServer(Store& store, const Clock& clock, ServerOptions options)
    : store_(store), clock_(clock), options_(std::move(options)),
      http_(std::make_unique<httplib::Server>()) {
  // Headers and body go out in separate writes: without this every keep-alive answer
  // waits for the client's delayed ACK (tens of milliseconds).
  http_->set_tcp_nodelay(true);
  // A worker holds a keep-alive connection until the client lets go: with a few workers, many
  // polling clocks would wait in line for seconds.
  http_->new_task_queue = [] { return new httplib::ThreadPool(64); };
  // Polling clocks keep their connection: closing it every few requests costs a handshake each.
  http_->set_keep_alive_max_count(1000);
  if (!options_.filesDir.empty()) http_->set_mount_point(kFilesPath, options_.filesDir);
  Routes();
}

ClockServer::~ClockServer() { Stop(); }

int ClockServer::Bind(const std::string& host, int port) {
  const int bound = port == 0 ? http_->bind_to_any_port(host) : (http_->bind_to_port(host, port) ? port : -1);
  if (bound > 0 && options_.publish.baseUrl.empty())
    options_.publish.baseUrl = "http://" + host + ":" + std::to_string(bound);
  return bound;
}

bool ClockServer::Run() { return http_->listen_after_bind(); }
void ClockServer::Stop() { http_->stop(); }
void ClockServer::WaitUntilReady() const {
  // This cpp-httplib has no readiness wait: the socket is bound already, so Run is only a
  // few instructions away from accepting.
  while (!http_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void ClockServer::Routes() {
  auto& h = *http_;
  // Every clock polls the sync page: it is rendered once per change of the data.
  h.Get(kSyncPath, [this](const httplib::Request&, httplib::Response& res) {
    const uint64_t generation = store_.Generation();
    std::lock_guard lock(syncCacheMutex_);
    if (!syncCacheValid_ || syncCacheGeneration_ != generation) {
      syncCache_ = SyncPage(store_.Servers());
      syncCacheGeneration_ = generation;
      syncCacheValid_ = true;
    }
    res.set_content(syncCache_, kHtml);
  });
  h.Get(kMaintenancePath, [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(MaintenancePage(store_.GetMaintenance()), kText);
  });
  h.Get(kStatusPath, [this](const httplib::Request&, httplib::Response& res) {
    res.set_content(StatusFile(store_.Servers(), ToMs(clock_.Now())), kText);
  });
  h.Get(kVersionPath, [this](const httplib::Request&, httplib::Response& res) {
    if (auto v = store_.GetVersion()) return res.set_content(VersionFile(*v), kText);
    res.status = 404;
    res.set_content("no version published\r\n", kText);
  });
  h.Get(kUpgradeInfoPath, [this](const httplib::Request&, httplib::Response& res) {
    auto v = store_.GetVersion();
    if (v && !v->installer.empty()) return res.set_content(v->installer + "\r\n", kText);
    res.status = 404;
    res.set_content("no installer published\r\n", kText);
  });
  // The configuration set, at its address + "." + the clock's product version (any version
  // gets the same set).
  auto config = [this](std::string ConfigSet::*file) {
    return [this, file](const httplib::Request&, httplib::Response& res) {
      res.set_content(MakeConfigSet(store_.Servers(), options_.publish).*file, kText);
    };
  };
  h.Get(std::string(kHttpCtrlPath) + R"(\.[0-9A-Za-z._-]+)", config(&ConfigSet::httpCtrl));
  h.Get(std::string(kUrlListPath) + R"(\.[0-9A-Za-z._-]+)", config(&ConfigSet::urlList));
  h.Get(std::string(kMrListPath) + R"(\.[0-9A-Za-z._-]+)", config(&ConfigSet::mrList));

  // Remote update: basic authentication, range checks, a per-user rate limit and an audit
  // row for every authenticated request. Only an accepted update has a body.
  h.Get(kUpdatePath, [this](const httplib::Request& req, httplib::Response& res) {
    std::string user, password;
    const std::string auth = req.get_header_value("Authorization");
    std::string decoded;
    if (auth.starts_with("Basic ") && DecodeBase64(auth.substr(6), decoded)) {
      const auto colon = decoded.find(':');
      if (colon != std::string::npos) {
        user = decoded.substr(0, colon);
        password = decoded.substr(colon + 1);
      }
    }
    if (user.empty() || !store_.CheckUser(user, password)) {
      res.status = 401;
      res.set_header("WWW-Authenticate", "Basic realm=\"orvclockd\"");
      return;
    }
    const int64_t nowMs = ToMs(clock_.Now());
    std::string query;
    for (const auto& [k, v] : req.params) query += (query.empty() ? "" : "&") + k + "=" + v;
    auto refuse = [&](int status, const std::string& reason) {
      store_.AddAudit(nowMs, user, query, false, reason);
      res.status = status;
    };
    RemoteUpdate update;
    if (const std::string reason =
            ParseUpdateQuery(req.params, nowMs, static_cast<int>(store_.Servers().size()), update);
        !reason.empty())
      return refuse(400, reason);
    if (store_.CountAccepted(user, nowMs - 60000) >= options_.updatesPerMinute)
      return refuse(429, "rate limit");
    std::string error;
    if (!store_.SetBaseAt(update.server, update.realBaseMs, update.weekday, update.hour,
                          update.minute, nowMs, &error))
      return refuse(500, error);
    store_.AddAudit(nowMs, user, query, true, "");
    if (options_.changed) options_.changed();
    res.set_content("OK\r\n", kText);
  });

  h.Get(".*", [](const httplib::Request&, httplib::Response& res) {
    res.status = 404;
    res.set_content("404 Not Found\r\n", kText);
  });
}

}  // namespace kw::server
