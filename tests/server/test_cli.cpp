#include <gtest/gtest.h>

#include <sstream>

#include "clock/engine/u_orvtime.h"
#include "server/cli.h"
#include "tests/server/server_fixture.h"

namespace kw::server::test {
namespace {

class CliTest : public ::testing::Test {
 protected:
  int Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", dir.File("orvclockd.db")});
    out.str("");
    err.str("");
    return RunCli(args, out, err, clock);
  }
  kw::test::TempDir dir;
  ManualClock clock{FromMs(AtMs(2026, 12, 11, 20, 0))};
  std::ostringstream out, err;
};

TEST_F(CliTest, AdminCommandsChangeTheDatabase) {
  ASSERT_EQ(Run({"init"}), 0) << err.str();
  ASSERT_EQ(Run({"add-server", "Diana", "DIA"}), 0) << err.str();
  ASSERT_EQ(Run({"set-base", "Diana", "2026/12/11 19:58:07.420", "3", "12", "30"}), 0) << err.str();
  ASSERT_EQ(Run({"set-status", "Diana", "1", "5", "6"}), 0) << err.str();
  ASSERT_EQ(Run({"set-maintenance", "regular", "4", "09:00:00", "13:00:00", "定期"}), 0) << err.str();
  ASSERT_EQ(Run({"set-maintenance", "slot", "10", "2026/12/24", "01:00:00", "02:00:00", "臨時"}), 0)
      << err.str();
  ASSERT_EQ(Run({"set-maintenance", "sntp", "a.example", "b.example", "900"}), 0) << err.str();
  ASSERT_EQ(Run({"publish-version", "3.1.0.7", "2026/12/01", "http://x/", "http://x/setup"}), 0)
      << err.str();
  ASSERT_EQ(Run({"add-user", "alice", "secret"}), 0) << err.str();

  std::string error;
  auto store = Store::Open(dir.File("orvclockd.db"), &error);
  ASSERT_TRUE(store) << error;
  const GameServer s = store->Servers().at(0);
  EXPECT_EQ(s.realBaseMs, AtMs(2026, 12, 11, 19, 58, 7, 420));
  EXPECT_EQ(s.realLastMs, ToMs(clock.Now()));
  EXPECT_EQ(std::tuple(s.weekday, s.hour, s.minute, s.state, s.column3, s.column4),
            std::tuple(3, 12, 30, 1, 5, 6));
  const Maintenance m = store->GetMaintenance();
  EXPECT_EQ(std::tuple(m.regularWeekday, m.regularStartSec, m.regularTitle), std::tuple(4, 9 * 3600, std::string("定期")));
  EXPECT_TRUE(m.slots[9].set);
  EXPECT_EQ(m.slots[9].dateMs, AtMs(2026, 12, 24, 0, 0));
  EXPECT_EQ(m.sntp2, "b.example");
  EXPECT_EQ(store->GetVersion()->v, (std::array<int, 4>{3, 1, 0, 7}));
  EXPECT_EQ(store->GetVersion()->installer, "http://x/setup");
  EXPECT_TRUE(store->CheckUser("alice", "secret"));

  ASSERT_EQ(Run({"set-maintenance", "clear-slot", "10"}), 0) << err.str();
  EXPECT_FALSE(store->GetMaintenance().slots[9].set);

  ASSERT_EQ(Run({"rename-server", "diana", "Diane"}), 0) << err.str();
  EXPECT_EQ(store->Servers().at(0).name, "Diane");
  EXPECT_EQ(store->Servers().at(0).marker, "DIA");
  ASSERT_EQ(Run({"add-server", "Pallas", "PAL"}), 0) << err.str();
  EXPECT_NE(Run({"rename-server", "Pallas", "Diane"}), 0);   // taken
  EXPECT_NE(Run({"rename-server", "Nobody", "Someone"}), 0);  // no such server
  EXPECT_EQ(store->Servers().at(1).name, "Pallas");
}

TEST_F(CliTest, BadCommandsFailWithoutChanges) {
  ASSERT_EQ(Run({"add-server", "Diana", "DIA"}), 0);
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"frobnicate"}, 2},
      {{"add-server", "OnlyName"}, 2},
      {{"add-server", "Dup", "DI"}, 1},  // marker clash
      {{"set-base", "Diana", "2026/13/01 00:00:00", "0", "0", "0"}, 2},
      {{"set-base", "Diana", "2026/12/01 00:00:00", "7", "0", "0"}, 1},
      {{"set-base", "Nobody", "2026/12/01 00:00:00", "0", "0", "0"}, 1},
      {{"set-status", "Diana", "x"}, 2},
      {{"set-maintenance", "slot", "11", "2026/12/24", "01:00:00", "02:00:00", "t"}, 2},
      {{"set-maintenance", "regular", "4", "25:00:00", "13:00:00", "t"}, 2},
      {{"set-maintenance", "regular", "8", "09:00:00", "13:00:00", "t"}, 1},
      {{"publish-version", "3.1.0", "2026/12/01", "u"}, 2},
      {{"add-user", "a:b", "pw"}, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.args), c.status) << c.args[0];
    EXPECT_FALSE(err.str().empty()) << c.args[0];
  }
  std::ostringstream o, e;
  EXPECT_EQ(RunCli({"init"}, o, e, clock), 2);  // no --db

  std::string error;
  auto store = Store::Open(dir.File("orvclockd.db"), &error);
  ASSERT_EQ(store->Servers().size(), 1u);
  EXPECT_FALSE(store->Servers()[0].hasBase);
  EXPECT_EQ(store->GetMaintenance().regularWeekday, 3);
}

// The demo set makes a program folder the clock reads as three servers with the default
// signature, pointing at the demo server; filling it again keeps what is there.
TEST_F(CliTest, DemoSetAndProgramFolder) {
  std::string error;
  auto store = Store::Open(dir.File("demo.db"), &error);
  ASSERT_TRUE(store) << error;
  const int64_t now = ToMs(clock.Now()) + 345;
  ASSERT_TRUE(FillDemo(*store, now, &error)) << error;
  ASSERT_TRUE(store->SetStatus("Elmo", 0, 0, 0, &error)) << error;
  ASSERT_TRUE(FillDemo(*store, now + 1000, &error)) << error;
  const auto servers = store->Servers();
  ASSERT_EQ(servers.size(), 3u);
  EXPECT_EQ(servers[2].state, 0);
  for (const auto& s : servers) EXPECT_EQ(s.realBaseMs, now - 345) << s.name;
  EXPECT_TRUE(store->CheckUser("demo", "demo"));
  EXPECT_TRUE(store->GetVersion().has_value());

  PublishOptions publish{"http://127.0.0.1:4321", "demo", "demo"};
  const std::string folder = dir.File("kronwel");
  ASSERT_TRUE(WriteProgramFolder(folder, MakeConfigSet(servers, publish), &error)) << error;
  TOrvTime engine(folder, clock);
  EXPECT_EQ(engine.ServerSignature(), "DPE");
  EXPECT_FALSE(engine.ServerTableChanged);
  EXPECT_EQ(engine.SyncURL[0], "http://127.0.0.1:4321/sync.html");
  EXPECT_TRUE(std::filesystem::exists(folder + "/urllist.cfg"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/mrlist.cfg"));
}

}  // namespace
}  // namespace kw::server::test
