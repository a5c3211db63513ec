// Speed of synchronisation: parsing a 1 MB sync page, and a whole synchronisation (maintenance
// page, SNTP check, sync page) against orvclockd and chronyd on loopback. Prints its figures;
// it checks no timing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "clock/engine/u_orvtime.h"
#include "clock/window/u_orvsync.h"
#include "common/clock.h"
#include "tests/server/orvclockd_process.h"
#include "tests/support/peers.h"
#include "tests/support/test_support.h"

namespace {

using Steady = std::chrono::steady_clock;

double Ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// About 1 MB of markup with the three servers' lines spread through it.
std::string BigSyncPage() {
  std::string page = "<html><head><title>clock</title></head><body><table>\r\n";
  const char* lines[] = {"DIA 0600002026121120000000 20261211190000 Diana",
                         "PAL 1230032026121120000000 20261211190000 Pallas",
                         "ELM 2115062026121120000000 20261211190000 Elmo"};
  for (int k = 0; page.size() < 1000000; ++k) {
    page += "<tr><td class=\"c\">row " + std::to_string(k) + "</td><td><b>filler text</b></td></tr>\r\n";
    if (k % 6000 == 0) page += std::string(lines[(k / 6000) % 3]) + "\r\n";
  }
  return page + "</table></body></html>\r\n";
}

void ParseBigPage() {
  kw::test::TempDir dir;
  kw::test::WriteWindowsFile(dir.File("httpctrl.cfg"),
                             "[ServerInfo]\nServers=3\n[ServerInfo1]\nServerName=Diana\nHTMLHead3=DIA\n"
                             "[ServerInfo2]\nServerName=Pallas\nHTMLHead3=PAL\n"
                             "[ServerInfo3]\nServerName=Elmo\nHTMLHead3=ELM\n");
  const kw::ManualClock clock(kw::test::At(2026, 12, 11, 20, 0));
  kw::TOrvTime orv(dir.path(), clock);
  const std::string page = BigSyncPage();
  std::vector<double> strip, apply;
  for (int run = 0; run < 21; ++run) {
    auto start = Steady::now();
    const std::string text = kw::TOrvTime::StripTags(page);
    strip.push_back(Ms(Steady::now() - start));
    start = Steady::now();
    const int32_t code = orv.ApplySyncPage(page, 1);
    apply.push_back(Ms(Steady::now() - start));
    if (code == 9) std::printf("the page did not parse\n");
  }
  std::printf("sync page of %.2f MB: tag removal %.2f ms, whole parse %.2f ms (median of 21)\n",
              static_cast<double>(page.size()) / 1e6, Median(strip), Median(apply));
}

void WholeSynchronisation() {
  kw::test::TempDir dir;
  kw::test::ChronyPeer chrony;
  kw::server::test::OrvclockdProcess demo({"demo", "--dir", dir.File("demo"), "--port", "0"});
  if (!chrony.ok() || demo.port() == 0) {
    std::printf("whole synchronisation: peers did not start\n");
    return;
  }
  kw::server::test::RunOrvclockd(
      {"--db", dir.File("demo/orvclockd.db"), "set-maintenance", "sntp", chrony.server(), "", "1000"});
  kw::ManualClock clock(kw::SystemClock().Now());
  kw::TOrvTime orv(dir.File("demo/kronwel"), clock);
  kw::NullLog log;
  kw::test::RecordingTray tray;
  kw::test::RecordingNotifier notifier;
  kw::SyncEnv env{.orv = orv, .log = log, .tray = tray, .notifier = notifier, .globalBalloon = true,
                  .playSoundEvent = {}, .sleepMs = {}};
  kw::TDateTime last = 0;
  std::vector<double> wall;
  for (int run = 0; run < 15; ++run) {
    clock.AdvanceMs(11000);
    const auto start = Steady::now();
    kw::OrvSync(env, true, last);
    wall.push_back(Ms(Steady::now() - start));
  }
  std::printf("whole synchronisation (maintenance page, SNTP, sync page) on loopback: median %.2f ms, "
              "max %.2f ms over 15\n",
              Median(wall), *std::max_element(wall.begin(), wall.end()));
}

}  // namespace

int main() {
  ParseBigPage();
  WholeSynchronisation();
  return 0;
}
