#include "common/cp932.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(Cp932, RoundTripsJapaneseText) {
  const std::string text = "標準設定 ｱﾗｰﾑ ～①Ⅱ㈱ abc";
  std::string bytes;
  ASSERT_TRUE(Utf8ToCp932(text, bytes));
  EXPECT_EQ(bytes.substr(0, 8), "\x95\x57\x8f\x80\x90\xdd\x92\xe8");
  EXPECT_EQ(Cp932ToUtf8(bytes), text);
}

TEST(Cp932, LinuxCodePointsMapToTheWindowsOnes) {
  struct Case {
    const char* linux;
    const char* windows;
  } cases[] = {{"〜", "～"}, {"−", "－"}, {"‖", "∥"}, {"—", "―"}, {"¢", "￠"}, {"£", "￡"}, {"¬", "￢"}};
  for (const Case& c : cases) {
    std::string a, b;
    EXPECT_TRUE(Utf8ToCp932(c.linux, a)) << c.linux;
    ASSERT_TRUE(Utf8ToCp932(c.windows, b));
    EXPECT_EQ(a, b) << c.linux;
  }
}

TEST(Cp932, UnrepresentableTextIsReportedNotDropped) {
  std::string out;
  EXPECT_FALSE(Utf8ToCp932("a😀b€c", out));
  EXPECT_EQ(out, "a?b?c");
}

TEST(Cp932, DamagedBytesDecodeAroundTheDamage) {
  // 0xA0 and 0xFD are not CP932; a lead byte at the end has no trail byte.
  EXPECT_EQ(Cp932ToUtf8("a\xA0" "b\xFD" "c\x82"), "a\uFFFDb\uFFFDc\uFFFD");
}

TEST(Cp932, DecodeTextFileTellsTheEncodingApart) {
  std::string cp932;
  ASSERT_TRUE(Utf8ToCp932("名前=標準設定", cp932));
  EXPECT_EQ(DecodeTextFile(cp932), "名前=標準設定");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "名前=標準設定"), "名前=標準設定");
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBF" "a\x8d\x94]"), "a\uFFFD\uFFFD]");  // damaged after the mark
  // Saved by a Linux editor without a byte order mark.
  EXPECT_EQ(DecodeTextFile("スキン=標準設定"), "スキン=標準設定");
}

TEST(Cp932, SplitsUtf8IntoCharacters) {
  EXPECT_EQ(SplitUtf8Chars("D冥x"), (std::vector<std::string>{"D", "冥", "x"}));
  EXPECT_TRUE(SplitUtf8Chars("").empty());
  EXPECT_TRUE(IsUtf8("冥"));
  EXPECT_FALSE(IsUtf8("\xE5\x86"));
}

}  // namespace
}  // namespace kw
