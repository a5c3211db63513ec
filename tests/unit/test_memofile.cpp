#include "memo/u_memofile.h"

#include <filesystem>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "common/clock.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < file.size()) {
    size_t end = file.find("\r\n", start);
    if (end == std::string::npos) end = file.size();
    lines.push_back(file.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

TEST(MemoLine, EncodesBytesBackwardsShiftedByTheKey) {
  struct Case {
    std::string bytes;
    uint8_t key;
    std::string line;
  } cases[] = {
      {"abc", 1, "64636201"},
      {"", 0x3A, "3A"},
      {"\xFF", 1, "0001"},        // the shift wraps around
      {std::string(1, '\0'), 0xFF, "FFFF"},
      {"\xAB\x0C", 0, "0CAB00"},  // upper case, two digits each
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeLine(c.bytes, c.key), c.line) << c.line;
}

TEST(MemoLine, Decodes) {
  struct Case {
    std::string line;
    bool ok;
    std::string bytes;
  } cases[] = {
      {"", true, ""},
      {"3A", true, ""},           // an empty text as written
      {"A", true, ""},
      {"zz", true, ""},           // too short to be read at all
      {"ABC", true, ""},
      {"AB\r", true, ""},
      {"64636201", true, "abc"},
      {"64636201\r", true, "abc"},
      {"6a01", true, "i"},        // lower case
      {"646362X01", true, "abc"},  // odd length: the character before the key is not read
      {"41X01", true, "@"},
      {"0001", true, "\xFF"},
      {"ABCD", true, "\xDE"},
      {"64G36201", false, ""},
      {"6463620G", false, ""},    // the key
      {"+101", false, ""},        // no signs, spaces or prefixes
      {" 101", false, ""},
      {"0x01", false, ""},
      {"64\n36201", false, ""},
      {"64636201\r\r", false, ""},  // only one carriage return belongs to the line end
  };
  for (const Case& c : cases) {
    std::string bytes = "left over";
    EXPECT_EQ(DecodeLine(c.line, bytes), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(bytes, c.bytes) << c.line;
    }
  }
}

TEST(MemoLine, EveryByteWithEveryKeyDecodesBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  for (int k = 0; k < 256; ++k) {
    const std::string line = EncodeLine(all, static_cast<uint8_t>(k));
    ASSERT_EQ(line.size(), 2 * all.size() + 2);
    std::string back;
    ASSERT_TRUE(DecodeLine(line, back)) << k;
    ASSERT_EQ(back, all) << k;
  }
}

TEST(MemoText, CP932WhereItFitsUtf8WithAMarkWhereItDoesNot) {
  EXPECT_EQ(MemoTextToBytes("メモ\r\nabc"), "\x83\x81\x83\x82\r\nabc");
  EXPECT_EQ(MemoTextToBytes("メモ😀"), "\xEF\xBB\xBF" "メモ😀");
  EXPECT_EQ(MemoTextToBytes(""), "");

  EXPECT_EQ(MemoBytesToText("\x83\x81\x83\x82\r\nabc"), "メモ\r\nabc");
  EXPECT_EQ(MemoBytesToText("\xEF\xBB\xBF" "メモ😀"), "メモ😀");
  EXPECT_EQ(MemoBytesToText("\xEF\xBB\xBF"), "");
  // Not UTF-8 after the mark: read as CP932.
  EXPECT_EQ(MemoBytesToText("\xEF\xBB\xBF\x83\x81\x83\x82"), "メモ");
  // Linux input-method characters are kept as the Windows code points.
  EXPECT_EQ(MemoBytesToText(MemoTextToBytes("〜")), "～");
}

class MemoFile : public ::testing::Test {
 protected:
  std::string Saved(const std::vector<ANotalu>& memos) {
    std::string error;
    EXPECT_TRUE(SaveMemos(path, memos, key, &error)) << error;
    return test::ReadFile(path);
  }

  test::TempDir dir;
  std::string path = dir.File("kronwel.ntm");
  ManualClock clock{test::At(2024, 5, 6, 7, 8, 9)};
  std::mt19937 random{12345};
  std::function<uint8_t()> key = [this] { return static_cast<uint8_t>(random()); };

  const std::vector<ANotalu> memos = {
      {"買い物", "牛乳\r\n卵\r\n\tパン ①Ⅱ～"},
      {"emoji 😀", "line one\nline two\r\n\r\n"},
      {"", "no title"},
      {"no body", ""},
      {"", ""},
  };
};

TEST_F(MemoFile, TextsSurviveSaveAndLoad) {
  const std::string file = Saved(memos);
  const MemoLoad load = LoadMemos(path, clock);
  EXPECT_FALSE(load.damaged);
  EXPECT_EQ(load.memos, memos);

  // Two CRLF-terminated lines per memo, upper-case hexadecimal only.
  ASSERT_GE(file.size(), 2u);
  EXPECT_EQ(file.substr(file.size() - 2), "\r\n");
  const std::vector<std::string> lines = Lines(file);
  ASSERT_EQ(lines.size(), 2 * memos.size());
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos) << line;
  }
  EXPECT_EQ(lines[4].size(), 2u);  // the empty title is its key alone

  // Japanese text is stored as CP932, as the Windows program reads it.
  std::string title;
  ASSERT_TRUE(DecodeLine(lines[0], title));
  EXPECT_EQ(title, "\x94\x83\x82\xA2\x95\xA8");
}

