#include "common/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/cp932.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteBytes;
using test::WriteWindowsFile;

class IniFileTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string path = dir.File("kronwel.ini");
};

TEST_F(IniFileTest, WindowsProfileRulesForReading) {
  WriteWindowsFile(path,
                   "[Window]\n"
                   "CurrentSkinName = 標準設定 \n"
                   "Quoted=\" padded \"\n"
                   "Single='x'\n"
                   "Unpaired=\"x\n"
                   "Dup=first\n"
                   "DUP=second\n"
                   "Empty=\n"
                   "[window]\n"
                   "Later=yes\n");
  const IniFile ini(path);
  EXPECT_EQ(ini.ReadString("WINDOW", "currentskinname", "-"), "標準設定");
  EXPECT_EQ(ini.ReadString("Window", "Quoted", "-"), " padded ");
  EXPECT_EQ(ini.ReadString("Window", "Single", "-"), "x");
  EXPECT_EQ(ini.ReadString("Window", "Unpaired", "-"), "\"x");
  EXPECT_EQ(ini.ReadString("Window", "Dup", "-"), "first");
  EXPECT_EQ(ini.ReadString("Window", "Empty", "-"), "");
  EXPECT_EQ(ini.ReadString("Window", "Later", "-"), "yes");
  EXPECT_EQ(ini.ReadString("Window", "Missing", "default"), "default");
  EXPECT_EQ(ini.ReadString("Nowhere", "Dup", "default"), "default");
  EXPECT_TRUE(ini.ValueExists("window", "EMPTY"));
  EXPECT_TRUE(ini.SectionExists("WINDOW"));
  EXPECT_FALSE(ini.SectionExists("Nowhere"));
}

TEST_F(IniFileTest, NumbersThatDoNotParseTakeTheDefault) {
  struct Case {
    const char* text;
    int32_t integer;
    bool boolean;  // read with default true
  } cases[] = {
      {"42", 42, true},        {" -7 ", -7, true},         {"+5", 5, true},
      {"0", 0, false},         {"$1F", 31, true},          {"0x10", 16, true},
      {"$FFFFFFFF", -1, true}, {"12abc", -99, true},       {"abc", -99, true},
      {"", -99, true},         {"true", -99, true},        {"2147483648", -99, true},
      {"-2147483648", INT32_MIN, true}, {"1.5", -99, true}, {"--1", -99, true},
  };
  for (const Case& c : cases) {
    WriteBytes(path, std::string("[S]\r\nK=") + c.text + "\r\n");
    const IniFile ini(path);
    EXPECT_EQ(ini.ReadInteger("S", "K", -99), c.integer) << c.text;
    EXPECT_EQ(ini.ReadBool("S", "K", true), c.boolean) << c.text;
  }
}

TEST_F(IniFileTest, FloatsAndDateTimes) {
  WriteBytes(path,
             "[S]\r\nWin=1.15740740740741E-5\r\nNeg=-0.5\r\nBad=1,5\r\nInf=inf\r\n"
             "When=2026/12/11 20:05:09\r\nDay=2026/12/11\r\nNotWhen=later\r\n");
  const IniFile ini(path);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "Win", 9), 1.15740740740741E-5);
  EXPECT_EQ(ini.ReadFloat("S", "Neg", 9), -0.5);
  EXPECT_EQ(ini.ReadFloat("S", "Bad", 9), 9);
  EXPECT_EQ(ini.ReadFloat("S", "Inf", 9), 9);
  TDateTime when, day;
  ASSERT_TRUE(TryEncodeDateTime({2026, 12, 11, 20, 5, 9, 0}, when));
  ASSERT_TRUE(TryEncodeDate(2026, 12, 11, day));
  EXPECT_EQ(ini.ReadDateTime("S", "When", 0), when);
  EXPECT_EQ(ini.ReadDateTime("S", "Day", 0), day);
  EXPECT_EQ(ini.ReadDateTime("S", "NotWhen", 7), 7);
}

