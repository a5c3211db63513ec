// HttpGet against real nginx and tinyproxy on loopback, and against servers that stall.
#include "common/http_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using namespace std::chrono_literals;
using test::NginxPeer;
using test::TinyproxyPeer;

int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - since).count();
}

// "時計サーバ\r\n表" in CP932: bytes above 0x7F, a 0x5C trail byte, a NUL and a CRLF.
const std::string kCp932Page = std::string("\x8E\x9E\x8C\x76\x83\x54\x81\x5B\x83\x6F\r\n\x95\x5C", 14) +
                               std::string(1, '\0') + "end";

NginxPeer::Options SiteOptions() {
  NginxPeer::Options o;
  o.authLocation = "/private/";
  o.authUser = "clock";
  o.authPassword = "s3cret";
  o.redirects = {{"/one-hop", "/page.txt"}, {"/two-hops", "/one-hop"}};
  return o;
}

class HttpClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site.ok()) << site.ErrorLog();
    site.Put("/page.txt", kCp932Page);
    site.Put("/empty.txt", "");
    site.Put("/private/page.txt", "secret page");
  }
  HttpRequest Get(std::string_view path) const {
    HttpRequest r;
    r.url = site.url(path);
    r.readTimeoutMs = 5000;
    return r;
  }
  NginxPeer site{SiteOptions()};
};

TEST_F(HttpClientTest, StatusAndBodyBytesAsServed) {
  struct Case {
    const char* path;
    int status;
    std::string body;
    bool usable;
  } cases[] = {
      {"/page.txt", 200, kCp932Page, true},
      {"/empty.txt", 200, "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const HttpResponse r = HttpGet(Get(c.path));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.body, c.body);
    EXPECT_EQ(r.Usable(), c.usable);
    EXPECT_EQ(r.error, "");
  }
  // A missing page is an answer (with nginx's error page), not a transport failure.
  const HttpResponse missing = HttpGet(Get("/missing.txt"));
  EXPECT_EQ(missing.status, 404);
  EXPECT_FALSE(missing.Usable());
  EXPECT_EQ(missing.error, "");
}

TEST_F(HttpClientTest, BasicAuthentication) {
  struct Case {
    bool on;
    const char* user;
    const char* password;
    int status;
  } cases[] = {
      {true, "clock", "s3cret", 200},
      {true, "clock", "wrong", 401},
      {true, "nobody", "s3cret", 401},
      {false, "clock", "s3cret", 401},  // credentials are not sent unless asked to
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user) + "/" + c.password + (c.on ? " on" : " off"));
    HttpRequest r = Get("/private/page.txt");
    r.basicAuth = c.on;
    r.username = c.user;
    r.password = c.password;
    const HttpResponse answer = HttpGet(r);
    EXPECT_EQ(answer.status, c.status);
    if (c.status == 200) { EXPECT_EQ(answer.body, "secret page"); }
  }
  const std::vector<std::string> log = site.AccessLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "GET /private/page.txt 200 via=\"-\" ua=\"-\" ref=\"-\" user=\"clock\""),
            log.end());
}

TEST_F(HttpClientTest, SendsUserAgentAndRefererOnlyWhenSet) {
  HttpRequest r = Get("/page.txt");
  r.userAgent = "Kronwel 1.2.3.4";
  r.referer = "http://clock.example/sync.html";
  ASSERT_EQ(HttpGet(r).status, 200);
  EXPECT_EQ(site.AccessLineFor("/page.txt"),
            "GET /page.txt 200 via=\"-\" ua=\"Kronwel 1.2.3.4\" ref=\"http://clock.example/sync.html\" user=\"-\"");

  ASSERT_EQ(HttpGet(Get("/empty.txt")).status, 200);
  EXPECT_EQ(site.AccessLineFor("/empty.txt"), "GET /empty.txt 200 via=\"-\" ua=\"-\" ref=\"-\" user=\"-\"");
}

TEST_F(HttpClientTest, FollowsRedirectsUpToTheLimit) {
  struct Case {
    const char* path;
    int maxRedirects;
    int status;  // 0: an error
  } cases[] = {
      {"/one-hop", 0, 302},  // no following: the redirect is the answer
      {"/one-hop", 1, 200},
      {"/two-hops", 1, 0},   // one more than allowed
      {"/two-hops", 2, 200},
      {"/two-hops", 5, 200},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " max " + std::to_string(c.maxRedirects));
    HttpRequest r = Get(c.path);
    r.maxRedirects = c.maxRedirects;
    const HttpResponse answer = HttpGet(r);
    EXPECT_EQ(answer.status, c.status);
    if (c.status == 200) { EXPECT_EQ(answer.body, kCp932Page); }  // no redirect page mixed in
    if (c.status == 0) { EXPECT_NE(answer.error, ""); }
  }
}

