#include "common/sntp_client.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <random>

namespace kw {

namespace {

constexpr size_t kPacketSize = 48;
// Seconds from 1900-01-01 (NTP era 0) to 1970-01-01.
constexpr int64_t kNtpToUnix = 2208988800LL;
constexpr double kFraction = 4294967296.0;  // 2^32

struct NtpTime {
  uint32_t seconds = 0;
  uint32_t fraction = 0;
  bool operator==(const NtpTime&) const = default;
  bool IsZero() const { return seconds == 0 && fraction == 0; }
};

uint32_t ReadBe32(const unsigned char* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

void WriteBe32(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v >> 24);
  p[1] = static_cast<unsigned char>(v >> 16);
  p[2] = static_cast<unsigned char>(v >> 8);
  p[3] = static_cast<unsigned char>(v);
}

NtpTime ReadTime(const unsigned char* p) { return {ReadBe32(p), ReadBe32(p + 4)}; }

// Seconds since 1970 of an NTP time stamp. The 32-bit seconds wrap in 2036: a value with the
// top bit clear is taken to be in the next era (RFC 4330, section 3).
double NtpToUnix(NtpTime t) {
  int64_t seconds = t.seconds;
  if ((t.seconds & 0x80000000u) == 0) seconds += int64_t{1} << 32;
  return static_cast<double>(seconds - kNtpToUnix) + t.fraction / kFraction;
}

NtpTime UnixToNtp(double unixSeconds) {
  const double whole = std::floor(unixSeconds);
  NtpTime t;
  t.seconds = static_cast<uint32_t>(static_cast<int64_t>(whole) + kNtpToUnix);
  t.fraction = static_cast<uint32_t>((unixSeconds - whole) * kFraction);
  return t;
}

// The local day count in milliseconds of a Unix instant, with the zone offset that held then.
double UnixToLocalMs(double unixSeconds) {
  const time_t whole = static_cast<time_t>(std::floor(unixSeconds));
  tm local{};
  localtime_r(&whole, &local);
  return (unixSeconds + static_cast<double>(local.tm_gmtoff)) * 1000.0 +
         kUnixDateDelta * static_cast<double>(kMsPerDay);
}

// And back: the Unix instant of a local day count in milliseconds. The zone offset is looked
// up for the instant itself, so a time in a summer-time change may be an hour off; that only
// affects the transmit stamp of the request, which the server just echoes.
double LocalMsToUnix(double localMs) {
  const double naive = (localMs - kUnixDateDelta * static_cast<double>(kMsPerDay)) / 1000.0;
  const time_t guess = static_cast<time_t>(std::floor(naive));
  tm local{};
  localtime_r(&guess, &local);
  return naive - static_cast<double>(local.tm_gmtoff);
}

// "host", "host:port", "[v6]", "[v6]:port"; a bare IPv6 address has more than one colon.
bool SplitServer(const std::string& server, std::string& host, std::string& port, std::string& error) {
  port = "123";
  if (!server.empty() && server.front() == '[') {
    const size_t close = server.find(']');
    if (close == std::string::npos) {
      error = "no closing bracket in " + server;
      return false;
    }
    host = server.substr(1, close - 1);
    const std::string rest = server.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') {
        error = "unexpected text after the address in " + server;
        return false;
      }
      port = rest.substr(1);
    }
  } else {
    const size_t colon = server.find(':');
    if (colon != std::string::npos && server.find(':', colon + 1) == std::string::npos) {
      host = server.substr(0, colon);
      port = server.substr(colon + 1);
    } else {
      host = server;
    }
  }
  if (host.empty()) {
    error = "no server name";
    return false;
  }
  const bool digits = !port.empty() && port.size() <= 5 &&
                      port.find_first_not_of("0123456789") == std::string::npos;
  if (!digits || std::stoi(port) < 1 || std::stoi(port) > 65535) {
    error = "not a port number: \"" + port + "\"";
    return false;
  }
  return true;
}

