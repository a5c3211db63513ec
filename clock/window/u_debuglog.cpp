#include "clock/window/u_debuglog.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kw {

std::string DebugLogDateTime(TDateTime t) {
  const DateTimeParts p = DecodeDateTime(t);
  char buf[48];
  if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0)
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d", p.year, p.month, p.day);
  else
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
  return buf;
}

bool DebugLog::Exists() const {
  // A folder of that name does not switch logging on.
  struct stat st;
  return ::stat(path_.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void DebugLog::Append(std::string_view text) const {
  std::string line = DebugLogDateTime(clock_.Now()) + " ";
  for (char c : text) line += c == '\r' ? ' ' : c;
  AppendLine(line);
}

void DebugLog::AppendDebug(std::string_view text) const {
  AppendLine(DebugLogDateTime(clock_.Now()) + " : " + std::string(text));
}

void DebugLog::AppendRaw(std::string_view text) const { AppendLine(std::string(text)); }

bool DebugLog::AppendLine(const std::string& line) const {
  // No O_CREAT: the file is the user's switch, so a missing file stays missing.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  const std::string data = line + "\n";
  size_t done = 0;
  bool ok = true;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}

}  // namespace kw
