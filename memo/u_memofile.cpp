#include "memo/u_memofile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include "common/cp932.h"
#include "common/datetime.h"
#include "common/file_io.h"

namespace kw {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte written as the two hexadecimal digits at pos, or -1.
int HexPair(std::string_view line, size_t pos) {
  const int high = HexValue(line[pos]);
  const int low = HexValue(line[pos + 1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

void PutHex(char* out, unsigned value) {
  out[0] = kHexDigits[(value >> 4) & 0xF];
  out[1] = kHexDigits[value & 0xF];
}

// Lines end with "\r\n" or "\n"; a line end at the very end does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
      lines.push_back(text);
      break;
    }
    std::string_view line = text.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    text.remove_prefix(lf + 1);
  }
  return lines;
}

// Writes the bytes to a new file; false when the name is taken or the write fails (then
// nothing is left behind).
bool WriteNewFile(const std::string& path, std::string_view bytes, bool& nameTaken) {
  nameTaken = false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    nameTaken = errno == EEXIST;
    return false;
  }
  bool ok = true;
  while (ok && !bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else bytes.remove_prefix(static_cast<size_t>(n));
  }
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (!ok) ::unlink(path.c_str());
  return ok;
}

// Keeps the file as it was under "<path>.<yyyymmdd-hhnnss>.bak" (then "...bak-2", "-3", ...
// when that name is taken, so that no earlier backup is overwritten). Empty on failure.
std::string WriteBackup(const std::string& path, std::string_view bytes, const Clock& clock) {
  const DateTimeParts t = DecodeDateTime(clock.Now());
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  const std::string base = path + "." + stamp + ".bak";
  for (int n = 1; n <= 1000; ++n) {
    const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
    bool nameTaken = false;
    if (WriteNewFile(name, bytes, nameTaken)) return name;
    if (!nameTaken) break;
  }
  return {};
}

}  // namespace

std::string EncodeLine(std::string_view bytes, uint8_t key) {
  std::string line(bytes.size() * 2 + 2, '\0');
  char* out = line.data();
  for (size_t i = bytes.size(); i-- > 0; out += 2) {
    PutHex(out, (static_cast<unsigned char>(bytes[i]) + key) & 0xFF);
  }
  PutHex(out, key);
  return line;
}

bool DecodeLine(std::string_view line, std::string& bytes) {
  bytes.clear();
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() < 4) return true;
  const int key = HexPair(line, line.size() - 2);
  if (key < 0) return false;
  // Pairs from the start; with an odd length the character before the key belongs to none.
  const size_t pairs = line.size() / 2 - 1;
  bytes.reserve(pairs);
  for (size_t j = pairs; j >= 1; --j) {
    const int value = HexPair(line, 2 * j - 2);
    if (value < 0) {
      bytes.clear();
      return false;
    }
    bytes += static_cast<char>((value - key) & 0xFF);
  }
  return true;
}

std::string MemoTextToBytes(std::string_view utf8) {
  std::string cp932;
  if (Utf8ToCp932(utf8, cp932)) return cp932;
  std::string bytes(kUtf8Bom);
  bytes += utf8;
  return bytes;
}

std::string MemoBytesToText(std::string_view bytes) {
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    const std::string_view rest = bytes.substr(kUtf8Bom.size());
    return IsUtf8(rest) ? std::string(rest) : Cp932ToUtf8(rest);
  }
  return Cp932ToUtf8(bytes);
}

MemoLoad LoadMemos(const std::string& path, const Clock& clock) {
  MemoLoad load;
  try {
    std::string file;
    bool missing = false;
    if (!ReadWholeFile(path, file, &missing)) {
      // A file that is there but cannot be read must not look like an empty memo pad: the
      // next save would replace it.
      load.damaged = !missing;
      return load;
    }
    const std::vector<std::string_view> lines = SplitLines(file);
    std::string title, body;
    for (size_t i = 0; i < lines.size(); i += 2) {
      // With an odd number of lines the last memo has no body line.
      const std::string_view bodyLine = i + 1 < lines.size() ? lines[i + 1] : std::string_view();
      if (DecodeLine(lines[i], title) && DecodeLine(bodyLine, body)) {
        load.memos.push_back({MemoBytesToText(title), MemoBytesToText(body)});
      } else {
        load.damaged = true;
      }
    }
    if (load.damaged) load.backupPath = WriteBackup(path, file, clock);
  } catch (...) {
    // Out of memory: report damage rather than a memo pad that a save would cut short.
    load.damaged = true;
  }
  return load;
}

bool SaveMemos(const std::string& path, const std::vector<ANotalu>& memos,
               const std::function<uint8_t()>& key, std::string* error) {
  std::string file;
  for (const ANotalu& memo : memos) {
    file += EncodeLine(MemoTextToBytes(memo.Title), key());
    file += "\r\n";
    file += EncodeLine(MemoTextToBytes(memo.Body), key());
    file += "\r\n";
  }
  return WriteFileAtomically(path, file, 0600, error);
}

}  // namespace kw
