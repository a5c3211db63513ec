#include "clock/window/u_debuglog.h"

#include <filesystem>

#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;
using test::ReadFile;

TEST(DebugLogDateTime, WindowsJapaneseLongForm) {
  struct Case {
    TDateTime t;
    const char* text;
  };
  const Case cases[] = {
      {At(2026, 3, 4), "2026/03/04"},                          // midnight: the date alone
      {At(2026, 3, 4, 9, 5, 3), "2026/03/04 9:05:03"},         // hour without a leading zero
      {At(2026, 12, 31, 23, 59, 59), "2026/12/31 23:59:59"},
      {At(2026, 3, 4, 0, 0, 0, 1), "2026/03/04 0:00:00"},      // 1 ms past midnight keeps the time
      {At(2026, 3, 4, 0, 0, 1), "2026/03/04 0:00:01"},
      {At(2026, 3, 4, 23, 59, 59, 999), "2026/03/04 23:59:59"},  // milliseconds cut, not rounded
      {At(1999, 1, 2, 10, 0), "1999/01/02 10:00:00"},
  };
  for (const Case& c : cases) EXPECT_EQ(DebugLogDateTime(c.t), c.text);
}

class DebugLogFile : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string path = dir.File("debug.log");
  ManualClock clock{At(2026, 3, 4, 9, 5, 3)};
  DebugLog log{clock, path};
};

TEST_F(DebugLogFile, MissingFileIsNeverCreated) {
  EXPECT_FALSE(log.Exists());
  log.Append("text\r");
  log.AppendDebug("debug");
  log.AppendRaw("-----");
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(DebugLogFile, AppendsOneLinePerCallAfterWhatIsThere) {
  test::WriteBytes(path, "earlier\n");
  ASSERT_TRUE(log.Exists());
  log.Append("\003clRed");
  log.Append("text\r");
  log.Append("a\rb\r\r");
  clock.Set(At(2026, 3, 5));
  log.Append("起動しています...\r");
  log.AppendDebug("x\ry\r");
  log.AppendRaw("-----");
  EXPECT_EQ(ReadFile(path),
            "earlier\n"
            "2026/03/04 9:05:03 \003clRed\n"
            "2026/03/04 9:05:03 text \n"
            "2026/03/04 9:05:03 a b  \n"
            "2026/03/05 起動しています... \n"
            "2026/03/05 : x\ry\r\n"
            "-----\n");
}

TEST_F(DebugLogFile, PathThatCannotBeOpenedIsSkipped) {
  std::filesystem::create_directory(path);
  EXPECT_FALSE(log.Exists());
  log.Append("text");
  log.AppendDebug("text");
  log.AppendRaw("text");
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_TRUE(std::filesystem::is_empty(path));
}

TEST_F(DebugLogFile, ReadOnlyFileIsSkipped) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes to read-only files";
  test::WriteBytes(path, "kept\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  log.Append("text");
  log.AppendRaw("text");
  EXPECT_EQ(ReadFile(path), "kept\n");
}

}  // namespace
}  // namespace kw
