// Any bytes as res.lib and as a custom sound setting file: reading never crashes, a sound set
// never names a file outside the program's folder, and custom files that load save and load
// back unchanged.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "clock/sound/u_sesetup.h"
#include "clock/sound/u_soundeffect.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kw::test::TempDir dir;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kw::test::WriteBytes(dir.File("res.lib"), bytes);

  const kw::SoundSets sets(dir.path());
  std::vector<std::string> names;
  const bool listed = sets.Names(names);
  if (listed && (names.empty() || names.size() > static_cast<size_t>(kw::kMaxListedSoundSets))) std::abort();
  const int count = static_cast<int>(names.size());
  for (int set : {-1, 0, 1, count - 1, count, INT_MAX}) {
    for (int event = -1; event <= kw::kSoundEventCount; ++event) {
      const std::string file = sets.File(event, set);
      if (file.empty()) continue;
      if (file.rfind(dir.path() + "/", 0) != 0 || file.find("/../") != std::string::npos) std::abort();
      if (file.size() >= 3 && file.compare(file.size() - 3, 3, "/..") == 0) std::abort();
    }
  }

  kw::UserSoundFiles files;
  if (kw::ReadCustomSoundFile(dir.File("res.lib"), files) != kw::CustomSoundRead::Ok) return 0;
  if (!kw::WriteCustomSoundFile(dir.File("again.orvcu"), files)) std::abort();
  kw::UserSoundFiles again;
  if (kw::ReadCustomSoundFile(dir.File("again.orvcu"), again) != kw::CustomSoundRead::Ok || again != files) std::abort();
  return 0;
}
