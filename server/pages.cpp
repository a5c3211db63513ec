#include "server/pages.h"

#include <algorithm>
#include <cstdio>

#include "common/cp932.h"
#include "common/datetime.h"
#include "common/sha256.h"

namespace kw::server {
namespace {

std::string Pad(int64_t n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*lld", width, static_cast<long long>(n));
  return buf;
}

std::string Cp932(const std::string& utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);  // the store refuses texts without a CP932 form
  return out;
}

// yyyymmddhhnnss of a stored instant.
std::string Compact(int64_t ms) {
  const DateTimeParts p = DecodeDateTime(FromMs(ms));
  return Pad(p.year, 4) + Pad(p.month, 2) + Pad(p.day, 2) + Pad(p.hour, 2) + Pad(p.minute, 2) +
         Pad(p.second, 2);
}

std::string TimeOfDay(int sec) {
  return Pad(sec / 3600, 2) + ":" + Pad(sec / 60 % 60, 2) + ":" + Pad(sec % 60, 2);
}

std::string RightAligned(int v, size_t width) {
  std::string s = std::to_string(v);
  return std::string(width > s.size() ? width - s.size() : 0, ' ') + s;
}

}  // namespace

int64_t PublishedBaseMs(int64_t realBaseMs) {
  const int64_t ms = ((realBaseMs % 1000) + 1000) % 1000;
  if (ms <= 99) return realBaseMs;
  return ms < 550 ? realBaseMs - ms + 99 : realBaseMs - ms + 1000;
}

std::string SyncLine(const GameServer& s) {
  std::string marker = Cp932(s.marker);
  marker.resize(4, ' ');
  const int64_t baseMs = PublishedBaseMs(s.realBaseMs);
  return marker + Pad(s.hour, 2) + Pad(s.minute, 2) + Pad(s.weekday, 2) + Compact(baseMs) +
         Pad(DecodeDateTime(FromMs(baseMs)).millisecond, 2) + " " + Compact(s.realLastMs) + " " +
         Cp932(s.name);
}

std::string SyncPage(const std::vector<GameServer>& servers) {
  std::string page =
      "<html>\r\n<head><meta http-equiv=\"Content-Type\" content=\"text/html; "
      "charset=Shift_JIS\"></head>\r\n<body><pre>\r\n";
  for (const auto& s : servers)
    if (s.hasBase) page += SyncLine(s) + "\r\n";
  page += "</pre></body>\r\n</html>\r\n";
  return page;
}

std::string MaintenancePage(const Maintenance& m) {
  std::string page = std::to_string(m.regularWeekday) + " " + TimeOfDay(m.regularStartSec) + " " +
                     TimeOfDay(m.regularEndSec) + " " + Cp932(m.regularTitle) + "\r\n";
  for (const auto& slot : m.slots) {
    if (!slot.set) {
      page += "2000/01/01 00:00:00 00:00:00 \r\n";
      continue;
    }
    const DateTimeParts d = DecodeDateTime(FromMs(slot.dateMs));
    page += Pad(d.year, 4) + "/" + Pad(d.month, 2) + "/" + Pad(d.day, 2) + " " +
            TimeOfDay(slot.startSec) + " " + TimeOfDay(slot.endSec) + " " + Cp932(slot.title) +
            "\r\n";
  }
  page += Cp932(m.sntp1) + "\r\n" + Cp932(m.sntp2) + "\r\n" + std::to_string(m.sntpTimeoutMs) +
          "\r\n";
  return page;
}

std::string StatusFile(const std::vector<GameServer>& servers, int64_t nowMs) {
  const DateTimeParts p = DecodeDateTime(FromMs(nowMs));
  std::string text = Pad(p.year, 4) + "/" + Pad(p.month, 2) + "/" + Pad(p.day, 2) + " " +
                     Pad(p.hour, 2) + ":" + Pad(p.minute, 2) + ":" + Pad(p.second, 2) + "\r\n" +
                     std::to_string(servers.size()) + "\r\n";
  for (const auto& s : servers) {
    std::string name = Cp932(s.name);
    name.resize(25, ' ');  // name in 1-8, blank up to 25
    text += name + RightAligned(s.state, 8) + " " + RightAligned(s.column3, 8) + " " +
            RightAligned(s.column4, 8) + "\r\n";
  }
  return text;
}

