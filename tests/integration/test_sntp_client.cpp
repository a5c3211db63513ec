// SntpQuery against chronyd on loopback, and against a small responder whose replies the
// test shapes.
#include "common/sntp_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using namespace std::chrono_literals;

constexpr double kSecond = 1.0 / 86400;

double DiffSeconds(TDateTime a, TDateTime b) { return (a - b) * 86400; }

TEST(SntpClientChrony, OffsetOfTheSystemClockIsNearZero) {
  test::ChronyPeer chrony;
  ASSERT_TRUE(chrony.ok()) << chrony.Log();
  const SystemClock clock;
  const SntpAnswer a = SntpQuery(chrony.server(), 2000, clock);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_EQ(a.error, "");
  EXPECT_LT(std::fabs(a.offsetSeconds), 0.1);
  EXPECT_GE(a.roundTripSeconds, 0.0);
  EXPECT_LT(a.roundTripSeconds, 0.5);
  EXPECT_LT(std::fabs(DiffSeconds(a.time, clock.Now())), 0.5);
}

// A PC clock 90 s fast: the offset says so, and the answer is the real time.
TEST(SntpClientChrony, ClockAheadGivesNegativeOffset) {
  test::ChronyPeer chrony;
  ASSERT_TRUE(chrony.ok()) << chrony.Log();
  const SystemClock real;
  const ManualClock fast(real.Now() + 90 * kSecond);
  const SntpAnswer a = SntpQuery(chrony.server(), 2000, fast);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_NEAR(a.offsetSeconds, -90.0, 0.2);
  EXPECT_LT(std::fabs(DiffSeconds(a.time, real.Now())), 0.5);
}

TEST(SntpClientChrony, ServerNames) {
  test::ChronyPeer chrony;
  ASSERT_TRUE(chrony.ok()) << chrony.Log();
  const SystemClock clock;
  const std::string port = std::to_string(chrony.port());
  for (const std::string& name : {"127.0.0.1:" + port, "localhost:" + port, "[127.0.0.1]:" + port}) {
    SCOPED_TRACE(name);
    const SntpAnswer a = SntpQuery(name, 2000, clock);
    EXPECT_TRUE(a.ok) << a.error;
  }
}

TEST(SntpClientFailures, BadServerNamesFailAtOnce) {
  const SystemClock clock;
  for (const char* name : {"", ":123", "127.0.0.1:", "127.0.0.1:abc", "127.0.0.1:0", "127.0.0.1:70000",
                           "[::1", "[::1]x", "no-such-host.invalid"}) {
    SCOPED_TRACE(name);
    const auto start = std::chrono::steady_clock::now();
    const SntpAnswer a = SntpQuery(name, 3000, clock);
    EXPECT_FALSE(a.ok);
    EXPECT_NE(a.error, "");
    EXPECT_EQ(a.time, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms);
  }
}

TEST(SntpClientFailures, SilentPortGivesNoAnswerAfterTheTimeOut) {
  test::SilentUdpPort silent;
  const SystemClock clock;
  const auto start = std::chrono::steady_clock::now();
  const SntpAnswer a = SntpQuery(silent.server(), 300, clock);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(a.ok);
  EXPECT_EQ(a.time, 0);
  EXPECT_NE(a.error, "");
  EXPECT_GE(elapsed, 280ms);
  EXPECT_LT(elapsed, 900ms);
}

TEST(SntpClientFailures, ClosedPortIsRefused) {
  const SystemClock clock;
  const SntpAnswer a = SntpQuery("127.0.0.1:" + std::to_string(test::FreeLoopbackPort(true)), 3000, clock);
  EXPECT_FALSE(a.ok);
  EXPECT_NE(a.error, "");
}

// ---- a responder that answers each request with what reply(request) makes

