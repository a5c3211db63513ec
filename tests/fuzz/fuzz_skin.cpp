// Any bytes as a skin file (and as a JPEG panel picture): scanning the skins folder never
// crashes, and a skin is listed only with all five pictures present.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "clock/face/u_skinctrl.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kw::test::TempDir dir;
  static const bool prepared = [] {
    std::filesystem::create_directories(dir.File("skins/sub"));
    for (const char* name : {"skins/a.bmp", "skins/b.bmp", "skins/sub/c.bmp", "skins/p.jpg"})
      kw::test::WriteBytes(dir.File(name), "x");
    return true;
  }();
  (void)prepared;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kw::test::WriteBytes(dir.File("skins/fuzz.skn"), bytes);

  const kw::TSkinCtrl skins(dir.path());
  if (skins.Count() > 1) std::abort();
  for (int32_t i = 0; i < skins.Count(); ++i)
    for (const std::string& path : {skins.Bg0Path(i), skins.Bg1Path(i), skins.Bg2Path(i), skins.AnaPath(i), skins.PnlPath(i)})
      if (!std::filesystem::is_regular_file(path)) std::abort();
  (void)skins.IndexOfName(skins.SkinName(0));
  (void)kw::ParseSkinColor(bytes);

  std::string error;
  const QImage image = kw::DecodeJpeg(bytes, &error);
  if (image.isNull() == error.empty()) std::abort();
  return 0;
}