TEST_F(IniFileTest, WhatWeWriteReadsBackUnchanged) {
  const double offset = 1.0 / 86400000 * 1234.5;
  {
    IniFile ini(path);
    ini.WriteString("Sound", "UcAlarm", " spaced file.wav ");
    ini.WriteString("Sound", "Quoted", "\"in quotes\"");
    ini.WriteString("Sound", "Lines", "one\r\ntwo");
    ini.WriteString("Window", "CurrentSkinName", "標準設定");
    ini.WriteInteger("Window", "FLeft", -120);
    ini.WriteBool("Window", "PosLock", true);
    ini.WriteFloat("SubClockSystem", "TimeAdjustOffset", offset);
    ini.WriteDateTime("Network", "LastSync", 46000.25);
    ASSERT_TRUE(ini.Flush());
  }
  const IniFile ini(path);
  EXPECT_EQ(ini.ReadString("Sound", "UcAlarm", ""), " spaced file.wav ");
  EXPECT_EQ(ini.ReadString("Sound", "Quoted", ""), "\"in quotes\"");
  EXPECT_EQ(ini.ReadString("Sound", "Lines", ""), "one  two");
  EXPECT_EQ(ini.ReadString("Window", "CurrentSkinName", ""), "標準設定");
  EXPECT_EQ(ini.ReadInteger("Window", "FLeft", 0), -120);
  EXPECT_TRUE(ini.ReadBool("Window", "PosLock", false));
  EXPECT_EQ(ini.ReadFloat("SubClockSystem", "TimeAdjustOffset", 0), offset);
  EXPECT_EQ(ini.ReadDateTime("Network", "LastSync", 0), 46000.25);

  // On disk: CP932 with CRLF, readable only by the user (it holds proxy credentials).
  const std::string bytes = ReadFile(path);
  std::string skin;
  ASSERT_TRUE(Utf8ToCp932("CurrentSkinName=標準設定\r\n", skin));
  EXPECT_NE(bytes.find(skin), std::string::npos);
  EXPECT_NE(bytes.find("PosLock=1\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("LastSync=2025/12/09 06:00:00\r\n"), std::string::npos);
  EXPECT_EQ(bytes.find("\n\n"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IniFileTest, ChangesAreSeenAtOnceAndReachTheDiskOnlyOnFlush) {
  WriteBytes(path, "[A]\r\nKeep=1\r\nGone=1\r\n[B]\r\nX=1\r\n[C]\r\nY=1\r\n");
  IniFile ini(path);
  ini.DeleteKey("a", "GONE");
  ini.EraseSection("B");
  ini.WriteInteger("B", "New", 2);
  ini.WriteInteger("c", "y", 3);
  EXPECT_FALSE(ini.ValueExists("A", "Gone"));
  EXPECT_FALSE(ini.ValueExists("B", "X"));
  EXPECT_EQ(ini.ReadInteger("C", "Y", 0), 3);
  EXPECT_TRUE(ini.HasPendingChanges());
  EXPECT_EQ(IniFile(path).ReadInteger("A", "Gone", 0), 1);

  ASSERT_TRUE(ini.Flush());
  EXPECT_FALSE(ini.HasPendingChanges());
  const IniFile again(path);
  EXPECT_EQ(again.ReadInteger("A", "Keep", 0), 1);
  EXPECT_FALSE(again.ValueExists("A", "Gone"));
  EXPECT_FALSE(again.ValueExists("B", "X"));
  EXPECT_EQ(again.ReadInteger("B", "New", 0), 2);
  EXPECT_EQ(again.ReadInteger("C", "Y", 0), 3);
}

TEST_F(IniFileTest, FlushKeepsWhatOthersWroteMeanwhile) {
  WriteBytes(path, "[Notalu]\r\nPosL=1\r\n[Window]\r\nFLeft=1\r\n");
  IniFile clock(path);
  IniFile memo(path);
  memo.WriteInteger("Notalu", "PosL", 2);
  ASSERT_TRUE(memo.Flush());
  clock.WriteInteger("Window", "FLeft", 3);
  ASSERT_TRUE(clock.Flush());
  EXPECT_EQ(clock.ReadInteger("Notalu", "PosL", 0), 2);  // refreshed by the flush
  const IniFile disk(path);
  EXPECT_EQ(disk.ReadInteger("Notalu", "PosL", 0), 2);
  EXPECT_EQ(disk.ReadInteger("Window", "FLeft", 0), 3);
}

TEST_F(IniFileTest, BadFilesReadAsWhatCanBeRead) {
  const IniFile missing(dir.File("none.ini"));
  EXPECT_EQ(missing.ReadInteger("S", "K", 5), 5);

  WriteBytes(path, "");
  EXPECT_EQ(IniFile(path).ReadString("S", "K", "d"), "d");

  // Cut off in the middle of a key, a section header and a multi-byte character.
  WriteBytes(path, "[S]\r\nA=1\r\nB=2\r\n[T");
  EXPECT_EQ(IniFile(path).ReadInteger("S", "B", 0), 2);
  WriteBytes(path, "[S]\r\nA=1\r\nName=\x95");
  EXPECT_EQ(IniFile(path).ReadInteger("S", "A", 0), 1);
  EXPECT_EQ(IniFile(path).ReadString("S", "Name", ""), "\uFFFD");

  // A line of 100 KB, and binary rubbish around good lines.
  const std::string big(100 * 1024, 'x');
  WriteBytes(path, "[S]\r\nBig=" + big + "\r\n\x01\xff\xfe garbage\r\nAfter=7\r\n");
  const IniFile ini(path);
  EXPECT_EQ(ini.ReadString("S", "Big", ""), big);
  EXPECT_EQ(ini.ReadInteger("S", "After", 0), 7);
}

TEST_F(IniFileTest, TextThatCp932CannotHoldIsLogged) {
  test::MemoryLog log;
  IniFile ini(path, &log);
  ini.WriteString("Notalu", "Title", "memo 😀");
  ASSERT_TRUE(ini.Flush());
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("Notalu/Title"), std::string::npos);
  EXPECT_EQ(IniFile(path).ReadString("Notalu", "Title", ""), "memo ?");
}

TEST_F(IniFileTest, ALinkedSettingsFileStaysALink) {
  namespace fs = std::filesystem;
  fs::create_directory(dir.File("dotfiles"));
  WriteBytes(dir.File("dotfiles/kronwel.ini"), "[Network]\r\nAutoSync=0\r\n");
  fs::create_symlink("dotfiles/kronwel.ini", path);
  IniFile ini(path);
  ini.WriteInteger("Window", "FMode", 2);
  ASSERT_TRUE(ini.Flush());
  EXPECT_TRUE(fs::is_symlink(path));
  const IniFile target(dir.File("dotfiles/kronwel.ini"));
  EXPECT_EQ(target.ReadInteger("Window", "FMode", 0), 2);
  EXPECT_EQ(target.ReadInteger("Network", "AutoSync", 1), 0);
}

}  // namespace
}  // namespace kw
