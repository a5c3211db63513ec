// Whole-file reads and crash-safe writes for the files users keep.
#pragma once

#include <string>
#include <string_view>
#include <sys/types.h>

namespace kw {

// Reads the whole file; false when it cannot be opened or read. missing (when given) tells
// whether the file simply does not exist.
bool ReadWholeFile(const std::string& path, std::string& out, bool* missing = nullptr);

// Replaces the file with the bytes: writes "<path>.tmp", syncs it to disk and renames it over
// the file, so a crash at any point leaves either the old or the new file whole. A file whose
// owner write permission is off counts as read-only and is not replaced; a symbolic link is
// followed and its target replaced. On failure the old file is untouched and error says why.
// The temporary name is fixed (a leftover from a crash is simply overwritten), so writers of
// one file must take turns: hold its FileLock.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, mode_t mode,
                         std::string* error = nullptr);

// Holds an exclusive advisory lock on "<dir>/.<name>.lock" beside the file for its lifetime,
// so that processes sharing a file take turns at read-modify-write.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace kw
