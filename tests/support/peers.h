// Real network peers on loopback for the tests: nginx, tinyproxy and chronyd, each run in the
// foreground from its own temporary folder on a free port, ready when the constructor
// returns and killed by the destructor. ok() is false when the peer could not be started
// (its log then says why). Also a TCP server and a UDP port that never answer.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace kw::test {

// A loopback port between 20000 and 31999 (below the kernel's ephemeral range) that nothing
// is bound to right now, for TCP (and UDP as well when udp is set).
int FreeLoopbackPort(bool udp = false);

// A program from PATH, /usr/sbin or /sbin; empty when there is none.
std::string FindProgram(const std::string& name);

// A child process whose standard output and error go to a file; killed (SIGTERM, then
// SIGKILL) when the object goes, and also when the test program dies.
class PeerProcess {
 public:
  PeerProcess(const std::vector<std::string>& argv, const std::string& outputFile);
  ~PeerProcess();
  PeerProcess(const PeerProcess&) = delete;
  PeerProcess& operator=(const PeerProcess&) = delete;
  bool Running();
  void Stop();

 private:
  pid_t pid_ = -1;
};

// nginx serving root() (the test fills it) at http://127.0.0.1:port(). A missing file is 404,
// an empty file an empty 200 answer. Every request is logged to the access log as
//   METHOD URI STATUS via="..." ua="..." ref="..." user="..."
// (Via header, user agent, referer, basic-auth user; "-" for an absent one).
class NginxPeer {
 public:
  struct Options {
    // A location prefix (e.g. "/private/") that asks for basic authentication with this user
    // and password; empty: none. Its files are in root() like all others.
    std::string authLocation;
    std::string authUser, authPassword;
    // Exact paths answered with a 302 to another path or address: {from, to}.
    std::vector<std::pair<std::string, std::string>> redirects;
  };

  explicit NginxPeer(Options options);
  NginxPeer() : NginxPeer(Options{}) {}
  ~NginxPeer();

  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  // "http://127.0.0.1:PORT" + path (path starts with "/").
  std::string url(std::string_view path) const;
  // The document root; files written here are served at once.
  std::string root() const { return dir_.File("www"); }
  // Writes bytes to root() + path, creating folders.
  void Put(std::string_view path, std::string_view bytes) const;

  std::vector<std::string> AccessLines() const;
  // The latest access-log line for this URI, waiting up to wait for nginx to write it; empty
  // when there is none.
  std::string AccessLineFor(std::string_view uri,
                            std::chrono::milliseconds wait = std::chrono::seconds(2)) const;
  std::string ErrorLog() const;

 private:
  TempDir dir_;
  std::unique_ptr<PeerProcess> process_;
  int port_ = 0;
};

// tinyproxy at 127.0.0.1:port() asking for basic proxy authentication with user and password
// (no authentication when user is empty). It adds "Via: 1.1 kronwel-test-proxy (...)" to the
// requests it passes on, which NginxPeer's access log shows.
class TinyproxyPeer {
 public:
  TinyproxyPeer(std::string user, std::string password);
  ~TinyproxyPeer();

  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  static constexpr const char* kViaName = "kronwel-test-proxy";
  std::string Log() const;

 private:
  TempDir dir_;
  std::unique_ptr<PeerProcess> process_;
  int port_ = 0;
};

// chronyd as an NTP server at 127.0.0.1:port() (stratum 8 from its local clock, never
// touching the system clock); ready when it has answered an SNTP query.
class ChronyPeer {
 public:
  ChronyPeer();
  ~ChronyPeer();

  bool ok() const { return port_ != 0; }
  int port() const { return port_; }
  // "127.0.0.1:PORT", as SntpQuery takes it.
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Log() const;

 private:
  TempDir dir_;
  std::unique_ptr<PeerProcess> process_;
  int port_ = 0;
};

// A TCP port on 127.0.0.1 whose connections complete (the kernel accepts them) but never get
// a byte back.
class SilentTcpServer {
 public:
  SilentTcpServer();
  ~SilentTcpServer();
  SilentTcpServer(const SilentTcpServer&) = delete;
  SilentTcpServer& operator=(const SilentTcpServer&) = delete;
  int port() const { return port_; }
  std::string url(std::string_view path = "/") const;

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A UDP port on 127.0.0.1 that is bound (so no "port unreachable" comes back) and never
// answers.
class SilentUdpPort {
 public:
  SilentUdpPort();
  ~SilentUdpPort();
  SilentUdpPort(const SilentUdpPort&) = delete;
  SilentUdpPort& operator=(const SilentUdpPort&) = delete;
  int port() const { return port_; }
  std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  int fd_ = -1;
  int port_ = 0;
};

}  // namespace kw::test
