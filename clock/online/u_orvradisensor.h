// The radio on-air sensor: polls the program pages of the internet radio stations listed in
// mrlist.cfg, picks out the titles of the shows on air and remembers which are new since the
// previous scan, so they are announced once each time they come on air.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/datetime.h"

namespace kw {

class Clock;
class LogSink;

// One show found on air.
struct TRadioInfo {
  std::string Caption;  // "(" + station name + ") " + show title, UTF-8
  std::string URL;      // the station's listening page
  bool Offreco = false; // off the record: neither listed nor announced

  bool operator==(const TRadioInfo&) const = default;
};

// A [ServerN] section of mrlist.cfg. The keys are UTF-8 as read; the page is scanned as the
// station sends it (CP932), with the keys in CP932.
struct TRadioStation {
  std::string StationName;
  std::string StationURL;   // a station without it is not scanned
  int32_t StationPort = 80;
  std::string ProcURL;      // the program page
  int32_t ProcPort = 80;    // used when ProcURL names no port
  int32_t ProcStartLn = 1;  // the line the scan starts at (1: the first)
  std::string ProcNameKey;  // what stands right before a title
  std::string ProcEndKey = "<";
  std::string OffrecoKey = "OFFRECO";  // looked for in the upper-cased text after a title
  int32_t OffrecoLen = 256;            // how many bytes after a title are looked at
  std::string OffrecoTail;             // when found, the look ends there
};

// The shows of one station's program page (CP932 bytes), in page order.
std::vector<TRadioInfo> ScanProgramPage(const TRadioStation& station, std::string_view page);

// The program page's address with ProcPort filled in when the address names no port of its
// own and ProcPort is not the default 80.
std::string ProgramPageAddress(const TRadioStation& station);

class TOrvRadi {
 public:
  // Reads mrlist.cfg in the program folder once; no file: no stations.
  TOrvRadi(const std::string& programFolder, const Clock& clock, LogSink* log = nullptr);

  // Scans every station, at most once in 60 seconds (an earlier call keeps the previous
  // results and returns true). False when the scan broke off.
  bool Scan();
  void ClearAnnouncement();

  // [OrvRadiSensor]
  int32_t CheckInterval = 300;  // seconds between scans, for the tick
  std::string HTMLAgentName = "Kronwel";
  std::vector<TRadioStation> Stations;

  std::vector<TRadioInfo> RadioList;  // the latest scan
  std::vector<TRadioInfo> PrevList;   // the scan before, to tell new shows
  std::string Announcement;           // "<caption> 放送中\r\n" per new show
  bool AnnounceWaiting = false;

  // Handed over from the settings whenever the look is applied.
  bool ProxyEnabled = false;
  std::string ProxyIP, ProxyPort, ProxyUsername, ProxyPassword;

  // Sections beyond this are not read: a damaged StationNum must not stall the start.
  static constexpr int32_t kMaxStations = 1000;

 private:
  const Clock& clock_;
  LogSink* log_;
  bool scanned_ = false;
  TDateTime lastScan_ = 0;
};

}  // namespace kw
