// Conversion between the CP932 ("Shift-JIS") bytes of our files and network pages and the
// UTF-8 text used inside the programs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Decodes CP932 bytes. A byte sequence that is not CP932 becomes U+FFFD, so a damaged file
// still loads everything around the damage.
std::string Cp932ToUtf8(std::string_view cp932);

// True when the bytes are well-formed CP932.
bool IsCp932(std::string_view bytes);

// True when the bytes are well-formed UTF-8.
bool IsUtf8(std::string_view bytes);

// Encodes UTF-8 text as CP932. The characters that Linux input methods produce where Windows
// has its own code points (wave dash, minus sign, double vertical line, ...) are mapped to
// them. Returns false when some character has no CP932 form at all; it is written as "?".
bool Utf8ToCp932(std::string_view utf8, std::string& out);

// Decodes a text file of ours: CP932, unless it starts with a UTF-8 byte order mark or is
// well-formed UTF-8 but not CP932 (a file edited with a Linux editor).
std::string DecodeTextFile(std::string_view bytes);

// Splits UTF-8 text into its characters (one string per code point).
std::vector<std::string> SplitUtf8Chars(std::string_view utf8);

}  // namespace kw
