// Publishing the read-only resources as static files: the files carry the bytes the server
// answers, a serving orvclockd keeps them current, and a failed write keeps the old file.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "common/file_io.h"
#include "server/cli.h"
#include "server/publish.h"
#include "tests/server/orvclockd_process.h"
#include "tests/server/server_fixture.h"


namespace kw::server::test {
namespace {

const std::string kCfgSuffix = std::string(".") + KRONWEL_VERSION;

std::string Read(const std::string& path) {
  std::string bytes;
  EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
  return bytes;
}

class PublishTest : public ServerTest {
 protected:
  int Cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", dir.File("orvclockd.db")});
    std::ostringstream out;
    err.str("");
    return RunCli(args, out, err, clock);
  }
  void FillState() {
    AddServer("Diana", "DIA");
    AddServer("森の国", "森");
    AddServer("Nobase", "NOB");
    std::string error;
    ASSERT_TRUE(store->SetBase("Diana", AtMs(2026, 12, 11, 19, 58, 7, 42), 0, 6, 0,
                               AtMs(2026, 12, 11, 19, 59, 0), &error)) << error;
    ASSERT_TRUE(store->SetBase("森の国", AtMs(2026, 12, 11, 8, 9, 10, 5), 1, 0, 30,
                               AtMs(2026, 12, 11, 8, 9, 11), &error)) << error;
    ASSERT_TRUE(store->SetStatus("Nobase", 0, 3, 4, &error)) << error;
    Maintenance m;
    m.slots[2] = {true, AtMs(2026, 12, 24, 0, 0), 3600, 7200, "臨時メンテ"};
    ASSERT_TRUE(store->SetMaintenance(m, &error)) << error;
    LatestVersion v{{3, 1, 0, 7}, 2026, 12, 1, "http://dl.example/", "http://dl.example/setup.exe"};
    ASSERT_TRUE(store->PublishVersion(v, &error)) << error;
  }
  std::ostringstream err;
};

TEST_F(PublishTest, PublishedFilesAreTheServersAnswersByteForByte) {
  FillState();
  ServerOptions options;
  options.publish = {"http://clock.example", "alice", "secret"};
  Start(options);
  const std::string folder = dir.File("www");
  ASSERT_EQ(Cli({"publish", "--dir", folder, "--base-url", "http://clock.example", "--update-user",
                 "alice", "--update-pass", "secret"}),
            0)
      << err.str();

  const std::set<std::string> expected = {
      "sync.html", "maintenance.txt", "status.txt", "version.txt", "upgrade.txt",
      "cfg/httpctrl.cfg" + kCfgSuffix, "cfg/urllist.cfg" + kCfgSuffix,
      "cfg/mrlist.cfg" + kCfgSuffix};
  std::set<std::string> found;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
    if (e.is_regular_file() && !e.path().filename().string().starts_with("."))
      found.insert(std::filesystem::relative(e.path(), folder).string());
  EXPECT_EQ(found, expected);

  for (const auto& path : expected) {
    auto res = client->Get("/" + path);
    ASSERT_TRUE(res) << path;
    EXPECT_EQ(res->status, 200) << path;
    EXPECT_EQ(Read(folder + "/" + path), res->body) << path;
    struct stat st {};
    ASSERT_EQ(stat((folder + "/" + path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << path;
  }

  // Without an installer address the server answers 404, so the published copy goes; without
  // any change the other files are not rewritten.
  struct stat before {};
  ASSERT_EQ(stat((folder + "/sync.html").c_str(), &before), 0);
  ASSERT_EQ(Cli({"publish-version", "3.1.0.8", "2026/12/02", "http://dl.example/"}), 0) << err.str();
  ASSERT_EQ(Cli({"publish", "--dir", folder, "--base-url", "http://clock.example", "--update-user",
                 "alice", "--update-pass", "secret"}),
            0)
      << err.str();
  EXPECT_EQ(client->Get("/upgrade.txt")->status, 404);
  EXPECT_FALSE(std::filesystem::exists(folder + "/upgrade.txt"));
  EXPECT_EQ(Read(folder + "/version.txt"), client->Get("/version.txt")->body);
  struct stat after {};
  ASSERT_EQ(stat((folder + "/sync.html").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);

  EXPECT_EQ(Cli({"publish", "--base-url", "http://clock.example"}), 2);  // no --dir
}

TEST_F(PublishTest, AFileThatCannotBeWrittenKeepsItsOldBytesAndTheOthersAreStillWritten) {
  FillState();
  const std::string folder = dir.File("www");
  const PublishOptions options{"http://clock.example", "", ""};
  std::string error;
  ASSERT_TRUE(PublishTo(folder, *store, options, ToMs(clock.Now()), &error)) << error;
  const std::string oldSync = Read(folder + "/sync.html");
  const std::string oldStatus = Read(folder + "/status.txt");

  ASSERT_TRUE(store->SetBase("Diana", AtMs(2026, 12, 11, 19, 59, 0), 2, 3, 4,
                             AtMs(2026, 12, 11, 20, 0), &error)) << error;
  ASSERT_TRUE(store->SetStatus("Diana", 0, 0, 0, &error)) << error;
  std::filesystem::create_directory(folder + "/sync.html.tmp");
  error.clear();
  EXPECT_FALSE(PublishTo(folder, *store, options, ToMs(clock.Now()), &error));
  EXPECT_NE(error.find("sync.html"), std::string::npos) << error;
  EXPECT_EQ(Read(folder + "/sync.html"), oldSync);
  EXPECT_NE(Read(folder + "/status.txt"), oldStatus);

  std::filesystem::remove(folder + "/sync.html.tmp");
  ASSERT_TRUE(PublishTo(folder, *store, options, ToMs(clock.Now()), &error)) << error;
  EXPECT_EQ(Read(folder + "/sync.html"), SyncPage(store->Servers()));
}

// The real process: serve --publish writes the folder before it answers, rewrites it before
// an accepted remote update is answered, and follows admin commands from other processes.
TEST_F(PublishTest, ServingProcessKeepsTheFolderCurrent) {
  ASSERT_EQ(Cli({"add-server", "Diana", "DIA"}), 0) << err.str();
  ASSERT_EQ(Cli({"add-user", "alice", "secret"}), 0) << err.str();
  const std::string folder = dir.File("www");
  const std::string db = dir.File("orvclockd.db");

  OrvclockdProcess server({"--db", db, "serve", "--port", "0", "--publish", folder});
  ASSERT_GT(server.port(), 0) << server.firstLine();
  httplib::Client http("127.0.0.1", server.port());

  const std::string empty = Read(folder + "/sync.html");
  EXPECT_EQ(empty.find("DIA"), std::string::npos);
  EXPECT_EQ(Read(folder + "/cfg/httpctrl.cfg" + kCfgSuffix),
            http.Get("/cfg/httpctrl.cfg" + kCfgSuffix)->body);

  // The process runs on the system clock: a base ten seconds ago is in range.
  const DateTimeParts p = DecodeDateTime(FromMs(ToMs(SystemClock().Now()) - 10000));
  char query[200];
  std::snprintf(query, sizeof query,
                "/update?sv=0&mw=3&mh=12&mn=30&ry=%d&rm=%d&rd=%d&rh=%d&rn=%d&rs=%d&rms=0&upi=1",
                p.year, p.month, p.day, p.hour, p.minute, p.second);
  http.set_basic_auth("alice", "secret");
  auto res = http.Get(query);
  ASSERT_TRUE(res);
  ASSERT_EQ(res->status, 200) << res->body;
  const std::string updated = Read(folder + "/sync.html");
  EXPECT_NE(updated.find("DIA 123003"), std::string::npos) << updated;
  EXPECT_EQ(updated, http.Get("/sync.html")->body);

  // An admin command from another process: the watcher notices the database change.
  ASSERT_EQ(Cli({"add-server", "Pallas", "PAL"}), 0) << err.str();
  ASSERT_EQ(Cli({"set-base", "Pallas", "2026/12/11 19:00:00", "1", "2", "3"}), 0) << err.str();
  std::string now;
  for (int i = 0; i < 200; ++i) {  // up to 10 s
    now = Read(folder + "/sync.html");
    if (now.find("PAL") != std::string::npos) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(now.find("PAL 020301"), std::string::npos) << now;
  EXPECT_EQ(now, http.Get("/sync.html")->body);
}

}  // namespace
}  // namespace kw::server::test
