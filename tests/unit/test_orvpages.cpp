#include "clock/engine/u_orvpages.h"

#include <gtest/gtest.h>

#include "clock/engine/u_orvtime.h"
#include "common/cp932.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;

std::string Cp932(std::string_view utf8) {
  std::string out;
  EXPECT_TRUE(Utf8ToCp932(utf8, out));
  return out;
}

TEST(StripTags, RemovesTagsAndMendsLineEnds) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"a<b>c", "ac"},
      {"a<b<c>d>e", "ae"},
      {"a<b", "a"},
      {"a>b", "a>"},          // everything after a stray ">" is dropped
      {"<p>x</p>\ny", "x\r\ny"},
      {"\nx\ny\r\nz", "\nx\r\ny\r\nz"},  // a line feed in the first position stays alone
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TOrvTime::StripTags(c.in), c.out) << c.in;
  // Double-byte text between the tags is kept byte for byte.
  const std::string kanji = Cp932("<b>ディアナ</b>表");
  EXPECT_EQ(TOrvTime::StripTags(kanji), Cp932("ディアナ表"));
}

TEST(SplitPageLines, EveryLineEndCounts) {
  const auto lines = SplitPageLines("a\r\nb\rc\nd\n\re");
  EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "c", "d", "", "e"}));
  EXPECT_TRUE(SplitPageLines("").empty());
  EXPECT_EQ(SplitPageLines("x\r\n").size(), 1u);
}

std::string MaintenancePage(const std::string& firstLine, int slotsSet = 0) {
  std::string page = firstLine + "\r\n";
  for (int i = 1; i <= 10; ++i)
    page += i <= slotsSet ? "2026/12/11 09:00:00 12:00:00 " + Cp932("臨時メンテ") + std::to_string(i) + "\r\n"
                          : "2000/01/01 00:00:00 00:00:00 \r\n";
  return page + "ntp1.example:1123 \r\nntp2.example\r\n1500\r\n";
}

TEST(MaintenancePage, ReadsAllFourteenLines) {
  TMaintenanceInfo m;
  std::string error;
  ASSERT_TRUE(ParseMaintenancePage(MaintenancePage("4 09:30:00 14:45:10 " + Cp932("定期メンテ"), 2), m, error))
      << error;
  EXPECT_EQ(m.RegularMaintWeekday, 4);
  EXPECT_DOUBLE_EQ(m.RegularMaintStart, (9 * 3600 + 30 * 60) / 86400.0);
  EXPECT_DOUBLE_EQ(m.RegularMaintEnd, (14 * 3600 + 45 * 60 + 10) / 86400.0);
  EXPECT_EQ(m.RegularMaintTitle, "定期メンテ");
  EXPECT_EQ(ToMs(m.TempMaintStart[1]), ToMs(At(2026, 12, 11, 9)));
  EXPECT_EQ(ToMs(m.TempMaintEnd[1]), ToMs(At(2026, 12, 11, 12)));
  EXPECT_EQ(m.TempMaintTitle[1], "臨時メンテ2");
  EXPECT_EQ(m.TempMaintTitle[2], "");
  EXPECT_EQ(m.SntpServers[0], "ntp1.example:1123");
  EXPECT_EQ(m.SntpServers[1], "ntp2.example");
  EXPECT_EQ(m.SntpTimeout, 1500);

  // Titles are cut at 256 characters, whole characters.
  const std::string longTitle(300 * 2, '\0');
  std::string kanji;
  for (int i = 0; i < 300; ++i) kanji += Cp932("表");
  ASSERT_TRUE(ParseMaintenancePage(MaintenancePage("3 10:00:00 15:00:00 " + kanji), m, error));
  EXPECT_EQ(SplitUtf8Chars(m.RegularMaintTitle).size(), 256u);

  // An absurd SNTP wait is capped: each query blocks the clock.
  std::string page = MaintenancePage("3 10:00:00 15:00:00 x");
  page.replace(page.rfind("1500"), 4, "999999999");
  ASSERT_TRUE(ParseMaintenancePage(page, m, error));
  EXPECT_EQ(m.SntpTimeout, kMaxSntpTimeoutMs);
}

TEST(MaintenancePage, BrokenPagesChangeNothing) {
  const std::string good = MaintenancePage("3 10:00:00 15:00:00 x");
  std::string shortPage = good.substr(0, good.rfind("1500"));
  std::string badSlot = good;
  badSlot.replace(badSlot.find("2000/01/01"), 10, "2000/13/01");
  const std::string cases[] = {
      "",
      shortPage,                                      // 13 lines
      MaintenancePage("x 10:00:00 15:00:00 title"),  // weekday is not a digit
      MaintenancePage("3 10:00 15:00:00 title"),     // time cut short
      MaintenancePage("3 25:00:00 15:00:00 title"),  // no such hour
      badSlot,
      good.substr(0, good.rfind("1500")) + "soon\r\n",
  };
  for (const std::string& page : cases) {
    TMaintenanceInfo m;
    m.RegularMaintTitle = "kept";
    std::string error;
    EXPECT_FALSE(ParseMaintenancePage(page, m, error)) << page;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(m.RegularMaintTitle, "kept");
  }
}