TEST_F(HttpClientTest, ProxyWithCredentials) {
  TinyproxyPeer proxy("proxyuser", "proxypass");
  ASSERT_TRUE(proxy.ok()) << proxy.Log();
  struct Case {
    const char* user;
    const char* password;
    const char* path;
    int status;
  } cases[] = {
      {"proxyuser", "proxypass", "/page.txt", 200},
      {"proxyuser", "wrong", "/empty.txt", 401},  // tinyproxy's answer to wrong credentials
      {"", "", "/empty.txt", 407},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.password);
    HttpRequest r = Get(c.path);
    r.proxy = {"127.0.0.1", proxy.port(), c.user, c.password};
    const HttpResponse answer = HttpGet(r);
    EXPECT_EQ(answer.status, c.status);
    if (c.status == 200) { EXPECT_EQ(answer.body, kCp932Page); }
  }
  EXPECT_NE(site.AccessLineFor("/page.txt").find(TinyproxyPeer::kViaName), std::string::npos);
  EXPECT_EQ(site.AccessLineFor("/empty.txt", std::chrono::milliseconds(200)), "");  // turned away
}

// A request without a proxy goes direct even when the environment names one.
TEST_F(HttpClientTest, EnvironmentProxyIsIgnored) {
  test::SilentTcpServer blackHole;
  const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(blackHole.port());
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) setenv(name, proxyUrl.c_str(), 1);
  HttpRequest r = Get("/page.txt");
  r.readTimeoutMs = 2000;
  const HttpResponse answer = HttpGet(r);
  for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(name);
  EXPECT_EQ(answer.status, 200) << answer.error;
  EXPECT_NE(site.AccessLineFor("/page.txt").find("via=\"-\""), std::string::npos);
}

TEST_F(HttpClientTest, DownloadsToAFileWithProgress) {
  std::string big(1 << 20, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + i / 251);
  site.Put("/setup.exe", big);
  test::TempDir out;
  const std::string target = out.File("setup.exe");

  HttpRequest r = Get("/setup.exe");
  r.outputPath = target;
  std::vector<int64_t> seen;
  int64_t total = -2;
  r.progress = [&](int64_t received, int64_t t) {
    seen.push_back(received);
    total = t;
    return true;
  };
  const HttpResponse answer = HttpGet(r);
  EXPECT_EQ(answer.status, 200) << answer.error;
  EXPECT_TRUE(answer.body.empty());
  EXPECT_EQ(test::ReadFile(target), big);
  EXPECT_EQ(total, static_cast<int64_t>(big.size()));
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), static_cast<int64_t>(big.size()));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);
}

// Whatever stops a download, the target keeps what it had and no partial file is left.
TEST_F(HttpClientTest, FailedDownloadLeavesNoPartialFile) {
  site.Put("/setup.exe", std::string(1 << 20, 'x'));
  test::TempDir out;
  const std::string target = out.File("setup.exe");

  HttpRequest cancelled = Get("/setup.exe");
  cancelled.outputPath = target;
  cancelled.progress = [](int64_t received, int64_t) { return received < 1000; };
  HttpResponse answer = HttpGet(cancelled);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.error, "cancelled");
  EXPECT_TRUE(std::filesystem::is_empty(out.path()));

  test::WriteBytes(target, "old installer");
  for (const char* path : {"/missing.exe", "/setup.exe"}) {
    SCOPED_TRACE(path);
    HttpRequest r = Get(path);
    r.outputPath = target;
    if (std::string_view(path) == "/setup.exe") r.progress = [](int64_t, int64_t) { return false; };
    answer = HttpGet(r);
    EXPECT_NE(answer.status, 200);
    EXPECT_EQ(test::ReadFile(target), "old installer");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out.path()), {}), 1);
  }
}

TEST(HttpClientFailures, ConnectionRefused) {
  HttpRequest r;
  r.url = "http://127.0.0.1:" + std::to_string(test::FreeLoopbackPort()) + "/";
  const HttpResponse answer = HttpGet(r);
  EXPECT_EQ(answer.status, 0);
  EXPECT_NE(answer.error, "");
  EXPECT_FALSE(answer.Usable());
}

