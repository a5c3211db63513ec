// The answers of the clock server, rendered from the stored state as CP932 bytes with CRLF
// line ends, in the fixed-column layouts the clock parses.
#pragma once

#include <string>
#include <vector>

#include "server/store.h"

namespace kw::server {

// Addresses of the resources, relative to the server's base address.
inline constexpr const char* kSyncPath = "/sync.html";
inline constexpr const char* kMaintenancePath = "/maintenance.txt";
inline constexpr const char* kStatusPath = "/status.txt";
inline constexpr const char* kVersionPath = "/version.txt";
inline constexpr const char* kUpgradeInfoPath = "/upgrade.txt";
inline constexpr const char* kUpdatePath = "/update";
// Served with "." + the clock's product version appended.
inline constexpr const char* kHttpCtrlPath = "/cfg/httpctrl.cfg";
inline constexpr const char* kUrlListPath = "/cfg/urllist.cfg";
inline constexpr const char* kMrListPath = "/cfg/mrlist.cfg";

// The remote update's query; the clock replaces the placeholders.
inline constexpr const char* kFilesPath = "/files";
inline constexpr const char* kUpdateParam =
    "sv=<SV>&mw=<MW>&mh=<MH>&mn=<MN>&ry=<RY>&rm=<RM>&rd=<RD>&rh=<RH>&rn=<RN>&rs=<RS>&rms=<RMS>"
    "&upi=<UPI>";

// The page has two digits for the base's millisecond, which the clock reads as 0..99 ms: a
// base with 100..999 ms is published as the nearest instant it can show (.099 or the next
// whole second).
int64_t PublishedBaseMs(int64_t realBaseMs);
// One sync-page line: the marker padded to four bytes, game hour, minute and weekday, the
// real base with its two millisecond digits, a blank, the last-adjusted time, a blank and the
// name.
std::string SyncLine(const GameServer& s);
// Simple HTML with one line per server that has a base; a server without a base has no line,
// so the clock clears its base instead of reading zeros.
std::string SyncPage(const std::vector<GameServer>& servers);

// Fourteen lines: regular maintenance, ten temporary slots (an unused slot is an empty window
// in the past), two SNTP servers and the SNTP time-out.
std::string MaintenancePage(const Maintenance& m);

// Production time (now), the number of servers and one fixed-column line per server.
std::string StatusFile(const std::vector<GameServer>& servers, int64_t nowMs);

// "0001.0002.0003.0004 2008/06/19 address".
std::string VersionFile(const LatestVersion& v);

// What the published httpctrl.cfg points at and the credentials it hands out for the remote
// update (empty: none).
struct PublishOptions {
  std::string baseUrl;  // "http://127.0.0.1:8080", no trailing slash
  std::string updateUser, updatePass;
};

// The configuration set: httpctrl.cfg pointing back at this server with a stamp derived
// from the whole set, so it changes whenever any of the three files changes.
struct ConfigSet {
  std::string httpCtrl, urlList, mrList;
  std::string stamp;  // nine digits, never "000000000"
};
ConfigSet MakeConfigSet(const std::vector<GameServer>& servers, const PublishOptions& options);

}  // namespace kw::server
