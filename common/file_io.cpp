#include "common/file_io.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {
namespace {

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

std::string ParentDir(const std::string& path) {
  std::string dir = std::filesystem::path(path).parent_path().string();
  return dir.empty() ? "." : dir;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& out, bool* missing) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (missing) *missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return false;
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return ok;
}

bool WriteFileAtomically(const std::string& linkOrPath, std::string_view bytes, mode_t mode,
                         std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  std::error_code ec;
  const std::string path = std::filesystem::is_symlink(linkOrPath, ec)
                               ? std::filesystem::weakly_canonical(linkOrPath, ec).string()
                               : linkOrPath;
  if (path.empty()) return fail("cannot follow the link " + linkOrPath);
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return fail(path + " is not a regular file");
    if (!(st.st_mode & S_IWUSR)) return fail(path + " is read-only");
  }
  const std::string tmp = path + ".tmp";
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) return fail(ErrnoText("cannot create " + tmp));
  ::fchmod(fd, mode);  // also when a stale temporary file had other permissions
  if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
    std::string why = ErrnoText("cannot write " + tmp);
    ::close(fd);
    ::unlink(tmp.c_str());
    return fail(why);
  }
  if (::close(fd) != 0) {
    std::string why = ErrnoText("cannot write " + tmp);
    ::unlink(tmp.c_str());
    return fail(why);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    std::string why = ErrnoText("cannot replace " + path);
    ::unlink(tmp.c_str());
    return fail(why);
  }
  // Make the rename itself durable.
  int dfd = ::open(ParentDir(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

FileLock::FileLock(const std::string& path) {
  std::filesystem::path p(path);
  const std::string lockPath =
      (p.parent_path() / ("." + p.filename().string() + ".lock")).string();
  fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd_ < 0) return;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace kw
