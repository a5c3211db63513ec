#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

#include "clock/engine/u_orvtime.h"
#include "common/cp932.h"
#include "common/file_io.h"
#include "common/ini_file.h"
#include "server/pages.h"
#include "tests/server/server_fixture.h"

namespace kw::server::test {
namespace {

using HttpTest = ServerTest;

std::string Field(const std::string& line, size_t pos1, size_t len) {
  return pos1 - 1 < line.size() ? line.substr(pos1 - 1, len) : std::string();
}

// The clock's engine reading httpctrl.cfg from a program folder.
struct ClockSide {
  explicit ClockSide(const std::string& cfg) {
    EXPECT_TRUE(WriteFileAtomically(folder.File("httpctrl.cfg"), cfg, 0644));
    engine = std::make_unique<TOrvTime>(folder.path(), clock);
  }
  kw::test::TempDir folder;
  ManualClock clock{FromMs(AtMs(2026, 12, 11, 20, 0))};
  std::unique_ptr<TOrvTime> engine;
};

TEST_F(HttpTest, SyncPageParsesWithTheClocksParsersToTheStoredBases) {
  AddServer("Diana", "DIA");
  AddServer("Pallas", "PAL");
  AddServer("Elmo", "E");      // shorter marker: padded to the field start
  AddServer("森の国", "森");   // a double-byte name and marker
  AddServer("Nobase", "NOB");  // no base yet: no line
  const struct {
    const char* name;
    int64_t baseMs, lastMs;
    int w, h, m;
  } bases[] = {
      {"Diana", AtMs(2026, 12, 11, 19, 58, 7, 42), AtMs(2026, 12, 11, 19, 59, 0), 0, 6, 0},
      {"Pallas", AtMs(2026, 1, 1, 0, 0, 0, 0), AtMs(2026, 1, 1, 0, 0, 1), 6, 23, 59},
      {"Elmo", AtMs(2024, 2, 29, 23, 59, 59, 99), AtMs(2024, 3, 1, 0, 0, 0), 3, 12, 5},
      {"森の国", AtMs(2026, 12, 11, 8, 9, 10, 5), AtMs(2026, 12, 11, 8, 9, 11), 1, 0, 30},
  };
  std::string error;
  for (const auto& b : bases)
    ASSERT_TRUE(store->SetBase(b.name, b.baseMs, b.w, b.h, b.m, b.lastMs, &error)) << error;
  Start();

  auto res = client->Get("/sync.html");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=Shift_JIS");

  auto cfg = client->Get("/cfg/httpctrl.cfg.3.0");
  ASSERT_TRUE(cfg && cfg->status == 200);
  ClockSide clockSide(cfg->body);
  const TOrvTime& engine = *clockSide.engine;
  ASSERT_EQ(engine.ServerCount, 5);

  const auto lines = Lines(StripTagsLikeTheClock(res->body));
  for (int i = 0; i < 4; ++i) {
    const std::string& marker = engine.Servers[i].HeadMarker;
    EXPECT_EQ(marker, (std::array<std::string, 4>{"DIA", "PAL", "E", "森"}[i]));
    // The clock's header search: the last line starting with the marker's bytes.
    std::string markerBytes;
    Utf8ToCp932(marker, markerBytes);
    const std::string* header = nullptr;
    for (const auto& l : lines)
      if (l.starts_with(markerBytes)) header = &l;
    ASSERT_NE(header, nullptr) << marker;
    EXPECT_EQ(ToMs(engine.ParseRealBase(*header)), bases[i].baseMs) << marker;
    EXPECT_EQ(ToMs(engine.ParseRealLast(*header)), bases[i].lastMs) << marker;
    EXPECT_EQ(engine.ParseGameBase(*header), (TGameWeekTime{bases[i].w, bases[i].h, bases[i].m, 0}))
        << marker;
  }
  for (const auto& l : lines) EXPECT_FALSE(l.starts_with("NOB")) << l;
}

// The page's two millisecond digits hold 0..99 ms: other bases go to the nearest instant the
// clock can read, across a day boundary too.
TEST_F(HttpTest, BasesTheLineCannotHoldArePublishedAtTheNearestInstant) {
  TOrvTime engine(dir.path(), clock);
  const struct {
    int64_t stored, published;
  } cases[] = {
      {AtMs(2026, 12, 11, 8, 0, 0, 99), AtMs(2026, 12, 11, 8, 0, 0, 99)},
      {AtMs(2026, 12, 11, 8, 0, 0, 100), AtMs(2026, 12, 11, 8, 0, 0, 99)},
      {AtMs(2026, 12, 11, 8, 0, 0, 549), AtMs(2026, 12, 11, 8, 0, 0, 99)},
      {AtMs(2026, 12, 11, 8, 0, 0, 550), AtMs(2026, 12, 11, 8, 0, 1, 0)},
      {AtMs(2026, 12, 31, 23, 59, 59, 999), AtMs(2027, 1, 1, 0, 0, 0, 0)},
  };
  for (const auto& c : cases) {
    GameServer s;
    s.marker = "DIA";
    s.hasBase = true;
    s.realBaseMs = c.stored;
    s.realLastMs = c.stored;
    EXPECT_EQ(ToMs(engine.ParseRealBase(SyncLine(s))), c.published) << c.stored;
  }
}

TEST_F(HttpTest, HttpCtrlPointsBackAtThisServerAndItsStampFollowsTheSet) {
  AddServer("Diana", "DIA");
  AddServer("Pallas", "PAL");
  ServerOptions options;
  options.publish.updateUser = "demo";
  options.publish.updatePass = "pw";
  Start(options);
  const std::string base = "http://127.0.0.1:" + std::to_string(port);

  auto first = client->Get("/cfg/httpctrl.cfg.3.0");
  ASSERT_TRUE(first && first->status == 200);
  ClockSide clockSide(first->body);
  const TOrvTime& e = *clockSide.engine;
  EXPECT_EQ(e.ServerSignature(), "DP");
  EXPECT_EQ(e.ServerNames, (std::vector<std::string>{"Diana", "Pallas"}));
  EXPECT_EQ(e.SyncURL[0], base + "/sync.html");
  EXPECT_EQ(e.RemoteOption, base + "/maintenance.txt");
  EXPECT_EQ(e.UpgradeCheck, base + "/version.txt");
  EXPECT_EQ(e.UpgradeInfo2, base + "/upgrade.txt");
  EXPECT_TRUE(e.UpdateEnabled);
  EXPECT_EQ(e.UpdateURL, base + "/update");
  EXPECT_EQ(e.UpdateAuthUser, "demo");
  EXPECT_EQ(e.UpdateAuthPass, "pw");
  EXPECT_EQ(e.RealBasePos, (TOrvTime(dir.path(), clock).RealBasePos));
  EXPECT_EQ(e.RealLastOffset, 0);

  // Every file of the set is served at its own address plus the product version.
  IniFile ini(clockSide.folder.File("httpctrl.cfg"));
  for (const char* key : {"HttpCtrl", "UrlList", "MrList"}) {
    const std::string url = ini.ReadString("GeneralSettingUpdate", key, "");
    ASSERT_TRUE(url.starts_with(base)) << url;
    auto r = client->Get(url.substr(base.size()) + ".3.0");
    ASSERT_TRUE(r) << key;
    EXPECT_EQ(r->status, 200) << key;
    EXPECT_FALSE(r->body.empty()) << key;
  }
  const std::string stamp = ini.ReadString("GeneralSettingUpdate", "stamp", "");
  ASSERT_EQ(stamp.size(), 9u);
  EXPECT_NE(stamp, "000000000");

  EXPECT_EQ(client->Get("/cfg/httpctrl.cfg.3.0")->body, first->body);  // no change, same stamp
  AddServer("Elmo", "ELM");
  auto second = client->Get("/cfg/httpctrl.cfg.3.0");
  ClockSide after(second->body);
  EXPECT_EQ(after.engine->ServerSignature(), "DPE");
  IniFile ini2(after.folder.File("httpctrl.cfg"));
  EXPECT_NE(ini2.ReadString("GeneralSettingUpdate", "stamp", ""), stamp);
}

TEST_F(HttpTest, MaintenancePageHasFourteenLinesAtTheClocksColumns) {
  Maintenance m;
  m.regularWeekday = 3;
  m.regularStartSec = 10 * 3600;
  m.regularEndSec = 15 * 3600 + 30 * 60;
  m.slots[1] = {true, AtMs(2026, 12, 24, 0, 0), 9 * 3600, 12 * 3600 + 15 * 60 + 30, "緊急メンテナンス"};
  m.sntp1 = "127.0.0.1";
  m.sntp2 = "ntp.example";
  m.sntpTimeoutMs = 1500;
  std::string error;
  ASSERT_TRUE(store->SetMaintenance(m, &error)) << error;
  Start();
  auto res = client->Get("/maintenance.txt");
  ASSERT_TRUE(res && res->status == 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=Shift_JIS");
  const auto lines = Lines(StripTagsLikeTheClock(res->body));
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(Field(lines[0], 1, 1), "3");
  EXPECT_EQ(Field(lines[0], 3, 8), "10:00:00");
  EXPECT_EQ(Field(lines[0], 12, 8), "15:30:00");
  EXPECT_EQ(Cp932ToUtf8(lines[0].substr(20)), "定期メンテナンス");
  EXPECT_EQ(Field(lines[2], 1, 10), "2026/12/24");
  EXPECT_EQ(Field(lines[2], 12, 8), "09:00:00");
  EXPECT_EQ(Field(lines[2], 21, 8), "12:15:30");
  EXPECT_EQ(Cp932ToUtf8(lines[2].substr(29)), "緊急メンテナンス");
  // An unused slot is a valid, empty window in the past: never in progress, never planned.
  for (int i : {1, 3, 10}) {
    TDateTime d;
    EXPECT_TRUE(ParseIniDateTime(Field(lines[i], 1, 10), d)) << i;
    EXPECT_EQ(Field(lines[i], 12, 8), Field(lines[i], 21, 8)) << i;
  }
  EXPECT_EQ(lines[11], "127.0.0.1");
  EXPECT_EQ(lines[12], "ntp.example");
  EXPECT_EQ(lines[13], "1500");
}

TEST_F(HttpTest, StatusAndVersionFilesAtTheirColumns) {
  AddServer("Diana", "DIA");
  AddServer("森の国", "森");
  std::string error;
  ASSERT_TRUE(store->SetStatus("diana", 1, 12, -3, &error)) << error;
  EXPECT_FALSE(store->SetStatus("Nobody", 2, 0, 0, &error));
  Start();
  clock.Set(FromMs(AtMs(2026, 12, 11, 20, 5, 9)));

  auto status = client->Get("/status.txt");
  ASSERT_TRUE(status && status->status == 200);
  const auto lines = Lines(status->body);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "2026/12/11 20:05:09");  // produced now, so it is never stale
  EXPECT_EQ(lines[1], "2");
  const struct {
    const char* name;
    const char* state;
    const char* c3;
    const char* c4;
  } want[] = {{"Diana", "1", "12", "-3"}, {"森の国", "2", "0", "0"}};
  for (int i = 0; i < 2; ++i) {
    auto trimmed = [](std::string s) {
      s.erase(0, s.find_first_not_of(' '));
      s.erase(s.find_last_not_of(' ') + 1);
      return s;
    };
    const std::string& l = lines[2 + i];
    EXPECT_EQ(Cp932ToUtf8(trimmed(Field(l, 1, 8))), want[i].name);
    EXPECT_EQ(trimmed(Field(l, 26, 8)), want[i].state);
    EXPECT_EQ(trimmed(Field(l, 35, 8)), want[i].c3);
    EXPECT_EQ(trimmed(Field(l, 44, 8)), want[i].c4);
  }

  EXPECT_EQ(client->Get("/version.txt")->status, 404);  // nothing published yet
  EXPECT_EQ(client->Get("/upgrade.txt")->status, 404);
  LatestVersion v;
  v.v = {1, 2, 3, 4};
  v.year = 2008;
  v.month = 6;
  v.day = 19;
  v.url = "x";
  v.installer = "http://127.0.0.1/setup.exe";
  ASSERT_TRUE(store->PublishVersion(v, &error)) << error;
  EXPECT_EQ(client->Get("/version.txt")->body, "0001.0002.0003.0004 2008/06/19 x");
  EXPECT_EQ(client->Get("/upgrade.txt")->body, "http://127.0.0.1/setup.exe\r\n");
}

// Readers on several connections while the base changes: every page shows one whole update
// (base and game minute from the same change), never a mix.
TEST_F(HttpTest, ConcurrentReadersSeeWholeUpdates) {
  AddServer("Diana", "DIA");
  const int64_t base0 = AtMs(2026, 12, 11, 19, 0, 0);
  std::string error;
  ASSERT_TRUE(store->SetBase("Diana", base0, 0, 0, 0, base0, &error)) << error;
  Start();
  TOrvTime engine(dir.path(), clock);

  std::atomic<bool> writing{true};
  std::thread writer([&] {
    std::string e;
    for (int i = 1; i <= 200; ++i)
      EXPECT_TRUE(store->SetBase("Diana", base0 + i * 1000, 0, 0, i % 60, base0, &e)) << e;
    writing = false;
  });
  std::atomic<int> pages{0};
  std::vector<std::thread> readers;
  for (int r = 0; r < 3; ++r)
    readers.emplace_back([&] {
      httplib::Client c("127.0.0.1", port);
      do {
        auto res = c.Get("/sync.html");
        ASSERT_TRUE(res && res->status == 200);
        const auto lines = Lines(StripTagsLikeTheClock(res->body));
        const auto header = std::find_if(lines.begin(), lines.end(),
                                         [](const std::string& l) { return l.starts_with("DIA"); });
        ASSERT_NE(header, lines.end());
        const int64_t step = (ToMs(engine.ParseRealBase(*header)) - base0) / 1000;
        EXPECT_EQ(engine.ParseGameBase(*header).Minute, step % 60);
        ++pages;
      } while (writing);
    });
  writer.join();
  for (auto& t : readers) t.join();
  EXPECT_GE(pages.load(), 3);
}

TEST_F(HttpTest, SyncPageFollowsEveryChangeOfTheData) {
  AddServer("Diana", "DIA");
  Start();
  auto page = [&] {
    auto res = client->Get("/sync.html");
    return res && res->status == 200 ? res->body : std::string("no answer");
  };
  const std::string empty = page();
  EXPECT_EQ(page(), empty);  // rendered once, served again

  // A change through this process's own connection.
  std::string error;
  ASSERT_TRUE(store->SetBase("Diana", AtMs(2026, 12, 11, 19, 0, 0, 0), 1, 2, 3, AtMs(2026, 12, 11, 19, 0, 1), &error)) << error;
  const std::string first = page();
  EXPECT_NE(first, empty);
  EXPECT_NE(first.find("DIA"), std::string::npos);

  // A change by another process: another connection to the same database.
  auto other = Store::Open(dir.File("orvclockd.db"), &error);
  ASSERT_TRUE(other) << error;
  ASSERT_TRUE(other->SetBase("Diana", AtMs(2026, 12, 11, 20, 0, 0, 0), 4, 5, 6, AtMs(2026, 12, 11, 20, 0, 1), &error)) << error;
  const std::string second = page();
  EXPECT_NE(second, first);
  EXPECT_NE(second.find("20261211200000"), std::string::npos) << second;
}

TEST_F(HttpTest, TheInstallerIsServedFromTheFilesFolder) {
  std::filesystem::create_directories(dir.File("files"));
  const std::string installer = std::string("MZ\x90\0\x03", 5) + std::string(70000, 'x');
  kw::test::WriteBytes(dir.File("files/kronwel-setup.exe"), installer);
  ServerOptions options;
  options.filesDir = dir.File("files");
  Start(options);
  auto res = client->Get("/files/kronwel-setup.exe");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, installer);
  res = client->Get("/files/../orvclockd.db");
  ASSERT_TRUE(res);
  EXPECT_NE(res->status, 200);
}

TEST_F(HttpTest, UnknownPathsAre404WithAShortText) {
  Start();
  for (const char* path : {"/", "/nothing", "/sync.html/x", "/cfg/httpctrl.cfg", "/update/x"}) {
    auto res = client->Get(path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 404) << path;
    EXPECT_EQ(res->body, "404 Not Found\r\n") << path;
  }
}

}  // namespace
}  // namespace kw::server::test
