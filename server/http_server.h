// The clock server's HTTP side: serves the pages of the stored state and accepts remote
// updates. cpp-httplib runs the requests on its worker threads; the store serialises them.
#pragma once

#include <memory>
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
};

// Decodes standard base64; false on a malformed text.
bool DecodeBase64(const std::string& in, std::string& out);

}  // namespace kw::server
