// The engine's requests against real peers on loopback: nginx serving the pages (basic
// authentication, 404, an empty page), tinyproxy with credentials, chronyd as the SNTP server,
// and servers that never answer.
#include <gtest/gtest.h>

#include <chrono>
#include <iostream>

#include "clock/engine/u_orvtime.h"
#include "clock/window/u_orvsync.h"
#include "common/cp932.h"
#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Two servers whose lines the pages below carry; the last one decides the code.
constexpr const char* kServers =
    "[ServerInfo]\nServers=2\n[ServerInfo1]\nServerName=Diana\nHTMLHead3=DIA\n"
    "[ServerInfo2]\nServerName=Pallas\nHTMLHead3=PAL\n";

std::string SyncPage(const char* pallasLast) {
  return std::string("<html><pre>\r\nDIA 0600002026121120000000 20261211190000\r\n") +
         "PAL 1230032026121120000000 " + pallasLast + "\r\n</pre></html>";
}

class SyncAgainstPeers : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HasFailure())
      for (const auto& l : log.lines) std::cerr << "log: " << l << "\n";
  }
  void SetUp() override {
    ASSERT_TRUE(site.ok()) << site.ErrorLog();
    test::WriteWindowsFile(dir.File("httpctrl.cfg"), kServers);
    site.Put("/sync.html", SyncPage("20261211190000"));
    site.Put("/private/sync.html", SyncPage("20261211193000"));
    site.Put("/empty.html", "");
  }
  std::unique_ptr<TOrvTime> Engine() {
    auto orv = std::make_unique<TOrvTime>(dir.path(), clock, &log);
    orv->ProgramVersion = "3.0.0.0";
    return orv;
  }

  test::NginxPeer site{{.authLocation = "/private/", .authUser = "clock", .authPassword = "sesame", .redirects = {}}};
  test::TempDir dir;
  ManualClock clock{test::At(2026, 12, 11, 20, 0)};
  test::MemoryLog log;
};

TEST_F(SyncAgainstPeers, PrimaryThenSecondaryAddress) {
  auto orv = Engine();
  orv->SyncURL = {site.url("/empty.html"), site.url("/sync.html")};
  orv->RefererEmu = {"http://primary.example/", "http://secondary.example/"};
  // An empty primary page: the secondary one is read, and the changed entry gives 3.
  EXPECT_EQ(orv->SyncGameClock(), 3);
  EXPECT_EQ(orv->Servers[1].GameBase, (TGameWeekTime{3, 12, 30, 0}));
  EXPECT_EQ(site.AccessLineFor("/sync.html"),
            "GET /sync.html 200 via=\"-\" ua=\"KronwelClient3 3.0.0.0\" ref=\"http://secondary.example/\" user=\"-\"");
  EXPECT_EQ(orv->SyncGameClock(), 1);

  // The primary page behind basic authentication.
  orv->SyncURL = {site.url("/private/sync.html"), ""};
  orv->HttpAuth[0] = {true, "clock", "sesame"};
  EXPECT_EQ(orv->SyncGameClock(), 2);
  EXPECT_NE(site.AccessLineFor("/private/sync.html").find("user=\"clock\""), std::string::npos);
  EXPECT_EQ(orv->SyncGameClock(), 0);
  orv->HttpAuth[0].HttpPassword = "wrong";
  EXPECT_EQ(orv->SyncGameClock(), 9);

  // 404 without a secondary address, and no address at all: 9, the bases stay.
  const auto before = orv->Servers[1].RealBase;
  orv->SyncURL = {site.url("/missing.html"), ""};
  EXPECT_EQ(orv->SyncGameClock(), 9);
  EXPECT_TRUE(log.Contains(">Sync page 1: HTTP 404\r"));
  orv->SyncURL = {"", ""};
  EXPECT_EQ(orv->SyncGameClock(), 9);
  EXPECT_EQ(orv->Servers[1].RealBase, before);
}

