#include "platform/autostart.h"

#include <cstdlib>
#include <filesystem>

#include "common/file_io.h"

namespace kw {
namespace {

// Exec= quoting of the desktop entry format: the path in double quotes, with the double
// quote, backquote, dollar sign and backslash escaped.
std::string QuoteExec(const std::string& path) {
  std::string q = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') q += "\\\\";
    q += c;
  }
  return q + "\"";
}

}  // namespace

std::string AutostartEntryPath() {
  std::string config;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x == '/') config = x;
  else if (const char* home = std::getenv("HOME"); home && *home) config = std::string(home) + "/.config";
  return config.empty() ? std::string() : config + "/autostart/Kronwel.desktop";
}

bool CreateStartupShortcut(const std::string& program, const std::string& folder, std::string* error) {
  const std::string path = AutostartEntryPath();
  if (path.empty()) {
    if (error) *error = "no home folder";
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  const std::string entry = "[Desktop Entry]\nType=Application\nName=Kronwel\nExec=" + QuoteExec(program) +
                            "\nPath=" + folder + "\nIcon=kronwel\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
  return WriteFileAtomically(path, entry, 0644, error);
}

bool DeleteStartupShortcut(std::string* error) {
  const std::string path = AutostartEntryPath();
  std::error_code ec;
  if (path.empty() || std::filesystem::remove(path, ec) || !ec) return true;
  if (error) *error = ec.message();
  return false;
}

}  // namespace kw
