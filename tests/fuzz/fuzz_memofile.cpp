// Any bytes as one memo line and as a whole memo file. A line that decodes must encode back
// to the same bytes; a file that loads without damage must save and load to the same memos.
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/clock.h"
#include "common/cp932.h"
#include "memo/u_memofile.h"
#include "tests/support/test_support.h"

namespace {

// What a memo text is after a save: characters that CP932 holds only under another code
// point (the Linux wave dash, for example) come back as that code point.
std::string AsSaved(const std::string& text) {
  std::string cp932;
  return kw::Utf8ToCp932(text, cp932) ? kw::Cp932ToUtf8(cp932) : text;
}

// Loads the file; when nothing is damaged, saving and loading again must give the same
// memos. True when the file was damaged.
bool CheckFile(const std::string& path, std::string_view bytes, uint8_t key) {
  static const kw::ManualClock clock(46367.5);
  kw::test::WriteBytes(path, bytes);
  const kw::MemoLoad first = kw::LoadMemos(path, clock);
  if (!first.backupPath.empty()) std::filesystem::remove(first.backupPath);
  if (first.damaged != !first.backupPath.empty()) std::abort();
  if (first.damaged) return true;

  const auto keys = [&key] { return key += 37; };
  std::vector<kw::ANotalu> expected = first.memos;
  for (kw::ANotalu& memo : expected) {
    memo.Title = AsSaved(memo.Title);
    memo.Body = AsSaved(memo.Body);
  }
  for (int round = 0; round < 2; ++round) {
    if (!kw::SaveMemos(path, round == 0 ? first.memos : expected, keys)) std::abort();
    const kw::MemoLoad again = kw::LoadMemos(path, clock);
    if (again.damaged || again.memos != expected) std::abort();
  }
  return false;
}

}  // namespace

// Every run saves several times and each save syncs to disk: keep the files in memory where
// that is possible, unless TMPDIR says otherwise.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0) {
    ::setenv("TMPDIR", "/dev/shm", 0);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static kw::test::TempDir dir;
  static const std::string path = dir.File("kronwel.ntm");
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const uint8_t key = size > 0 ? data[0] : 0;

  std::string bytes;
  if (kw::DecodeLine(input, bytes)) {
    const std::string line = kw::EncodeLine(bytes, key);
    std::string back;
    if (line.size() != 2 * bytes.size() + 2 || !kw::DecodeLine(line, back) || back != bytes) {
      std::abort();
    }
    // A whole line of pairs is the encoding of its bytes with its own key, up to case.
    std::string_view whole = input;
    if (!whole.empty() && whole.back() == '\r') whole.remove_suffix(1);
    if (whole.size() >= 4 && whole.size() % 2 == 0) {
      std::string upper(whole);
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      const auto ownKey = static_cast<uint8_t>(std::stoi(upper.substr(upper.size() - 2), nullptr, 16));
      if (kw::EncodeLine(bytes, ownKey) != upper) std::abort();
    }
  }

  // The bytes as a file, and (so that the texts themselves are varied too) pieces of them,
  // split at NUL, as the lines of a well-formed file.
  CheckFile(path, input, key);
  std::string file;
  for (size_t from = 0; from <= input.size();) {
    size_t to = input.find('\0', from);
    if (to == std::string_view::npos) to = input.size();
    file += kw::EncodeLine(input.substr(from, to - from), static_cast<uint8_t>(key + from));
    file += "\r\n";
    from = to + 1;
  }
  if (CheckFile(path, file, key)) std::abort();
  return 0;
}
