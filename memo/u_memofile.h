// The memo file kronwel.ntm: two lines per memo (title, then body), each line the memo text's
// bytes in reverse order, shifted by a random key and written as upper-case hexadecimal, the
// key last. The bytes are CP932, so the file moves between Windows and Linux installations.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"

namespace kw {

// One memo; texts are UTF-8 with "\r\n" line breaks as the editor shows them.
struct ANotalu {
  std::string Title;
  std::string Body;
  bool operator==(const ANotalu&) const = default;
};

// One line for the bytes with the given key.
std::string EncodeLine(std::string_view bytes, uint8_t key);

// The bytes of a line; a line shorter than four characters is the empty text. False when the
// line is not hexadecimal.
bool DecodeLine(std::string_view line, std::string& bytes);

// Memo text to the file's bytes: CP932, or, for text CP932 cannot hold (emoji, for example),
// a UTF-8 byte order mark followed by UTF-8, so that nothing is lost.
std::string MemoTextToBytes(std::string_view utf8);
std::string MemoBytesToText(std::string_view bytes);

struct MemoLoad {
  std::vector<ANotalu> memos;
  // Lines that did not decode: their memos are left out and the file as it was is kept in
  // backupPath ("<file>.<yyyymmdd-hhnnss>.bak"), so that the next save loses nothing.
  bool damaged = false;
  std::string backupPath;
};

// No file, or an empty one, means no memos; an odd number of lines gives the last memo an
// empty body.
MemoLoad LoadMemos(const std::string& path, const Clock& clock);

// Rewrites the file with a fresh key per line, atomically: on failure the old file stays and
// error says why.
bool SaveMemos(const std::string& path, const std::vector<ANotalu>& memos,
               const std::function<uint8_t()>& key, std::string* error = nullptr);

}  // namespace kw
