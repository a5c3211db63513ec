#include "server/cli.h"

#include <pthread.h>
#include <signal.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <thread>

#include "common/datetime.h"
#include "common/file_io.h"
#include "server/http_server.h"
#include "server/publish.h"

namespace kw::server {
namespace {

constexpr const char* kUsage =
    "usage: orvclockd --db FILE COMMAND ...\n"
    "  init\n"
    "  add-server NAME MARKER\n"
    "  rename-server NAME NEW_NAME\n"
    "  set-base NAME 'YYYY/MM/DD hh:mm:ss[.mmm]' WEEKDAY(0-6) HOUR MINUTE\n"
    "  set-status NAME STATE [COLUMN3 COLUMN4]\n"
    "  set-maintenance regular WEEKDAY(1=Sun..7) hh:mm:ss hh:mm:ss TITLE\n"
    "  set-maintenance slot N(1-10) YYYY/MM/DD hh:mm:ss hh:mm:ss TITLE\n"
    "  set-maintenance clear-slot N\n"
    "  set-maintenance sntp HOST1 HOST2 TIMEOUT_MS\n"
    "  publish-version A.B.C.D YYYY/MM/DD PAGE_URL [INSTALLER_URL]\n"
    "  add-user NAME PASSWORD\n"
    "  serve [--listen 127.0.0.1] [--port N] [--public-url URL] [--update-user U --update-pass P]\n"
    "        [--publish FOLDER] [--files FOLDER]\n"
    "  publish --dir FOLDER [--base-url URL] [--update-user U --update-pass P]\n"
    "orvclockd demo --dir FOLDER [--port N]\n";

bool ParseInt(const std::string& s, int& out) {
  try {
    size_t n = 0;
    out = std::stoi(s, &n);
    return n == s.size();
  } catch (...) {
    return false;
  }
}

// "hh:mm:ss" as seconds of the day.
bool ParseTimeOfDay(const std::string& s, int& sec) {
  int h, m, x;
  char c1, c2;
  if (std::sscanf(s.c_str(), "%2d%c%2d%c%2d", &h, &c1, &m, &c2, &x) != 5 || c1 != ':' || c2 != ':' ||
      h < 0 || h > 23 || m < 0 || m > 59 || x < 0 || x > 59)
    return false;
  sec = h * 3600 + m * 60 + x;
  return true;
}

// "YYYY/MM/DD hh:mm:ss[.mmm]" as milliseconds on the local day count.
bool ParseInstant(const std::string& s, int64_t& ms) {
  std::string main = s;
  int milli = 0;
  if (auto dot = s.find('.'); dot != std::string::npos) {
    if (!ParseInt(s.substr(dot + 1), milli) || milli < 0 || milli > 999) return false;
    main = s.substr(0, dot);
  }
  TDateTime t;
  if (!ParseIniDateTime(main, t)) return false;
  ms = ToMs(t) + milli;
  return true;
}

// Stops the server on SIGINT or SIGTERM. The signals are blocked before the server's threads
// start, and one thread waits for them.
void ServeUntilSignalled(ClockServer& server) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread waiter([&] {
    int sig = 0;
    sigwait(&set, &sig);
    server.Stop();
  });
  server.Run();
  // Run also ends on its own when the socket fails: wake the waiter.
  pthread_kill(waiter.native_handle(), SIGTERM);
  waiter.join();
}

struct Flags {
  std::map<std::string, std::string> named;
  std::vector<std::string> positional;
};

Flags SplitFlags(const std::vector<std::string>& args, size_t from) {
  Flags f;
  for (size_t i = from; i < args.size(); ++i) {
    if (args[i].starts_with("--") && i + 1 < args.size()) {
      f.named[args[i].substr(2)] = args[i + 1];
      ++i;
    } else {
      f.positional.push_back(args[i]);
    }
  }
  return f;
}

int Serve(Store& store, const std::string& dbPath, const Clock& clock, const Flags& f,
          std::ostream& out, std::ostream& err) {
  ServerOptions options;
  // With --publish the folder follows every change: the server's own right after it, an
  // admin command's from the database watcher.
  std::unique_ptr<Publisher> publisher;
  options.changed = [&publisher] {
    if (publisher) publisher->Publish();
  };
  const std::string host = f.named.contains("listen") ? f.named.at("listen") : "127.0.0.1";
  int port = 8080;
  if (f.named.contains("port") && !ParseInt(f.named.at("port"), port)) return err << kUsage, 2;
  if (f.named.contains("public-url")) options.publish.baseUrl = f.named.at("public-url");
  if (f.named.contains("update-user")) options.publish.updateUser = f.named.at("update-user");
  if (f.named.contains("update-pass")) options.publish.updatePass = f.named.at("update-pass");
  if (f.named.contains("files")) options.filesDir = f.named.at("files");
  ClockServer server(store, clock, options);
  const int bound = server.Bind(host, port);
  if (bound < 0) return err << "cannot listen on " << host << ":" << port << "\n", 1;
  if (f.named.contains("publish")) {
    publisher = std::make_unique<Publisher>(store, clock, f.named.at("publish"),
                                            server.Options().publish, err);
    if (!publisher->Publish()) return 1;
    if (!publisher->Watch(dbPath)) return err << dbPath << ": cannot watch for changes\n", 1;
  }
  out << "orvclockd listening on " << server.Options().publish.baseUrl << std::endl;
  ServeUntilSignalled(server);
  return 0;
}

// Writes the read-only resources once, as a server at the base address answers them.
int PublishOnce(Store& store, const Clock& clock, const Flags& f, std::ostream& out,
                std::ostream& err) {
  if (!f.named.contains("dir") || !f.positional.empty()) return err << kUsage, 2;
  PublishOptions options;
  options.baseUrl = f.named.contains("base-url") ? f.named.at("base-url") : "http://127.0.0.1:8080";
  if (f.named.contains("update-user")) options.updateUser = f.named.at("update-user");
  if (f.named.contains("update-pass")) options.updatePass = f.named.at("update-pass");
  std::string error;
  if (!PublishTo(f.named.at("dir"), store, options, ToMs(clock.Now()), &error))
    return err << "publish: " << error << "\n", 1;
  out << "publish: done\n";
  return 0;
}

int Demo(const Clock& clock, const Flags& f, std::ostream& out, std::ostream& err) {
  if (!f.named.contains("dir")) return err << kUsage, 2;
  const std::string dir = f.named.at("dir");
  int port = 0;
  if (f.named.contains("port") && !ParseInt(f.named.at("port"), port)) return err << kUsage, 2;
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  std::string error;
  auto store = Store::Open(dir + "/orvclockd.db", &error);
  if (!store || !FillDemo(*store, ToMs(clock.Now()), &error)) return err << error << "\n", 1;
  ServerOptions options;
  options.publish.updateUser = "demo";
  options.publish.updatePass = "demo";
  ClockServer server(*store, clock, options);
  if (server.Bind("127.0.0.1", port) < 0) return err << "cannot listen on port " << port << "\n", 1;
  const std::string folder = dir + "/kronwel";
  if (!WriteProgramFolder(folder, MakeConfigSet(store->Servers(), server.Options().publish), &error))
    return err << error << "\n", 1;
  out << "orvclockd listening on " << server.Options().publish.baseUrl << std::endl;
  out << "clock program folder: " << folder << std::endl;
  ServeUntilSignalled(server);
  return 0;
}

int Admin(Store& store, const Clock& clock, const std::string& cmd, const std::vector<std::string>& a,
          std::ostream& out, std::ostream& err) {
  std::string error;
  bool ok = false;
  auto usage = [&] { err << kUsage; return 2; };
  if (cmd == "init") {
    ok = true;
  } else if (cmd == "add-server") {
    if (a.size() != 2) return usage();
    ok = store.AddServer(a[0], a[1], &error);
  } else if (cmd == "rename-server") {
    if (a.size() != 2) return usage();
    ok = store.RenameServer(a[0], a[1], &error);
  } else if (cmd == "set-base") {
    int64_t baseMs;
    int w, h, m;
    if (a.size() != 5 || !ParseInstant(a[1], baseMs) || !ParseInt(a[2], w) || !ParseInt(a[3], h) ||
        !ParseInt(a[4], m))
      return usage();
    ok = store.SetBase(a[0], baseMs, w, h, m, ToMs(clock.Now()), &error);
  } else if (cmd == "set-status") {
    int s, c3 = 0, c4 = 0;
    if ((a.size() != 2 && a.size() != 4) || !ParseInt(a[1], s) ||
        (a.size() == 4 && (!ParseInt(a[2], c3) || !ParseInt(a[3], c4))))
      return usage();
    ok = store.SetStatus(a[0], s, c3, c4, &error);
  } else if (cmd == "set-maintenance") {
    Maintenance m = store.GetMaintenance();
    int n;
    if (a.size() == 5 && a[0] == "regular") {
      if (!ParseInt(a[1], m.regularWeekday) || !ParseTimeOfDay(a[2], m.regularStartSec) ||
          !ParseTimeOfDay(a[3], m.regularEndSec))
        return usage();
      m.regularTitle = a[4];
    } else if (a.size() == 6 && a[0] == "slot" && ParseInt(a[1], n) && n >= 1 && n <= 10) {
      TempMaintenance& s = m.slots[n - 1];
      TDateTime date;
      if (!ParseIniDateTime(a[2], date) || !ParseTimeOfDay(a[3], s.startSec) ||
          !ParseTimeOfDay(a[4], s.endSec))
        return usage();
      s.set = true;
      s.dateMs = ToMs(DateOf(date));
      s.title = a[5];
    } else if (a.size() == 2 && a[0] == "clear-slot" && ParseInt(a[1], n) && n >= 1 && n <= 10) {
      m.slots[n - 1] = {};
    } else if (a.size() == 4 && a[0] == "sntp" && ParseInt(a[3], m.sntpTimeoutMs)) {
      m.sntp1 = a[1];
      m.sntp2 = a[2];
    } else {
      return usage();
    }
    ok = store.SetMaintenance(m, &error);
  } else if (cmd == "publish-version") {
    LatestVersion v;
    TDateTime date;
    if (a.size() < 3 || a.size() > 4 ||
        std::sscanf(a[0].c_str(), "%d.%d.%d.%d", &v.v[0], &v.v[1], &v.v[2], &v.v[3]) != 4 ||
        !ParseIniDateTime(a[1], date))
      return usage();
    const DateTimeParts p = DecodeDateTime(date);
    v.year = p.year;
    v.month = p.month;
    v.day = p.day;
    v.url = a[2];
    if (a.size() == 4) v.installer = a[3];
    ok = store.PublishVersion(v, &error);
  } else if (cmd == "add-user") {
    if (a.size() != 2) return usage();
    ok = store.AddUser(a[0], a[1], &error);
  } else {
    return usage();
  }
  if (!ok) return err << cmd << ": " << error << "\n", 1;
  out << cmd << ": done\n";
  return 0;
}

}  // namespace

