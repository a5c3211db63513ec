// The real orvclockd demo process: it prints its address, writes the clock's program folder,
// serves, and ends cleanly on SIGTERM, as scripts/run.sh relies on.
#include <gtest/gtest.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "clock/engine/u_orvtime.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace kw::server::test {
namespace {

TEST(DemoProcess, ServesTheProgramFolderItWroteAndStopsOnSigterm) {
  kw::test::TempDir dir;
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string folder = dir.File("demo");
  const char* argv[] = {ORVCLOCKD, "demo", "--dir", folder.c_str(), "--port", "0", nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, ORVCLOCKD, &actions, nullptr, const_cast<char**>(argv), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);

  // The first line names the address.
  FILE* f = fdopen(out[0], "r");
  char line[256] = {};
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  const std::string prefix = "orvclockd listening on http://127.0.0.1:";
  ASSERT_TRUE(std::string(line).starts_with(prefix)) << line;
  const int port = std::stoi(std::string(line).substr(prefix.size()));

  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/sync.html");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);

  ManualClock clock;
  TOrvTime engine(folder + "/kronwel", clock);
  EXPECT_EQ(engine.ServerSignature(), "DPE");
  EXPECT_EQ(engine.SyncURL[0], "http://127.0.0.1:" + std::to_string(port) + "/sync.html");

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  pid_t done = 0;
  for (int i = 0; i < 1000 && done == 0; ++i) {  // up to 10 s, then it counts as hung
    done = waitpid(pid, &status, WNOHANG);
    if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "orvclockd did not stop on SIGTERM";
  }
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  fclose(f);
}

}  // namespace
}  // namespace kw::server::test
