// Any bytes as a radio station's program page, with keys taken from the input: the scan never
// crashes or hangs, finds no more shows than name keys, and its captions are whole UTF-8.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "clock/online/u_orvradisensor.h"
#include "common/cp932.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The next NUL-ended part of the input.
std::string_view Take(std::string_view& rest) {
  const size_t end = rest.find('\0');
  const std::string_view part = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return part;
}

size_t Count(std::string_view text, std::string_view key) {
  if (key.empty()) return 0;
  size_t n = 0;
  for (size_t p = text.find(key); p != std::string_view::npos; p = text.find(key, p + 1)) ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  kw::TRadioStation st;
  st.StationName = "FM";
  st.StationURL = "http://radio.example/";
  st.ProcStartLn = data[0] % 8 - 1;
  st.OffrecoLen = static_cast<int8_t>(data[1]) * 4;
  st.ProcNameKey = kw::Cp932ToUtf8(Take(rest));
  st.ProcEndKey = kw::Cp932ToUtf8(Take(rest));
  st.OffrecoTail = kw::Cp932ToUtf8(Take(rest));
  st.ProcURL = std::string(Take(rest));
  st.ProcPort = data[0] * 257 + data[1];
  kw::ProgramPageAddress(st);

  std::string nameKey;
  kw::Utf8ToCp932(st.ProcNameKey, nameKey);
  const auto shows = kw::ScanProgramPage(st, rest);
  Check(shows.size() <= Count(rest, nameKey));
  for (const kw::TRadioInfo& show : shows) {
    Check(show.Caption.rfind("(FM) ", 0) == 0);
    Check(kw::IsUtf8(show.Caption));
    Check(show.URL == st.StationURL);
  }
  return 0;
}
