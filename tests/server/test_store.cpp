#include <gtest/gtest.h>
#include <sqlite3.h>

#include "server/store.h"
#include "tests/server/server_fixture.h"

namespace kw::server::test {
namespace {

using StoreTest = ServerTest;

TEST_F(StoreTest, RefusesMarkersAndNamesThePagesCannotCarry) {
  AddServer("Diana", "DIA");
  const struct {
    const char* name;
    const char* marker;
  } refused[] = {
      {"Other", "DI"},         // a prefix of DIA: the clock would take the wrong line
      {"Other", "DIAX"},       // starts with DIA
      {"Other", "ABCDE"},      // five bytes: overlaps the game hour
      {"Other", "森林X"},      // five CP932 bytes
      {"Other", ""},
      {"Other", " X"},
      {"Other", "<b>"},
      {"diana", "XYZ"},        // names are unique without regard to case
      {"NineBytes", "XYZ"},    // the status file has eight columns for the name
      {"五文字の名", "XYZ"},   // five double-byte characters: ten bytes
      {"", "XYZ"},
      {" Lead", "XYZ"},        // the status file's name is trimmed
      {"Tab\tName", "XYZ"},
      {"X\xF0\x9F\x98\x80", "XYZ"},  // no CP932 form
  };
  for (const auto& c : refused) {
    std::string error;
    EXPECT_FALSE(store->AddServer(c.name, c.marker, &error)) << c.name << "/" << c.marker;
    EXPECT_FALSE(error.empty());
  }
  // The limits themselves: eight bytes of name, four bytes of marker, counted in CP932.
  AddServer("四文字名", "XYZ");
  AddServer("Forest", "森林");
  EXPECT_EQ(store->Servers().size(), 3u);
}

TEST_F(StoreTest, BasesPersistAcrossReopeningInWalMode) {
  AddServer("Diana", "DIA");
  AddServer("Pallas", "PAL");
  std::string error;
  const int64_t base = AtMs(2026, 12, 11, 19, 58, 7, 42);
  ASSERT_TRUE(store->SetBase("pallas", base, 3, 12, 30, base + 5, &error)) << error;
  for (auto [w, h, m] : {std::tuple{7, 0, 0}, std::tuple{0, 24, 0}, std::tuple{0, 0, 60},
                         std::tuple{-1, 0, 0}})
    EXPECT_FALSE(store->SetBase("Diana", base, w, h, m, base, &error)) << w << h << m;
  EXPECT_FALSE(store->SetBase("Nobody", base, 0, 0, 0, base, &error));
  store.reset();

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir.File("orvclockd.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)), "wal");
  sqlite3_finalize(st);
  sqlite3_close(db);

  store = Store::Open(dir.File("orvclockd.db"), &error);
  const auto servers = store->Servers();
  ASSERT_EQ(servers.size(), 2u);
  EXPECT_FALSE(servers[0].hasBase);
  EXPECT_TRUE(servers[1].hasBase);
  EXPECT_EQ(servers[1].realBaseMs, base);
  EXPECT_EQ(servers[1].realLastMs, base + 5);
  EXPECT_EQ(std::tuple(servers[1].weekday, servers[1].hour, servers[1].minute), std::tuple(3, 12, 30));
}

TEST_F(StoreTest, UsersAreCheckedBySaltedHash) {
  std::string error;
  ASSERT_TRUE(store->AddUser("alice", "secret", &error)) << error;
  ASSERT_TRUE(store->AddUser("bob", "secret", &error)) << error;
  EXPECT_TRUE(store->CheckUser("alice", "secret"));
  EXPECT_FALSE(store->CheckUser("alice", "Secret"));
  EXPECT_FALSE(store->CheckUser("alice", ""));
  EXPECT_FALSE(store->CheckUser("carol", "secret"));
  EXPECT_FALSE(store->AddUser("a:b", "x", &error));
  EXPECT_FALSE(store->AddUser("dave", "", &error));

  // Same password, different salts: neither the password nor equal hashes are stored.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir.File("orvclockd.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, "SELECT COUNT(DISTINCT hash), SUM(hash = 'secret') FROM user", -1, &st, nullptr);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), 2);
  EXPECT_EQ(sqlite3_column_int(st, 1), 0);
  sqlite3_finalize(st);
  sqlite3_close(db);
}

TEST_F(StoreTest, MaintenanceIsValidatedAndKeptWhole) {
  std::string error;
  Maintenance m;
  m.regularWeekday = 4;
  m.slots[2] = {true, AtMs(2026, 12, 24, 0, 0), 9 * 3600, 12 * 3600, "臨時メンテナンス"};
  m.sntpTimeoutMs = 1500;
  ASSERT_TRUE(store->SetMaintenance(m, &error)) << error;

  Maintenance bad = m;
  bad.regularWeekday = 8;
  EXPECT_FALSE(store->SetMaintenance(bad, &error));
  bad = m;
  bad.slots[0] = {true, AtMs(2026, 12, 24, 0, 0), 12 * 3600, 9 * 3600, "backwards"};
  EXPECT_FALSE(store->SetMaintenance(bad, &error));
  bad = m;
  bad.slots[0] = {true, AtMs(2026, 12, 24, 0, 0), 0, 60, std::string(257, 'x')};
  EXPECT_FALSE(store->SetMaintenance(bad, &error));

  const Maintenance got = store->GetMaintenance();  // the refused changes left nothing behind
  EXPECT_EQ(got.regularWeekday, 4);
  EXPECT_EQ(got.sntpTimeoutMs, 1500);
  EXPECT_FALSE(got.slots[0].set);
  ASSERT_TRUE(got.slots[2].set);
  EXPECT_EQ(got.slots[2].title, "臨時メンテナンス");
  EXPECT_EQ(got.slots[2].endSec, 12 * 3600);
}

}  // namespace
}  // namespace kw::server::test