std::string VersionFile(const LatestVersion& v) {
  return Pad(v.v[0], 4) + "." + Pad(v.v[1], 4) + "." + Pad(v.v[2], 4) + "." + Pad(v.v[3], 4) +
         " " + Pad(v.year, 4) + "/" + Pad(v.month, 2) + "/" + Pad(v.day, 2) + " " + v.url;
}

ConfigSet MakeConfigSet(const std::vector<GameServer>& servers, const PublishOptions& o) {
  const std::string& b = o.baseUrl;
  std::string cfg = "[ServerInfo]\r\nServers=" + std::to_string(servers.size()) + "\r\n";
  for (size_t i = 0; i < servers.size(); ++i)
    cfg += "[ServerInfo" + std::to_string(i + 1) + "]\r\nServerName=" + Cp932(servers[i].name) +
           "\r\nHTMLHead3=" + Cp932(servers[i].marker) + "\r\n";
  // The sync-page positions, written out although they are the clock's defaults.
  cfg += "[RealBase3]\r\nOffset=0\r\nYp=11\r\nYl=4\r\nMp=15\r\nMl=2\r\nDp=17\r\nDl=2\r\nHp=19\r\n"
         "Hl=2\r\nNp=21\r\nNl=2\r\nSp=23\r\nSl=2\r\nMSp=25\r\nMSl=2\r\n"
         "[OrvBase3]\r\nOffset=0\r\nHp=5\r\nHl=2\r\nNp=7\r\nNl=2\r\nWp=9\r\nWl=2\r\n"
         "[RealLast3]\r\nOffset=0\r\nYp=28\r\nYl=4\r\nMp=32\r\nMl=2\r\nDp=34\r\nDl=2\r\nHp=36\r\n"
         "Hl=2\r\nNp=38\r\nNl=2\r\nSp=40\r\nSl=2\r\n";
  cfg += "[Interface]\r\nAgentName3=KronwelClient3\r\nUpdateEnabled=1\r\nUpdateURL=" + b +
         kUpdatePath + "\r\nUpdateParam=" + kUpdateParam + "\r\nUpdateAuthUser=" + o.updateUser +
         "\r\nUpdateAuthPass=" + o.updatePass + "\r\nUpgradeCheck=" + b + kVersionPath +
         "\r\nUpgradeInfo2=" + b + kUpgradeInfoPath + "\r\nRemoteOption=" + b + kMaintenancePath + "\r\nStatusURL=" + b + kStatusPath +
         "\r\n[Interface1]\r\nSyncURL=" + b + kSyncPath + "\r\nRefererEmu=" + b +
         "/\r\nHttpAuthEnabled=0\r\n[GeneralSettingUpdate]\r\nHttpCtrl=" + b + kHttpCtrlPath +
         "\r\nUrlList=" + b + kUrlListPath + "\r\nMrList=" + b + kMrListPath + "\r\n";

  ConfigSet set;
  set.urlList = "# Kronwel: pages of the clock server\r\n0,x,\"Clock server status\"," + b +
                kStatusPath + "\r\n0,x,\"Maintenance\"," + b + kMaintenancePath + "\r\n";
  set.mrList = "[OrvRadiSensor]\r\nCheckInterval=300\r\nStationNum=0\r\nHTMLAgentName=Kronwel\r\n";
  const auto digest = Sha256(cfg + '\0' + set.urlList + '\0' + set.mrList);
  uint64_t n = 0;
  for (int i = 0; i < 8; ++i) n = (n << 8) | digest[i];
  n %= 1000000000;
  if (n == 0) n = 1;  // "000000000" is what a clock without a set has
  set.stamp = Pad(static_cast<int64_t>(n), 9);
  set.httpCtrl = cfg + "stamp=" + set.stamp + "\r\n";
  return set;
}

}  // namespace kw::server
