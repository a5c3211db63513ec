// Half-width to full-width conversion of Shift-JIS text.
#include <gtest/gtest.h>

#include "clock/face/henkanj.h"
#include "common/cp932.h"

namespace kw {
namespace {

std::string Sjis(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp932(utf8, out)) << utf8;
  return out;
}

TEST(ToFullWidth, Table) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"diana", "ｄｉａｎａ"},
      {"Z9a0", "Ｚ９ａ０"},
      {"ﾊﾟﾝ", "パン"},
      {"ｶﾞｷﾞ", "ガギ"},
      {"ｱﾞ", "ア゛"},           // ｱ takes no voicing mark
      {"ﾏﾟ", "マ゜"},
      {"ｶﾟ", "カ゜"},           // only ﾊ..ﾎ have a ﾟ form
      {"ｦｧｯｬﾜﾝ", "ヲァッャワン"},
      {"ﾄﾞﾎﾞﾎﾟ", "ドボポ"},
      {" !\"#$%&'()=`|-^\\~{@[+*};:]<>?_,./", "　！”＃＄％＆’（）＝‘｜－＾￥￣｛＠［＋＊｝；：］＜＞？＿，．／"},
      {"｡｢｣､･ｰﾞﾟ", "｡｢｣､･ｰﾞﾟ"},  // copied as they are
      {"漢字ﾃｽﾄ", "漢字テスト"},
      {"\t\n", "\t\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Cp932ToUtf8(ToFullWidth(Sjis(c.in))), c.out) << c.in;
  // A lead byte at the very end is copied alone.
  EXPECT_EQ(ToFullWidth(std::string("a\x82", 2)), std::string("\x82\x81\x82", 3));
}

}  // namespace
}  // namespace kw
