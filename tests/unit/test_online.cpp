// The online parts without a window: urllist.cfg, the radio sensor's page scan and its scans
// against nginx, and the hotkey rules.
#include <gtest/gtest.h>

#include "clock/online/u_directurl.h"
#include "clock/online/u_hotkeys.h"
#include "clock/online/u_orvradisensor.h"
#include "clock/settings/u_appinfos.h"
#include "common/clock.h"
#include "common/cp932.h"
#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace kw {
namespace {

using test::At;
using Fields = std::vector<std::string>;

TEST(UrlList, SplitsLikeACommaList) {
  const struct {
    const char* line;
    Fields fields;
  } cases[] = {
      {"0,x,Caption,http://a/", {"0", "x", "Caption", "http://a/"}},
      {"0,x,\"Two words, and a comma\",http://a/", {"0", "x", "Two words, and a comma", "http://a/"}},
      {"0,x,Two words,http://a/", {"0", "x", "Two", "words", "http://a/"}},  // unquoted blank splits
      {"  1 , name ,  Cap  ", {"1", "name", "Cap"}},                           // blanks around separators
      {"a,,b", {"a", "", "b"}},
      {"a,", {"a", ""}},
      {",", {"", ""}},
      {"", {}},
      {"   ", {}},
      {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}},
      {"\"unclosed, rest", {"unclosed, rest"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"a\tb", {"a", "b"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommaText(c.line), c.fields) << c.line;
  EXPECT_EQ(SplitCommaText(std::string_view("a,b\0,c", 6)), (Fields{"a", "b"}));  // a NUL ends the line
}

TEST(UrlList, EntriesInFileOrderWithTheirIndex) {
  const auto items = ParseUrlList(
      "# comment\r\n"
      "\r\n"
      "0,x,\"公式 サイト\",https://example.org/\r\n"
      "1,Guides,攻略\n"
      "2,y,Quests,https://example.org/q\r"
      "0,x,Broken caption,https://example.org/\r\n"   // 5 fields: ignored
      "0,x\r\n"                                        // 2 fields: ignored
      "0,x,-,\r\n");                                   // a separator page without address
  ASSERT_EQ(items.size(), 4u);
  EXPECT_TRUE(items[0].page);
  EXPECT_EQ(items[0].entry, (TDirectURLList{"0", "DirectURL0", "公式 サイト", "https://example.org/"}));
  EXPECT_FALSE(items[1].page);
  EXPECT_EQ(items[1].entry, (TDirectURLList{"1", "Guides", "攻略", ""}));
  EXPECT_EQ(items[2].entry, (TDirectURLList{"2", "DirectURL2", "Quests", "https://example.org/q"}));
  EXPECT_EQ(items[3].entry, (TDirectURLList{"0", "DirectURL3", "-", ""}));
}

TEST(UrlList, ReadsTheCp932File) {
  test::TempDir dir;
  test::WriteWindowsFile(dir.File("urllist.cfg"), "0,x,\"攻略 情報\",https://example.org/\n");
  const auto items = ReadUrlListFile(dir.File("urllist.cfg"));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].entry.Caption, "攻略 情報");
  EXPECT_TRUE(ReadUrlListFile(dir.File("missing.cfg")).empty());
}

TEST(UrlList, OnlyWebAddressesAreOpened) {
  const struct {
    const char* url;
    bool web;
  } cases[] = {
      {"http://example.org/", true},       {"HTTPS://example.org/a?b#c", true}, {"https://127.0.0.1:8080", true},
      {"file:///etc/passwd", false},        {"javascript:alert(1)", false},     {"/usr/bin/xterm", false},
      {"http://", false},                   {"http:///path", false},            {"ftp://example.org/", false},
      {"http://exa mple.org/", false},      {"", false},                        {" http://example.org/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsWebAddress(c.url), c.web) << c.url;
}

// ---- The program page scan --------------------------------------------------------------

TRadioStation Station() {
  TRadioStation st;
  st.StationName = "Velmora FM";
  st.StationURL = "http://radio.example/listen";
  st.ProcNameKey = "<b>";
  return st;
}

std::vector<std::string> Captions(const std::vector<TRadioInfo>& shows, bool offreco) {
  std::vector<std::string> out;
  for (const auto& s : shows)
    if (s.Offreco == offreco) out.push_back(s.Caption);
  return out;
}

TEST(ProgramPage, TitlesBetweenTheKeys) {
  const auto shows = ScanProgramPage(Station(), "<html><b>Morning Show</b> <b>Night</b><b>no end");
  ASSERT_EQ(shows.size(), 2u);
  EXPECT_EQ(shows[0], (TRadioInfo{"(Velmora FM) Morning Show", "http://radio.example/listen", false}));
  EXPECT_EQ(shows[1].Caption, "(Velmora FM) Night");
}

TEST(ProgramPage, StartLineAndKeysInCp932) {
  TRadioStation st = Station();
  st.ProcStartLn = 3;
  st.ProcNameKey = "番組：";
  st.ProcEndKey = "』";
  std::string page;
  ASSERT_TRUE(Utf8ToCp932("番組：skipped』\r\n番組：also skipped』\r\n番組：『冒険』の時間』\r\n", page));
  EXPECT_EQ(Captions(ScanProgramPage(st, page), false), (Fields{"(Velmora FM) 『冒険"}));
  st.ProcStartLn = 1000000;  // more lines than the page: the rest after the last one
  EXPECT_TRUE(ScanProgramPage(st, page).empty());
}

TEST(ProgramPage, OffTheRecordMarker) {
  const struct {
    const char* page;
    std::string tail;
    int len;
    Fields listed, offreco;
  } cases[] = {
      // The marker soon after the title, in any case.
      {"<b>A</b> offreco <b>B</b>", "", 256, {"(Velmora FM) B"}, {"(Velmora FM) A"}},
      // The search stops at the next title: the marker after it belongs to that one.
      {"<b>A</b> <b>B</b> OFFRECO", "", 256, {"(Velmora FM) A"}, {"(Velmora FM) B"}},
      // Beyond OffrecoLen bytes it is not seen.
      {"<b>A</b>0123456789OFFRECO", "", 10, {"(Velmora FM) A"}, {}},
      {"<b>A</b>012345OFFRECO", "", 17, {}, {"(Velmora FM) A"}},  // counted from the end key
      // OffrecoTail ends the search where it stands, and overrides OffrecoLen.
      {"<b>A</b></tr>OFFRECO<b>B</b> OFFRECO", "</tr>", 256, {"(Velmora FM) A"}, {"(Velmora FM) B"}},
      {"<b>A</b> 0123456789012345 OFFRECO</tr>", "</tr>", 4, {}, {"(Velmora FM) A"}},
      // A tail that is not there: OffrecoLen.
      {"<b>A</b> OFFRECO", "</tr>", 256, {}, {"(Velmora FM) A"}},
      {"<b>A</b> OFFRECO", "", -5, {"(Velmora FM) A"}, {}},
  };
  for (const auto& c : cases) {
    TRadioStation st = Station();
    st.OffrecoTail = c.tail;
    st.OffrecoLen = c.len;
    const auto shows = ScanProgramPage(st, c.page);
    EXPECT_EQ(Captions(shows, false), c.listed) << c.page;
    EXPECT_EQ(Captions(shows, true), c.offreco) << c.page;
  }
}

TEST(ProgramPage, KeysThatFindNothing) {
  TRadioStation st = Station();
  EXPECT_TRUE(ScanProgramPage(st, "<html>nothing here</html>").empty());
  st.ProcNameKey = "";
  EXPECT_TRUE(ScanProgramPage(st, "<b>A</b>").empty());
  st = Station();
  st.ProcEndKey = "";
  EXPECT_TRUE(ScanProgramPage(st, "<b>A</b>").empty());
  st.ProcEndKey = "</i>";  // an end key that is missing after one title and present after the next
  EXPECT_EQ(Captions(ScanProgramPage(st, "<b>A</b><b>B</i>"), false), (Fields{"(Velmora FM) A</b><b>B"}));
}

TEST(ProgramPage, ProcPortFillsInAMissingPort) {
  const struct {
    const char* url;
    int port;
    const char* address;
  } cases[] = {
      {"http://radio.example/onair.html", 80, "http://radio.example/onair.html"},
      {"http://radio.example/onair.html", 8000, "http://radio.example:8000/onair.html"},
      {"http://radio.example", 8000, "http://radio.example:8000"},
      {"http://radio.example:9000/a", 8000, "http://radio.example:9000/a"},
      {"http://user:pw@radio.example/a?x=1:2", 8000, "http://user:pw@radio.example:8000/a?x=1:2"},
      {"http://[::1]/a", 8000, "http://[::1]:8000/a"},
      {"http://[::1]:81/a", 8000, "http://[::1]:81/a"},
      {"radio.example/a", 8000, "radio.example/a"},
      {"http://radio.example/a", 70000, "http://radio.example/a"},
  };
  for (const auto& c : cases) {
    TRadioStation st;
    st.ProcURL = c.url;
    st.ProcPort = c.port;
    EXPECT_EQ(ProgramPageAddress(st), c.address) << c.url;
  }
}

// ---- Scans against a real web server ----------------------------------------------------

class RadioScan : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(web.ok()) << web.ErrorLog(); }

  // Stations: name, program page path (empty: no StationURL).
  void WriteList(const std::vector<std::pair<std::string, std::string>>& stations, std::string extra = "") {
    std::string text = "[OrvRadiSensor]\nCheckInterval=120\nHTMLAgentName=KronwelRadio/1\nStationNum=" +
                       std::to_string(stations.size()) + "\n";
    for (size_t i = 0; i < stations.size(); ++i) {
      text += "[Server" + std::to_string(i + 1) + "]\nStationName=" + stations[i].first + "\n";
      if (!stations[i].second.empty()) text += "StationURL=http://listen.example/" + stations[i].first + "\n";
      text += "ProcURL=" + web.url(stations[i].second.empty() ? "/none" : stations[i].second) +
              "\nProcNameKey=<b>\nProcEndKey=</b>\n";
    }
    test::WriteWindowsFile(dir.File("mrlist.cfg"), text + extra);
  }
  int Requests(std::string_view uri) const {
    int n = 0;
    for (const std::string& line : web.AccessLines())
      if (line.rfind("GET " + std::string(uri) + " ", 0) == 0) ++n;
    return n;
  }

  test::NginxPeer web;
  test::TempDir dir;
  ManualClock clock{At(2026, 12, 11, 21, 0)};
  test::MemoryLog log;
};

TEST_F(RadioScan, ReadsTheStationList) {
  WriteList({{"A", "/a.html"}, {"B", ""}});
  TOrvRadi radi(dir.path(), clock, &log);
  EXPECT_EQ(radi.CheckInterval, 120);
  EXPECT_EQ(radi.HTMLAgentName, "KronwelRadio/1");
  ASSERT_EQ(radi.Stations.size(), 2u);
  EXPECT_EQ(radi.Stations[0].ProcEndKey, "</b>");
  EXPECT_EQ(radi.Stations[0].OffrecoKey, "OFFRECO");
  EXPECT_EQ(radi.Stations[0].OffrecoLen, 256);
  EXPECT_EQ(radi.Stations[1].StationURL, "");

  test::TempDir empty;  // no mrlist.cfg: no stations, the defaults
  TOrvRadi none(empty.path(), clock);
  EXPECT_TRUE(none.Stations.empty());
  EXPECT_EQ(none.CheckInterval, 300);
  EXPECT_TRUE(none.Scan());
  EXPECT_TRUE(none.RadioList.empty());

  // A damaged station count does not stall the start.
  test::WriteWindowsFile(empty.File("mrlist.cfg"), "[OrvRadiSensor]\nStationNum=2000000000\n");
  TOrvRadi huge(empty.path(), clock, &log);
  EXPECT_EQ(huge.Stations.size(), static_cast<size_t>(TOrvRadi::kMaxStations));
}

TEST_F(RadioScan, AnnouncesNewShowsOnceAndScansAtMostOnceAMinute) {
  WriteList({{"A", "/a.html"}, {"B", "/b.html"}, {"C", ""}, {"D", "/missing.html"}, {"E", "/empty.html"}});
  web.Put("/a.html", "<b>Morning</b><b>Morning</b><b>Secret</b> OFFRECO");
  web.Put("/b.html", "<b>Talk</b>");
  web.Put("/empty.html", "");
  TOrvRadi radi(dir.path(), clock, &log);

  ASSERT_TRUE(radi.Scan());
  EXPECT_EQ(Captions(radi.RadioList, false), (Fields{"(A) Morning", "(A) Morning", "(B) Talk"}));
  EXPECT_EQ(Captions(radi.RadioList, true), (Fields{"(A) Secret"}));
  EXPECT_TRUE(radi.AnnounceWaiting);
  EXPECT_EQ(radi.Announcement, "(A) Morning 放送中\r\n(A) Morning 放送中\r\n(B) Talk 放送中\r\n");
  const std::string line = web.AccessLineFor("/a.html");
  EXPECT_NE(line.find("ua=\"KronwelRadio/1\""), std::string::npos) << line;
  EXPECT_NE(line.find("ref=\"Kronwel_Internal\""), std::string::npos) << line;
  EXPECT_EQ(Requests("/none"), 0);  // no StationURL: not scanned
  radi.ClearAnnouncement();

  // Within a minute (either way) nothing is fetched and the results stay.
  web.Put("/b.html", "<b>Talk</b><b>News</b>");
  clock.AdvanceMs(59000);
  EXPECT_TRUE(radi.Scan());
  clock.AdvanceMs(-118000);
  EXPECT_TRUE(radi.Scan());
  EXPECT_EQ(Requests("/a.html"), 1);
  EXPECT_EQ(Requests("/b.html"), 1);
  EXPECT_EQ(radi.RadioList.size(), 4u);
  EXPECT_FALSE(radi.AnnounceWaiting);

  // A minute later: only the new show is announced.
  clock.AdvanceMs(59000 + 60000);
  ASSERT_TRUE(radi.Scan());
  EXPECT_EQ(Requests("/b.html"), 2);
  EXPECT_EQ(radi.Announcement, "(B) News 放送中\r\n");
  radi.ClearAnnouncement();

  // A show that drops out and comes back is announced again.
  web.Put("/b.html", "<b>News</b>");
  clock.AdvanceMs(60000);
  radi.Scan();
  EXPECT_FALSE(radi.AnnounceWaiting);
  web.Put("/b.html", "<b>Talk</b><b>News</b>");
  clock.AdvanceMs(60000);
  radi.Scan();
  EXPECT_EQ(radi.Announcement, "(B) Talk 放送中\r\n");
}

TEST_F(RadioScan, AStationThatDoesNotAnswerIsSkipped) {
  test::SilentTcpServer silent;
  WriteList({{"A", "/a.html"}, {"B", "/b.html"}});
  web.Put("/b.html", "<b>Talk</b>");
  TOrvRadi radi(dir.path(), clock, &log);
  radi.Stations[0].ProcURL = silent.url("/a.html");
  ASSERT_TRUE(radi.Scan());
  EXPECT_EQ(Captions(radi.RadioList, false), (Fields{"(B) Talk"}));
}

TEST_F(RadioScan, ProcPortReachesTheServer) {
  WriteList({{"A", "/a.html"}});
  web.Put("/a.html", "<b>Talk</b>");
  TOrvRadi radi(dir.path(), clock, &log);
  radi.Stations[0].ProcURL = "http://127.0.0.1/a.html";
  radi.Stations[0].ProcPort = web.port();
  ASSERT_TRUE(radi.Scan());
  EXPECT_EQ(Captions(radi.RadioList, false), (Fields{"(A) Talk"}));
}

// ---- Hotkeys ----------------------------------------------------------------------------

TEST(Hotkeys, RegistrationLinesAndSkips) {
  TAppInfos infos;
  infos.sc3K = 76;  // L
  infos.sc3S = 3;   // Alt + Ctrl
  infos.sc5S = 4;   // a modifier without a key still counts as set
  test::RecordingHotkeys hotkeys;
  test::MemoryLog log;
  RegisterAllHotkeys(hotkeys, infos, log);
  const Fields expected = {
      ":Regist-Skip Global HotKey 1\r", ":Regist-Skip Global HotKey 2\r",
      ":Registing Global HotKey 3, Shift=3, Key=76, \r", ":Regist-Skip Global HotKey 4\r",
      ":Registing Global HotKey 5, Shift=4, Key=0, \r", ":Regist-Skip Global HotKey 6\r"};
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(hotkeys.registered.size(), 2u);
  EXPECT_EQ(hotkeys.registered[3], (test::RecordingHotkeys::Combination{3, 76}));

  // A pair set back to zeros is dropped at the next registration.
  infos.sc3K = infos.sc3S = 0;
  RegisterAllHotkeys(hotkeys, infos, log);
  EXPECT_EQ(hotkeys.registered.count(3), 0u);

  log.lines.clear();
  UnregisterAllHotkeys(hotkeys, log);
  EXPECT_TRUE(hotkeys.registered.empty());
  EXPECT_EQ(log.lines, (Fields{":Un-Registed All Global HotKeys\r"}));
}

TEST(Hotkeys, WithoutADesktopSaidOnce) {
  TAppInfos infos;
  test::RecordingHotkeys hotkeys;
  hotkeys.available = false;
  test::MemoryLog log;
  RegisterAllHotkeys(hotkeys, infos, log);
  RegisterAllHotkeys(hotkeys, infos, log);
  int said = 0;
  for (const auto& l : log.lines) said += l.rfind(">Global HotKeys are not available", 0) == 0;
  EXPECT_EQ(said, 1);
}

TEST(Hotkeys, TheFirstMatchingPairActs) {
  TAppInfos infos;
  SetHotkeyPair(infos, 2, {76, 3});
  SetHotkeyPair(infos, 5, {76, 3});  // the same combination again
  SetHotkeyPair(infos, 6, {0x70, 4});
  EXPECT_EQ(infos.sc6K, 0x70);
  EXPECT_EQ(infos.sc6S, 4);
  EXPECT_EQ(FindHotkeyPair(infos, 3, 76), 2);
  EXPECT_EQ(FindHotkeyPair(infos, 4, 0x70), 6);
  EXPECT_EQ(FindHotkeyPair(infos, 2, 76), 0);   // other modifiers
  EXPECT_EQ(FindHotkeyPair(infos, 0, 0), 1);    // unset pairs are zeros; nothing registers them
}

TEST(Hotkeys, OpensOnlyWhenNoDialogHoldsTheClock) {
  const TDateTime now = At(2026, 12, 11, 21, 0, 0);
  const struct {
    TDateTime hold;
    bool opens;
  } cases[] = {
      {0, true},
      {now, true},                                     // a dialog just closed
      {FromMs(ToMs(now) + 1000), true},                // the upkeep's own one-second hold
      {FromMs(ToMs(now) + 1001), false},
      {FromMs(ToMs(now) + 9000), false},               // the clock menu opened a second ago
      {IncYear(now, 1), false},                        // a modal dialog is open
  };
  for (const auto& c : cases) EXPECT_EQ(HotkeyMayOpen(now, c.hold), c.opens) << ToMs(c.hold) - ToMs(now);
}

}  // namespace
}  // namespace kw
