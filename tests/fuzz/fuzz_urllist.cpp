// Any bytes as urllist.cfg: parsing never crashes, every entry has 3 or 4 fields' worth of
// text, pages are named by their index, and fields written back quoted split the same again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "clock/online/u_directurl.h"
#include "common/cp932.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string Quoted(const std::string& field) {
  std::string out = "\"";
  for (char c : field) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  const auto items = kw::ParseUrlList(kw::DecodeTextFile(bytes));
  for (size_t i = 0; i < items.size(); ++i) {
    const kw::TDirectURLList& e = items[i].entry;
    if (items[i].page) Check(e.Name == "DirectURL" + std::to_string(i));
    else Check(e.URL.empty());
    Check(e.Level.find_first_of("\r\n") == std::string::npos);
    if (kw::IsWebAddress(e.URL)) Check(e.URL.find(' ') == std::string::npos);
  }

  // One line: its fields, quoted and joined, split into the same fields.
  const std::string_view line = bytes.substr(0, bytes.find_first_of(std::string_view("\r\n\0", 3)));
  const auto fields = kw::SplitCommaText(line);
  std::string joined;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) joined += ',';
    joined += Quoted(fields[i]);
  }
  if (!fields.empty()) Check(kw::SplitCommaText(joined) == fields);
  return 0;
}
