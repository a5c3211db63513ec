#include "clock/online/u_orvradisensor.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "common/clock.h"
#include "common/cp932.h"
#include "common/http_client.h"
#include "common/ini_file.h"
#include "common/log_sink.h"

namespace kw {
namespace {

std::string ToCp932(const std::string& utf8) {
  std::string out;
  Utf8ToCp932(utf8, out);
  return out;
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// ASCII letters upper-cased; the second bytes of double-byte characters are left alone.
std::string UpperCp932(std::string_view s) {
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (IsLeadByte(c)) {
      ++i;
    } else if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    }
  }
  return out;
}

// 1-based position of key in text, 0 when absent; an empty key is never found.
size_t Pos(std::string_view key, std::string_view text) {
  if (key.empty()) return 0;
  const size_t p = text.find(key);
  return p == std::string_view::npos ? 0 : p + 1;
}

}  // namespace

std::vector<TRadioInfo> ScanProgramPage(const TRadioStation& st, std::string_view page) {
  const std::string nameKey = ToCp932(st.ProcNameKey), endKey = ToCp932(st.ProcEndKey),
                    offKey = ToCp932(st.OffrecoKey), tailKey = ToCp932(st.OffrecoTail);
  std::vector<TRadioInfo> shows;
  std::string_view text = page;
  for (int32_t line = 1; line < st.ProcStartLn; ++line) {
    const size_t cr = text.find('\r');
    if (cr == std::string_view::npos) break;
    text.remove_prefix(cr + 1);
  }
  // Where the next OffrecoTail stands in the page; it only moves forward, so a page that has
  // none (or one far away) is not searched again for every title.
  size_t tailAt = 0;
  bool tailKnown = false;
  while (const size_t p = Pos(nameKey, text)) {
    text.remove_prefix(p - 1 + nameKey.size());
    const size_t e = Pos(endKey, text);
    if (e == 0) break;  // no end key in the rest: no later title can have one either
    TRadioInfo show;
    show.Caption = "(" + st.StationName + ") " + Cp932ToUtf8(text.substr(0, e - 1));
    show.URL = st.StationURL;
    text.remove_prefix(e - 1);

    const size_t offset = static_cast<size_t>(text.data() - page.data());
    if (!tailKey.empty() && (!tailKnown || (tailAt != std::string_view::npos && tailAt < offset))) {
      tailAt = page.find(tailKey, offset);
      tailKnown = true;
    }
    const size_t tail = tailKey.empty() || tailAt == std::string_view::npos ? 0 : tailAt - offset + 1;
    const int64_t limit = tail != 0 ? static_cast<int64_t>(tail) : st.OffrecoLen;
    const int64_t next = static_cast<int64_t>(Pos(nameKey, text));
    const int64_t length = (next > 0 && next < limit) ? next - 1 : limit;
    const std::string_view searched =
        text.substr(0, static_cast<size_t>(std::clamp<int64_t>(length, 0, static_cast<int64_t>(text.size()))));
    show.Offreco = Pos(offKey, UpperCp932(searched)) != 0;
    shows.push_back(std::move(show));
  }
  return shows;
}

std::string ProgramPageAddress(const TRadioStation& st) {
  const std::string& url = st.ProcURL;
  if (st.ProcPort == 80 || st.ProcPort <= 0 || st.ProcPort > 65535) return url;
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  const size_t hostStart = scheme + 3;
  size_t hostEnd = url.find_first_of("/?#", hostStart);
  if (hostEnd == std::string::npos) hostEnd = url.size();
  const std::string_view authority = std::string_view(url).substr(hostStart, hostEnd - hostStart);
  const size_t at = authority.rfind('@');
  const std::string_view host = at == std::string_view::npos ? authority : authority.substr(at + 1);
  const size_t bracket = host.rfind(']');
  const size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) return url;
  if (host.empty()) return url;
  return url.substr(0, hostEnd) + ":" + std::to_string(st.ProcPort) + url.substr(hostEnd);
}

TOrvRadi::TOrvRadi(const std::string& programFolder, const Clock& clock, LogSink* log)
    : clock_(clock), log_(log) {
  const IniFile ini(programFolder + "/mrlist.cfg", log);
  CheckInterval = ini.ReadInteger("OrvRadiSensor", "CheckInterval", 300);
  HTMLAgentName = ini.ReadString("OrvRadiSensor", "HTMLAgentName", "Kronwel");
  int32_t count = ini.ReadInteger("OrvRadiSensor", "StationNum", 0);
  if (count > kMaxStations) {
    if (log_) log_->WriteLog(">mrlist.cfg: StationNum " + std::to_string(count) + " read as " + std::to_string(kMaxStations) + "\r");
    count = kMaxStations;
  }
  for (int32_t n = 1; n <= count; ++n) {
    const std::string s = "Server" + std::to_string(n);
    TRadioStation st;
    st.StationName = ini.ReadString(s, "StationName", "");
    st.StationURL = ini.ReadString(s, "StationURL", "");
    st.StationPort = ini.ReadInteger(s, "StationPort", 80);
    st.ProcURL = ini.ReadString(s, "ProcURL", "");
    st.ProcPort = ini.ReadInteger(s, "ProcPort", 80);
    st.ProcStartLn = ini.ReadInteger(s, "ProcStartLn", 1);
    st.ProcNameKey = ini.ReadString(s, "ProcNameKey", "");
    st.ProcEndKey = ini.ReadString(s, "ProcEndKey", "<");
    st.OffrecoKey = ini.ReadString(s, "OffrecoKey", "OFFRECO");
    st.OffrecoLen = ini.ReadInteger(s, "OffrecoLen", 256);
    st.OffrecoTail = ini.ReadString(s, "OffrecoTail", "");
    Stations.push_back(std::move(st));
  }
}

bool TOrvRadi::Scan() {
  const TDateTime now = clock_.Now();
  if (scanned_ && std::llabs(ToMs(now) - ToMs(lastScan_)) < 60000) return true;

  bool ok = true;
  RadioList.clear();
  try {
    HttpRequest request;
    request.readTimeoutMs = 3000;
    request.proxy = ProxyFromSettings(ProxyEnabled, ProxyIP, ProxyPort, ProxyUsername, ProxyPassword, log_);
    request.userAgent = HTMLAgentName;
    request.referer = "Kronwel_Internal";
    for (const TRadioStation& st : Stations) {
      if (st.StationURL.empty()) continue;
      request.url = ProgramPageAddress(st);
      const HttpResponse answer = HttpGet(request);
      if (answer.status < 200 || answer.status > 299 || answer.body.empty()) continue;
      std::vector<TRadioInfo> shows = ScanProgramPage(st, answer.body);
      RadioList.insert(RadioList.end(), std::make_move_iterator(shows.begin()), std::make_move_iterator(shows.end()));
    }
  } catch (const std::exception& e) {
    if (log_) log_->WriteLog(std::string(">OrvRadi Sensor: ") + e.what() + "\r");
    ok = false;
  }

  for (const TRadioInfo& show : RadioList) {
    if (show.Offreco) continue;
    const bool known = std::any_of(PrevList.begin(), PrevList.end(),
                                   [&](const TRadioInfo& old) { return old.Caption == show.Caption; });
    if (known) continue;
    Announcement += show.Caption + " 放送中\r\n";
    AnnounceWaiting = true;
  }
  PrevList = RadioList;
  lastScan_ = now;
  scanned_ = true;
  return ok;
}

void TOrvRadi::ClearAnnouncement() {
  Announcement.clear();
  AnnounceWaiting = false;
}

}  // namespace kw
