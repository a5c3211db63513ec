#include "common/cp932.h"

#include <cerrno>
#include <iconv.h>

namespace kw {
namespace {

// One conversion descriptor per direction and thread, opened on first use.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much as possible; on an invalid or unconvertible sequence it stops and
  // returns the number of input bytes consumed, leaving the converted part in out.
  // Returns in.size() when everything converted.
  size_t Convert(std::string_view in, std::string& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char buf[4096];
    while (srcLeft > 0) {
      char* dst = buf;
      size_t dstLeft = sizeof buf;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      out.append(buf, dst - buf);
      if (r == static_cast<size_t>(-1) && errno != E2BIG) break;
    }
    // Flush any shift state.
    char* dst = buf;
    size_t dstLeft = sizeof buf;
    iconv(cd_, nullptr, nullptr, &dst, &dstLeft);
    out.append(buf, dst - buf);
    return in.size() - srcLeft;
  }

 private:
  iconv_t cd_;
};

Converter& Decoder() {
  thread_local Converter c("UTF-8", "CP932");
  return c;
}

Converter& Encoder() {
  thread_local Converter c("CP932", "UTF-8");
  return c;
}

// Length of the UTF-8 sequence that starts at s[0], or 0 when it is not well-formed.
size_t Utf8SeqLen(std::string_view s) {
  const auto b0 = static_cast<unsigned char>(s[0]);
  size_t n;
  char32_t cp;
  if (b0 < 0x80) return 1;
  if ((b0 & 0xE0) == 0xC0) { n = 2; cp = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { n = 3; cp = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { n = 4; cp = b0 & 0x07; }
  else return 0;
  if (s.size() < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return n;
}

// Characters of the JIS mapping that Linux uses, and the CP932 code points Windows uses
// for the same glyphs.
struct Substitute {
  std::string_view from, to;
};
constexpr Substitute kSubstitutes[] = {
    {"\u301C", "\uFF5E"},  // WAVE DASH -> FULLWIDTH TILDE
    {"\u2016", "\u2225"},  // DOUBLE VERTICAL LINE -> PARALLEL TO
    {"\u2212", "\uFF0D"},  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
    {"\u2014", "\u2015"},  // EM DASH -> HORIZONTAL BAR
    {"\u00A2", "\uFFE0"},  // CENT SIGN
    {"\u00A3", "\uFFE1"},  // POUND SIGN
    {"\u00AC", "\uFFE2"},  // NOT SIGN
};

}  // namespace

std::string Cp932ToUtf8(std::string_view in) {
  std::string out;
  out.reserve(in.size() * 3 / 2);
  Converter& c = Decoder();
  if (!c.ok()) return std::string(in);
  while (!in.empty()) {
    size_t used = c.Convert(in, out);
    if (used >= in.size()) break;
    out += "\uFFFD";
    in.remove_prefix(used + 1);
  }
  return out;
}

bool IsCp932(std::string_view bytes) {
  std::string scratch;
  Converter& c = Decoder();
  return c.ok() && c.Convert(bytes, scratch) == bytes.size();
}

bool IsUtf8(std::string_view s) {
  while (!s.empty()) {
    size_t n = Utf8SeqLen(s);
    if (n == 0) return false;
    s.remove_prefix(n);
  }
  return true;
}

std::vector<std::string> SplitUtf8Chars(std::string_view s) {
  std::vector<std::string> chars;
  while (!s.empty()) {
    size_t n = Utf8SeqLen(s);
    if (n == 0) n = 1;  // a stray byte counts as one character
    chars.emplace_back(s.substr(0, n));
    s.remove_prefix(n);
  }
  return chars;
}

bool Utf8ToCp932(std::string_view in, std::string& out) {
  out.clear();
  out.reserve(in.size());
  Converter& c = Encoder();
  if (!c.ok()) {
    out.assign(in);
    return false;
  }
  bool lossless = true;
  while (!in.empty()) {
    size_t used = c.Convert(in, out);
    if (used >= in.size()) break;
    in.remove_prefix(used);
    size_t n = Utf8SeqLen(in);
    if (n == 0) n = 1;
    std::string_view ch = in.substr(0, n);
    in.remove_prefix(n);
    bool substituted = false;
    for (const Substitute& s : kSubstitutes) {
      if (ch == s.from) {
        c.Convert(s.to, out);
        substituted = true;
        break;
      }
    }
    if (!substituted) {
      out += '?';
      lossless = false;
    }
  }
  return lossless;
}

namespace {

// UTF-8 with every ill-formed sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  while (!s.empty()) {
    size_t n = Utf8SeqLen(s);
    if (n == 0) {
      out += "\uFFFD";
      n = 1;
    } else {
      out.append(s.substr(0, n));
    }
    s.remove_prefix(n);
  }
  return out;
}

}  // namespace

std::string DecodeTextFile(std::string_view bytes) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kBom.size()) == kBom) return ValidUtf8(bytes.substr(kBom.size()));
  if (!IsCp932(bytes) && IsUtf8(bytes)) return std::string(bytes);
  return Cp932ToUtf8(bytes);
}

}  // namespace kw
