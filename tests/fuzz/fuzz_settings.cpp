// Any bytes as kronwel.ini: loading never crashes, and whatever loads is saved and loads back
// unchanged.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "clock/engine/u_orvtime.h"
#include "clock/settings/u_appinfos.h"
#include "common/cp932.h"
#include "tests/support/test_support.h"

namespace {

struct Loaded {
  kw::TAppInfos infos;
  std::unique_ptr<kw::TOrvTime> orv;
};

Loaded Load(const std::string& folder, const kw::Clock& clock) {
  Loaded l;
  l.orv = std::make_unique<kw::TOrvTime>(folder, clock);
  kw::AppInfosEnv env;
  env.iniPath = folder + "/kronwel.ini";
  env.programFolder = folder;
  env.orv = l.orv.get();
  env.findClientPath = [] { return std::string("C:\\Orvane\\"); };
  kw::LoadAppInfos(l.infos, env);
  return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kw::test::TempDir dir;
  static const kw::ManualClock clock(46367.5);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kw::test::WriteBytes(dir.File("kronwel.ini"), bytes);
  Loaded first = Load(dir.path(), clock);

  // Text that CP932 cannot hold (damaged bytes) is saved as '?', so it cannot come back.
  std::string reencoded;
  if (!kw::Utf8ToCp932(kw::DecodeTextFile(bytes), reencoded)) return 0;

  kw::AppInfosEnv env;
  env.iniPath = dir.File("kronwel.ini");
  env.programFolder = dir.path();
  env.orv = first.orv.get();
  if (!kw::SaveAppInfos(first.infos, env)) std::abort();
  Loaded second = Load(dir.path(), clock);
  if (!(first.infos == second.infos)) std::abort();
  for (size_t i = 0; i < first.orv->Servers.size(); ++i) {
    const kw::TOrvTimeSystem& a = first.orv->Servers[i];
    const kw::TOrvTimeSystem& b = second.orv->Servers[i];
    if (a.RealBase != b.RealBase || a.RealLast != b.RealLast || !(a.GameBase == b.GameBase)) std::abort();
  }
  if (first.orv->TimeAdjustOffset != second.orv->TimeAdjustOffset) std::abort();
  return 0;
}
