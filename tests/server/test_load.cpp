// Many clocks polling the sync page on loopback while remote updates come in: every answer
// is a whole, well-formed page, bases never go back, and no acknowledged update is lost.
// Bounded in time and count; nothing here is timed against a speed.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "clock/engine/u_orvtime.h"
#include "server/pages.h"
#include "tests/server/server_fixture.h"

namespace kw::server::test {
namespace {

constexpr int kReaders = 16;
constexpr int kServers = 3;
constexpr int kMaxUpdates = 3000;
constexpr auto kDuration = std::chrono::seconds(3);

// Update number i moves server i % 3 to base0 + i seconds with game time derived from i, so
// a page line tells which update it shows and whether its fields belong together.
struct Step {
  int server, weekday, hour, minute;
};
Step StepOf(int i) { return {i % kServers, i % 7, i % 24, i % 60}; }

class LoadTest : public ServerTest {};

TEST_F(LoadTest, PollersSeeWholePagesWhileUpdatesArrive) {
  const char* markers[kServers] = {"DIA", "PAL", "ELM"};
  const int64_t base0 = AtMs(2026, 12, 10, 0, 0, 0);  // a day before the fixed now
  std::string error;
  for (int s = 0; s < kServers; ++s) {
    AddServer(std::string("Srv") + markers[s], markers[s]);
    ASSERT_TRUE(store->SetBase(std::string("Srv") + markers[s], base0, 0, 0, 0, base0, &error))
        << error;
  }
  ASSERT_TRUE(store->AddUser("loader", "pw", &error)) << error;
  ServerOptions options;
  options.updatesPerMinute = kMaxUpdates;  // the clock stands still: one window for all
  Start(options);
  TOrvTime engine(dir.path(), clock);

  const auto deadline = std::chrono::steady_clock::now() + kDuration;
  std::atomic<bool> stop{false};
  int lastAcked[kServers] = {0, 0, 0};  // update number, 0: the initial base
  int acked = 0;
  std::thread writer([&] {
    httplib::Client c("127.0.0.1", port);
    c.set_basic_auth("loader", "pw");
    for (int i = 1; i <= kMaxUpdates && std::chrono::steady_clock::now() < deadline; ++i) {
      const Step st = StepOf(i);
      const DateTimeParts p = DecodeDateTime(FromMs(base0 + i * 1000LL));
      const std::string q = "?sv=" + std::to_string(st.server) + "&mw=" + std::to_string(st.weekday) +
                            "&mh=" + std::to_string(st.hour) + "&mn=" + std::to_string(st.minute) +
                            "&ry=" + std::to_string(p.year) + "&rm=" + std::to_string(p.month) +
                            "&rd=" + std::to_string(p.day) + "&rh=" + std::to_string(p.hour) +
                            "&rn=" + std::to_string(p.minute) + "&rs=" + std::to_string(p.second) +
                            "&rms=0&upi=1";
      auto res = c.Get(std::string(kUpdatePath) + q);
      ASSERT_TRUE(res) << "update " << i << ": " << httplib::to_string(res.error());
      ASSERT_EQ(res->status, 200) << "update " << i;
      ASSERT_FALSE(res->body.empty()) << "update " << i;
      lastAcked[st.server] = i;
      ++acked;
    }
    stop = true;
  });

  std::atomic<int> pages{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r)
    readers.emplace_back([&] {
      httplib::Client c("127.0.0.1", port);
      int seen[kServers] = {0, 0, 0};
      while (!stop && std::chrono::steady_clock::now() < deadline + std::chrono::seconds(2)) {
        auto res = c.Get(kSyncPath);
        ASSERT_TRUE(res) << httplib::to_string(res.error());
        ASSERT_EQ(res->status, 200);
        const auto lines = Lines(StripTagsLikeTheClock(res->body));
        for (int s = 0; s < kServers; ++s) {
          const auto header = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
            return l.starts_with(markers[s]);
          });
          ASSERT_NE(header, lines.end()) << markers[s] << " missing from\n" << res->body;
          const int64_t offset = ToMs(engine.ParseRealBase(*header)) - base0;
          ASSERT_EQ(offset % 1000, 0) << *header;
          const int i = static_cast<int>(offset / 1000);
          ASSERT_GE(i, seen[s]) << "base went back: " << *header;
          seen[s] = i;
          const Step st = StepOf(i);
          if (i > 0) {
            EXPECT_EQ(st.server, s) << *header;
          }
          const TGameWeekTime want = i > 0 ? TGameWeekTime{st.weekday, st.hour, st.minute, 0}
                                           : TGameWeekTime{0, 0, 0, 0};
          ASSERT_EQ(engine.ParseGameBase(*header), want) << *header;
        }
        ++pages;
      }
    });
  writer.join();
  stop = true;
  for (auto& t : readers) t.join();

  EXPECT_GE(pages.load(), kReaders);
  EXPECT_GT(acked, 0);
  const auto servers = store->Servers();
  for (int s = 0; s < kServers; ++s)
    EXPECT_EQ(servers[s].realBaseMs, base0 + lastAcked[s] * 1000LL) << markers[s];
  EXPECT_EQ(store->CountAccepted("loader", 0), acked);
  EXPECT_EQ(store->CountAudit(), acked);
}

}  // namespace
}  // namespace kw::server::test
