// Any bytes through the parsers of outside text: CP932 decoding, the INI date form and the
// positional sync-page parsers with arbitrary positions. Results must stay in range.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "clock/engine/u_orvtime.h"
#include "common/cp932.h"
#include "common/datetime.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kw::test::TempDir dir;
  static const kw::ManualClock clock(46367.5);
  static kw::TOrvTime orv(dir.path(), clock);
  std::string_view input(reinterpret_cast<const char*>(data), size);

  const std::string utf8 = kw::Cp932ToUtf8(input);
  if (!kw::IsUtf8(utf8)) std::abort();
  if (!kw::IsUtf8(kw::DecodeTextFile(input))) std::abort();
  std::string back;
  if (kw::Utf8ToCp932(utf8, back) && kw::IsCp932(input) && kw::Cp932ToUtf8(back) != utf8) std::abort();

  kw::TDateTime t;
  if (kw::ParseIniDateTime(input, t)) {
    kw::TDateTime again;
    if (!kw::ParseIniDateTime(kw::FormatIniDateTime(t), again) || again != t) std::abort();
  }

  // The first 32 bytes choose the positions (-8 .. 55), the rest is the line.
  if (size < 32) return 0;
  for (size_t k = 0; k < 14; ++k) orv.RealBasePos[k] = data[k] % 64 - 8;
  for (size_t k = 0; k < 12; ++k) orv.RealLastPos[k] = data[14 + k] % 64 - 8;
  for (size_t k = 0; k < 6; ++k) orv.OrvBasePos[k] = data[26 + k] % 64 - 8;
  const std::string_view line = input.substr(32);
  const kw::TDateTime base = orv.ParseRealBase(line);
  const kw::TDateTime last = orv.ParseRealLast(line);
  const kw::TGameWeekTime game = orv.ParseGameBase(line);
  for (kw::TDateTime when : {base, last, base + 1.5, base - 100.0}) {
    const int32_t s = kw::TOrvTime::WeekSecondsFromBase(game, base, when);
    if (s < 0 || s >= kw::kGameWeekSeconds) std::abort();
  }
  return 0;
}
