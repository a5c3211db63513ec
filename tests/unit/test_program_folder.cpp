#include "common/program_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFolder, ChosenInOrder) {
  test::TempDir dir;
  const fs::path root = dir.path();
  const fs::path portable = root / "portable";
  fs::create_directories(portable / "skins");
  const fs::path installed = root / "usr" / "bin";
  fs::create_directories(installed);
  fs::create_directories(root / "usr" / "share" / "kronwel" / "skins");
  test::WriteBytes((root / "usr" / "share" / "kronwel" / "skins" / "a.skn").string(), "shipped");
  test::WriteBytes((root / "usr" / "share" / "kronwel" / "eventsys.cfg").string(), "shipped");

  ProgramFolderEnv env;
  env.home = (root / "home").string();

  env.kronwelHome = (root / "home-override").string();
  env.exeDir = portable.string();
  EXPECT_EQ(ResolveProgramFolder(env), env.kronwelHome);
  EXPECT_TRUE(fs::is_directory(env.kronwelHome));

  env.kronwelHome.clear();
  EXPECT_EQ(ResolveProgramFolder(env), portable.string());

  // Installed: the user's data folder, seeded without overwriting what the user has.
  env.exeDir = installed.string();
  const fs::path user = root / "home" / ".local" / "share" / "kronwel";
  fs::create_directories(user);
  test::WriteBytes((user / "eventsys.cfg").string(), "mine");
  EXPECT_EQ(ResolveProgramFolder(env), user.string());
  EXPECT_EQ(test::ReadFile((user / "skins" / "a.skn").string()), "shipped");
  EXPECT_EQ(test::ReadFile((user / "eventsys.cfg").string()), "mine");

  env.xdgDataHome = (root / "xdg").string();
  EXPECT_EQ(ResolveProgramFolder(env), (root / "xdg" / "kronwel").string());
}

TEST(ProgramFolder, UncreatableFolderIsAnError) {
  test::TempDir dir;
  test::WriteBytes(dir.File("file"), "x");
  ProgramFolderEnv env;
  env.kronwelHome = dir.File("file") + "/sub";
  std::string error;
  EXPECT_EQ(ResolveProgramFolder(env, &error), "");
  EXPECT_NE(error.find("sub"), std::string::npos);
}

}  // namespace
}  // namespace kw
