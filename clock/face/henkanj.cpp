#include "clock/face/henkanj.h"

#include <cstdint>

namespace kw {

namespace {

// Full-width katakana (CP932) for the half-width kana 0xA6..0xAF and 0xB1..0xDD.
constexpr uint16_t kKanaA6[10] = {0x8392, 0x8340, 0x8342, 0x8344, 0x8346, 0x8348, 0x8383, 0x8385, 0x8387, 0x8362};
constexpr uint16_t kKanaB1[45] = {0x8341, 0x8343, 0x8345, 0x8347, 0x8349, 0x834A, 0x834C, 0x834E, 0x8350,
                                  0x8352, 0x8354, 0x8356, 0x8358, 0x835A, 0x835C, 0x835E, 0x8360, 0x8363,
                                  0x8365, 0x8367, 0x8369, 0x836A, 0x836B, 0x836C, 0x836D, 0x836E, 0x8371,
                                  0x8374, 0x8377, 0x837A, 0x837D, 0x837E, 0x8380, 0x8381, 0x8382, 0x8384,
                                  0x8386, 0x8388, 0x8389, 0x838A, 0x838B, 0x838C, 0x838D, 0x838F, 0x8393};
constexpr uint16_t kVoicedMark = 0x814A, kSemiVoicedMark = 0x814B;

uint16_t Symbol(unsigned char c) {
  switch (c) {
    case ' ': return 0x8140;
    case '!': return 0x8149;
    case '"': return 0x8168;
    case '#': return 0x8194;
    case '$': return 0x8190;
    case '%': return 0x8193;
    case '&': return 0x8195;
    case '\'': return 0x8166;
    case '(': return 0x8169;
    case ')': return 0x816A;
    case '=': return 0x8181;
    case '`': return 0x8165;
    case '|': return 0x8162;
    case '-': return 0x817C;
    case '^': return 0x814F;
    case '\\': return 0x818F;
    case '~': return 0x8150;
    case '{': return 0x816F;
    case '@': return 0x8197;
    case '[': return 0x816D;
    case '+': return 0x817B;
    case '*': return 0x8196;
    case '}': return 0x8170;
    case ';': return 0x8147;
    case ':': return 0x8146;
    case ']': return 0x816E;
    case '<': return 0x8183;
    case '>': return 0x8184;
    case '?': return 0x8148;
    case '_': return 0x8151;
    case ',': return 0x8143;
    case '.': return 0x8144;
    case '/': return 0x815E;
    default: return 0;
  }
}

// JIS X 0208 row 3 (0x2300 + ASCII) in Shift-JIS.
uint16_t Row3(unsigned char c) {
  unsigned s2 = c + 0x1Fu;
  if (s2 >= 0x7F) ++s2;
  return static_cast<uint16_t>(0x8200u | s2);
}

void Put(std::string& out, uint16_t code) {
  out.push_back(static_cast<char>(code >> 8));
  out.push_back(static_cast<char>(code & 0xFF));
}

}  // namespace

std::string ToFullWidth(std::string_view in) {
  std::string out;
  out.reserve(in.size() * 2);
  for (size_t i = 0; i < in.size(); ++i) {
    const auto c = static_cast<unsigned char>(in[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      out.push_back(static_cast<char>(c));
      if (i + 1 < in.size()) out.push_back(in[++i]);
    } else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      Put(out, Row3(c));
    } else if ((c >= 0xA6 && c <= 0xAF) || (c >= 0xB1 && c <= 0xDD)) {
      const uint16_t kana = c <= 0xAF ? kKanaA6[c - 0xA6] : kKanaB1[c - 0xB1];
      const unsigned char next = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) : 0;
      const bool takesVoicing = (c >= 0xB6 && c <= 0xC4) || (c >= 0xCA && c <= 0xCE);
      const bool takesSemiVoicing = c >= 0xCA && c <= 0xCE;  // only ﾊ..ﾎ have a ﾟ form
      if (next == 0xDE && takesVoicing) {
        Put(out, static_cast<uint16_t>(kana + 1));
        ++i;
      } else if (next == 0xDF && takesSemiVoicing) {
        Put(out, static_cast<uint16_t>(kana + 2));
        ++i;
      } else if (next == 0xDE || next == 0xDF) {
        Put(out, kana);
        Put(out, next == 0xDE ? kVoicedMark : kSemiVoicedMark);
        ++i;
      } else {
        Put(out, kana);
      }
    } else if (const uint16_t s = Symbol(c)) {
      Put(out, s);
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace kw
