// Any bytes as a page of the clock server, one parser per build (FUZZ_PAGE): the sync page
// with its tag removal, the maintenance page, the status file, the latest-version file. No
// input crashes or hangs a parser, and what a parser accepts keeps its promises.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "clock/engine/u_orvpages.h"
#include "clock/engine/u_orvtime.h"
#include "common/cp932.h"
#include "tests/support/test_support.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool ValidDateTime(kw::TDateTime t) { return t == 0 || (t >= -693593 && t < 2958466); }

[[maybe_unused]] void SyncPage(const std::string& bytes) {
  static kw::test::TempDir dir;
  static const kw::ManualClock clock(46367.5);
  static std::unique_ptr<kw::TOrvTime> orv = [] {
    kw::test::WriteWindowsFile(dir.File("httpctrl.cfg"),
                               "[ServerInfo]\nServers=3\n[ServerInfo1]\nServerName=A\nHTMLHead3=DIA\n"
                               "[ServerInfo2]\nServerName=B\nHTMLHead3=P\n[ServerInfo3]\nServerName=C\nHTMLHead3=\n");
    return std::make_unique<kw::TOrvTime>(dir.path(), clock);
  }();
  if (bytes.empty()) return;
  // The first byte moves the field lines around the header line.
  orv->RealBaseOffset = bytes[0] % 3 - 1;
  orv->OrvBaseOffset = (bytes[0] >> 2) % 3 - 1;
  orv->RealLastOffset = (bytes[0] >> 4) % 3 - 1;
  const std::string page = bytes.substr(1);

  const std::string text = kw::TOrvTime::StripTags(page);
  Check(text.find('<') == std::string::npos);
  for (size_t i = 1; i < text.size(); ++i) Check(text[i] != '\n' || text[i - 1] == '\r');

  const auto before = orv->Servers;
  const int32_t code = orv->ApplySyncPage(page, 1 + (bytes[0] & 64 ? 1 : 0));
  Check(code == 0 || code == 1 || code == 2 || code == 3 || code == 9);
  for (size_t i = 0; i < before.size(); ++i) {
    const kw::TOrvTimeSystem& s = orv->Servers[i];
    if (code == 9) Check(s.RealBase == before[i].RealBase && s.RealLast == before[i].RealLast);
    Check(ValidDateTime(s.RealBase) && ValidDateTime(s.RealLast));
    const int32_t g = orv->GameSecondsOfWeek(static_cast<int32_t>(i), clock.Now());
    Check(g >= 0 && g < kw::kGameWeekSeconds);
  }
}

[[maybe_unused]] void MaintenancePage(const std::string& bytes) {
  kw::TMaintenanceInfo m;
  m.RegularMaintTitle = "unchanged";
  std::string error;
  if (!kw::ParseMaintenancePage(kw::TOrvTime::StripTags(bytes), m, error)) {
    Check(m.RegularMaintTitle == "unchanged" && !error.empty());
    return;
  }
  Check(m.SntpTimeout > 0 && m.SntpTimeout <= kw::kMaxSntpTimeoutMs);
  Check(m.RegularMaintStart >= 0 && m.RegularMaintStart < 1 && m.RegularMaintEnd >= 0 && m.RegularMaintEnd < 1);
  Check(kw::IsUtf8(m.RegularMaintTitle) && kw::SplitUtf8Chars(m.RegularMaintTitle).size() <= 256);
  for (size_t i = 0; i < 10; ++i) {
    Check(ValidDateTime(m.TempMaintStart[i]) && ValidDateTime(m.TempMaintEnd[i]));
    Check(kw::IsUtf8(m.TempMaintTitle[i]) && kw::SplitUtf8Chars(m.TempMaintTitle[i]).size() <= 256);
  }
}

[[maybe_unused]] void StatusFile(const std::string& bytes) {
  kw::TServersStatus s;
  kw::TDateTime produced = 0;
  std::string error;
  const bool ok = kw::ParseServersStatus(bytes, s, produced, error);
  Check(ok == s.Valid);
  if (ok) Check(s.Count >= 0 && static_cast<size_t>(s.Count) == s.Servers.size() && ValidDateTime(produced));
  else Check(s.Servers.empty() && !error.empty());
}

[[maybe_unused]] void VersionFile(const std::string& bytes) {
  kw::TUpgradeInfo u;
  if (!kw::ParseUpgradeInfo(bytes, u)) Check(u.V1 == 0 && u.V4 == 0 && u.Year == 0 && u.Url.empty());
  else Check(kw::IsUtf8(u.Url));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  FUZZ_PAGE(bytes);
  return 0;
}
