#include <gtest/gtest.h>

#include <map>
#include <regex>

#include "server/pages.h"
#include "tests/server/server_fixture.h"

namespace kw::server::test {
namespace {

// The query the clock sends: the published UpdateParam with every placeholder replaced.
std::string Query(std::map<std::string, std::string> values) {
  std::string q = kUpdateParam;
  for (const auto& [name, value] : values)
    q = std::regex_replace(q, std::regex("<" + name + ">", std::regex::icase), value);
  return q;
}

std::map<std::string, std::string> GoodUpdate() {
  // Server 1, game Wednesday 12:30 at real 2026/12/11 19:58:07.420.
  return {{"SV", "1"}, {"MW", "3"}, {"MH", "12"}, {"MN", "30"}, {"RY", "2026"}, {"RM", "12"},
          {"RD", "11"}, {"RH", "19"}, {"RN", "58"}, {"RS", "7"}, {"RMS", "420"}, {"UPI", "543021"}};
}

class UpdateTest : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    AddServer("Diana", "DIA");
    AddServer("Pallas", "PAL");
    std::string error;
    ASSERT_TRUE(store->AddUser("alice", "secret", &error)) << error;
    ServerOptions options;
    options.updatesPerMinute = 3;
    Start(options);
    client->set_basic_auth("alice", "secret");
  }
  httplib::Result Send(const std::map<std::string, std::string>& values) {
    return client->Get(std::string(kUpdatePath) + "?" + Query(values));
  }
};

TEST_F(UpdateTest, AcceptedUpdateSetsTheBaseAndIsAudited) {
  auto res = Send(GoodUpdate());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_FALSE(res->body.empty());
  const GameServer s = store->Servers()[1];
  ASSERT_TRUE(s.hasBase);
  EXPECT_EQ(s.realBaseMs, AtMs(2026, 12, 11, 19, 58, 7, 420));
  EXPECT_EQ(std::tuple(s.weekday, s.hour, s.minute), std::tuple(3, 12, 30));
  EXPECT_EQ(s.realLastMs, ToMs(clock.Now()));  // adjusted now
  EXPECT_FALSE(store->Servers()[0].hasBase);
  EXPECT_EQ(store->CountAudit(), 1);
}

TEST_F(UpdateTest, RefusedUpdatesChangeNothingAndHaveNoBody) {
  const struct {
    const char* field;
    const char* value;
  } bad[] = {
      {"SV", "2"}, {"SV", "-1"}, {"MW", "7"}, {"MH", "24"}, {"MN", "60"}, {"RM", "13"},
      {"RD", "32"}, {"RH", "24"}, {"RMS", "1000"}, {"RMS", "x"}, {"SV", ""}, {"MH", "1.5"},
      {"RD", "12"},                // tomorrow: a base in the future
      {"RY", "2025"},              // a year ago: older than a week
  };
  for (const auto& c : bad) {
    auto values = GoodUpdate();
    values[c.field] = c.value;
    auto res = Send(values);
    ASSERT_TRUE(res) << c.field;
    EXPECT_EQ(res->status, 400) << c.field << "=" << c.value;
    EXPECT_TRUE(res->body.empty()) << c.field << "=" << c.value;
  }
  EXPECT_FALSE(store->Servers()[1].hasBase);
  EXPECT_EQ(store->CountAudit(), static_cast<int>(std::size(bad)));
  EXPECT_EQ(store->CountAccepted("alice", 0), 0);

  // Wrong or missing credentials: refused before anything is read, and not audited.
  for (auto [user, pass] : {std::pair{"alice", "wrong"}, std::pair{"nobody", "secret"}}) {
    client->set_basic_auth(user, pass);
    auto res = Send(GoodUpdate());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401) << user;
    EXPECT_TRUE(res->body.empty());
  }
  httplib::Client anonymous("127.0.0.1", port);
  EXPECT_EQ(anonymous.Get(std::string(kUpdatePath) + "?" + Query(GoodUpdate()))->status, 401);
  EXPECT_FALSE(store->Servers()[1].hasBase);
  EXPECT_EQ(store->CountAudit(), static_cast<int>(std::size(bad)));
}

TEST_F(UpdateTest, EachUserIsLimitedPerMinute) {
  std::string error;
  ASSERT_TRUE(store->AddUser("bob", "pw", &error)) << error;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Send(GoodUpdate())->status, 200) << i;
  auto limited = Send(GoodUpdate());
  EXPECT_EQ(limited->status, 429);
  EXPECT_TRUE(limited->body.empty());

  client->set_basic_auth("bob", "pw");  // another user is not held up
  EXPECT_EQ(Send(GoodUpdate())->status, 200);

  client->set_basic_auth("alice", "secret");
  clock.AdvanceMs(60001);  // the window has passed
  EXPECT_EQ(Send(GoodUpdate())->status, 200);
}

}  // namespace
}  // namespace kw::server::test
