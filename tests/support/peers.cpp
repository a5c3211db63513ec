#include "tests/support/peers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "common/clock.h"
#include "common/sntp_client.h"

namespace kw::test {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(10);

sockaddr_in Loopback(int port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return a;
}

bool CanBind(int type, int port) {
  const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in a = Loopback(port);
  const bool ok = bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const sockaddr_in a = Loopback(port);
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  close(fd);
  return ok;
}

template <class F>
bool Until(F condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

// Starts a peer on a free port: make(port) starts the process, ready(port, process) says
// when it answers. A port taken by someone else in between makes the peer end at once; then
// another port is tried.
template <class Make, class Ready>
int StartOnFreePort(bool udp, std::unique_ptr<PeerProcess>& process, Make make, Ready ready) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int port = FreeLoopbackPort(udp);
    if (port == 0) return 0;
    process = make(port);
    bool up = false;
    Until([&] { return !process->Running() || (up = ready(port)); }, kStartLimit);
    if (up) return port;
    process.reset();
  }
  return 0;
}

// An nginx password-file line for user with an Apache MD5 hash from openssl.
std::string HtpasswdLine(const std::string& user, const std::string& password, const std::string& scratch) {
  WriteText(scratch, password + "\n");
  std::string hash;
  if (FILE* p = popen(("openssl passwd -apr1 -stdin < '" + scratch + "'").c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, p)) hash += buffer;
    pclose(p);
  }
  std::filesystem::remove(scratch);
  while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r')) hash.pop_back();
  return user + ":" + hash + "\n";
}

}  // namespace

int FreeLoopbackPort(bool udp) {
  static std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> pick(20000, 31999);
  for (int i = 0; i < 200; ++i) {
    const int port = pick(random);
    if (CanBind(SOCK_STREAM, port) && (!udp || CanBind(SOCK_DGRAM, port))) return port;
  }
  return 0;
}

std::string FindProgram(const std::string& name) {
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  path += ":/usr/sbin:/sbin:/usr/local/sbin";
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (dir.empty()) continue;
    const std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}

PeerProcess::PeerProcess(const std::vector<std::string>& argv, const std::string& outputFile) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ != 0) return;
  // The child: only async-signal-safe calls until exec.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(126);
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (in < 0 || out < 0) _exit(126);
  dup2(in, 0);
  dup2(out, 1);
  dup2(out, 2);
  execv(args[0], args.data());
  _exit(127);
}

PeerProcess::~PeerProcess() { Stop(); }