class Socket {
 public:
  explicit Socket(int fd = -1) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(Socket&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// A UDP socket connected to the first address of host that takes one, so that only that
// peer's datagrams reach it.
bool Connect(const std::string& host, const std::string& port, Socket& sock, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_ADDRCONFIG;
  addrinfo* list = nullptr;
  const int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &list);
  if (rc != 0) {
    error = host + ": " + gai_strerror(rc);
    return false;
  }
  error = "no address of " + host + " could be used";
  for (addrinfo* a = list; a; a = a->ai_next) {
    Socket s(socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
    if (s.fd() < 0) {
      error = std::string("socket: ") + std::strerror(errno);
      continue;
    }
    if (connect(s.fd(), a->ai_addr, a->ai_addrlen) != 0) {
      error = host + ": " + std::strerror(errno);
      continue;
    }
    sock = std::move(s);
    freeaddrinfo(list);
    error.clear();
    return true;
  }
  freeaddrinfo(list);
  return false;
}

// Why a reply to this request is not usable; empty when it is.
std::string Refusal(const unsigned char* p, size_t size) {
  if (size < kPacketSize) return "short reply (" + std::to_string(size) + " bytes)";
  const int leap = p[0] >> 6;
  const int version = (p[0] >> 3) & 7;
  const int mode = p[0] & 7;
  const int stratum = p[1];
  if (mode != 4) return "not a server reply (mode " + std::to_string(mode) + ")";
  if (version < 1 || version > 4) return "unknown version " + std::to_string(version);
  if (stratum == 0) return "kiss of death \"" + std::string(reinterpret_cast<const char*>(p + 12), 4) + "\"";
  if (stratum > 15) return "server not synchronised (stratum " + std::to_string(stratum) + ")";
  if (leap == 3) return "server not synchronised (leap indicator 3)";
  if (ReadTime(p + 32).IsZero() || ReadTime(p + 40).IsZero()) return "reply without time stamps";
  return {};
}

}  // namespace

SntpAnswer SntpQuery(const std::string& server, int timeoutMs, const Clock& localClock) {
  SntpAnswer answer;
  std::string host, port;
  if (!SplitServer(server, host, port, answer.error)) return answer;
  Socket sock;
  if (!Connect(host, port, sock, answer.error)) return answer;

  // The transmit stamp is the local send time with random low bits, so that the echoed
  // origin stamp identifies this request even when the local clock stands still.
  unsigned char request[kPacketSize] = {};
  request[0] = (0 << 6) | (4 << 3) | 3;  // no leap warning, version 4, client
  const double t1 = static_cast<double>(ToMs(localClock.Now()));
  NtpTime sent = UnixToNtp(LocalMsToUnix(t1));
  sent.fraction = (sent.fraction & 0xFFFF0000u) | (std::random_device{}() & 0xFFFFu);
  WriteBe32(request + 40, sent.seconds);
  WriteBe32(request + 44, sent.fraction);
  if (send(sock.fd(), request, sizeof request, 0) != static_cast<ssize_t>(sizeof request)) {
    answer.error = host + ": " + std::strerror(errno);
    return answer;
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(1, timeoutMs));
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      answer.error = "no answer from " + server + " within " + std::to_string(timeoutMs) + " ms";
      return answer;
    }
    pollfd pfd{sock.fd(), POLLIN, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      answer.error = std::string("poll: ") + std::strerror(errno);
      return answer;
    }
    if (ready == 0) continue;

    unsigned char reply[512];
    const ssize_t n = recv(sock.fd(), reply, sizeof reply, 0);
    const double t4 = static_cast<double>(ToMs(localClock.Now()));
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      answer.error = server + ": " + std::strerror(errno);  // e.g. refused: nothing listens there
      return answer;
    }
    // A reply that does not echo our transmit stamp answers another request (a late one, or
    // not ours at all): wait on.
    if (static_cast<size_t>(n) >= kPacketSize && !(ReadTime(reply + 24) == sent)) continue;
    const std::string refusal = Refusal(reply, static_cast<size_t>(n));
    if (!refusal.empty()) {
      answer.error = server + ": " + refusal;
      return answer;
    }

    const double t2 = UnixToLocalMs(NtpToUnix(ReadTime(reply + 32)));
    const double t3 = UnixToLocalMs(NtpToUnix(ReadTime(reply + 40)));
    const double offsetMs = ((t2 - t1) + (t3 - t4)) / 2.0;
    answer.ok = true;
    answer.offsetSeconds = offsetMs / 1000.0;
    // Below zero only through the local clock's millisecond steps (or a clock that stands still).
    answer.roundTripSeconds = std::max(0.0, ((t4 - t1) - (t3 - t2)) / 1000.0);
    answer.time = FromMs(static_cast<int64_t>(std::llround(t4 + offsetMs)));
    return answer;
  }
}

}  // namespace kw