TEST_F(MemoFile, EveryLineHasItsOwnKey) {
  uint8_t next = 0xFE;
  key = [&next] { return next++; };
  const std::vector<std::string> lines = Lines(Saved({{"a", "b"}, {"c", "d"}}));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "5FFE");  // 'a' + 0xFE wraps to 0x5F
  EXPECT_EQ(lines[1], "61FF");
  EXPECT_EQ(lines[2], "6300");
  EXPECT_EQ(lines[3], "6501");
}

TEST_F(MemoFile, SavingTwiceGivesOtherBytesForTheSameMemos) {
  const std::string first = Saved(memos);
  const std::string second = Saved(memos);
  EXPECT_NE(first, second);
  EXPECT_EQ(LoadMemos(path, clock).memos, memos);
  test::WriteBytes(path, first);
  EXPECT_EQ(LoadMemos(path, clock).memos, memos);
}

TEST_F(MemoFile, ReadsTheWindowsProgramsFile) {
  // Written by hand as the Windows program does: CP932 bytes, CRLF line ends.
  const std::string file = EncodeLine("\x83\x81\x83\x82", 0x9C) + "\r\n" +          // メモ
                           EncodeLine("\x8E\x9E\x8C\x76\r\n\x82\xA0", 0x05) + "\r\n" +  // 時計 / あ
                           EncodeLine("\x81\x60", 0xFF) + "\r\n" +                   // ～
                           EncodeLine("", 0x00) + "\r\n";
  test::WriteBytes(path, file);
  const MemoLoad load = LoadMemos(path, clock);
  EXPECT_FALSE(load.damaged);
  EXPECT_EQ(load.memos, (std::vector<ANotalu>{{"メモ", "時計\r\nあ"}, {"～", ""}}));
}

TEST_F(MemoFile, LineEndsAndOddLineCounts) {
  const std::string a = EncodeLine("a", 7), b = EncodeLine("b", 8), c = EncodeLine("c", 9);
  struct Case {
    std::string file;
    std::vector<ANotalu> memos;
  } cases[] = {
      {a + "\r\n" + b + "\r\n" + c + "\r\n", {{"a", "b"}, {"c", ""}}},
      {a + "\n" + b + "\n" + c, {{"a", "b"}, {"c", ""}}},  // LF only, no final line end
      {a + "\r\n" + b, {{"a", "b"}}},
      {a + "\n" + "\r\n" + b + "\n", {{"a", ""}, {"b", ""}}},  // an empty line is an empty text
      {a + "\r\r\n" + b + "\r\n", {{"a", "b"}}},  // a stray carriage return before the line end
      {"\r\n", {{"", ""}}},
      {"", {}},
  };
  for (const Case& c : cases) {
    test::WriteBytes(path, c.file);
    const MemoLoad load = LoadMemos(path, clock);
    EXPECT_FALSE(load.damaged) << c.file;
    EXPECT_EQ(load.memos, c.memos) << c.file;
  }
}

TEST_F(MemoFile, NoFileIsNoMemos) {
  const MemoLoad load = LoadMemos(path, clock);
  EXPECT_TRUE(load.memos.empty());
  EXPECT_FALSE(load.damaged);
  EXPECT_TRUE(load.backupPath.empty());
}

TEST_F(MemoFile, DamagedMemosAreLeftOutAndTheFileKept) {
  const std::string file = EncodeLine("one", 1) + "\r\n" + EncodeLine("1", 2) + "\r\n" +
                           "41G201\r\n" + EncodeLine("lost body", 3) + "\r\n" +  // bad title
                           EncodeLine("lost title", 4) + "\r\n" + "ZZZZ\r\n" +    // bad body
                           EncodeLine("three", 5) + "\r\n" + EncodeLine("3", 6) + "\r\n";
  test::WriteBytes(path, file);
  const MemoLoad load = LoadMemos(path, clock);
  EXPECT_TRUE(load.damaged);
  EXPECT_EQ(load.memos, (std::vector<ANotalu>{{"one", "1"}, {"three", "3"}}));
  EXPECT_EQ(load.backupPath, path + ".20240506-070809.bak");
  EXPECT_EQ(test::ReadFile(load.backupPath), file);
  EXPECT_EQ(test::ReadFile(path), file);

  // Loading again in the same second keeps the first backup.
  const MemoLoad again = LoadMemos(path, clock);
  EXPECT_EQ(again.backupPath, path + ".20240506-070809.bak-2");
  EXPECT_EQ(test::ReadFile(again.backupPath), file);
  EXPECT_TRUE(fs::exists(load.backupPath));
  EXPECT_EQ(LoadMemos(path, clock).backupPath, path + ".20240506-070809.bak-3");
}

TEST_F(MemoFile, AnUnreadableFileIsNotAnEmptyMemoPad) {
  fs::create_directory(path);
  const MemoLoad load = LoadMemos(path, clock);
  EXPECT_TRUE(load.memos.empty());
  EXPECT_TRUE(load.damaged);
}

TEST_F(MemoFile, AFailedSaveKeepsTheOldFile) {
  const std::string old = Saved(memos);
  fs::create_directory(path + ".tmp");
  std::string error;
  EXPECT_FALSE(SaveMemos(path, {{"new", "memo"}}, key, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(test::ReadFile(path), old);
  EXPECT_EQ(LoadMemos(path, clock).memos, memos);
}

}  // namespace
}  // namespace kw