TEST(HttpClientFailures, SilentServerTimesOutAfterTheReadTimeOut) {
  test::SilentTcpServer silent;
  for (int timeoutMs : {300, 1000}) {
    SCOPED_TRACE(timeoutMs);
    HttpRequest r;
    r.url = silent.url("/sync.html");
    r.readTimeoutMs = timeoutMs;
    const auto start = std::chrono::steady_clock::now();
    const HttpResponse answer = HttpGet(r);
    const int64_t elapsed = ElapsedMs(start);
    EXPECT_EQ(answer.status, 0);
    EXPECT_NE(answer.error, "");
    EXPECT_GE(elapsed, timeoutMs - 50);
    EXPECT_LT(elapsed, 3 * timeoutMs);
  }
}

// A server that answers one request with the given pieces, pausing between them, then
// either closes or stalls until the test ends.
class TrickleServer {
 public:
  TrickleServer(std::vector<std::string> pieces, std::chrono::milliseconds pause, bool stallAtEnd)
      : listener_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(listener_, 4);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([=, this] {
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      char request[4096];
      (void)!recv(fd, request, sizeof request, 0);
      for (const std::string& piece : pieces) {
        if (done_) break;
        (void)!send(fd, piece.data(), piece.size(), MSG_NOSIGNAL);
        std::this_thread::sleep_for(pause);
      }
      while (stallAtEnd && !done_) std::this_thread::sleep_for(10ms);
      close(fd);
    });
  }
  ~TrickleServer() {
    done_ = true;
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    close(listener_);
  }
  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

 private:
  int listener_;
  int port_ = 0;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

// The time-out counts from the last bytes, not from the start: a slow but steady answer
// arrives whole, one that stops half way gives up.
TEST(HttpClientFailures, ReadTimeOutIsTheWaitForTheNextBytes) {
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n";
  {
    TrickleServer steady({head, "01", "23", "45", "67", "89"}, 300ms, false);
    HttpRequest r;
    r.url = steady.url();
    r.readTimeoutMs = 700;
    const HttpResponse answer = HttpGet(r);  // 1.5 s in all, never 700 ms without bytes
    EXPECT_EQ(answer.status, 200) << answer.error;
    EXPECT_EQ(answer.body, "0123456789");
  }
  {
    TrickleServer stalled({head, "01234"}, 50ms, true);
    HttpRequest r;
    r.url = stalled.url();
    r.readTimeoutMs = 500;
    const auto start = std::chrono::steady_clock::now();
    const HttpResponse answer = HttpGet(r);
    EXPECT_EQ(answer.status, 0);
    EXPECT_TRUE(answer.body.empty());
    EXPECT_LT(ElapsedMs(start), 1500);
  }
}

TEST(ProxyFromSettings, PortMustBeANumberFrom1To65535) {
  struct Case {
    bool enabled;
    const char* host;
    const char* port;
    int expectedPort;  // 0: no proxy
    bool logged;
  } cases[] = {
      {true, "proxy.lan", "8080", 8080, false},
      {true, "proxy.lan", "1", 1, false},
      {true, "proxy.lan", "65535", 65535, false},
      {true, "proxy.lan", "", 0, true},
      {true, "proxy.lan", "abc", 0, true},
      {true, "proxy.lan", "80a", 0, true},
      {true, "proxy.lan", "-80", 0, true},
      {true, "proxy.lan", "0", 0, true},
      {true, "proxy.lan", "70000", 0, true},
      {true, "proxy.lan", "99999999999", 0, true},
      {false, "proxy.lan", "8080", 0, false},
      {false, "proxy.lan", "abc", 0, false},  // not used, so not a problem
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.port) + (c.enabled ? " enabled" : " disabled"));
    test::MemoryLog log;
    const HttpProxy p = ProxyFromSettings(c.enabled, c.host, c.port, "user", "pass", &log);
    EXPECT_EQ(p.port, c.expectedPort);
    EXPECT_EQ(p.host, c.expectedPort ? c.host : "");
    EXPECT_EQ(p.username, c.expectedPort ? "user" : "");
    ASSERT_EQ(log.lines.size(), c.logged ? 1u : 0u);
    if (c.logged) {
      EXPECT_EQ(log.lines[0].front(), '>');
      EXPECT_EQ(log.lines[0].back(), '\r');
    }
  }
  EXPECT_EQ(ProxyFromSettings(true, "proxy.lan", "abc", "", "", nullptr).host, "");  // no log: no crash
}

}  // namespace
}  // namespace kw