TEST(StatusFile, ReadsFixedColumns) {
  const std::string file =
      "2026/12/11 19:30:05\r\n3\r\n"
      "diana                           2        5       12\r\n"
      "Pola                            1        0        0\r\n" +
      Cp932("エリス") + "                      2       -1        7\r\n";
  TServersStatus s;
  TDateTime produced = 0;
  std::string error;
  ASSERT_TRUE(ParseServersStatus(file, s, produced, error)) << error;
  EXPECT_TRUE(s.Valid);
  EXPECT_EQ(ToMs(produced), ToMs(At(2026, 12, 11, 19, 30, 5)));
  EXPECT_EQ((std::array{s.Year, s.Month, s.Day, s.Hour, s.Minute, s.Second}),
            (std::array{2026, 12, 11, 19, 30, 5}));
  ASSERT_EQ(s.Count, 3);
  ASSERT_EQ(s.Servers.size(), 3u);
  EXPECT_EQ(s.Servers[0].Name, "diana");
  EXPECT_EQ(s.Servers[0].State, 2);
  EXPECT_EQ(s.Servers[0].Column3, 5);
  EXPECT_EQ(s.Servers[0].Column4, 12);
  EXPECT_EQ(s.Servers[2].Name, "エリス");
  EXPECT_EQ(s.Servers[2].Column3, -1);

  ASSERT_TRUE(ParseServersStatus("2026/12/11 19:30:05\r\n0\r\n", s, produced, error));
  EXPECT_TRUE(s.Valid);
  EXPECT_EQ(s.Count, 0);
}

TEST(StatusFile, BrokenFilesAreNotValid) {
  const std::string cases[] = {
      "",
      "2026/12/11 19:30:05",                              // no count
      "2026/13/11 19:30:05\r\n0\r\n",                     // no such month
      "2026/12/11 19:30\r\n0\r\n",                        // second missing
      "2026/12/11 19:30:05\r\nmany\r\n",
      "2026/12/11 19:30:05\r\n-1\r\n",
      "2026/12/11 19:30:05\r\n2000000000\r\n",            // more servers than lines
      "2026/12/11 19:30:05\r\n1\r\ndiana                           open     5       12\r\n",
  };
  for (const std::string& file : cases) {
    TServersStatus s;
    TDateTime produced = 0;
    std::string error;
    EXPECT_FALSE(ParseServersStatus(file, s, produced, error)) << file;
    EXPECT_FALSE(s.Valid);
  }
}

TEST(VersionFile, FixedColumns) {
  TUpgradeInfo u;
  ASSERT_TRUE(ParseUpgradeInfo("0001.0002.0003.0004 2008/06/19 x", u));
  EXPECT_EQ((std::array{u.V1, u.V2, u.V3, u.V4, u.Year, u.Month, u.Day}),
            (std::array{1, 2, 3, 4, 2008, 6, 19}));
  EXPECT_EQ(u.Url, "x");
  ASSERT_TRUE(ParseUpgradeInfo("0003.0001.0000.0000 2026/12/01 http://h/dl page\r\n", u));
  EXPECT_EQ(u.Url, "http://h/dl page");

  for (const char* bad : {"", "0001.0002", "000a.0002.0003.0004 2008/06/19 x", "<html>404</html>"}) {
    u.V1 = 9;
    EXPECT_FALSE(ParseUpgradeInfo(bad, u)) << bad;
    EXPECT_EQ(u.V1, 0);
    EXPECT_EQ(u.Url, "");
  }
}

TEST(RemoteUpdate, PlaceholdersAndUserNumber) {
  EXPECT_EQ(ReplacePlaceholders("s=<sv>&w=<MW>&r=<Rm>&ms=<RMS>&again=<SV>",
                                {{"<SV>", "1"}, {"<MW>", "3"}, {"<RM>", "12"}, {"<RMS>", "7"}}),
            "s=1&w=3&r=12&ms=7&again=1");
  // A value that contains a placeholder is not replaced again.
  EXPECT_EQ(ReplacePlaceholders("<a>", {{"<A>", "<a><a>"}}), "<a><a>");
  EXPECT_EQ(UinFromProductId("12-345"), "543021");
}

}  // namespace
}  // namespace kw