bool PeerProcess::Running() {
  if (pid_ <= 0) return false;
  if (waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
  return pid_ > 0;
}

void PeerProcess::Stop() {
  if (!Running()) return;
  kill(pid_, SIGTERM);
  if (!Until([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, std::chrono::seconds(3))) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

// ---- nginx

NginxPeer::NginxPeer(Options options) {
  const std::string nginx = FindProgram("nginx");
  if (nginx.empty()) {
    WriteText(dir_.File("error.log"), "nginx is not installed\n");
    return;
  }
  std::filesystem::create_directories(root());
  std::string auth;
  if (!options.authLocation.empty()) {
    WriteText(dir_.File("htpasswd"),
              HtpasswdLine(options.authUser, options.authPassword, dir_.File("password")));
    auth = "    location " + options.authLocation + " {\n      auth_basic \"kronwel test\";\n" +
           "      auth_basic_user_file " + dir_.File("htpasswd") + ";\n    }\n";
  }
  std::string redirects;
  for (const auto& [from, to] : options.redirects)
    redirects += "    location = " + from + " { return 302 " + to + "; }\n";

  auto make = [&](int port) {
    std::ostringstream conf;
    // As root the workers stay root: the temporary folder is private to its owner.
    if (geteuid() == 0) conf << "user root;\n";
    conf << "worker_processes 1;\n"
         << "pid " << dir_.File("nginx.pid") << ";\n"
         << "error_log " << dir_.File("error.log") << " info;\n"
         << "events { worker_connections 64; }\n"
         << "http {\n"
         << "  log_format kronwel '$request_method $uri $status via=\"$http_via\" "
         << "ua=\"$http_user_agent\" ref=\"$http_referer\" user=\"$remote_user\"';\n"
         << "  access_log " << dir_.File("access.log") << " kronwel;\n"
         << "  client_body_temp_path " << dir_.File("body") << ";\n"
         << "  proxy_temp_path " << dir_.File("proxy") << ";\n"
         << "  fastcgi_temp_path " << dir_.File("fastcgi") << ";\n"
         << "  uwsgi_temp_path " << dir_.File("uwsgi") << ";\n"
         << "  scgi_temp_path " << dir_.File("scgi") << ";\n"
         << "  default_type application/octet-stream;\n"
         << "  server {\n"
         << "    listen 127.0.0.1:" << port << ";\n"
         << "    root " << root() << ";\n"
         << auth << redirects << "  }\n"
         << "}\n";
    WriteText(dir_.File("nginx.conf"), conf.str());
    return std::make_unique<PeerProcess>(
        std::vector<std::string>{nginx, "-p", dir_.path(), "-e", dir_.File("error.log"), "-c",
                                 dir_.File("nginx.conf"), "-g", "daemon off;"},
        dir_.File("error.log"));
  };
  port_ = StartOnFreePort(false, process_, make, Accepts);
}

NginxPeer::~NginxPeer() = default;

std::string NginxPeer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void NginxPeer::Put(std::string_view path, std::string_view bytes) const {
  const std::filesystem::path file = root() + std::string(path);
  std::filesystem::create_directories(file.parent_path());
  WriteBytes(file.string(), bytes);
}

std::vector<std::string> NginxPeer::AccessLines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(dir_.File("access.log")));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string NginxPeer::AccessLineFor(std::string_view uri, std::chrono::milliseconds wait) const {
  std::string found;
  const std::string prefix = " " + std::string(uri) + " ";
  Until(
      [&] {
        for (const std::string& line : AccessLines())
          if (line.find(prefix) != std::string::npos && line.find(prefix) == line.find(' ')) found = line;
        return !found.empty();
      },
      wait);
  return found;
}

std::string NginxPeer::ErrorLog() const { return ReadFile(dir_.File("error.log")); }

// ---- tinyproxy

TinyproxyPeer::TinyproxyPeer(std::string user, std::string password) {
  const std::string tinyproxy = FindProgram("tinyproxy");
  if (tinyproxy.empty()) {
    WriteText(dir_.File("tinyproxy.log"), "tinyproxy is not installed\n");
    return;
  }
  auto make = [&](int port) {
    std::ostringstream conf;
    conf << "Port " << port << "\n"
         << "Listen 127.0.0.1\n"
         << "Timeout 30\n"
         << "LogFile \"" << dir_.File("tinyproxy.log") << "\"\n"
         << "LogLevel Info\n"
         << "PidFile \"" << dir_.File("tinyproxy.pid") << "\"\n"
         << "MaxClients 16\n"
         << "ViaProxyName \"" << kViaName << "\"\n";
    if (!user.empty()) conf << "BasicAuth " << user << " " << password << "\n";
    WriteText(dir_.File("tinyproxy.conf"), conf.str());
    return std::make_unique<PeerProcess>(
        std::vector<std::string>{tinyproxy, "-d", "-c", dir_.File("tinyproxy.conf")},
        dir_.File("tinyproxy.out"));
  };
  port_ = StartOnFreePort(false, process_, make, Accepts);
}

TinyproxyPeer::~TinyproxyPeer() = default;

std::string TinyproxyPeer::Log() const {
  return ReadFile(dir_.File("tinyproxy.log")) + ReadFile(dir_.File("tinyproxy.out"));
}

// ---- chronyd

ChronyPeer::ChronyPeer() {
  const std::string chronyd = FindProgram("chronyd");
  if (chronyd.empty()) {
    WriteText(dir_.File("chronyd.log"), "chronyd is not installed\n");
    return;
  }
  auto make = [&](int port) {
    std::ostringstream conf;
    conf << "port " << port << "\n"
         << "bindaddress 127.0.0.1\n"
         << "allow 127.0.0.1\n"
         << "local stratum 8\n"
         << "cmdport 0\n"
         << "bindcmdaddress /\n"
         << "pidfile " << dir_.File("chronyd.pid") << "\n"
         << "driftfile " << dir_.File("chronyd.drift") << "\n";
    WriteText(dir_.File("chrony.conf"), conf.str());
    // -x: serve time without ever setting the clock; -u: stay the user we are, so the
    // private temporary folder stays writable.
    const std::string user = geteuid() == 0 ? "root" : "";
    std::vector<std::string> argv{chronyd, "-d", "-x", "-f", dir_.File("chrony.conf")};
    if (!user.empty()) argv.insert(argv.end(), {"-u", user});
    return std::make_unique<PeerProcess>(argv, dir_.File("chronyd.log"));
  };
  const SystemClock clock;
  auto answers = [&](int port) {
    return SntpQuery("127.0.0.1:" + std::to_string(port), 200, clock).ok;
  };
  port_ = StartOnFreePort(true, process_, make, answers);
}

ChronyPeer::~ChronyPeer() = default;

std::string ChronyPeer::Log() const { return ReadFile(dir_.File("chronyd.log")); }

// ---- silent peers

SilentTcpServer::SilentTcpServer() {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t size = sizeof a;
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 16) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
    return;
  port_ = ntohs(a.sin_port);
}

SilentTcpServer::~SilentTcpServer() {
  if (fd_ >= 0) close(fd_);
}

std::string SilentTcpServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

SilentUdpPort::SilentUdpPort() {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = Loopback(0);
  socklen_t size = sizeof a;
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
    return;
  port_ = ntohs(a.sin_port);
}

SilentUdpPort::~SilentUdpPort() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace kw::test