TEST_F(SyncAgainstPeers, ThroughTheProxyWithCredentials) {
  test::TinyproxyPeer proxy("proxyuser", "proxypass");
  ASSERT_TRUE(proxy.ok()) << proxy.Log();
  auto orv = Engine();
  orv->SyncURL = {site.url("/sync.html"), ""};
  orv->ProxyEnabled = true;
  orv->ProxyIP = "127.0.0.1";
  orv->ProxyPort = std::to_string(proxy.port());
  orv->ProxyUsername = "proxyuser";
  orv->ProxyPassword = "proxypass";
  EXPECT_EQ(orv->SyncGameClock(), 2);
  EXPECT_NE(site.AccessLineFor("/sync.html").find(test::TinyproxyPeer::kViaName), std::string::npos);

  // The status file never goes through the proxy.
  site.Put("/status.txt", "2026/12/11 19:59:00\r\n0\r\n");
  orv->StatusURL = site.url("/status.txt");
  EXPECT_TRUE(orv->FetchServersStatus());
  EXPECT_NE(site.AccessLineFor("/status.txt").find("via=\"-\""), std::string::npos);

  // The proxy turns wrong credentials away; a port that is not a number means no proxy.
  orv->ProxyPassword = "wrong";
  EXPECT_EQ(orv->SyncGameClock(), 9);
  orv->ProxyPort = "80a";
  site.Put("/sync.html", SyncPage("20261211194500"));
  EXPECT_EQ(orv->SyncGameClock(), 2);
  EXPECT_NE(site.AccessLineFor("/sync.html").find("via=\"-\""), std::string::npos);
  EXPECT_TRUE(log.ContainsLineStartingWith(">Proxy"));
}

TEST_F(SyncAgainstPeers, AServerThatNeverAnswersCostsItsReadTimeout) {
  test::SilentTcpServer silent;
  auto orv = Engine();
  orv->SyncURL = {silent.url("/sync.html"), site.url("/sync.html")};
  const auto start = Steady::now();
  EXPECT_EQ(orv->SyncGameClock(), 3);  // after 5 s, from the secondary address
  const auto took = Steady::now() - start;
  EXPECT_GE(took, 4s);
  EXPECT_LT(took, 15s);

  orv->StatusURL = silent.url("/status.txt");
  const auto statusStart = Steady::now();
  EXPECT_FALSE(orv->FetchServersStatus());
  EXPECT_LT(Steady::now() - statusStart, 4s);  // 1 s for the status file
}

TEST_F(SyncAgainstPeers, PcClockAgainstChronyd) {
  test::ChronyPeer chrony;
  ASSERT_TRUE(chrony.ok()) << chrony.Log();
  test::SilentUdpPort silent;
  test::RecordingTray tray;
  test::RecordingNotifier notifier;
  auto orv = Engine();
  SyncEnv env{.orv = *orv, .log = log, .tray = tray, .notifier = notifier, .globalBalloon = true,
              .playSoundEvent = {}, .sleepMs = {}};

  // The first server does not answer, the second does. The test's clock stands still while
  // the first one is waited for: set 91 s ahead, it is 90.5 s ahead when chronyd answers.
  orv->SntpServers = {silent.server(), chrony.server()};
  orv->SntpTimeout = 500;
  clock.Set(SystemClock().Now() + 91.0 / 86400);
  RealSync(env, false);
  EXPECT_NEAR(orv->TimeAdjustOffset * 86400, -90.5, 0.3);
  EXPECT_TRUE(log.ContainsLineStartingWith(":Time Offset : -0.00104"));
  ASSERT_EQ(tray.balloons.size(), 1u);
  EXPECT_EQ(tray.balloons[0].text, "パソコンの時計は1分30秒進んでいます\r\n(Orv時刻は差分値によって補正されます)");
  // CurrentTime follows at once.
  EXPECT_NEAR((orv->CurrentTime() - SystemClock().Now()) * 86400, 0, 0.3);

  // Half a second behind (the wait for the first server): logged, nothing shown.
  clock.Set(SystemClock().Now());
  RealSync(env, false);
  EXPECT_NEAR(orv->TimeAdjustOffset * 86400, 0.5, 0.3);
  EXPECT_EQ(tray.balloons.size(), 1u);

  // Nobody answers: the check fails and the offset stays.
  orv->SntpServers = {silent.server(), ""};
  const TDateTime kept = orv->TimeAdjustOffset;
  EXPECT_FALSE(orv->CheckPcClock());
  EXPECT_EQ(orv->TimeAdjustOffset, kept);
  orv->SntpServers = {};
  EXPECT_FALSE(orv->CheckPcClock());
}

}  // namespace
}  // namespace kw