bool FillDemo(Store& store, int64_t nowMs, std::string* error) {
  if (!store.Servers().empty()) return true;
  struct DemoServer {
    const char* name;
    const char* marker;
    int weekday, hour, minute;
  };
  // Markers start with D, P and E: the signature the clock expects by default.
  const DemoServer demoServers[] = {{"Diana", "DIA", 0, 6, 0}, {"Pallas", "PAL", 3, 12, 30},
                        {"Elmo", "ELM", 6, 21, 15}};
  // Whole seconds: the sync page carries only two millisecond digits.
  const int64_t baseMs = nowMs - nowMs % 1000;
  for (const auto& s : demoServers)
    if (!store.AddServer(s.name, s.marker, error) ||
        !store.SetBase(s.name, baseMs, s.weekday, s.hour, s.minute, baseMs, error))
      return false;
  const DateTimeParts today = DecodeDateTime(FromMs(nowMs));
  LatestVersion v;
  std::sscanf(KRONWEL_VERSION, "%d.%d.%d.%d", &v.v[0], &v.v[1], &v.v[2], &v.v[3]);
  v.year = today.year;
  v.month = today.month;
  v.day = today.day;
  v.url = "http://127.0.0.1/kronwel/";
  return store.PublishVersion(v, error) && store.AddUser("demo", "demo", error);
}

bool WriteProgramFolder(const std::string& folder, const ConfigSet& set, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return *error = folder + ": " + ec.message(), false;
  return WriteFileAtomically(folder + "/httpctrl.cfg", set.httpCtrl, 0644, error) &&
         WriteFileAtomically(folder + "/urllist.cfg", set.urlList, 0644, error) &&
         WriteFileAtomically(folder + "/mrlist.cfg", set.mrList, 0644, error);
}

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Clock& clock) {
  if (!args.empty() && args[0] == "demo") return Demo(clock, SplitFlags(args, 1), out, err);
  if (args.size() < 3 || args[0] != "--db") return err << kUsage, 2;
  std::string error;
  auto store = Store::Open(args[1], &error);
  if (!store) return err << args[1] << ": " << error << "\n", 1;
  const std::string cmd = args[2];
  if (cmd == "serve") return Serve(*store, args[1], clock, SplitFlags(args, 3), out, err);
  if (cmd == "publish") return PublishOnce(*store, clock, SplitFlags(args, 3), out, err);
  return Admin(*store, clock, cmd, {args.begin() + 3, args.end()}, out, err);
}

}  // namespace kw::server
