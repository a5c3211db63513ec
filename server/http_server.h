// The clock server's HTTP side: serves the pages of the stored state and accepts remote
// updates. cpp-httplib runs the requests on its worker threads; the store serialises them.
#pragma once

#include <cstdint>
#include <map>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "common/clock.h"
#include "server/pages.h"
#include "server/store.h"

namespace httplib {
class Server;
}

namespace kw::server {

struct ServerOptions {
  PublishOptions publish;  // an empty baseUrl is filled in from the bound address
  int updatesPerMinute = 6;  // accepted remote updates per user and minute
  std::function<void()> changed;  // called after each accepted remote update
  std::string filesDir;  // served under /files/: the installer that the version names
};

class ClockServer {
 public:
  ClockServer(Store& store, const Clock& clock, ServerOptions options);
  ~ClockServer();
  ClockServer(const ClockServer&) = delete;
  ClockServer& operator=(const ClockServer&) = delete;

  // Binds host:port (port 0: any free port); returns the port, or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop; call after Bind.
  bool Run();
  void Stop();
  void WaitUntilReady() const;
  const ServerOptions& Options() const { return options_; }

 private:
  void Routes();

  Store& store_;
  const Clock& clock_;
  ServerOptions options_;
  std::unique_ptr<httplib::Server> http_;
  std::mutex syncCacheMutex_;
  std::string syncCache_;
  uint64_t syncCacheGeneration_ = 0;
  bool syncCacheValid_ = false;
};

// Decodes standard base64; false on a malformed text.
bool DecodeBase64(const std::string& in, std::string& out);

// A remote update whose query passed the checks.
struct RemoteUpdate {
  int server = 0;                         // publishing position (0-based)
  int weekday = 0, hour = 0, minute = 0;  // game time at the base instant
  int64_t realBaseMs = 0;                 // the base instant
};

// Reads a remote update from the request's query parameters (split and decoded as
// cpp-httplib does; of a repeated name the first value counts) and checks it against now and
// the number of game servers. Empty when it passes, else why it is refused (a 400).
std::string ParseUpdateQuery(const std::multimap<std::string, std::string>& params, int64_t nowMs,
                             int serverCount, RemoteUpdate& update);

}  // namespace kw::server
