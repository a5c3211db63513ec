// The real orvclockd process killed with SIGKILL in the middle of a stream of remote updates:
// after a restart on the same database, every update it acknowledged is still there.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "common/datetime.h"
#include "server/pages.h"
#include "server/store.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/test_support.h"


namespace kw::server::test {
namespace {

constexpr int kServers = 3;
constexpr int kRounds = 4;
constexpr int kMaxPerRound = 60;
constexpr int kPerUser = 6;  // the default limit of accepted updates per user and minute
constexpr int kUsers = kRounds * kMaxPerRound / kPerUser;

// `orvclockd --db FILE serve --port 0`.
class ServerProcess : public OrvclockdProcess {
 public:
  explicit ServerProcess(const std::string& db) : OrvclockdProcess({"--db", db, "serve", "--port", "0"}) {}
};

struct Update {
  int server, weekday, hour, minute;
  int64_t baseMs;
  bool operator==(const Update&) const = default;
};

// The update number i of the test: each one distinct in its base.
Update NthUpdate(int i, int64_t startMs) {
  return {i % kServers, i % 7, i % 24, i % 60, startMs - 3600000 + i * 1001};
}

std::string Query(const Update& u) {
  const DateTimeParts p = DecodeDateTime(FromMs(u.baseMs));
  char q[200];
  std::snprintf(q, sizeof q, "sv=%d&mw=%d&mh=%d&mn=%d&ry=%d&rm=%d&rd=%d&rh=%d&rn=%d&rs=%d&rms=%d&upi=1",
                u.server, u.weekday, u.hour, u.minute, p.year, p.month, p.day, p.hour, p.minute,
                p.second, p.millisecond);
  return std::string(kUpdatePath) + "?" + q;
}

TEST(Durability, AcknowledgedUpdatesSurviveSigkill) {
  kw::test::TempDir dir;
  const std::string db = dir.File("orvclockd.db");
  {
    std::string error;
    auto store = Store::Open(db, &error);
    ASSERT_TRUE(store) << error;
    for (int s = 0; s < kServers; ++s)
      ASSERT_TRUE(store->AddServer("S" + std::to_string(s), "M" + std::to_string(s), &error)) << error;
    for (int u = 0; u < kUsers; ++u)
      ASSERT_TRUE(store->AddUser("u" + std::to_string(u), "pw", &error)) << error;
  }
  const int64_t startMs = ToMs(SystemClock().Now());
  std::mt19937 random(std::random_device{}());

  std::optional<Update> lastAcked[kServers];
  int acked = 0;  // accepted updates over all rounds
  auto server = std::make_unique<ServerProcess>(db);
  ASSERT_GT(server->port(), 0);
  for (int round = 0; round < kRounds; ++round) {
    // The sender goes on until the connection fails; the kill comes after a random number of
    // acknowledged updates and a random part of the next request. Each user's six updates
    // stay within one round.
    const int killAfter = std::uniform_int_distribution<int>(1, kMaxPerRound / 2)(random);
    std::atomic<int> roundAcked{0};
    std::atomic<bool> finished{false};
    std::optional<Update> inFlight;  // sent and not answered when the connection failed
    std::thread sender([&, port = server->port()] {
      httplib::Client client("127.0.0.1", port);
      for (int n = round * kMaxPerRound; n < (round + 1) * kMaxPerRound; ++n) {
        const Update u = NthUpdate(n, startMs);
        client.set_basic_auth("u" + std::to_string(n / kPerUser), "pw");
        auto res = client.Get(Query(u));
        if (!res) {
          inFlight = u;
          break;
        }
        EXPECT_EQ(res->status, 200) << "update " << n;
        if (!res->body.empty()) {
          lastAcked[u.server] = u;
          ++roundAcked;
        }
      }
      finished = true;
    });
    while (roundAcked < killAfter && !finished)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 3000)(random)));
    const int status = server->Kill(SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    sender.join();
    acked += roundAcked;

    // Restarted on the same database, the server answers, and everything acknowledged is
    // there. The one update in flight at the kill may or may not have landed.
    server = std::make_unique<ServerProcess>(db);
    ASSERT_GT(server->port(), 0) << "restart after round " << round;
    httplib::Client client("127.0.0.1", server->port());
    auto page = client.Get("/sync.html");
    ASSERT_TRUE(page) << "round " << round;
    EXPECT_EQ(page->status, 200);

    std::string error;
    auto store = Store::Open(db, &error);
    ASSERT_TRUE(store) << error;
    const auto servers = store->Servers();
    ASSERT_EQ(servers.size(), static_cast<size_t>(kServers));
    for (int s = 0; s < kServers; ++s) {
      if (!lastAcked[s]) continue;
      ASSERT_TRUE(servers[s].hasBase) << "server " << s << " round " << round;
      const Update stored{s, servers[s].weekday, servers[s].hour, servers[s].minute,
                          servers[s].realBaseMs};
      if (inFlight && stored == *inFlight) lastAcked[s] = inFlight;  // it landed
      EXPECT_EQ(stored, *lastAcked[s]) << "server " << s << " round " << round;
    }
    EXPECT_GE(store->CountAudit(), acked) << "round " << round;
    int accepted = 0;
    for (int u = 0; u < kUsers; ++u) accepted += store->CountAccepted("u" + std::to_string(u), 0);
    EXPECT_GE(accepted, acked) << "round " << round;
    EXPECT_LE(accepted, acked + (inFlight ? 1 : 0)) << "round " << round;
    acked = accepted;  // the one in flight counts from now on when its audit row landed
  }
  const int status = server->Kill(SIGTERM);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_GE(acked, kRounds);  // every round acknowledged something
}

}  // namespace
}  // namespace kw::server::test