class UdpResponder {
 public:
  // The datagrams sent back to a request, in order.
  using Reply = std::function<std::vector<std::string>(const std::string& request)>;
  UdpResponder(int family, Reply reply) : reply_(std::move(reply)) {
    fd_ = socket(family, SOCK_DGRAM, 0);
    sockaddr_storage a{};
    socklen_t size = 0;
    if (family == AF_INET6) {
      auto* a6 = reinterpret_cast<sockaddr_in6*>(&a);
      a6->sin6_family = AF_INET6;
      a6->sin6_addr = in6addr_loopback;
      size = sizeof *a6;
    } else {
      auto* a4 = reinterpret_cast<sockaddr_in*>(&a);
      a4->sin_family = AF_INET;
      a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      size = sizeof *a4;
    }
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), size) != 0) return;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                     : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~UdpResponder() {
    done_ = true;
    if (thread_.joinable()) thread_.join();
    if (fd_ >= 0) close(fd_);
  }
  int port() const { return port_; }

 private:
  void Serve() {
    while (!done_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buffer[512];
      sockaddr_storage from{};
      socklen_t size = sizeof from;
      const ssize_t n = recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
      if (n <= 0) continue;
      for (const std::string& out : reply_(std::string(buffer, static_cast<size_t>(n))))
        sendto(fd_, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
    }
  }
  Reply reply_;
  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

void PutBe32(std::string& p, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

// The Unix seconds of a local date-time, by the C library.
int64_t LocalToUnix(TDateTime t) {
  const DateTimeParts parts = DecodeDateTime(t);
  tm local{};
  local.tm_year = parts.year - 1900;
  local.tm_mon = parts.month - 1;
  local.tm_mday = parts.day;
  local.tm_hour = parts.hour;
  local.tm_min = parts.minute;
  local.tm_sec = parts.second;
  local.tm_isdst = -1;
  return mktime(&local);
}

// A server reply to request stamped with Unix time `unixSeconds`: version 4, server mode,
// stratum 2, our transmit stamp echoed, receive and transmit stamps at that time.
std::string ServerReply(const std::string& request, int64_t unixSeconds) {
  std::string p(48, '\0');
  p[0] = static_cast<char>((0 << 6) | (4 << 3) | 4);
  p[1] = 2;
  p.replace(24, 8, request.substr(40, 8));
  const uint32_t ntp = static_cast<uint32_t>(unixSeconds + 2208988800LL);  // wraps in 2036
  PutBe32(p, 32, ntp);
  PutBe32(p, 40, ntp);
  PutBe32(p, 44, 0x80000000u);  // transmitted half a second after it was received
  return p;
}

// The time stamps are read in the right NTP era on either side of the 2036 wrap (2036-02-07
// 06:28:16 UTC): a server whose time is the PC's gives an offset of a quarter second (half of
// the half second between its stamps).
TEST(SntpClientReplies, TimeStampsAcrossTheEraWrap) {
  for (const TDateTime local : {test::At(2026, 12, 11, 14, 0, 0), test::At(2036, 2, 7, 15, 28, 15),
                                test::At(2036, 2, 7, 15, 28, 17), test::At(2040, 6, 1, 9, 30, 0)}) {
    SCOPED_TRACE(FormatIniDateTime(local));
    const int64_t unixSeconds = LocalToUnix(local);
    UdpResponder server(AF_INET, [&](const std::string& rq) {
      return std::vector<std::string>{ServerReply(rq, unixSeconds)};
    });
    const ManualClock clock(local);
    const SntpAnswer a = SntpQuery("127.0.0.1:" + std::to_string(server.port()), 2000, clock);
    ASSERT_TRUE(a.ok) << a.error;
    EXPECT_NEAR(a.offsetSeconds, 0.25, 0.002);
    EXPECT_EQ(a.roundTripSeconds, 0);  // the clock stands still: never below zero
    EXPECT_NEAR(DiffSeconds(a.time, local), 0.25, 0.002);
  }
}

TEST(SntpClientReplies, IPv6Address) {
  const TDateTime local = test::At(2026, 12, 11, 14, 0, 0);
  UdpResponder server(AF_INET6, [&](const std::string& rq) {
    return std::vector<std::string>{ServerReply(rq, LocalToUnix(local))};
  });
  if (server.port() == 0) GTEST_SKIP() << "no IPv6 loopback here";
  const ManualClock clock(local + 90 * kSecond);
  const SntpAnswer a = SntpQuery("[::1]:" + std::to_string(server.port()), 2000, clock);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_NEAR(a.offsetSeconds, -89.75, 0.002);
}

// Replies that are not a usable answer to this request are refused; one that answers
// another request is not taken for ours, so the wait runs out.
TEST(SntpClientReplies, UnusableRepliesAreRefused) {
  const TDateTime local = test::At(2026, 12, 11, 14, 0, 0);
  struct Case {
    const char* what;
    std::function<void(std::string&)> spoil;
  } cases[] = {
      {"client mode", [](std::string& p) { p[0] = static_cast<char>((4 << 3) | 3); }},
      {"broadcast mode", [](std::string& p) { p[0] = static_cast<char>((4 << 3) | 5); }},
      {"kiss of death", [](std::string& p) { p[1] = 0; p.replace(12, 4, "RATE"); }},
      {"unsynchronised stratum", [](std::string& p) { p[1] = 16; }},
      {"leap indicator 3", [](std::string& p) { p[0] = static_cast<char>(p[0] | 0xC0); }},
      {"zero transmit time", [](std::string& p) { p.replace(40, 8, std::string(8, '\0')); }},
      {"zero receive time", [](std::string& p) { p.replace(32, 8, std::string(8, '\0')); }},
      {"short packet", [](std::string& p) { p.resize(40); }},
      {"origin not ours", [](std::string& p) { p[31] = static_cast<char>(p[31] ^ 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UdpResponder server(AF_INET, [&](const std::string& rq) {
      std::string p = ServerReply(rq, LocalToUnix(local));
      c.spoil(p);
      return std::vector<std::string>{p};
    });
    const ManualClock clock(local);
    const SntpAnswer a = SntpQuery("127.0.0.1:" + std::to_string(server.port()), 300, clock);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ(a.time, 0);
    EXPECT_NE(a.error, "");
  }
}

// A reply to another request first, then ours: ours is taken.
TEST(SntpClientReplies, StrayReplyIsSkipped) {
  const TDateTime local = test::At(2026, 12, 11, 14, 0, 0);
  UdpResponder server(AF_INET, [&](const std::string& rq) {
    std::string stray = ServerReply(rq, LocalToUnix(local) + 1000);
    stray[31] = static_cast<char>(stray[31] ^ 1);
    return std::vector<std::string>{stray, ServerReply(rq, LocalToUnix(local))};
  });
  const ManualClock clock(local);
  const SntpAnswer a = SntpQuery("127.0.0.1:" + std::to_string(server.port()), 2000, clock);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_NEAR(a.offsetSeconds, 0.25, 0.002);
}

}  // namespace
}  // namespace kw
