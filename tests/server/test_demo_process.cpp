// The real orvclockd demo process: it prints its address, writes the clock's program folder,
// serves, and ends cleanly on SIGTERM, as scripts/run.sh relies on.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>

#include "clock/engine/u_orvtime.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/test_support.h"

namespace kw::server::test {
namespace {

TEST(DemoProcess, ServesTheProgramFolderItWroteAndStopsOnSigterm) {
  kw::test::TempDir dir;
  const std::string folder = dir.File("demo");
  OrvclockdProcess demo({"demo", "--dir", folder, "--port", "0"});
  ASSERT_GT(demo.port(), 0) << demo.firstLine();
  const int port = demo.port();

  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/sync.html");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);

  ManualClock clock;
  TOrvTime engine(folder + "/kronwel", clock);
  EXPECT_EQ(engine.ServerSignature(), "DPE");
  EXPECT_EQ(engine.SyncURL[0], "http://127.0.0.1:" + std::to_string(port) + "/sync.html");

  const int status = demo.Stop(SIGTERM, std::chrono::seconds(10));
  ASSERT_NE(status, -1) << "orvclockd did not stop on SIGTERM";
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace kw::server::test
