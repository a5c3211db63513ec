// The real clock server on a free loopback port over a fresh database, a manual clock and an
// HTTP client for it.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>
#include <thread>

#include "common/clock.h"
#include "common/datetime.h"
#include "server/http_server.h"
#include "server/store.h"
#include "tests/support/test_support.h"

namespace kw::server::test {

inline int64_t AtMs(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, ms}, t));
  return ToMs(t);
}

// The clock's tag removal: text between < and > goes, line structure stays.
inline std::string StripTagsLikeTheClock(const std::string& page) {
  std::string out;
  int depth = 0;
  for (char c : page) {
    if (c == '<') ++depth;
    else if (c == '>') --depth;
    else if (depth == 0) out += c;
  }
  return out;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.push_back(cur);
      cur.clear();
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      cur += text[i];
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    store = Store::Open(dir.File("orvclockd.db"), &error);
    ASSERT_TRUE(store) << error;
  }
  void TearDown() override {
    if (server) server->Stop();
    if (thread.joinable()) thread.join();
  }
  void Start(ServerOptions options = {}) {
    server = std::make_unique<ClockServer>(*store, clock, options);
    port = server->Bind("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    thread = std::thread([this] { server->Run(); });
    server->WaitUntilReady();
    client = std::make_unique<httplib::Client>("127.0.0.1", port);
  }
  void AddServer(const std::string& name, const std::string& marker) {
    std::string error;
    ASSERT_TRUE(store->AddServer(name, marker, &error)) << error;
  }

  kw::test::TempDir dir;
  ManualClock clock{FromMs(AtMs(2026, 12, 11, 20, 0))};
  std::unique_ptr<Store> store;
  std::unique_ptr<ClockServer> server;
  std::thread thread;
  int port = 0;
  std::unique_ptr<httplib::Client> client;
};

}  // namespace kw::server::test
