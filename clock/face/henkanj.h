// Half-width to full-width conversion of Shift-JIS (CP932) text.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// Digits, Latin letters, ASCII symbols and half-width katakana become their full-width
// forms; a voicing mark after a kana that takes it is absorbed (ｶﾞ -> ガ, ﾊﾟ -> パ), after any
// other kana it becomes the full-width mark. Double-byte characters and everything else are
// copied unchanged. Input and output are CP932 bytes.
std::string ToFullWidth(std::string_view cp932);

}  // namespace kw
